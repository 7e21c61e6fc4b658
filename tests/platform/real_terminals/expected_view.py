"""What a terminal must show for a picture of 80 x 50 cells, and the
comparison of that with the cells read from a screenshot.

A picture is a list of 4000 (character, attribute) pairs, row by row, as
the frame tool dumps them (code page 437 characters, console attributes:
foreground in the low nibble, background in the high one).

The exact view shows each picture cell in one terminal cell. The fitted view
(a terminal of 24 rows) shows picture rows 2k+2 and 2k+3 in the top and
bottom halves of terminal row k. Both are written here from what each
character looks like, not from the demo's code.
"""

import base64
import json
import struct

PICTURE_COLUMNS = 80
PICTURE_ROWS = 50

BAR_CELL = (179, 0x4C)     # thin vertical line, light red on red
RIPPLE_ATTRIBUTE = 0x08    # dark grey on black

QUADRANT_NAMES = ("top-left", "top-right", "bottom-left", "bottom-right")

BAR_COLOUR = 4             # red, the bar's background
LINE_COLOUR = 12           # light red, the bar's line

# Which quadrants (TL, TR, BL, BR) of a cell a character covers in its
# foreground colour.
_SHAPES = {
    0: (0, 0, 0, 0), 32: (0, 0, 0, 0), 255: (0, 0, 0, 0),
    219: (1, 1, 1, 1),   # full block
    221: (1, 0, 1, 0),   # left half
    222: (0, 1, 0, 1),   # right half
    223: (1, 1, 0, 0),   # upper half
    220: (0, 0, 1, 1),   # lower half
    179: (0, 0, 0, 0),   # thin vertical line: misses every quadrant centre
}
# What the cell centre shows, where it is not on an edge of the shape.
_CENTRE = {0: "bg", 32: "bg", 255: "bg", 219: "fg"}
# The fitted view's (left, right) of a picture cell: left/right halves keep
# their two sides, top/bottom halves keep their upper sample only.
_FITTED_PAIR = {
    0: ("bg", "bg"), 32: ("bg", "bg"), 255: ("bg", "bg"),
    219: ("fg", "fg"), 221: ("fg", "bg"), 222: ("bg", "fg"),
    223: ("fg", "fg"), 220: ("bg", "bg"), 179: ("bg", "bg"),
}


class PictureError(Exception):
    """A reference picture holds a cell these rules do not cover."""


def _colours(cell):
    character, attribute = cell
    return {"fg": attribute & 0xF, "bg": (attribute >> 4) & 0xF}


def _check_known(cell, table):
    if cell[0] not in table:
        raise PictureError(f"no rule for character {cell[0]} (attribute {cell[1]:#04x})")


def is_ripple(cell):
    return cell[1] == RIPPLE_ATTRIBUTE


def is_bar(cell):
    return cell == BAR_CELL


# --- reading the frame tool's dump -------------------------------------------

def picture_from_bytes(data):
    if len(data) != 4 * PICTURE_COLUMNS * PICTURE_ROWS:
        raise PictureError(f"cells hold {len(data)} bytes, not 16000")
    return list(struct.iter_unpack("<HH", data))


class Dump:
    """The frames of a `vantrel-frames --dump` file (every frame from 1),
    each decoded when first asked for."""

    def __init__(self, path):
        with open(path, "rb") as lines:
            self.header = json.loads(lines.readline())
            self._lines = lines.read().splitlines()
        self._cells = {}
        self.last = len(self._lines)
        if self._lines and b'"ended"' in self._lines[-1]:
            self.last -= 1

    def __contains__(self, frame):
        return 1 <= frame <= self.last

    def cells(self, frame):
        """The raw 16000 bytes of frame `frame`."""
        if frame not in self._cells:
            record = json.loads(self._lines[frame - 1])
            if record.get("frame") != frame:
                raise PictureError(f"line {frame} of the dump holds frame {record.get('frame')}")
            self._cells[frame] = base64.b64decode(record["cells"])
        return self._cells[frame]

    def picture(self, frame):
        return picture_from_bytes(self.cells(frame))


# --- the views ----------------------------------------------------------------

