#!/usr/bin/python3
"""The demo in three real graphical terminals, read back from their pixels.

Under a private Xvfb server, each of xterm, kitty and alacritty is started
once at 80 x 24 with a private configuration (DejaVu Sans Mono, no padding,
a known theme) and runs `vantrel --seed N --music TRACK` from show.sh. The
demo is stopped (SIGSTOP) for each screenshot, so the terminal shows one
whole frame; the cells are read at their quadrant centres and compared with
the frame tool's frames of the same seed (the best-matching frame must match
cell for cell; the bars, which follow the live music, must stand on the
bottom row at the heights the test track gives them):

  - 80 x 24: the fitted view, two picture rows in each terminal row;
  - resized to 80 x 50: the exact view, one terminal cell per picture cell;
  - Esc: exit status 0, and the main screen exactly as before the demo,
    with no pixel of the picture's colours left.

The picture's colours must read back as the console palette's RGB exactly:
xterm's 16 colours are set to it, kitty and alacritty have themes of their
own, so there only direct colour gives those values.

Usage: real_terminals.py VANTREL VANTREL_FRAMES SOURCE_DIR OUTPUT_DIR [--keep] [TERMINAL...]
Screenshots of failed checks are kept in OUTPUT_DIR; with --keep, all of them.
"""

import collections
import os
import random
import shutil
import signal
import subprocess
import sys
import time
from pathlib import Path

HERE = Path(__file__).resolve().parent
sys.path.insert(0, str(HERE))

import expected_view  # noqa: E402
import screen_cells  # noqa: E402
import test_music  # noqa: E402
from expected_view import EXACT, FITTED_24, BAR_COLOUR, LINE_COLOUR  # noqa: E402
from screen_cells import CONSOLE_PALETTE, ScreenCells, describe  # noqa: E402

COLUMNS = 80
PROGRAMS = {  # program -> Debian package
    "Xvfb": "xvfb", "xterm": "xterm", "kitty": "kitty", "alacritty": "alacritty",
    "import": "imagemagick", "xdotool": "xdotool", "xwininfo": "x11-utils", "lame": "lame",
}
FONT = "/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf"
PICTURE_RGB = {CONSOLE_PALETTE[c] for c in (4, 8, 9, 12)}  # bar, ripple grey, letters, line


def hex_rgb(text):
    return tuple(int(text[i:i + 2], 16) for i in (1, 3, 5))


class Failures:
    def __init__(self):
        self.messages = []

    def add(self, terminal, message):
        text = f"FAIL ({terminal}): {message}"
        print(text, file=sys.stderr, flush=True)
        self.messages.append(text)


def wait_for(seconds, condition, step=0.05):
    deadline = time.monotonic() + seconds
    while True:
        result = condition()
        if result:
            return result
        if time.monotonic() >= deadline:
            return result
        time.sleep(step)


def run(command, **options):
    return subprocess.run(command, check=True, capture_output=True, text=True, **options).stdout


# --- the X server ---------------------------------------------------------------

class Display:
    """A private Xvfb server on the first free display number."""

    def __init__(self, log_path):
        read_end, write_end = os.pipe()
        with open(log_path, "w") as log:
            self.process = subprocess.Popen(
                ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1280x1024x24",
                 "-dpi", "96", "-nolisten", "tcp", "-noreset"],
                pass_fds=(write_end,), stdout=log, stderr=log, start_new_session=True)
        os.close(write_end)
        number = b""
        with os.fdopen(read_end, "rb") as reader:
            number = reader.readline().strip()
        if not number:
            self.stop()
            raise RuntimeError(f"Xvfb did not start (see {log_path})")
        self.name = ":" + number.decode()

    def stop(self):
        if self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(5)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()


# --- the terminals --------------------------------------------------------------

class Terminal:
    name = ""
    terminal_type = ""  # what the terminal tells its programs, in show.sh's words
    software_gl = False
    background = ""
    foreground = ""
    cursor = ""
    palette = []  # the theme's own 16 ANSI colours, for diagnosis

    def __init__(self, work):
        self.work = work
        self.title = f"vantrel-test-{self.name}"

    def command(self, program):
        raise NotImplementedError

    def own_colour(self, rgb):
        """Which of the theme's own colours an RGB value is, if any."""
        for index, colour in enumerate(self.palette):
            if hex_rgb(colour) == rgb:
                return f"this terminal's own colour {index}"
        return None


