#!/usr/bin/python3
"""The demo in five real graphical terminals, read back from their pixels.

Under a private Xvfb server, each of xterm, kitty, alacritty, konsole and
xfce4-terminal (VTE), and xterm again as a VT340 (sixel graphics), is started
once at 80 x 24 (the VT340 at 90 x 40) with a private configuration
(DejaVu Sans Mono 12, no padding, no bars, a known theme of its own) and runs
`vantrel --seed N --music TRACK` from show.sh. The demo is stopped (SIGSTOP)
for each screenshot, so the terminal shows one whole frame; the cells are
read at their quadrant centres and compared with the frame tool's frames of
the same seed (the best-matching frame must match cell for cell; the bars,
which follow the live music, must stand on the bottom row at the heights the
test track gives them). The view each capture must show follows what the
terminal shows, not what it tells the demo: the rows shown are the fewer of
the pty's rows and the rows the window holds (konsole sets its pty to the
80 x 50 the demo asks for while its window stays at 24 rows; xfce4-terminal
grows its window to 80 x 50):

  - 24 rows shown: the fitted view, two picture rows in each terminal row;
  - 50 rows shown: the exact view, one terminal cell per picture cell;
    the window is then resized to the other size, and the other view checked;
  - where the terminal draws images (kitty graphics: kitty, konsole; sixel:
    xterm -ti vt340) and its text area holds the 640 x 600 picture at a whole
    scale n (pixel_view gives the rule), the pixel view instead: kitty and
    konsole at 80 x 50, kitty resized to 130 x 64 at scale 2 (then back to
    80 x 24: the fitted view, the image gone), the VT340 from its start. The
    picture's place must show the frame tool's PNG of the frame shown (found
    by search, as for the cells), the bars stood on it, scaled by n: every
    pixel exactly, or for sixel (whole percents) within one level a channel;
    every n x n square one colour, and nothing of the picture's colours
    outside its place;
  - Esc: exit status 0, and the main screen exactly as before the demo,
    with no pixel of the picture's colours left. What the demo says on
    stderr is kept off the screen (in WORK/stderr) and may only be its note
    of frames the terminal was too slow to take.

The picture's colours must read back as the console palette's RGB exactly
(sixel: within one level). Every terminal has a theme of its own (xterm its built-in 16 colours), so
only direct colour gives those values. What each terminal tells its programs
(TERM, COLORTERM) is recorded, not assumed.

A table of the terminals, what they tell, the view at start, the colours
read back and what the pixel view showed is written to OUTPUT_DIR/terminals.md and must equal the one in
README.md and in docs/terminals.md (the rows of the terminals tested).

Usage: real_terminals.py VANTREL VANTREL_FRAMES SOURCE_DIR OUTPUT_DIR [--keep] [TERMINAL...]
Screenshots of failed checks are kept in OUTPUT_DIR; with --keep, all of them.
"""

import collections
import fcntl
import os
import random
import re
import shutil
import signal
import struct
import subprocess
import sys
import termios
import time
from pathlib import Path

HERE = Path(__file__).resolve().parent
sys.path.insert(0, str(HERE))

import expected_view  # noqa: E402
import pixel_view  # noqa: E402
import screen_cells  # noqa: E402
import test_music  # noqa: E402
from expected_view import EXACT, FITTED_24, BAR_COLOUR, LINE_COLOUR  # noqa: E402
from pixel_view import PixelView  # noqa: E402
from screen_cells import CONSOLE_PALETTE, ScreenCells, describe  # noqa: E402