class Expected:
    """One terminal cell as it must be read: its four quadrant colours, the
    centre colour or None (on an edge), and whether the bar's thin line must
    show (light red) in it."""

    __slots__ = ("quadrants", "centre", "line", "source")

    def __init__(self, quadrants, centre, line, source):
        self.quadrants = quadrants
        self.centre = centre
        self.line = line
        self.source = source  # the picture cells it shows, for diagnosis


def exact_cell(cell):
    _check_known(cell, _SHAPES)
    colours = _colours(cell)
    shape = _SHAPES[cell[0]]
    quadrants = tuple(colours["fg"] if bit else colours["bg"] for bit in shape)
    centre = _CENTRE.get(cell[0])
    return Expected(quadrants, None if centre is None else colours[centre],
                    is_bar(cell), [cell])


def fitted_pair(cell):
    _check_known(cell, _FITTED_PAIR)
    colours = _colours(cell)
    left, right = _FITTED_PAIR[cell[0]]
    return colours[left], colours[right]


def fitted_cell(top, bottom):
    upper = fitted_pair(top)
    lower = fitted_pair(bottom)
    if len(set(upper + lower)) > 2:
        # A ripple half beside a bar or letter half takes its left colour.
        if is_ripple(top):
            upper = (upper[0], upper[0])
        if is_ripple(bottom):
            lower = (lower[0], lower[0])
    quadrants = upper + lower
    both_bar = is_bar(top) and is_bar(bottom)
    # The centre lies on the edge between the halves; a cell of one colour
    # (not a bar, whose line may cover it) shows that colour there too.
    centre = quadrants[0] if len(set(quadrants)) == 1 and not both_bar else None
    return Expected(quadrants, centre, both_bar, [top, bottom])


class View:
    """Where each picture row shows on a terminal of `rows` rows."""

    def __init__(self, name, rows, first_picture_row, rows_per_cell):
        self.name = name
        self.rows = rows
        self.first_picture_row = first_picture_row
        self.rows_per_cell = rows_per_cell

    def expected(self, picture):
        """The expected terminal cells, row by row (rows x 80)."""
        grid = []
        for row in range(self.rows):
            line = []
            for column in range(PICTURE_COLUMNS):
                if self.rows_per_cell == 1:
                    line.append(exact_cell(picture[self.picture_index(row, column, 0)]))
                else:
                    line.append(fitted_cell(picture[self.picture_index(row, column, 0)],
                                            picture[self.picture_index(row, column, 1)]))
            grid.append(line)
        return grid

    def expected_cell(self, picture_cell_at, row, column):
        if self.rows_per_cell == 1:
            return exact_cell(picture_cell_at(self.picture_index(row, column, 0)))
        return fitted_cell(picture_cell_at(self.picture_index(row, column, 0)),
                           picture_cell_at(self.picture_index(row, column, 1)))

    def picture_row(self, row, half):
        return self.first_picture_row + self.rows_per_cell * row + half

    def picture_index(self, row, column, half):
        return self.picture_row(row, half) * PICTURE_COLUMNS + column

    def describe_rows(self, row):
        if self.rows_per_cell == 1:
            return f"picture row {self.picture_row(row, 0)}"
        return f"picture rows {self.picture_row(row, 0)}-{self.picture_row(row, 1)}"


EXACT = View("exact view", PICTURE_ROWS, 0, 1)
FITTED_24 = View("fitted view", 24, 2, 2)


def bar_heights(view, read_quadrants):
    """The height, in picture rows, of the stack of bar cells standing on the
    bottom row in each column, from what was read. `read_quadrants(row,
    column)` gives a terminal cell's four quadrant colours."""
    heights = []
    for column in range(PICTURE_COLUMNS):
        height = 0
        for picture_row in range(PICTURE_ROWS - 1, view.first_picture_row - 1, -1):
            offset = picture_row - view.first_picture_row
            row, half = divmod(offset, view.rows_per_cell)
            quadrants = read_quadrants(row, column)
            if view.rows_per_cell == 1:
                is_bar_here = all(q == BAR_COLOUR for q in quadrants)
            else:
                is_bar_here = quadrants[2 * half] == BAR_COLOUR and \
                    quadrants[2 * half + 1] == BAR_COLOUR
            if not is_bar_here:
                break
            height += 1
        heights.append(height)
    return heights