class XTerm(Terminal):
    name = "xterm"
    terminal_type = "TERM=xterm COLORTERM="  # 16 colours
    background = "#101820"
    foreground = "#e8d8b0"
    cursor = "#e0a040"

    def __init__(self, work):
        super().__init__(work)
        # Its 16 colours are the console's: ANSI colour n shows console colour c.
        self.palette = [""] * 16
        for console, rgb in enumerate(CONSOLE_PALETTE):
            self.palette[screen_cells.ansi_index(console)] = "#%02x%02x%02x" % rgb

    def command(self, program):
        resources = {
            "background": self.background, "foreground": self.foreground,
            "cursorColor": self.cursor, "cursorBlink": "false",
            "internalBorder": "0", "borderWidth": "0", "scrollBar": "false",
            "termName": "xterm", "utf8": "1", "locale": "false",
            "boldMode": "false", "colorBDMode": "false", "allowBoldFonts": "false",
            # The demo asks for 80 x 50 (CSI 8 t); the test sets the sizes.
            # (xterm's own default, said here so that no resource file changes it.)
            "allowWindowOps": "false",
            "visualBell": "false",
        }
        for index, colour in enumerate(self.palette):
            resources[f"color{index}"] = colour
        options = []
        for key, value in resources.items():
            options += ["-xrm", f"XTerm*{key}: {value}"]
        # No antialiasing: every pixel of a glyph is its cell's foreground or
        # background, so the thin bar line shows its colour exactly.
        return ["xterm", "-geometry", "80x24+0+0", "-fa", "DejaVu Sans Mono:antialias=false",
                "-fs", "12", "-b", "0", "-bw", "0", "+sb", "-tn", "xterm", "-title", self.title,
                *options, "-e", *program]


class Kitty(Terminal):
    name = "kitty"
    terminal_type = "TERM=xterm-kitty COLORTERM=truecolor"
    software_gl = True
    background = "#00222b"
    foreground = "#839496"
    cursor = "#dc8f2f"
    palette = ["#073642", "#dc322f", "#859900", "#b58900", "#268bd2", "#d33682", "#2aa198",
               "#eee8d5", "#586e75", "#cb4b16", "#93a61a", "#c49a1c", "#5f87d7", "#6c71c4",
               "#35b5ab", "#fdf6e3"]

    def command(self, program):
        config = self.work / "kitty.conf"
        lines = [
            "font_family DejaVu Sans Mono", "font_size 12", "disable_ligatures always",
            "window_padding_width 0", "window_margin_width 0", "single_window_margin_width 0",
            "window_border_width 0", "placement_strategy top-left", "remember_window_size no",
            "initial_window_width 80c", "initial_window_height 24c", "hide_window_decorations yes",
            "cursor_blink_interval 0", "enable_audio_bell no", "visual_bell_duration 0",
            "confirm_os_window_close 0", "update_check_interval 0", "allow_remote_control no",
            "shell_integration disabled", "sync_to_monitor no", "linux_display_server x11",
            "background_opacity 1", "startup_session none",
            f"background {self.background}", f"foreground {self.foreground}",
            f"cursor {self.cursor}",
        ]
        lines += [f"color{index} {colour}" for index, colour in enumerate(self.palette)]
        config.write_text("\n".join(lines) + "\n")
        return ["kitty", "--config", str(config), "--title", self.title,
                "--class", self.title, *program]


class Alacritty(Terminal):
    name = "alacritty"
    terminal_type = "TERM=xterm-256color COLORTERM=truecolor"
    software_gl = True
    # Alacritty's own default theme, the normal black moved off the background.
    background = "#1d1f21"
    foreground = "#c5c8c6"
    cursor = "#e0a040"
    palette = ["#282a2e", "#cc6666", "#b5bd68", "#f0c674", "#81a2be", "#b294bb", "#8abeb7",
               "#c5c8c6", "#666666", "#d54e53", "#b9ca4a", "#e7c547", "#7aa6da", "#c397d8",
               "#70c0b1", "#eaeaea"]

    def command(self, program):
        names = ["black", "red", "green", "yellow", "blue", "magenta", "cyan", "white"]
        normal = "\n".join(f"    {n}: '{c}'" for n, c in zip(names, self.palette[:8]))
        bright = "\n".join(f"    {n}: '{c}'" for n, c in zip(names, self.palette[8:]))
        config = self.work / "alacritty.yml"
        config.write_text(f"""\
window:
  dimensions:
    columns: 80
    lines: 24
  position:
    x: 0
    y: 0
  padding:
    x: 0
    y: 0
  dynamic_padding: false
  decorations: none
  resize_increments: false
scrolling:
  history: 0
font:
  normal:
    family: DejaVu Sans Mono
    style: Book
  size: 12
draw_bold_text_with_bright_colors: false
colors:
  primary:
    background: '{self.background}'
    foreground: '{self.foreground}'
  cursor:
    text: '{self.background}'
    cursor: '{self.cursor}'
  normal:
{normal}
  bright:
{bright}
cursor:
  style:
    blinking: Never
  unfocused_hollow: false
bell:
  duration: 0
live_config_reload: false
""")
        return ["alacritty", "--config-file", str(config), "--title", self.title,
                "--class", self.title, "-e", *program]


TERMINALS = {cls.name: cls for cls in (XTerm, Kitty, Alacritty)}
SEEDS = {"xterm": 11, "kitty": 12, "alacritty": 13}


