"""A test track that stands every spectrum bar at a height of its own.

The demo's bar for column c (1..80) is 500 x the mean of spectrum entries
3c-2, 3c-1 and 3c, where entry k is the magnitude of the 1024-point Hann
windowed FFT bin k at 44.1 kHz, scaled so that a full-scale sine at a bin
centre reads 1.0. One sine at the centre of bin 3c-1 with amplitude A reads
A there and A/2 in the two bins beside it (and nothing two bins away), so
its column reads 2A/3, whatever the window's position: every column's
height is steady and set by one amplitude.
"""

import math
import struct
import subprocess
import wave

RATE = 44100
PERIOD = 1024  # every sine repeats after one analysis window
COLUMNS = 80


def designed_heights():
    """The bar height (in cells) the track gives each of the 80 columns."""
    return [6 + (column * 7) % 17 for column in range(1, COLUMNS + 1)]  # 6..22


def one_period():
    heights = designed_heights()
    samples = [0.0] * PERIOD
    for index, height in enumerate(heights):
        column = index + 1
        bin_number = 3 * column - 2 + 1
        # Half a cell above the wanted height, so small coding errors keep it.
        amplitude = 1.5 * (height + 0.5) / 500.0
        # Schroeder's phases keep the sum's peaks low.
        phase = math.pi * index * (index + 1) / COLUMNS
        step = 2.0 * math.pi * bin_number / PERIOD
        for n in range(PERIOD):
            samples[n] += amplitude * math.cos(step * n + phase)
    peak = max(abs(value) for value in samples)
    if peak >= 0.95:
        raise RuntimeError(f"test track would clip (peak {peak:.2f})")
    return samples


def write_track(mp3_path, wav_path, seconds=30):
    """Writes the track as WAV, then encodes it with lame (320 kbit/s)."""
    period = one_period()
    frames = bytearray()
    for value in period:
        sample = int(round(value * 32767))
        frames += struct.pack("<hh", sample, sample)
    repeats = int(seconds * RATE / PERIOD)
    with wave.open(str(wav_path), "wb") as out:
        out.setnchannels(2)
        out.setsampwidth(2)
        out.setframerate(RATE)
        out.writeframes(bytes(frames) * repeats)
    subprocess.run(["lame", "--quiet", "--preset", "insane", str(wav_path), str(mp3_path)],
                   check=True)