COLUMNS = 80
PROGRAMS = {  # program -> Debian package
    "Xvfb": "xvfb", "xterm": "xterm", "kitty": "kitty", "alacritty": "alacritty",
    "import": "imagemagick", "xdotool": "xdotool", "xwininfo": "x11-utils", "lame": "lame",
    "konsole": "konsole", "xfce4-terminal": "xfce4-terminal",
}
FONT = "/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf"
PICTURE_RGB = {CONSOLE_PALETTE[c] for c in (4, 8, 9, 12)}  # bar, ripple grey, letters, line
SCREEN = (1400, 1280)  # the X screen: room for kitty at 130 x 64 cells of 10 x 19 pixels


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
                ["Xvfb", "-displayfd", str(write_end), "-screen", "0",
                 f"{SCREEN[0]}x{SCREEN[1]}x24",
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
    software_gl = False
    background = ""
    foreground = ""
    cursor = ""
    palette = []  # the theme's own 16 ANSI colours
    find_by_pid = False  # its window found by its process, not its title
    version_command = []
    # The images it draws: "kitty graphics" (it answers the kitty graphics
    # query), "sixel" (its DA1 lists attribute 4), or None. Where it draws
    # them, the demo must show the pixel view wherever the rule places it.
    images = None
    start_size = (COLUMNS, 24)  # columns, rows
    scale_two_size = None  # a window size (columns, rows) for the pixel view at scale 2

    def __init__(self, work):
        self.work = work
        self.title = f"vantrel-test-{self.name}"

    def command(self, program):
        raise NotImplementedError

    def version_environment(self, environment):
        """The environment its version command runs in."""
        return environment

    def own_colour(self, rgb):
        """Which of the theme's own colours an RGB value is, if any."""
        for index, colour in enumerate(self.palette):
            if hex_rgb(colour) == rgb:
                return f"this terminal's own colour {index}"
        return None


class XTerm(Terminal):
    name = "xterm"
    # Its own built-in colours, as it reports them (OSC 4, 10, 11): black on
    # white, and a 16-colour palette none of whose red, dark grey and blue
    # is the console's.
    background = "#ffffff"
    foreground = "#000000"
    cursor = "#000000"
    palette = ["#000000", "#cd0000", "#00cd00", "#cdcd00", "#0000ee", "#cd00cd", "#00cdcd",
               "#e5e5e5", "#7f7f7f", "#ff0000", "#00ff00", "#ffff00", "#5c5cff", "#ff00ff",
               "#00ffff", "#ffffff"]
    version_command = ["xterm", "-version"]

    def command(self, program):
        # As Debian starts it (its own TERM, its own colours), with only what
        # reading pixels needs: no border, no scroll bar, no blinking, no bold.
        resources = {
            "cursorBlink": "false",
            "internalBorder": "0", "borderWidth": "0", "scrollBar": "false",
            "utf8": "1", "locale": "false",
            "boldMode": "false", "colorBDMode": "false", "allowBoldFonts": "false",
            # The demo asks for 80 x 50 (CSI 8 t); the test sets the sizes.
            # (xterm's own default, said here so that no resource file changes it.)
            "allowWindowOps": "false",
            "visualBell": "false",
        }
        options = []
        for key, value in resources.items():
            options += ["-xrm", f"XTerm*{key}: {value}"]
        # No antialiasing: every pixel of a glyph is its cell's foreground or
        # background, so the thin bar line shows its colour exactly.
        columns, rows = self.start_size
        return ["xterm", *self.emulation, "-geometry", f"{columns}x{rows}+0+0",
                "-fa", "DejaVu Sans Mono:antialias=false", "-fs", "12", "-b", "0", "-bw", "0",
                "+sb", "-title", self.title, *options, "-e", *program]

    emulation = []


class XTermVT340(XTerm):
    """xterm as a VT340 (`-ti vt340`): its DA1 then lists sixel graphics. Its
    window of 90 x 40 cells of 10 x 19 pixels holds the 640 x 600 picture at
    scale 1 above its last row (a sixel image touching that row would scroll
    the screen): the demo starts in the pixel view."""
    name = "xterm-vt340"
    images = "sixel"
    start_size = (90, 40)
    emulation = ["-ti", "vt340"]


class Kitty(Terminal):
    name = "kitty"
    software_gl = True
    images = "kitty graphics"
    scale_two_size = (130, 64)  # 1300 x 1216 pixels: the picture at scale 2, 1280 x 1200
    background = "#00222b"
    foreground = "#839496"
    cursor = "#dc8f2f"
    palette = ["#073642", "#dc322f", "#859900", "#b58900", "#268bd2", "#d33682", "#2aa198",
               "#eee8d5", "#586e75", "#cb4b16", "#93a61a", "#c49a1c", "#5f87d7", "#6c71c4",
               "#35b5ab", "#fdf6e3"]
    version_command = ["kitty", "--version"]

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
    software_gl = True
    # Alacritty's own default theme, the normal black moved off the background.
    background = "#1d1f21"
    foreground = "#c5c8c6"
    cursor = "#e0a040"
    palette = ["#282a2e", "#cc6666", "#b5bd68", "#f0c674", "#81a2be", "#b294bb", "#8abeb7",
               "#c5c8c6", "#666666", "#d54e53", "#b9ca4a", "#e7c547", "#7aa6da", "#c397d8",
               "#70c0b1", "#eaeaea"]
    version_command = ["alacritty", "--version"]

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


class Konsole(Terminal):
    name = "konsole"
    # KDE's Breeze theme, its normal black moved off the background.
    background = "#232627"
    foreground = "#fcfcfc"
    cursor = "#fcfcfc"  # Konsole draws its cursor in the foreground colour
    palette = ["#31363b", "#ed1515", "#11d116", "#f67400", "#1d99f3", "#9b59b6", "#1abc9c",
               "#fcfcfc", "#7f8c8d", "#c0392b", "#1cdc9a", "#fdbc4b", "#3daee9", "#8e44ad",
               "#16a085", "#ffffff"]
    find_by_pid = True
    version_command = ["konsole", "--version"]
    images = "kitty graphics"  # it draws sixel too; the demo prefers kitty's protocol
    # Its main window's saved layout (QMainWindow::saveState, as Konsole 22.12
    # writes it) with both tool bars hidden: Konsole has no setting or option
    # for that, and a tool bar above the cells would move them.
    WINDOW_STATE = (
        "AAAA/wAAAAD9AAAAAQAAAAAAAAAAAAAAAPwCAAAAAvsAAAAiAFEAdQBpAGMAawBDAG8AbQBtAGEAbgBkAHMA"
        "RABvAGMAawAAAAAA/////wAAAS4A////+wAAABwAUwBTAEgATQBhAG4AYQBnAGUAcgBEAG8AYwBrAAAAAAD/"
        "////AAAA3gD///8AAAMqAAAByAAAAAQAAAAEAAAACAAAAAj8AAAAAQAAAAIAAAACAAAAFgBtAGEAaQBuAFQA"
        "bwBvAGwAQgBhAHIAAAAAAP////8AAAAAAAAAAAAAABwAcwBlAHMAcwBpAG8AbgBUAG8AbwBsAGIAYQByAAAA"
        "AJf/////AAAAAAAAAAA=")

    def version_environment(self, environment):
        return {**environment, "QT_QPA_PLATFORM": "offscreen"}

    def command(self, program):
        home = self.work / "home"
        data = home / ".local" / "konsole"
        data.mkdir(parents=True, exist_ok=True)
        (home / ".config").mkdir(parents=True, exist_ok=True)
        scheme = ["[General]", "Description=vantrel test", "Opacity=1", "Blur=false", ""]
        for group, colour in (("Background", self.background),
                              ("BackgroundIntense", self.background),
                              ("Foreground", self.foreground),
                              ("ForegroundIntense", self.foreground)):
            scheme += [f"[{group}]", "Color=" + ",".join(map(str, hex_rgb(colour))), ""]
        for index in range(8):
            for suffix, colour in (("", self.palette[index]),
                                   ("Intense", self.palette[index + 8])):
                scheme += [f"[Color{index}{suffix}]",
                           "Color=" + ",".join(map(str, hex_rgb(colour))), ""]
        (data / "vantrel-test.colorscheme").write_text("\n".join(scheme))
        (data / "vantrel-test.profile").write_text("""\
[Appearance]
AntiAliasFonts=false
BoldIntense=false
ColorScheme=vantrel-test
Font=DejaVu Sans Mono,12,-1,5,50,0,0,0,0,0
LineSpacing=0
UseFontLineChararacters=false

[General]
Name=vantrel-test
Parent=FALLBACK/
ShowTerminalSizeHint=false
TerminalCenter=false
TerminalColumns=80
TerminalMargin=0
TerminalRows=24

[Scrolling]
HighlightScrolledLines=false
HistoryMode=0
ScrollBarPosition=2

[Terminal Features]
BlinkingCursorEnabled=false
BlinkingTextEnabled=false
FlowControlEnabled=false
""")
        (home / ".config" / "konsolerc").write_text(f"""\
[Desktop Entry]
DefaultProfile=vantrel-test.profile

[KonsoleWindow]
RememberWindowSize=false
ShowMenuBarByDefault=false

[MainWindow]
MenuBar=Disabled
RestorePositionForNextInstance=false
State={self.WINDOW_STATE}
ToolBarsMovable=Disabled

[TabBar]
TabBarVisibility=AlwaysHideTabBar
""")
        return ["konsole", "--nofork", "--hide-menubar", "--hide-tabbar",
                "--profile", "vantrel-test", "-e", *program]


class Xfce4Terminal(Terminal):
    name = "xfce4-terminal"
    # The Tango theme, on a background of its dark grey.
    background = "#2e3436"
    foreground = "#d3d7cf"
    cursor = "#e0a040"
    palette = ["#000000", "#cc0000", "#4e9a06", "#c4a000", "#3465a4", "#75507b", "#06989a",
               "#d3d7cf", "#555753", "#ef2929", "#8ae234", "#fce94f", "#729fcf", "#ad7fa8",
               "#34e2e2", "#eeeeec"]
    find_by_pid = True
    version_command = ["xfce4-terminal", "--version"]

    def command(self, program):
        config = self.work / "home" / ".config"
        for folder in ("xfce4/terminal", "gtk-3.0", "fontconfig"):
            (config / folder).mkdir(parents=True, exist_ok=True)
        (config / "xfce4" / "terminal" / "terminalrc").write_text(f"""\
[Configuration]
FontName=DejaVu Sans Mono 12
FontUseSystem=FALSE
FontAllowBold=FALSE
MiscAlwaysShowTabs=FALSE
MiscBell=FALSE
MiscBellUrgent=FALSE
MiscBordersDefault=FALSE
MiscCursorBlinks=FALSE
MiscCursorShape=TERMINAL_CURSOR_SHAPE_BLOCK
MiscDefaultGeometry=80x24+0+0
MiscInheritGeometry=FALSE
MiscMenubarDefault=FALSE
MiscToolbarDefault=FALSE
MiscConfirmClose=FALSE
MiscShowUnsafePasteDialog=FALSE
ScrollingBar=TERMINAL_SCROLLBAR_NONE
ScrollingLines=0
ColorForeground={self.foreground}
ColorBackground={self.background}
ColorCursor={self.cursor}
ColorCursorUseDefault=FALSE
ColorBoldUseDefault=TRUE
ColorBoldIsBright=FALSE
ColorPalette={';'.join(self.palette)}
TextBlinkMode=TERMINAL_TEXT_BLINK_MODE_NEVER
""")
        # No padding around the cells, and no antialiasing (as for the others).
        (config / "gtk-3.0" / "gtk.css").write_text("vte-terminal { padding: 0; }\n")
        (config / "fontconfig" / "fonts.conf").write_text("""\
<?xml version="1.0"?>
<!DOCTYPE fontconfig SYSTEM "fonts.dtd">
<fontconfig>
  <match target="font">
    <edit name="antialias" mode="assign"><bool>false</bool></edit>
  </match>
</fontconfig>
""")
        return ["xfce4-terminal", "--disable-server", "--title", self.title,
                "--geometry", "80x24+0+0", "--hide-menubar", "--hide-toolbar",
                "--hide-scrollbar", "--hide-borders", "-x", *program]


TERMINALS = {cls.name: cls for cls in (XTerm, XTermVT340, Kitty, Alacritty, Konsole,
                                        Xfce4Terminal)}
SEEDS = {"xterm": 11, "kitty": 12, "alacritty": 13, "konsole": 14, "xfce4-terminal": 15,
         "xterm-vt340": 16}


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
        self.colours = set()
        self.size = None  # (columns, rows) shown, for the pixel view
        self.largest = None  # the pixel view's largest difference from the PNG, in a channel
        self.label = label
        self.path = path
        self.view = view
        self.elapsed = elapsed


class Session:
    """One terminal, started once at 80 x 24: the demo in the view the
    terminal shows at start, then in the other one (the window resized to
    80 x 50 or back to 80 x 24), then ended with Esc."""

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
        self.points_read = set()  # every colour read in the picture, as RGB
        self.told = ""  # TERM and COLORTERM, as show.sh wrote them
        self.version = ""
        self.version_process = None  # the terminal's version command, run meanwhile
        self.vte_version = ""
        self.view_at_start = None  # (view, pty rows, rows shown), when known
        self.start_matched = False
        self.grants_size = False  # the terminal takes the demo's 80 x 50 itself
        self.rows_set_back = 0
        self.reference = pixel_view.Reference(frames_tool, seed, self.work / "reference")
        self.said = ""  # what the demo wrote to stderr

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
                              "ALACRITTY_SOCKET", "ALACRITTY_LOG", "TMUX", "VTE_VERSION",
                              "KONSOLE_VERSION", "KONSOLE_DBUS_SESSION", "KONSOLE_DBUS_SERVICE",
                              "KONSOLE_DBUS_WINDOW", "SESSION_MANAGER",
                              # No desktop session's bus: the terminals stay apart
                              # from any instance of theirs running there.
                              "DBUS_SESSION_BUS_ADDRESS")}
        env.update({
            "DISPLAY": self.display.name, "LANG": "C.UTF-8", "HOME": str(home),
            "XDG_CONFIG_HOME": str(home / ".config"), "XDG_CACHE_HOME": str(home / ".cache"),
            "XDG_DATA_HOME": str(home / ".local"), "XDG_RUNTIME_DIR": str(runtime),
            "XENVIRONMENT": str(self.work / "no-resources"), "NO_AT_BRIDGE": "1",
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
        environment = self.environment()
        self.version_process = subprocess.Popen(
            self.terminal.version_command, env=self.terminal.version_environment(environment),
            stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
            text=True, start_new_session=True)
        log = open(self.work / "terminal.log", "w")
        self.process = subprocess.Popen(self.terminal.command(program), env=environment,
                                        stdin=subprocess.DEVNULL, stdout=log, stderr=log,
                                        start_new_session=True)
        log.close()
        if not wait_for(30, lambda: (self.work / "tty").exists() or self.process.poll() is not None):
            raise SessionError("the terminal did not start its program within 30 s")
        if self.process.poll() is not None:
            raise SessionError(f"the terminal exited with status {self.process.returncode} "
                               f"(see {self.work / 'terminal.log'})")
        self.tty = (self.work / "tty").read_text().strip()
        # What the terminal tells its programs is recorded, not assumed: the
        # colour checks hold whatever it says.
        self.told = (self.work / "terminal-type").read_text().strip()
        self.vte_version = (self.work / "vte-version").read_text().strip()
        print(f"  {self.terminal.name}: {self.told}", flush=True)

        def find_window():
            if self.terminal.find_by_pid:
                search = ["--pid", str(self.process.pid)]
            else:
                search = ["--name", f"^{self.terminal.title}$"]
            try:
                found = self.xtool("xdotool", "search", "--onlyvisible", *search).split()
            except subprocess.CalledProcessError:
                return None
            return found[0] if found else None
        self.window = wait_for(20, find_window, step=0.1)
        if not self.window:
            raise SessionError("no window of the terminal appeared")
        self.xtool("xdotool", "mousemove", str(SCREEN[0] - 1), str(SCREEN[1] - 1))
        self.xtool("xdotool", "windowfocus", "--sync", self.window)

    def finish_version(self):
        """The terminal's name and version, as its program says them (and
        the VTE version a VTE terminal tells its programs)."""
        if self.version_process is None:
            return
        try:
            said, _ = self.version_process.communicate(timeout=30)
        except subprocess.TimeoutExpired:
            self.version_process.kill()
            said, _ = self.version_process.communicate()
        words = said.split()
        self.version = " ".join(words[:2]) if len(words) >= 2 else said.strip()
        if not self.version:
            self.version = f"{self.terminal.name} (no version said)"
        if self.vte_version.isdigit():
            number = int(self.vte_version)
            self.version += f", VTE {number // 10000}.{number // 100 % 100}.{number % 100}"
        print(f"  {self.terminal.name}: {self.version}", flush=True)

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

    def tty_winsize(self):
        """The pty's window size as its terminal set it: rows, columns,
        width and height in pixels (0 where the terminal does not say)."""
        fd = os.open(self.tty, os.O_RDONLY | os.O_NOCTTY | os.O_NONBLOCK)
        try:
            return struct.unpack("HHHH", fcntl.ioctl(fd, termios.TIOCGWINSZ, bytes(8)))
        finally:
            os.close(fd)

    def tty_size(self):
        rows, columns, _, _ = self.tty_winsize()
        return rows, columns

    def window_cells(self):
        """The whole cells the window holds: (rows, columns)."""
        width, height = self.window_size()
        return height // self.cell[1], width // self.cell[0]

    def view_shown(self):
        """The view the demo must show now, from what the terminal shows:
        the fewer of the pty's rows and columns and the window's. Where the
        terminal draws images and the rule places the picture (pixel_view),
        the pixel view; else at 80 x 24 the fitted view, at 80 x 50 the exact
        one. Returns (view, pty rows, rows shown)."""
        rows, columns = self.tty_size()
        window_rows, window_columns = self.window_cells()
        shown = (min(rows, window_rows), min(columns, window_columns))
        if self.terminal.images:
            view = pixel_view.placement(self.terminal.images, shown[1], shown[0], *self.cell)
            if view is not None:
                return view, rows, shown[0]
        if shown[1] != COLUMNS or shown[0] not in (24, 50):
            raise SessionError(f"the terminal shows {shown[1]}x{shown[0]} cells (pty "
                               f"{columns}x{rows}, window {window_columns}x{window_rows}): "
                               "the test knows the views of 80x24 and 80x50 only")
        return (FITTED_24 if shown[0] == 24 else EXACT), rows, shown[0]

    def window_size(self):
        info = self.xtool("xwininfo", "-id", self.window)
        values = {}
        for line in info.splitlines():
            key, _, value = line.strip().partition(":")
            values[key] = value.strip()
        return int(values["Width"]), int(values["Height"])

    def measure_cells(self, rows, columns=COLUMNS):
        width, height = self.window_size()
        cell = (width // columns, height // rows)
        if cell[0] < 4 or cell[1] < 4 or width - columns * cell[0] >= cell[0] or \
                height - rows * cell[1] >= cell[1]:
            raise SessionError(f"a window of {width}x{height} pixels does not hold "
                               f"{columns}x{rows} whole cells")
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
        """One capture of `view`, checked. The demo writes without blocking,
        and on every resume (after each capture) clears the screen and sends
        the pixel view's picture whole: where a capture of the pixel view
        shows the picture's place blank, that picture was not yet drawn
        (check_pixels), and the capture is taken again, twice at most."""
        retries = 2 if isinstance(view, PixelView) else 0
        for attempt in range(retries + 1):
            capture = self.capture_once(label, view)
            if isinstance(view, PixelView):
                if self.check_pixels(capture, may_retry=attempt < retries) == "retry":
                    kept = capture.path.with_name(f"{label}-blank-{attempt + 1}.png")
                    capture.path.replace(kept)
                    print(f"  {self.terminal.name} {label}: the picture's place blank, the "
                          "screen cleared for a whole new picture not yet drawn (taken again; "
                          f"kept as {kept.name})", flush=True)
                    pause()
                    continue
            else:
                self.check(capture)
            self.captures.append(capture)
            return capture
        raise AssertionError("unreachable")

    def capture_once(self, label, view):
        if (self.work / "status").exists():
            raise SessionError(f"the demo ended before the {label} check (status "
                               f"{(self.work / 'status').read_text().strip()}; it said: "
                               f"{self.demo_said() or 'nothing'})")
        self.stop_demo()
        elapsed = time.monotonic() - self.started
        try:
            time.sleep(0.5)
            path = self.settled_screenshot(self.work / f"{label}.png")
            shown, rows, _ = self.view_shown()
            size = self.tty_size()
        finally:
            os.kill(self.demo_pid, signal.SIGCONT)
        if shown != view:
            raise SessionError(f"{label}: the terminal shows what must be {view_words(shown)} "
                               f"(pty {size[1]} x {size[0]}), not {view_words(view)}")
        if self.grants_size and view is FITTED_24:
            self.hold_rows(view.rows)
        capture = Capture(label, path, view, elapsed)
        capture.size = (min(size[1], self.window_cells()[1]), min(size[0], self.window_cells()[0]))
        return capture

    def frames(self):
        if self.dump is None:
            if self.dump_process.wait(60) != 0:
                raise SessionError(f"{self.frames_tool} failed: "
                                   f"{self.dump_process.stderr.read().strip()}")
            self.dump = expected_view.Dump(self.work / "frames.jsonl")
        return self.dump

    def frame_range(self, capture):
        """The frames a capture can show: from the last matched one on, as
        many as 100 a second (the demo draws at most 91) of the time since
        that one was taken, and 50 more."""
        last = self.last_frame + int((capture.elapsed - self.last_elapsed) * 100) + 50
        return self.last_frame, last

    def check(self, capture):
        """Compares a capture of a text view with the frames it can show
        (frame_range)."""
        dump = self.frames()
        screen = self.screen(capture.path, capture.view.rows)
        capture.split = ripple_split(screen, capture.view)
        match = report_match(self, capture, dump, screen, *self.frame_range(capture))
        if match is None:
            return
        self.last_frame = match.frame
        self.last_elapsed = capture.elapsed
        if capture.view.name not in self.checked_views:
            self.checked_views.add(capture.view.name)
            check_the_checker(self, capture, screen, match, dump)
        capture.colours = colours_shown(capture.view, match, dump, screen)
        self.colours_seen |= capture.colours
        capture.giving_way = match.giving_way
        capture.matched = True

    def check_pixels(self, capture, may_retry=False):
        """Compares a capture of the pixel view with the frame tool's PNG:
        the frame found by search, as for the text views, on the cells read
        at the picture's place (one pixel of each square at each quadrant
        centre of each 8 x 12 cell); then every pixel of the place, which
        must be the PNG's with the bars stood on it, scaled by n (within the
        view's tolerance), every n x n square one colour; and outside the
        place no colour of the picture's. With `may_retry`, returns "retry"
        (and says nothing) where the place shows only the terminal's own
        background: the demo, stopped, has cleared the screen for a whole new
        picture (after a resize or a resume) and not yet sent all of it (a
        kitty image and, in xterm, a sixel image show only once whole)."""
        view = capture.view
        where = f"{view.describe()}, {capture.label}"
        dump = self.frames()
        with screen_cells.Image.open(capture.path) as image:
            shot = image.convert("RGB")
        if shot.width < view.box[2] or shot.height < view.box[3]:
            self.fail(f"{where}: the window, {shot.width} x {shot.height} pixels, does not "
                      "hold the picture's place")
            return
        crop = shot.crop(view.box)
        cells = pixel_view.picture_cells(crop, view.scale, view.tolerance)
        capture.split = ripple_split(cells, EXACT)
        first, last = self.frame_range(capture)
        match = expected_view.find_frame(EXACT, dump, cells, first, last)
        searched = f"frames {match.searched[0]}-{match.searched[1]}"
        ok = True
        if may_retry and colours_in(crop) == {hex_rgb(self.terminal.background)}:
            return "retry"
        if match.mismatches:
            found = pixel_view.bounding_box_of_picture(shot, view.tolerance)
            missed = sorted({(m.row, m.column) for m in match.mismatches})
            picture = [CONSOLE_PALETTE[c] for c in pixel_view.PICTURE_COLOURS]
            foreign = sorted((count, rgb) for count, rgb in crop.getcolors(crop.width * crop.height)
                             if not pixel_view.near(rgb, picture, view.tolerance))[::-1]
            self.fail(f"{where}: no frame of seed {self.seed} ({searched}) shows at the "
                      f"picture's place {view.box}; the best, frame {match.frame}, differs in "
                      f"{len(missed)} of its cells (the first at picture row {missed[0][0]}, "
                      f"column {missed[0][1]}); the picture's colours other than black show "
                      f"in the box {found} of the window" +
                      ("; at the place, colours not the picture's: " +
                       ", ".join(f"{rgb} at {count} pixels" for count, rgb in foreign[:4])
                       if foreign else ""))
            ok = False
        elif not check_bars(self, where, match.heights):
            ok = False
        wanted = self.reference.picture(match.frame, match.heights, view.scale)
        difference = pixel_view.Difference(crop, wanted, view.tolerance)
        if ok and difference:
            self.fail(f"{where}: frame {match.frame} matches cell for cell, but not pixel for "
                      f"pixel (within {view.tolerance} in a channel): "
                      f"{difference.describe(view.scale)}")
            ok = False
        uneven = pixel_view.uneven_squares(crop, view.scale)
        if uneven:
            x, y, got, first_of_square = uneven.first
            self.fail(f"{where}: {uneven.count} pixels are not the colour of their "
                      f"{view.scale} x {view.scale} square (the first at ({x}, {y}) of the "
                      f"picture: {got}, its square's {first_of_square})")
            ok = False
        outside, box = pixel_view.picture_colours_outside(shot, view.box, 1)
        if outside:
            self.fail(f"{where}: outside the picture's place the window shows its colours " +
                      ", ".join(f"{rgb} at {count} pixels" for rgb, count in outside.items()) +
                      f", in the box {box}")
            ok = False
        self.points_read |= colours_in(crop)
        capture.colours = {screen_cells.colour_of(rgb)
                           for rgb in colours_in(pixel_view.snapped(crop, view.tolerance))}
        capture.largest = difference.largest
        if not ok:
            target = keep(capture.path, self.work.parent, f"{self.terminal.name}-"
                          f"{capture.label}.png")
            wanted.save(target.with_name(target.stem + "-wanted.png"))
            difference.mask.save(target.with_name(target.stem + "-differences.png"))
            print(f"  screenshot kept: {target} (the picture wanted at its place: "
                  f"{target.stem}-wanted.png; pixels that differ: {target.stem}-differences.png)",
                  file=sys.stderr, flush=True)
            return
        exactly = "exactly" if difference.largest == 0 else \
            f"within {difference.largest} in a channel"
        print(f"  {self.terminal.name} {where}: frame {match.frame} ({capture.split} split; "
              f"searched {match.searched[0]}-{match.searched[1]}), every pixel the PNG's "
              f"{exactly}, bars {min(match.heights)}-{max(match.heights)} high", flush=True)
        self.last_frame = match.frame
        self.last_elapsed = capture.elapsed
        if view not in self.checked_views:
            self.checked_views.add(view)
            check_the_pixel_checker(self, capture, crop, wanted, match)
        self.colours_seen |= capture.colours
        capture.matched = True

    def capture_pixels(self, view, count):
        """`count` captures of the pixel view. Returns whether every one matched."""
        for attempt in range(count):
            pause()
            capture = self.capture(f"pixels-x{view.scale}-{attempt + 1}", view)
            if not capture.matched:
                return False
        return True

    def capture_fitted(self, attempts=8):
        """Fitted-view captures until the ripple has given way to a bar or a
        letter in two top halves and one bottom half (the ripple's cells
        split left/right every other frame, and only then can it), at least
        two, at most `attempts`. Returns whether every one matched."""
        for attempt in range(attempts):
            pause()
            capture = self.capture(f"fitted-{attempt + 1}", FITTED_24)
            if not capture.matched:
                return False  # said already; the next capture would say it again
            if capture.giving_way:
                self.giving_way = [a + b for a, b in zip(self.giving_way, capture.giving_way)]
            if attempt >= 1 and self.giving_way[0] >= 2 and self.giving_way[1] >= 1:
                break
        print(f"  {self.terminal.name}: the ripple gave way in {self.giving_way[0]} top and "
              f"{self.giving_way[1]} bottom halves of the fitted captures", flush=True)
        return True

    def capture_exact(self, attempts=6):
        """Exact-view captures until a frame of each ripple split has been
        seen (each split shows its own half blocks), at least two, at most
        `attempts`. Returns whether every one matched."""
        seen = set()
        for attempt in range(attempts):
            pause()
            capture = self.capture(f"exact-{attempt + 1}", EXACT)
            if not capture.matched:
                return False
            seen.add(capture.split)
            if attempt >= 1 and {"left/right", "top/bottom"} <= seen:
                return True
        print(f"  {self.terminal.name}: the exact view's captures all showed the ripple split "
              f"{' and '.join(sorted(map(str, seen)))}", flush=True)
        return True

    def capture_view(self, view, pixel_captures=2):
        """The captures of one view (of the pixel view, `pixel_captures`);
        the letters must show in one of them at least (the message is never
        wholly out of the picture after its first fifth of a second)."""
        first = len(self.captures)
        if isinstance(view, PixelView):
            matched = self.capture_pixels(view, pixel_captures)
        else:
            matched = (self.capture_fitted if view is FITTED_24 else self.capture_exact)()
        captures = self.captures[first:]
        if matched and not any(9 in capture.colours for capture in captures):
            self.fail(f"{view.name}: no letters ({describe(9)}) in any of "
                      f"{len(captures)} matching captures")
        return matched

    def resize(self, rows, columns=COLUMNS):
        """The window resized to `columns` x `rows` cells; waits until the
        pty and the window both say so, and the view the demo must show then
        is drawn."""
        width, height = columns * self.cell[0], rows * self.cell[1]
        self.xtool("xdotool", "windowsize", self.window, str(width), str(height))
        if not wait_for(10, lambda: self.tty_size() == (rows, columns) and
                        self.window_cells() == (rows, columns)):
            raise SessionError(f"resized to {width}x{height} pixels, the terminal's pty is "
                               f"{self.tty_size()[1]}x{self.tty_size()[0]} and its window "
                               f"holds {self.window_cells()[1]}x{self.window_cells()[0]} "
                               f"cells, not {columns}x{rows}")
        if not wait_for(20, lambda: self.view_drawn() or (self.work / "status").exists(),
                        step=0.2):
            self.fail(f"after 20 s the {columns}x{rows} window does not show "
                      f"{view_words(self.view_shown()[0])}")

    def view_drawn(self):
        """Whether the window shows the view the demo must show now: a text
        view covering its rows (picture_drawn), or the pixel view's colours
        at the picture's place and none of them elsewhere."""
        try:
            view = self.view_shown()[0]
        except SessionError:
            return False
        if not isinstance(view, PixelView):
            return self.picture_drawn(view.rows)
        path = self.screenshot(self.work / "waiting.png")
        with screen_cells.Image.open(path) as image:
            shot = image.convert("RGB")
        if shot.width < view.box[2] or shot.height < view.box[3]:
            return False
        picture = [CONSOLE_PALETTE[c] for c in pixel_view.PICTURE_COLOURS]
        inside = colours_in(shot.crop(view.box))
        if not all(pixel_view.near(rgb, picture, view.tolerance) for rgb in inside):
            return False
        return not pixel_view.picture_colours_outside(shot, view.box, 1)[0]

    def hold_rows(self, rows):
        """The demo asks for 80 x 50 again when it is resumed, as after a
        stop (it cannot tell the test's SIGSTOP from one): a terminal that
        grants it is set back to `rows` rows before the next capture. The
        request is waited for (a few seconds at most: a busy machine may
        delay it), so that it cannot come after the window is set back."""
        wait_for(3, lambda: self.tty_size() != (rows, COLUMNS))
        self.settled_size()
        if self.tty_size() != (rows, COLUMNS) or self.window_cells() != (rows, COLUMNS):
            self.rows_set_back += 1
            self.resize(rows)

    def settled_size(self):
        """Waits (bounded) until the pty's size and the window's have not
        changed for half a second: a terminal may grant the demo's request
        for 80 x 50 a moment after the first frame."""
        last, since = None, time.monotonic()
        deadline = since + 10
        while time.monotonic() < deadline:
            now = (self.tty_winsize(), self.window_size())
            if now != last:
                last, since = now, time.monotonic()
            elif time.monotonic() - since >= 0.5:
                return
            time.sleep(0.05)
        raise SessionError(f"the terminal's size kept changing for 10 s (last {last})")

    def main_screen_line_drawn(self):
        path = self.screenshot(self.work / "waiting.png")
        with screen_cells.Image.open(path) as image:
            text = image.convert("RGB").crop((0, 0, 16 * self.cell[0], self.cell[1]))
            return hex_rgb(self.terminal.foreground) in colours_in(text)

    def picture_drawn(self, rows=None):
        """Whether the whole window (its first `rows` rows, or all it holds;
        80 columns) shows the picture: no cell's quadrant centres show the
        terminal's own background any more."""
        path = self.screenshot(self.work / "waiting.png")
        with screen_cells.Image.open(path) as image:
            held = image.height // self.cell[1]
            if image.width < COLUMNS * self.cell[0]:
                return False
        rows = held if rows is None else min(rows, held)
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
        self.settled_size()  # a window may take its size a moment after it shows
        size = self.tty_size()
        columns, rows = self.terminal.start_size
        if size != (rows, columns):
            raise SessionError(f"the terminal started at {size[1]}x{size[0]}, not "
                               f"{columns}x{rows}")
        self.cell = self.measure_cells(rows, columns)
        if not wait_for(20, self.main_screen_line_drawn, step=0.1):
            raise SessionError("the main screen line did not show within 20 s")
        before = self.settled_screenshot(self.work / "main-screen-before.png")

        (self.work / "go").touch()
        self.started = time.monotonic()
        if not wait_for(20, lambda: (self.work / "pid").exists()):
            raise SessionError("the demo did not start")
        self.demo_pid = int((self.work / "pid").read_text())
        if not wait_for(20, lambda: self.view_drawn() or (self.work / "status").exists(),
                        step=0.2):
            self.fail("after 20 s the window does not show the picture")
        self.settled_size()
        view, pty_rows, shown = self.view_shown()
        self.view_at_start = (view, pty_rows, shown)
        self.grants_size = self.window_cells()[0] != rows
        print(f"  {self.terminal.name}: {shown} rows shown at start (pty {pty_rows}): "
              f"{view_words(view)}", flush=True)
        self.start_matched = self.capture_view(view, pixel_captures=3)
        if view is FITTED_24:
            self.resize(50)
            # The exact view, or where the terminal draws images, the pixel view.
            self.capture_view(self.view_shown()[0])
        elif view is EXACT:
            self.resize(24)
            self.capture_view(FITTED_24)
            print(f"  {self.terminal.name}: resumed after a capture, the demo asked for 80 x 50 "
                  f"again; the window was set back to 80 x 24 {self.rows_set_back} times",
                  flush=True)
        if self.terminal.scale_two_size:
            columns, rows = self.terminal.scale_two_size
            self.resize(rows, columns)
            view = self.view_shown()[0]
            if not isinstance(view, PixelView) or view.scale != 2:
                raise SessionError(f"at {columns} x {rows} cells the test expects "
                                   f"{view_words(view)}, not the pixel view at scale 2")
            self.capture_view(view, pixel_captures=1)
            # Back to the text view: the image must go (the demo deletes it),
            # or it would cover the cells.
            self.resize(24)
            self.capture("fitted-after-pixels", FITTED_24)

        self.xtool("xdotool", "windowfocus", "--sync", self.window)
        self.xtool("xdotool", "key", "Escape")
        if not wait_for(20, lambda: (self.work / "status").exists()):
            raise SessionError("the demo did not end within 20 s of Esc")
        status = (self.work / "status").read_text().strip()
        self.check_said()
        if status != "0":
            self.fail(f"exit status {status} after Esc, wanted 0")
        time.sleep(0.3)
        after = self.settled_screenshot(self.work / "main-screen-after.png")
        self.check_main_screen(before, after)

    def demo_said(self):
        """What the demo wrote to stderr (show.sh keeps it in WORK/stderr, off
        the main screen, which must be as it was)."""
        path = self.work / "stderr"
        self.said = path.read_text(errors="replace").strip() if path.exists() else ""
        return self.said

    def check_said(self):
        """The demo may say, at the end, that the terminal was too slow to
        take every frame of the pixel view (it skips those); nothing else.
        (Lines of the libraries it uses, such as ALSA's about the sound card
        this machine lacks, are only counted.)"""
        others = []
        for line in self.demo_said().splitlines():
            took = SKIPPED_NOTE.fullmatch(line)
            if took:
                print(f"  {self.terminal.name}: the demo says the terminal took {took[1]} of the "
                      f"{took[2]} pixel-view frames drawn", flush=True)
            elif line.startswith("vantrel"):
                self.fail(f"the demo said: {line}")
            else:
                others.append(line)
        if others:
            print(f"  {self.terminal.name}: {len(others)} other lines on stderr, the first: "
                  f"{others[0]}", flush=True)

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
        if foreground not in colours_in(text_row):
            self.fail("the main screen line does not show before the demo starts")
            failed = True
        # The picture's colours, or within one level of them (sixel), but
        # not the terminal's own text and cursor (xterm's are black).
        own = {foreground, background, hex_rgb(self.terminal.cursor)}
        left, box = pixel_view.picture_colours_outside(after, None, 1, ignore=own)
        if left:
            self.fail("after Esc the window still shows the picture's colours " +
                      ", ".join(f"{rgb} at {count} pixels" for rgb, count in sorted(left.items()))
                      + f", in the box {box}")
            failed = True
        columns, rows = self.terminal.start_size
        width = min(before.width, after.width, columns * self.cell[0])
        height = min(before.height, after.height, rows * self.cell[1])
        top_before = before.crop((0, 0, width, height))
        top_after = after.crop((0, 0, width, height))
        if top_before.tobytes() != top_after.tobytes():
            difference = first_difference(top_before, top_after)
            self.fail(f"after Esc the main screen's first {rows} rows differ from before the "
                      f"demo: first at cell row {difference[1] // self.cell[1]}, column "
                      f"{difference[0] // self.cell[0]} (pixel {difference}: "
                      f"{top_before.getpixel(difference)} before, "
                      f"{top_after.getpixel(difference)} after)")
            failed = True
        rest = after.copy()
        rest.paste(background, (0, 0, width, height))
        if colours_in(rest) != {background}:
            self.fail(f"after Esc the window beyond the main screen's first {rows} rows and "
                      f"{columns} columns is not blank")
            failed = True
        if failed:
            keep(after_path, self.work.parent, f"{self.terminal.name}-main-screen-after.png")
            keep(before_path, self.work.parent, f"{self.terminal.name}-main-screen-before.png")


class SessionError(Exception):
    pass


SKIPPED_NOTE = re.compile(r"vantrel: the terminal showed (\d+) of the (\d+) frames drawn; it "
                          r"was too slow to take the others, which were skipped so that the "
                          r"show kept to the music")


def view_words(view):
    if isinstance(view, PixelView):
        return f"the {view.describe()}"
    return f"the {view.name}'s {view.rows} rows"


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


def colours_in(image):
    """The set of RGB values in an RGB image. (PIL's getcolors sizes its
    table by the count it is given: the image's pixel count, not 2**24,
    which takes seconds.)"""
    return {rgb for _, rgb in image.getcolors(max(1, image.width * image.height))}


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
    session.points_read |= {CONSOLE_PALETTE[colour] if isinstance(colour, int) else tuple(colour)
                            for colour in read}
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
    if not check_bars(session, where, match.heights):
        ok = False
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


def check_bars(session, where, heights):
    """Every column's bar stands on the bottom row, at the test track's height."""
    standing = [height for height in heights if height > 0]
    if not standing:
        session.fail(f"{where}: no bar stands on the bottom row in any column")
        return False
    ok = True
    missing = [column for column, height in enumerate(heights) if height == 0]
    if missing:
        ok = False
        session.fail(f"{where}: no bar stands on the bottom row in columns {missing}")
    wrong = [(column, height, want) for column, (height, want)
             in enumerate(zip(heights, session.designed)) if height and height != want]
    if wrong:
        ok = False
        session.fail(f"{where}: bars of the wrong height, in picture rows "
                     "(column, read, the test track's): " +
                     ", ".join(map(str, wrong[:12])) + (" ..." if len(wrong) > 12 else ""))
    return ok


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
        how = "exactly" if session.points_read <= set(CONSOLE_PALETTE) else \
            "within one level of the console's RGB"
        print(f"  {session.terminal.name}: read back {how} in {compared} captures: " +
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


def check_the_pixel_checker(session, capture, crop, wanted, match):
    """The pixel comparison must reject what is wrong: the frame before, the
    picture one pixel to the right, one pixel one level further off than the
    tolerance, and (scaled) a square of two colours."""
    view = capture.view
    tolerance = view.tolerance
    wrong_frame = match.frame - 1 if match.frame - 1 in session.dump else match.frame + 1
    other = session.reference.picture(wrong_frame, match.heights, view.scale)
    shifted = wanted.copy()
    shifted.paste(wanted.crop((0, 0, wanted.width - 1, wanted.height)), (1, 0))
    recoloured = crop.copy()
    x, y = crop.width // 2, crop.height // 2
    red, green, blue = wanted.getpixel((x, y))
    recoloured.putpixel((x, y), (red + tolerance + 1 if red < 128 else red - tolerance - 1,
                                 green, blue))
    cases = {
        f"frame {wrong_frame} instead of {match.frame}":
            lambda: pixel_view.Difference(crop, other, tolerance),
        "the picture one pixel to the right":
            lambda: pixel_view.Difference(crop, shifted, tolerance),
        f"one pixel {tolerance + 1} off in red":
            lambda: pixel_view.Difference(recoloured, wanted, tolerance),
    }
    if view.scale > 1:
        cases["a square of two colours"] = lambda: pixel_view.uneven_squares(recoloured,
                                                                             view.scale)
    for what, attempt in cases.items():
        if not attempt():
            session.fail(f"{capture.label}: the pixel comparison accepts {what}")


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


# --- the table of the terminals tested ---------------------------------------------

TABLE_HEADER = [
    "| terminal | version | TERM, COLORTERM it sets | view at start | colours read back "
    "| pixel view |",
    "| --- | --- | --- | --- | --- | --- |",
]
# Where the table is shown: the front page, and the page that explains it.
DOCUMENTED_TABLES = (Path("README.md"), Path("docs") / "terminals.md")


def palette_256():
    """The RGB of entries 16-255 of the 256-colour palette."""
    levels = [0, 95, 135, 175, 215, 255]
    cube = {(r, g, b) for r in levels for g in levels for b in levels}
    return cube | {(8 + 10 * i,) * 3 for i in range(24)}


def colour_mode(session):
    """Which colours the picture's points read back as, over the session."""
    read = session.points_read
    if not read:
        return "none read"
    console = {CONSOLE_PALETTE[c] for c in COLOUR_ROLES}
    theme = {hex_rgb(c) for c in session.terminal.palette}
    if read <= console:
        return "the console's RGB (direct colour)"
    if all(pixel_view.near(rgb, console, 1) for rgb in read):
        return "the console's RGB within one level (sixel's whole percents)"
    if read <= theme:
        return "the theme's 16 colours"
    if read <= theme | palette_256():
        return "the 256-colour palette's"
    return f"{len(read - console)} colours not the console's"


def view_text(session):
    if session.view_at_start is None:
        return "not seen"
    view, pty_rows, shown = session.view_at_start
    if isinstance(view, PixelView):
        text = f"pixel, {session.terminal.start_size[0]} x {shown}"
        return text if session.start_matched else text + "; did not read back"
    text = f"{'fitted' if view is FITTED_24 else 'exact'}, 80 x {shown}"
    if pty_rows != shown:
        text += f" shown (pty 80 x {pty_rows})"
    elif shown != 24:
        text += " (grants the demo's 80 x 50)"
    if not session.start_matched:
        text += "; did not read back"
    return text


def told_text(told):
    values = dict(part.partition("=")[::2] for part in told.split())
    return ", ".join(f"`{values[key]}`" if values.get(key) else "none"
                     for key in ("TERM", "COLORTERM")) if told else "not seen"


def pixel_text(session):
    """What the pixel view showed: the protocol the terminal draws, the scale
    at each window size, and how close to the PNG's its pixels were."""
    if not session.terminal.images:
        return "none"
    captures = [c for c in session.captures if isinstance(c.view, PixelView)]
    if not captures:
        return f"{session.terminal.images}: not seen"
    phases = []
    for capture in captures:
        phase = f"{capture.view.scale} at {capture.size[0]} x {capture.size[1]}"
        if phase not in phases:
            phases.append(phase)
    text = f"{session.terminal.images}: scale " + ", ".join(phases)
    if not all(capture.matched for capture in captures):
        return text + "; did not read back"
    largest = max(capture.largest for capture in captures)
    return text + ("; the PNG's pixels exactly" if largest == 0 else
                   f"; the PNG's pixels within {largest} level{'s' if largest > 1 else ''}")


def table_row(session):
    cells = [session.terminal.name, session.version or "not seen", told_text(session.told),
             view_text(session), colour_mode(session), pixel_text(session)]
    return "| " + " | ".join(cells) + " |"


def table_rows(path):
    """The terminals' table in a Markdown file (the block of table lines that
    starts with its header, or else the first): {terminal: row}, and its header."""
    blocks, block = [], []
    for line in path.read_text().splitlines() + [""]:
        if line.strip().startswith("|"):
            block.append(line.strip())
        elif block:
            blocks.append(block)
            block = []
    lines = next((b for b in blocks if b[0] == TABLE_HEADER[0]), blocks[0] if blocks else [])
    rows = {line.split("|")[1].strip(): line for line in lines[2:]}
    return lines[:2], rows


def check_table(rows, source_dir, output, all_tested, failures):
    """The table of this run, written to OUTPUT/terminals.md, must be the
    documented one (its rows for the terminals tested) wherever it is shown."""
    written = output / "terminals.md"
    table = "\n".join(TABLE_HEADER + [row for _, row in rows])
    written.write_text(table + "\n")
    print(table, flush=True)
    for documented in (source_dir / path for path in DOCUMENTED_TABLES):
        if not documented.exists():
            failures.add("table", f"{documented} is missing; the table of this run is {written}")
            continue
        header, known = table_rows(documented)
        differ = [name for name, row in rows if known.get(name) != row]
        if header != TABLE_HEADER:
            differ.append("the header")
        if all_tested:
            differ += [f"{name} (not tested)" for name in known if name not in dict(rows)]
        if differ:
            failures.add("table", f"the table in {documented} differs from this run's in "
                         f"{', '.join(differ)}; this run's (in {written}):\n{table}")


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
    rows = []
    try:
        for name in chosen:
            work = output / name
            work.mkdir()
            terminal = TERMINALS[name](work)
            session = Session(terminal, display, vantrel, frames_tool, track, SEEDS[name],
                              designed, failures)
            print(f"{name}: seed {session.seed}", flush=True)
            began = time.monotonic()
            try:
                session.run()
            except (SessionError, subprocess.SubprocessError) as error:
                session.fail(str(error))
                session.screenshot_at_failure()
                for capture in Path(work).glob("*.png"):
                    keep(capture, output, f"{name}-{capture.name}")
            finally:
                session.stop()
                session.finish_version()
            check_colours(session, session.colours_seen,
                          sum(capture.matched for capture in session.captures))
            rows.append((name, table_row(session)))
            print(f"  {name}: {time.monotonic() - began:.0f} s", flush=True)
            (work / "frames.jsonl").unlink(missing_ok=True)
    finally:
        display.stop()
    check_table(rows, source_dir, output, set(chosen) == set(TERMINALS), failures)

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