# --- one terminal's session ------------------------------------------------------

def pause():
    """The show's run between two captures: long enough for many frames,
    uneven, so that either split of the ripple can come next."""
    time.sleep(random.uniform(0.3, 0.5))


DUMPED_FRAMES = 3000  # 33 s of the show: more than a session lasts


class Capture:
    def __init__(self, label, path, view, elapsed):
        self.split = None
        self.giving_way = None
        self.matched = False
        self.label = label
        self.path = path
        self.view = view
        self.elapsed = elapsed


class Session:
    """One terminal, started once: the demo at 80 x 24, then at 80 x 50,
    then ended with Esc."""

    def __init__(self, terminal, display, vantrel, frames_tool, track, seed, designed, failures):
        self.frames_tool = frames_tool
        self.designed = designed
        self.dump_process = None
        self.dump = None
        self.last_frame = 1
        self.last_elapsed = 0.0
        self.colours_seen = set()
        self.giving_way = [0, 0]
        self.checked_views = set()
        self.terminal = terminal
        self.work = terminal.work
        self.display = display
        self.vantrel = vantrel
        self.track = track
        self.seed = seed
        self.failures = failures
        self.process = None
        self.window = None
        self.demo_pid = None
        self.cell = None
        self.started = None
        self.captures = []

    def fail(self, message):
        self.failures.add(self.terminal.name, message)

    def environment(self):
        home = self.work / "home"
        runtime = self.work / "runtime"
        for folder in (home, runtime):
            folder.mkdir(exist_ok=True)
        runtime.chmod(0o700)
        env = {key: value for key, value in os.environ.items()
               if key not in ("COLORTERM", "TERM", "TERMINFO", "WAYLAND_DISPLAY", "LC_ALL",
                              "LC_CTYPE", "XENVIRONMENT", "XAPPLRESDIR", "XUSERFILESEARCHPATH",
                              "KITTY_CONFIG_DIRECTORY", "KITTY_WINDOW_ID", "KITTY_PID",
                              "ALACRITTY_SOCKET", "ALACRITTY_LOG", "TMUX")}
        env.update({
            "DISPLAY": self.display.name, "LANG": "C.UTF-8", "HOME": str(home),
            "XDG_CONFIG_HOME": str(home / ".config"), "XDG_CACHE_HOME": str(home / ".cache"),
            "XDG_DATA_HOME": str(home / ".local"), "XDG_RUNTIME_DIR": str(runtime),
            "XENVIRONMENT": str(self.work / "no-resources"),
        })
        (self.work / "no-resources").write_text("")
        if self.terminal.software_gl:
            env["LIBGL_ALWAYS_SOFTWARE"] = "1"
        return env

    def xtool(self, *command, timeout=10):
        return run(list(command), env={**os.environ, "DISPLAY": self.display.name},
                   timeout=timeout)

    # --- start, stop -------------------------------------------------------------

    def start(self):
        program = ["sh", str(HERE / "show.sh"), str(self.work), str(self.vantrel),
                   "--seed", str(self.seed), "--music", str(self.track)]
        log = open(self.work / "terminal.log", "w")
        self.process = subprocess.Popen(self.terminal.command(program), env=self.environment(),
                                        stdin=subprocess.DEVNULL, stdout=log, stderr=log,
                                        start_new_session=True)
        log.close()
        if not wait_for(30, lambda: (self.work / "tty").exists() or self.process.poll() is not None):
            raise SessionError("the terminal did not start its program within 30 s")
        if self.process.poll() is not None:
            raise SessionError(f"the terminal exited with status {self.process.returncode} "
                               f"(see {self.work / 'terminal.log'})")
        self.tty = (self.work / "tty").read_text().strip()
        told = (self.work / "terminal-type").read_text().strip()
        if told != self.terminal.terminal_type:
            raise SessionError(f"the terminal tells its programs {told!r}, not "
                               f"{self.terminal.terminal_type!r}: the colour checks assume that")

        def find_window():
            try:
                found = self.xtool("xdotool", "search", "--onlyvisible", "--name",
                                   f"^{self.terminal.title}$").split()
            except subprocess.CalledProcessError:
                return None
            return found[0] if found else None
        self.window = wait_for(20, find_window, step=0.1)
        if not self.window:
            raise SessionError("no window of the terminal appeared")
        self.xtool("xdotool", "mousemove", "1279", "1023")
        self.xtool("xdotool", "windowfocus", "--sync", self.window)

    def screenshot_at_failure(self):
        if self.window and self.process and self.process.poll() is None:
            try:
                self.screenshot(self.work / "at-failure.png")
            except subprocess.SubprocessError:
                pass

    def stop(self):
        if self.dump_process and self.dump_process.poll() is None:
            self.dump_process.kill()
        if self.dump_process:
            self.dump_process.wait()
            self.dump_process.stderr.close()
        (self.work / "release").touch()
        pid = self.demo_pid
        if pid and not (self.work / "status").exists():
            for sig in (signal.SIGCONT, signal.SIGKILL):
                try:
                    os.kill(pid, sig)
                except ProcessLookupError:
                    break
        if self.process and self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(10)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()

    # --- sizes, screenshots ---------------------------------------------------------

    def tty_size(self):
        rows, columns = run(["stty", "-F", self.tty, "size"]).split()
        return int(rows), int(columns)

    def window_size(self):
        info = self.xtool("xwininfo", "-id", self.window)
        values = {}
        for line in info.splitlines():
            key, _, value = line.strip().partition(":")
            values[key] = value.strip()
        return int(values["Width"]), int(values["Height"])

    def measure_cells(self, rows):
        width, height = self.window_size()
        cell = (width // COLUMNS, height // rows)
        if cell[0] < 4 or cell[1] < 4 or width - COLUMNS * cell[0] >= cell[0] or \
                height - rows * cell[1] >= cell[1]:
            raise SessionError(f"a window of {width}x{height} pixels does not hold "
                               f"{COLUMNS}x{rows} whole cells")
        return cell

    def screenshot(self, path):
        self.xtool("import", "-window", self.window, f"png:{path}", timeout=20)
        return path

    def screen(self, path, rows):
        return ScreenCells.open(path, COLUMNS, rows, *self.cell)

    def settled_screenshot(self, path):
        """A screenshot that a second one, a moment later, shows the same."""
        self.screenshot(path)
        for _ in range(20):
            time.sleep(0.15)
            again = path.with_suffix(".again.png")
            self.screenshot(again)
            if same_pixels(path, again):
                again.unlink()
                return path
            again.replace(path)
        raise SessionError(f"the terminal kept changing while the demo was stopped ({path})")

    def stop_demo(self):
        """SIGSTOP, retried until no thread of the demo is inside a write
        (a frame written in part would leave half a frame on the screen)."""
        for _ in range(100):
            os.kill(self.demo_pid, signal.SIGSTOP)
            wait_for(2, lambda: process_state(self.demo_pid) in ("T", None))
            if not any(call in ("1", "20") for call in thread_syscalls(self.demo_pid)):
                return
            os.kill(self.demo_pid, signal.SIGCONT)
            time.sleep(0.013)
        raise SessionError("the demo was inside a write each time it was stopped")

    def capture(self, label, view):
        if (self.work / "status").exists():
            raise SessionError(f"the demo ended before the {label} check (status "
                               f"{(self.work / 'status').read_text().strip()}; what it said "
                               "is on the terminal, in the screenshot at-failure.png)")
        self.stop_demo()
        elapsed = time.monotonic() - self.started
        try:
            time.sleep(0.5)
            path = self.settled_screenshot(self.work / f"{label}.png")
        finally:
            os.kill(self.demo_pid, signal.SIGCONT)
        capture = Capture(label, path, view, elapsed)
        self.captures.append(capture)
        self.check(capture)
        return capture

    def frames(self):
        if self.dump is None:
            if self.dump_process.wait(60) != 0:
                raise SessionError(f"{self.frames_tool} failed: "
                                   f"{self.dump_process.stderr.read().strip()}")
            self.dump = expected_view.Dump(self.work / "frames.jsonl")
        return self.dump

    def check(self, capture):
        """Compares a capture with the frames it can show: from the last
        matched one on, as many as 100 a second (the demo draws at most 91)
        of the time since that one was taken, and 50 more."""
        dump = self.frames()
        screen = self.screen(capture.path, capture.view.rows)
        capture.split = ripple_split(screen, capture.view)
        last = self.last_frame + int((capture.elapsed - self.last_elapsed) * 100) + 50
        match = report_match(self, capture, dump, screen, self.last_frame, last)
        if match is None:
            return
        self.last_frame = match.frame
        self.last_elapsed = capture.elapsed
        if capture.view.name not in self.checked_views:
            self.checked_views.add(capture.view.name)
            check_the_checker(self, capture, screen, match, dump)
        self.colours_seen |= colours_shown(capture.view, match, dump, screen)
        capture.giving_way = match.giving_way
        capture.matched = True

    def capture_fitted(self, attempts=8):
        """Fitted-view captures until the ripple has given way to a bar or a
        letter in two top halves and one bottom half (the ripple's cells
        split left/right every other frame, and only then can it), at least
        two, at most `attempts`."""
        for attempt in range(attempts):
            pause()
            capture = self.capture(f"fitted-{attempt + 1}", FITTED_24)
            if not capture.matched:
                return  # said already; the next capture would say it again
            if capture.giving_way:
                self.giving_way = [a + b for a, b in zip(self.giving_way, capture.giving_way)]
            if attempt >= 1 and self.giving_way[0] >= 2 and self.giving_way[1] >= 1:
                break
        print(f"  {self.terminal.name}: the ripple gave way in {self.giving_way[0]} top and "
              f"{self.giving_way[1]} bottom halves of the fitted captures", flush=True)

    def capture_exact(self, attempts=6):
        """Exact-view captures until a frame of each ripple split has been
        seen (each split shows its own half blocks), at least two, at most
        `attempts`."""
        seen = set()
        for attempt in range(attempts):
            pause()
            capture = self.capture(f"exact-{attempt + 1}", EXACT)
            if not capture.matched:
                return
            seen.add(capture.split)
            if attempt >= 1 and {"left/right", "top/bottom"} <= seen:
                return
        print(f"  {self.terminal.name}: the exact view's captures all showed the ripple split "
              f"{' and '.join(sorted(map(str, seen)))}", flush=True)

    def main_screen_line_drawn(self):
        path = self.screenshot(self.work / "waiting.png")
        with screen_cells.Image.open(path) as image:
            text = image.convert("RGB").crop((0, 0, 16 * self.cell[0], self.cell[1]))
            return hex_rgb(self.terminal.foreground) in {rgb for _, rgb in text.getcolors(1 << 24)}

    def picture_drawn(self, rows):
        """Whether the whole window shows the picture: no cell's quadrant
        centres show the terminal's own background any more."""
        path = self.screenshot(self.work / "waiting.png")
        screen = self.screen(path, rows)
        background = screen_cells.colour_of(hex_rgb(self.terminal.background))
        return all(background not in screen.quadrants(row, column)
                   for row in range(rows) for column in range(COLUMNS))

    # --- the session ------------------------------------------------------------------

    def run(self):
        # The frames the captures can show, made while the terminal starts.
        self.dump_process = subprocess.Popen(
            [str(self.frames_tool), "--seed", str(self.seed), "--frames", str(DUMPED_FRAMES),
             "--spectrum", "silence", "--dump", str(self.work / "frames.jsonl")],
            stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
        self.start()
        size = self.tty_size()
        if size != (24, 80):
            raise SessionError(f"the terminal started at {size[1]}x{size[0]}, not 80x24")
        self.cell = self.measure_cells(24)
        if not wait_for(20, self.main_screen_line_drawn, step=0.1):
            raise SessionError("the main screen line did not show within 20 s")
        before = self.settled_screenshot(self.work / "main-screen-before.png")

        (self.work / "go").touch()
        self.started = time.monotonic()
        if not wait_for(20, lambda: (self.work / "pid").exists()):
            raise SessionError("the demo did not start")
        self.demo_pid = int((self.work / "pid").read_text())
        if not wait_for(20, lambda: self.picture_drawn(24) or (self.work / "status").exists(),
                        step=0.2):
            self.fail("after 20 s the picture does not cover the 80x24 window")
        self.capture_fitted()

        width, height = COLUMNS * self.cell[0], 50 * self.cell[1]
        self.xtool("xdotool", "windowsize", self.window, str(width), str(height))
        if not wait_for(10, lambda: self.tty_size() == (50, 80)):
            raise SessionError(f"resized to {width}x{height} pixels, the terminal is "
                               f"{self.tty_size()[1]}x{self.tty_size()[0]}, not 80x50")
        if not wait_for(20, lambda: self.picture_drawn(50) or (self.work / "status").exists(),
                        step=0.2):
            self.fail("after 20 s the picture does not cover the 80x50 window")
        self.capture_exact()

        self.xtool("xdotool", "windowfocus", "--sync", self.window)
        self.xtool("xdotool", "key", "Escape")
        if not wait_for(20, lambda: (self.work / "status").exists()):
            raise SessionError("the demo did not end within 20 s of Esc")
        status = (self.work / "status").read_text().strip()
        if status != "0":
            self.fail(f"exit status {status} after Esc, wanted 0")
        time.sleep(0.3)
        after = self.settled_screenshot(self.work / "main-screen-after.png")
        self.check_main_screen(before, after)

    def check_main_screen(self, before_path, after_path):
        """The main screen after the show is as it was before: the text line
        and the cursor where they were, nothing of the picture anywhere."""
        failed = False
        with screen_cells.Image.open(before_path) as image:
            before = image.convert("RGB")
        with screen_cells.Image.open(after_path) as image:
            after = image.convert("RGB")
        foreground = hex_rgb(self.terminal.foreground)
        background = hex_rgb(self.terminal.background)
        text_row = before.crop((0, 0, 16 * self.cell[0], self.cell[1]))
        if foreground not in {rgb for _, rgb in text_row.getcolors(1 << 24)}:
            self.fail("the main screen line does not show before the demo starts")
            failed = True
        left = {rgb for _, rgb in after.getcolors(1 << 24)} & PICTURE_RGB
        if left:
            self.fail("after Esc the window still shows the picture's colours " +
                      ", ".join(describe(screen_cells.colour_of(rgb)) for rgb in sorted(left)))
            failed = True
        width = min(before.width, after.width, COLUMNS * self.cell[0])
        height = 24 * self.cell[1]
        top_before = before.crop((0, 0, width, height))
        top_after = after.crop((0, 0, width, height))
        if top_before.tobytes() != top_after.tobytes():
            difference = first_difference(top_before, top_after)
            self.fail("after Esc the main screen's first 24 rows differ from before the demo: "
                      f"first at cell row {difference[1] // self.cell[1]}, column "
                      f"{difference[0] // self.cell[0]} (pixel {difference}: "
                      f"{top_before.getpixel(difference)} before, "
                      f"{top_after.getpixel(difference)} after)")
            failed = True
        below = after.crop((0, height, width, after.height))
        if below.height > 0 and {rgb for _, rgb in below.getcolors(1 << 24)} != {background}:
            self.fail("after Esc the rows below the main screen line are not blank")
            failed = True
        if failed:
            keep(after_path, self.work.parent, f"{self.terminal.name}-main-screen-after.png")
            keep(before_path, self.work.parent, f"{self.terminal.name}-main-screen-before.png")


class SessionError(Exception):
    pass


def ripple_split(screen, view):
    """How the ripple's cells are split in the frame shown: "left/right"
    when some ripple cell (or, fitted, a half of one) shows dark grey beside
    black, "top/bottom" when some exact-view cell shows them one above the
    other, else None."""
    ripple = {0, 8}
    for row in range(view.rows):
        for column in range(COLUMNS):
            q = screen.quadrants(row, column)
            if not set(q) <= ripple:
                continue
            if q[0] != q[1] or q[2] != q[3]:
                return "left/right"
            if view.rows_per_cell == 1 and q[0] != q[2]:
                return "top/bottom"
    return None if view.rows_per_cell == 1 else "top/bottom"


def process_state(pid):
    try:
        with open(f"/proc/{pid}/stat") as stat:
            return stat.read().rsplit(")", 1)[1].split()[0]
    except (FileNotFoundError, ProcessLookupError):
        return None


def thread_syscalls(pid):
    """The system call each thread of `pid` is in (its number as text)."""
    calls = []
    try:
        for task in os.listdir(f"/proc/{pid}/task"):
            try:
                with open(f"/proc/{pid}/task/{task}/syscall") as syscall:
                    calls.append(syscall.read().split()[0])
            except (FileNotFoundError, ProcessLookupError, IndexError):
                pass
    except FileNotFoundError:
        pass
    return calls


def same_pixels(first, second):
    with screen_cells.Image.open(first) as a, screen_cells.Image.open(second) as b:
        return a.size == b.size and a.convert("RGB").tobytes() == b.convert("RGB").tobytes()


def first_difference(a, b):
    pa, pb = a.load(), b.load()
    for y in range(a.height):
        for x in range(a.width):
            if pa[x, y] != pb[x, y]:
                return (x, y)
    return (0, 0)


def keep(path, folder, name):
    target = folder / name
    shutil.copyfile(path, target)
    return target


# --- checking the captures ----------------------------------------------------------

def colour_census(view, match, dump, screen):
    """For each colour the picture must show, what was read where it must show."""
    picture = expected_view.with_bars(dump.picture(match.frame), match.heights)
    grid = view.expected(picture)
    read = collections.defaultdict(collections.Counter)
    for row in range(view.rows):
        for column in range(COLUMNS):
            for want, got in zip(grid[row][column].quadrants, screen.quadrants(row, column)):
                read[want][got] += 1
    return read


def short(colour):
    if isinstance(colour, int):
        return screen_cells.COLOUR_NAMES[colour]
    return "rgb(%d,%d,%d)" % tuple(colour)


def quad_text(quadrants):
    return f"{short(quadrants[0])} {short(quadrants[1])} / {short(quadrants[2])} " \
           f"{short(quadrants[3])}"


def check_palette(session, capture, screen):
    """Every colour read at the sample points is one the picture uses, in
    the console palette's RGB; any other is named, with the theme colour it
    is, if it is one."""
    picture_colours = {0, BAR_COLOUR, 8, 9, LINE_COLOUR}
    read = collections.Counter()
    for row in range(capture.view.rows):
        for column in range(COLUMNS):
            read.update(screen.quadrants(row, column))
            read[screen.centre(row, column)] += 1
    foreign = [(colour, count) for colour, count in read.most_common()
               if colour not in picture_colours]
    if not foreign:
        return True
    lines = [f"{capture.view.name}, {capture.label}: colours the picture does not use "
             f"(of {sum(read.values())} points read):"]
    for colour, count in foreign[:6]:
        own = None if isinstance(colour, int) else session.terminal.own_colour(tuple(colour))
        lines.append(f"    {describe(colour)} at {count} points" + (f": {own}" if own else ""))
    session.fail("\n".join(lines))
    return False


def report_match(session, capture, dump, screen, first_frame, last_frame):
    designed = session.designed
    name = session.terminal.name
    view = capture.view
    where = f"{view.name}, {capture.label}"
    palette_ok = check_palette(session, capture, screen)
    match = expected_view.find_frame(view, dump, screen, first_frame, last_frame)
    first, last = match.searched
    ok = palette_ok
    if match.mismatches:
        ok = False
        cells = collections.OrderedDict()
        for miss in match.mismatches:
            cells.setdefault((miss.row, miss.column), []).append(miss)
        lines = [f"{where}: no frame of seed {session.seed} (frames {first}-{last}) matches; "
                 f"the best, frame {match.frame}, differs in {len(cells)} cells "
                 "(quadrants read as top-left top-right / bottom-left bottom-right):"]
        grid = view.expected(expected_view.with_bars(dump.picture(match.frame), match.heights))
        shown = 3 if not palette_ok else 10
        for (row, column), misses in list(cells.items())[:shown]:
            wanted = grid[row][column]
            read = screen.quadrants(row, column)
            source = " over ".join(f"{c}/{a:#04x}" for c, a in wanted.source)
            text = (f"    row {row} column {column} ({view.describe_rows(row)}, picture "
                    f"{source}): read {quad_text(read)}, wanted {quad_text(wanted.quadrants)}")
            for miss in misses:
                if miss.what == "centre":
                    text += f"; centre {short(miss.read)}, wanted {short(miss.wanted)}"
                elif miss.what == "bar line":
                    text += f"; no {short(LINE_COLOUR)} line"
            lines.append(text)
        if len(cells) > shown:
            lines.append(f"    ... and {len(cells) - shown} more cells")
        session.fail("\n".join(lines))
    standing = [height for height in match.heights if height > 0]
    if not standing:
        ok = False
        session.fail(f"{where}: no bar stands on the bottom row in any column")
    else:
        missing = [column for column, height in enumerate(match.heights) if height == 0]
        if missing:
            ok = False
            session.fail(f"{where}: no bar stands on the bottom row in columns {missing}")
        wrong = [(column, height, want) for column, (height, want)
                 in enumerate(zip(match.heights, designed)) if height and height != want]
        if wrong:
            ok = False
            session.fail(f"{where}: bars of the wrong height, in picture rows "
                         "(column, read, the test track's): " +
                         ", ".join(map(str, wrong[:12])) + (" ..." if len(wrong) > 12 else ""))
    if ok:
        note = ""
        match.giving_way = None
        if view.rows_per_cell == 2:
            picture = expected_view.with_bars(dump.picture(match.frame), match.heights)
            match.giving_way = expected_view.ripple_giving_way(view, picture)
            note = (f"; the ripple gives way in {match.giving_way[0]} top and "
                    f"{match.giving_way[1]} bottom halves")
        print(f"  {name} {where}: frame {match.frame} ({capture.split} split) matches cell for "
              f"cell (searched {first}-{last}); bars {min(match.heights)}-{max(match.heights)} "
              f"high{note}", flush=True)
    else:
        target = keep(capture.path, session.work.parent, f"{name}-{capture.label}.png")
        print(f"  screenshot kept: {target}", file=sys.stderr, flush=True)
        mark_mismatches(target, screen, match)
    return match if ok else None


def mark_mismatches(path, screen, match):
    """Outlines each differing cell in magenta on a copy of the screenshot."""
    from PIL import ImageDraw
    with screen_cells.Image.open(path) as image:
        marked = image.convert("RGB")
    draw = ImageDraw.Draw(marked)
    for row, column in {(m.row, m.column) for m in match.mismatches}:
        x, y = column * screen.cell_width, row * screen.cell_height
        draw.rectangle((x, y, x + screen.cell_width - 1, y + screen.cell_height - 1),
                       outline=(255, 0, 255))
    marked.save(path.with_name(path.stem + "-differences.png"))


def colours_shown(view, match, dump, screen):
    """The picture colours the matched capture showed, each read back at
    every point where it must show (the match is exact), and whether the
    bars' line showed in light red."""
    census = colour_census(view, match, dump, screen)
    shown = {colour for colour, reads in census.items() if reads}
    if any(screen.shows_colour_in_middle(row, column, LINE_COLOUR)
           for row in range(view.rows) for column in range(COLUMNS)):
        shown.add(LINE_COLOUR)
    return shown


COLOUR_ROLES = {8: "ripple grey", 0: "ripple black", 9: "letters", BAR_COLOUR: "bars",
                LINE_COLOUR: "bar line"}


def check_colours(session, shown, compared):
    """Over the session's matched captures, each colour of the picture was
    seen, read back as the console palette's RGB."""
    if not compared:
        return
    absent = [f"{role} ({describe(colour)})" for colour, role in COLOUR_ROLES.items()
              if colour not in shown]
    if absent:
        session.fail(f"never seen in {compared} matching captures: " + ", ".join(absent))
    else:
        print(f"  {session.terminal.name}: read back exactly in {compared} captures: " +
              ", ".join(f"{role} {CONSOLE_PALETTE[c]}" for c, role in COLOUR_ROLES.items()),
              flush=True)


def check_the_checker(session, capture, screen, match, dump):
    """The comparison must reject what is wrong: the frame before, a picture
    one row lower (its bottom row missing), and one colour off."""
    view = capture.view
    wrong_frame = match.frame - 1 if match.frame - 1 in dump else match.frame + 1
    cases = {
        f"frame {wrong_frame} instead of {match.frame}":
            lambda: expected_view.match_at(view, dump, screen, wrong_frame, match.heights),
        "the picture one row lower, its bottom row missing":
            lambda: expected_view.match_at(view, dump, ShiftedScreen(screen), match.frame),
        "dark grey read as (127, 127, 127) in one cell":
            lambda: expected_view.match_at(view, dump, RecolouredScreen(screen), match.frame),
    }
    for what, attempt in cases.items():
        result = attempt()
        accepted = not result.mismatches and min(result.heights) > 0
        if accepted:
            session.fail(f"{capture.label}: the comparison accepts {what}")


class ShiftedScreen:
    """A screen whose every row shows the row above it."""

    def __init__(self, screen):
        self.screen = screen
        self.cell_width, self.cell_height = screen.cell_width, screen.cell_height

    def _from(self, row):
        return max(row - 1, 0)

    def quadrants(self, row, column):
        return self.screen.quadrants(self._from(row), column)

    def centre(self, row, column):
        return self.screen.centre(self._from(row), column)

    def shows_colour_in_middle(self, row, column, colour):
        return self.screen.shows_colour_in_middle(self._from(row), column, colour)


class RecolouredScreen:
    """A screen with the first dark grey quadrant read one step off."""

    def __init__(self, screen):
        self.screen = screen
        self.cell_width, self.cell_height = screen.cell_width, screen.cell_height
        self.target = None
        for row in range(screen.rows):
            for column in range(COLUMNS):
                if 8 in screen.quadrants(row, column) and self.target is None:
                    self.target = (row, column)

    def quadrants(self, row, column):
        read = self.screen.quadrants(row, column)
        if (row, column) == self.target:
            return tuple((127, 127, 127) if q == 8 else q for q in read)
        return read

    def centre(self, row, column):
        return self.screen.centre(row, column)

    def shows_colour_in_middle(self, row, column, colour):
        return self.screen.shows_colour_in_middle(row, column, colour)


# --- the whole test -------------------------------------------------------------

def main(arguments):
    if len(arguments) < 4:
        print(__doc__, file=sys.stderr)
        return 2
    vantrel, frames_tool, source_dir, output = (Path(a).resolve() for a in arguments[:4])
    extra = arguments[4:]
    keep_all = "--keep" in extra
    chosen = [name for name in extra if name != "--keep"] or list(TERMINALS)
    unknown = [name for name in chosen if name not in TERMINALS]
    if unknown:
        print(f"unknown terminal(s) {unknown}; these are tested: {list(TERMINALS)}",
              file=sys.stderr)
        return 2
    missing = [f"{program} (Debian package {package})" for program, package in PROGRAMS.items()
               if shutil.which(program) is None]
    if not Path(FONT).exists():
        missing.append(f"{FONT} (Debian package fonts-dejavu-core)")
    if missing:
        print("FAIL: missing " + ", ".join(missing) + "; tools/install-packages test installs "
              "them", file=sys.stderr)
        return 1
    if output.exists():
        shutil.rmtree(output)
    output.mkdir(parents=True)
    failures = Failures()
    track = output / "tones.mp3"
    test_music.write_track(track, output / "tones.wav")
    (output / "tones.wav").unlink()
    designed = test_music.designed_heights()

    display = Display(output / "xvfb.log")
    try:
        for name in chosen:
            work = output / name
            work.mkdir()
            terminal = TERMINALS[name](work)
            session = Session(terminal, display, vantrel, frames_tool, track, SEEDS[name],
                              designed, failures)
            print(f"{name}: seed {session.seed}", flush=True)
            try:
                session.run()
            except (SessionError, subprocess.SubprocessError) as error:
                session.fail(str(error))
                session.screenshot_at_failure()
                for capture in Path(work).glob("*.png"):
                    keep(capture, output, f"{name}-{capture.name}")
            finally:
                session.stop()
            check_colours(session, session.colours_seen,
                          sum(capture.matched for capture in session.captures))
            (work / "frames.jsonl").unlink(missing_ok=True)
    finally:
        display.stop()

    if failures.messages:
        print(f"{len(failures.messages)} check(s) failed; screenshots in {output}",
              file=sys.stderr)
        return 1
    if not keep_all:
        for name in chosen:
            shutil.rmtree(output / name, ignore_errors=True)
    print("all real-terminal checks passed")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
