"""Reads a terminal's character cells back from a screenshot.

Each cell is read at five points: the centres of its four quadrants
(top-left, top-right, bottom-left, bottom-right) and its own centre. A
colour is named by the console palette entry whose RGB it equals exactly;
anything else stays an RGB triple, which matches no palette entry.
"""

from PIL import Image

# Console attribute nibble -> RGB.
CONSOLE_PALETTE = [
    (0, 0, 0), (0, 0, 128), (0, 128, 0), (0, 128, 128),
    (128, 0, 0), (128, 0, 128), (128, 128, 0), (192, 192, 192),
    (128, 128, 128), (0, 0, 255), (0, 255, 0), (0, 255, 255),
    (255, 0, 0), (255, 0, 255), (255, 255, 0), (255, 255, 255),
]
COLOUR_NAMES = [
    "black", "blue", "green", "cyan", "red", "magenta", "brown", "light grey",
    "dark grey", "bright blue", "light green", "light cyan", "light red",
    "light magenta", "yellow", "white",
]
_INDEX_OF_RGB = {rgb: index for index, rgb in enumerate(CONSOLE_PALETTE)}



def ansi_index(console_colour):
    """The ANSI colour number that shows console colour `console_colour`."""
    c = console_colour
    return (((c & 1) << 2) | (c & 2) | ((c & 4) >> 2)) + (8 if c & 8 else 0)


def colour_of(rgb):
    """The console colour index of an RGB triple, or the triple itself."""
    return _INDEX_OF_RGB.get(rgb, rgb)


def describe(colour):
    if isinstance(colour, int):
        return f"{COLOUR_NAMES[colour]} {CONSOLE_PALETTE[colour]}"
    return f"{tuple(colour)} (no console colour)"


class ScreenCells:
    """The cells of a screenshot of a terminal of `columns` x `rows` cells
    of `cell_width` x `cell_height` pixels, starting at the top-left pixel."""

    def __init__(self, image, columns, rows, cell_width, cell_height):
        self.image = image.convert("RGB")
        self.columns = columns
        self.rows = rows
        self.cell_width = cell_width
        self.cell_height = cell_height
        width, height = self.image.size
        if width < columns * cell_width or height < rows * cell_height:
            raise ValueError(
                f"screenshot {width}x{height} is smaller than {columns}x{rows} cells of "
                f"{cell_width}x{cell_height}")
        self._pixels = self.image.load()

    @classmethod
    def open(cls, path, columns, rows, cell_width, cell_height):
        with Image.open(path) as image:
            return cls(image, columns, rows, cell_width, cell_height)

    def _point(self, row, column, fx, fy):
        x = column * self.cell_width + (fx * self.cell_width) // 4
        y = row * self.cell_height + (fy * self.cell_height) // 4
        return self._pixels[x, y]

    def quadrants(self, row, column):
        """Colours at the four quadrant centres: TL, TR, BL, BR."""
        return (colour_of(self._point(row, column, 1, 1)),
                colour_of(self._point(row, column, 3, 1)),
                colour_of(self._point(row, column, 1, 3)),
                colour_of(self._point(row, column, 3, 3)))

    def centre(self, row, column):
        return colour_of(self._point(row, column, 2, 2))

    def shows_colour_in_middle(self, row, column, colour):
        """Whether any pixel of the cell's middle third, left to right, is
        exactly `colour` (where a thin vertical line is drawn)."""
        wanted = CONSOLE_PALETTE[colour]
        x0 = column * self.cell_width + self.cell_width // 3
        x1 = column * self.cell_width + (2 * self.cell_width + 2) // 3
        y0 = row * self.cell_height
        for y in range(y0, y0 + self.cell_height):
            for x in range(x0, x1):
                if self._pixels[x, y] == wanted:
                    return True
        return False
