"""Checks a tmux pane's capture (capture-pane -p -e) of the Windows demo
playing the steady-bars test track: the view shows the whole picture.

Usage: wine_pane_view.py CAPTURE exact|fitted

Every one of the 80 bars stands on the pane's bottom row at the height the
track gives it (exact: one row a picture row; fitted: one row for two), and
the scroller's bright blue letters show, in their band of rows only. Exits 0
when the pane shows that, else 1 with the first difference.
"""

import math
import pathlib
import re
import sys

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent.parent / "platform" /
                       "real_terminals"))
import test_music  # noqa: E402

COLUMNS = 80
RED = {1, 9}  # the ANSI numbers of the console's red and light red
BRIGHT_BLUE = 12  # the ANSI number of the console's bright blue
SGR = re.compile(r"\x1b\[([0-9;]*)m")


def apply_sgr(parameters, colours):
    """Updates [foreground, background] (ANSI numbers, -1 default) by one SGR."""
    codes = [int(code) if code else 0 for code in parameters.split(";")]
    index = 0
    while index < len(codes):
        code = codes[index]
        if code == 0:
            colours[:] = [-1, -1]
        elif 30 <= code <= 37 or 90 <= code <= 97:
            colours[0] = code - 30 if code < 90 else code - 90 + 8
        elif 40 <= code <= 47 or 100 <= code <= 107:
            colours[1] = code - 40 if code < 100 else code - 100 + 8
        elif code == 39:
            colours[0] = -1
        elif code == 49:
            colours[1] = -1
        elif code in (38, 48) and index + 2 < len(codes) and codes[index + 1] == 5:
            colours[0 if code == 38 else 1] = codes[index + 2]
            index += 2
        index += 1


def read_cells(text):
    """The pane as rows of (character, foreground, background) cells."""
    rows = []
    colours = [-1, -1]
    for line in text.split("\n"):
        row = []
        position = 0
        for match in SGR.finditer(line):
            row += [(ch, colours[0], colours[1]) for ch in line[position:match.start()]]
            apply_sgr(match.group(1), colours)
            position = match.end()
        row += [(ch, colours[0], colours[1]) for ch in line[position:]]
        rows.append((row + [(" ", -1, -1)] * COLUMNS)[:COLUMNS])
    return rows


def shows(cell, colours):
    character, foreground, background = cell
    return background in colours or (character != " " and foreground in colours)


def check(rows, view):
    heights = test_music.designed_heights()
    for column, height in enumerate(heights):
        wanted = height if view == "exact" else math.ceil(height / 2)
        shown = 0
        for row in reversed(rows):
            if not shows(row[column], RED):
                break
            shown += 1
        if shown != wanted:
            return f"bar {column + 1} is {shown} rows high, wanted {wanted}"
    # Picture rows 11 to 22; in the fitted view two to a row, the top one cut.
    band = range(11, 23) if view == "exact" else range(4, 11)
    letter_rows = {index for index, row in enumerate(rows)
                   if any(shows(cell, {BRIGHT_BLUE}) for cell in row)}
    if not letter_rows:
        return "no letters"
    if not letter_rows <= set(band):
        return f"letters on rows {sorted(letter_rows)}, wanted only {band.start}-{band.stop - 1}"
    return None


def main():
    capture, view = sys.argv[1], sys.argv[2]
    text = pathlib.Path(capture).read_text(encoding="utf-8", errors="replace")
    rows = read_cells(text.rstrip("\n"))
    problem = check(rows, view)
    if problem:
        print(f"{view} view: {problem}")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
