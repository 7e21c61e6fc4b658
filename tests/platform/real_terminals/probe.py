#!/usr/bin/python3
"""Runs inside a terminal: asks it what the demo asks at start, in one write
(the questions of probeQuestions() in platform/terminal/terminal_probe.cpp),
and records every byte that comes back within a second, raw: how the
answers in tests/fuzz/corpus/fuzz-terminal-probe/ were recorded.

Usage: probe.py OUT_DIR [--resize]

Writes OUT_DIR/answers (the bytes received), OUT_DIR/environment
(TERM=... COLORTERM=...), OUT_DIR/size-start (rows columns xpixel ypixel
from TIOCGWINSZ) and, with --resize, OUT_DIR/size-after-resize (the same,
a second after writing CSI 8;50;80 t). OUT_DIR/done is written last.

Not run by the tests: it made tests/fuzz/corpus/fuzz-terminal-answers/, each
terminal started on its own under Xvfb, e.g. `xterm -e python3 probe.py OUT`,
`konsole --nofork -e python3 probe.py OUT --resize`.
"""

import fcntl
import os
import select
import struct
import sys
import termios
import time
import tty

ESC = b"\x1b"
QUERIES = (
    ESC + b"[>q"                                   # XTVERSION
    + ESC + b"[16t"                                # cell size in pixels
    + ESC + b"P+q524742;5463" + ESC + b"\\"        # XTGETTCAP RGB;Tc
    + ESC + b"[48;2;1;2;3m" + ESC + b"P$qm" + ESC + b"\\" + ESC + b"[0m"  # DECRQSS SGR
    + ESC + b"_Gi=31,s=1,v=1,a=q,t=d,f=24;AAAA" + ESC + b"\\"          # kitty graphics
    + ESC + b"[?2;1;0S"                            # XTSMGRAPHICS: the largest sixel image
    + ESC + b"[H" + "\u2596".encode() + ESC + b"[6n"                     # width of a quadrant
    + ESC + b"[c"                                  # DA1
)


def window_size(fd):
    rows, columns, xpixel, ypixel = struct.unpack(
        "HHHH", fcntl.ioctl(fd, termios.TIOCGWINSZ, b"\0" * 8))
    return f"{rows} {columns} {xpixel} {ypixel}\n"


def write_file(path, data):
    part = path + ".part"
    with open(part, "wb") as out:
        out.write(data)
    os.replace(part, path)


def read_for(fd, seconds):
    received = b""
    deadline = time.monotonic() + seconds
    while True:
        left = deadline - time.monotonic()
        if left <= 0:
            return received
        ready, _, _ = select.select([fd], [], [], left)
        if ready:
            chunk = os.read(fd, 4096)
            if not chunk:
                return received
            received += chunk


def main(arguments):
    out = arguments[0]
    resize = "--resize" in arguments[1:]
    fd = os.open("/dev/tty", os.O_RDWR)
    write_file(os.path.join(out, "environment"),
               f"TERM={os.environ.get('TERM', '')} "
               f"COLORTERM={os.environ.get('COLORTERM', '')}\n".encode())
    write_file(os.path.join(out, "size-start"), window_size(fd).encode())
    saved = termios.tcgetattr(fd)
    try:
        tty.setraw(fd)
        termios.tcflush(fd, termios.TCIFLUSH)
        os.write(fd, QUERIES)
        write_file(os.path.join(out, "answers"), read_for(fd, 1.0))
        if resize:
            os.write(fd, ESC + b"[8;50;80t")
            read_for(fd, 1.0)
            write_file(os.path.join(out, "size-after-resize"), window_size(fd).encode())
    finally:
        termios.tcsetattr(fd, termios.TCSAFLUSH, saved)
    os.write(fd, b"\x1b[2J\x1b[Hprobe done\r\n")
    write_file(os.path.join(out, "done"), b"")
    time.sleep(float(os.environ.get("PROBE_LINGER", "0")))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