def with_bars(picture, heights):
    """The picture with a bar of heights[c] cells standing in column c."""
    result = list(picture)
    for column, height in enumerate(heights):
        for picture_row in range(PICTURE_ROWS - height, PICTURE_ROWS):
            result[picture_row * PICTURE_COLUMNS + column] = BAR_CELL
    return result


# --- comparing with what was read ---------------------------------------------

class Mismatch:
    def __init__(self, row, column, what, read, wanted, source):
        self.row = row
        self.column = column
        self.what = what
        self.read = read
        self.wanted = wanted
        self.source = source


def compare(view, expected_grid, screen):
    """Every difference between the expected cells and the screen's."""
    mismatches = []
    for row in range(view.rows):
        for column in range(PICTURE_COLUMNS):
            wanted = expected_grid[row][column]
            read = screen.quadrants(row, column)
            for place, (got, want) in enumerate(zip(read, wanted.quadrants)):
                if got != want:
                    mismatches.append(Mismatch(row, column, QUADRANT_NAMES[place], got, want,
                                               wanted.source))
            if wanted.centre is not None:
                got = screen.centre(row, column)
                if got != wanted.centre:
                    mismatches.append(Mismatch(row, column, "centre", got, wanted.centre,
                                               wanted.source))
            if wanted.line and not screen.shows_colour_in_middle(row, column, LINE_COLOUR):
                mismatches.append(Mismatch(row, column, "bar line", None, LINE_COLOUR,
                                           wanted.source))
    return mismatches


class Match:
    def __init__(self, frame, heights, mismatches, searched):
        self.frame = frame
        self.heights = heights
        self.mismatches = mismatches
        self.searched = searched  # (first, last) frame numbers searched


def match_at(view, dump, screen, frame, heights=None):
    """The comparison of the screen with frame `frame` of the dump, the bars
    (measured on the screen unless given) stood on it."""
    if heights is None:
        heights = bar_heights(view, screen.quadrants)
    picture = with_bars(dump.picture(frame), heights)
    return Match(frame, heights, compare(view, view.expected(picture), screen), (frame, frame))


def find_frame(view, dump, screen, first, last, sample_step=5, candidates=3):
    """The frame of `first`..`last` the screen shows: first ranked on a
    sample of the cells with no bar colour read in them (what they must show
    does not depend on the bars), then the best few compared cell for cell."""
    first, last = max(first, 1), min(last, dump.last)
    read = {}
    sample = []
    for row in range(view.rows):
        for column in range(PICTURE_COLUMNS):
            quadrants = screen.quadrants(row, column)
            read[row, column] = quadrants
            if BAR_COLOUR not in quadrants:
                sample.append((row, column))
    sample = sample[::sample_step]
    scores = []
    for frame in range(first, last + 1):
        data = dump.cells(frame)

        def cell_at(index, data=data):
            return struct.unpack_from("<HH", data, 4 * index)

        wrong = 0
        for row, column in sample:
            if view.expected_cell(cell_at, row, column).quadrants != read[row, column]:
                wrong += 1
        scores.append((wrong, frame))
    scores.sort()
    heights = bar_heights(view, screen.quadrants)
    best = None
    for _, frame in scores[:candidates]:
        match = match_at(view, dump, screen, frame, heights)
        match.searched = (first, last)
        if best is None or len(match.mismatches) < len(best.mismatches):
            best = match
        if not match.mismatches:
            break
    return best


def ripple_giving_way(view, picture):
    """How many cells of the fitted view show a half-split ripple half that
    gives way to a bar or a letter: (in the top half, in the bottom half)."""
    counts = [0, 0]
    if view.rows_per_cell != 2:
        return tuple(counts)
    for row in range(view.rows):
        for column in range(PICTURE_COLUMNS):
            halves = [picture[view.picture_index(row, column, half)] for half in (0, 1)]
            pairs = [fitted_pair(cell) for cell in halves]
            if len(set(pairs[0] + pairs[1])) <= 2:
                continue
            for half in (0, 1):
                if is_ripple(halves[half]) and pairs[half][0] != pairs[half][1]:
                    counts[half] += 1
    return tuple(counts)
