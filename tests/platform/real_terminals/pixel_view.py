"""The pixel view: where a terminal that draws images must show the picture,
and the comparison of a screenshot with the frame tool's PNG of a frame.

Where a terminal draws images (the kitty graphics protocol, or sixel), the
demo sends the console picture itself, 640 x 600 pixels, each scaled to an
n x n square, when its text area holds that at a whole scale n >= 1. In
terminal cells of W x H pixels, with C columns and R rows shown (for sixel,
one row fewer: an image touching the last row scrolls the screen):

    n = min(C * W // 640, R * H // 600)
    column = ((C * W - 640 n) // 2) // W,  row = ((R * H - 600 n) // 2) // H

and the picture's top-left pixel is at (column * W, row * H) in the text
area. The pixels it must show are the frame tool's PNG of the frame shown
(`vantrel-frames --png`: every cell 8 x 12 pixels of the demo's own font),
with the bars, which follow the live music, stood on it in the font's bar
cells, scaled by n without smoothing.
"""

import shutil
import subprocess
from pathlib import Path

from PIL import Image, ImageChops

import expected_view
from screen_cells import CONSOLE_PALETTE, ScreenCells

PICTURE_WIDTH = 640
PICTURE_HEIGHT = 600
GLYPH_WIDTH = 8
GLYPH_HEIGHT = 12
PICTURE_COLOURS = (0, expected_view.BAR_COLOUR, 8, 9, expected_view.LINE_COLOUR)


class PixelView:
    """The picture drawn as an image at scale `scale`, its top-left pixel at
    (`left`, `top`) of the text area."""

    name = "pixel view"
    rows_per_cell = 1

    def __init__(self, protocol, scale, left, top):
        self.protocol = protocol
        self.scale = scale
        self.left = left
        self.top = top

    @property
    def width(self):
        return PICTURE_WIDTH * self.scale

    @property
    def height(self):
        return PICTURE_HEIGHT * self.scale

    @property
    def box(self):
        return (self.left, self.top, self.left + self.width, self.top + self.height)

    def __eq__(self, other):
        return isinstance(other, PixelView) and \
            (self.protocol, self.scale, self.left, self.top) == \
            (other.protocol, other.scale, other.left, other.top)

    def __hash__(self):
        return hash((self.protocol, self.scale, self.left, self.top))

    def describe(self):
        return (f"pixel view ({self.protocol}, scale {self.scale}, {self.width} x "
                f"{self.height} at pixel ({self.left}, {self.top}))")

    @property
    def tolerance(self):
        """How far, per channel, a pixel may read from the PNG's: sixel gives
        its colours in whole percents (console 128 shows as 127 or 128)."""
        return 1 if self.protocol == "sixel" else 0


def placement(protocol, columns, rows_shown, cell_width, cell_height):
    """The pixel view the rule gives, or None where the text area does not
    hold the picture at scale 1."""
    rows_used = rows_shown - 1 if protocol == "sixel" else rows_shown
    width, height = columns * cell_width, rows_used * cell_height
    scale = min(width // PICTURE_WIDTH, height // PICTURE_HEIGHT)
    if scale < 1:
        return None
    column = ((width - PICTURE_WIDTH * scale) // 2) // cell_width
    row = ((height - PICTURE_HEIGHT * scale) // 2) // cell_height
    return PixelView(protocol, scale, column * cell_width, row * cell_height)


# --- the reference pictures ----------------------------------------------------

class Reference:
    """The frame tool's PNGs of one seed, each made when first asked for
    (`--frames K --every K` writes frame 1 and frame K only), and its font."""

    def __init__(self, frames_tool, seed, folder):
        self.frames_tool = frames_tool
        self.seed = seed
        self.folder = Path(folder)
        self._pngs = {}
        self._bar_cell = None

    def _tool(self, *arguments):
        result = subprocess.run([str(self.frames_tool), "--seed", str(self.seed), *arguments],
                                capture_output=True, text=True, timeout=120)
        if result.returncode != 0:
            raise RuntimeError(f"{self.frames_tool} {' '.join(arguments)} failed: "
                               f"{result.stderr.strip()}")

    def png(self, frame):
        """The frame tool's own PNG of frame `frame` (spectrum of silence)."""
        if frame not in self._pngs:
            out = self.folder / f"png-{frame}"
            out.mkdir(parents=True, exist_ok=True)
            self._tool("--frames", str(frame), "--every", str(frame), "--png", str(out))
            with Image.open(out / f"frame-{frame:05d}.png") as image:
                picture = image.convert("RGB")
            if picture.size != (PICTURE_WIDTH, PICTURE_HEIGHT):
                raise RuntimeError(f"the frame tool's PNG of frame {frame} is "
                                   f"{picture.size[0]} x {picture.size[1]}, not 640 x 600")
            shutil.rmtree(out)
            self._pngs[frame] = picture
        return self._pngs[frame]

    def bar_cell(self):
        """The bar cell (character 179, light red on red) in the demo's font,
        8 x 12 pixels, from the frame tool's picture of the font."""
        if self._bar_cell is None:
            sheet_path = self.folder / "glyphs.png"
            self._tool("--glyphs", str(sheet_path))
            with Image.open(sheet_path) as sheet:
                character, attribute = expected_view.BAR_CELL
                x, y = (character % 16) * GLYPH_WIDTH, (character // 16) * GLYPH_HEIGHT
                mask = sheet.convert("L").crop((x, y, x + GLYPH_WIDTH, y + GLYPH_HEIGHT))
            sheet_path.unlink()
            lit = Image.new("RGB", mask.size, CONSOLE_PALETTE[attribute & 0xF])
            unlit = Image.new("RGB", mask.size, CONSOLE_PALETTE[attribute >> 4])
            self._bar_cell = Image.composite(lit, unlit, mask.point(lambda v: 255 if v else 0))
        return self._bar_cell

    def picture(self, frame, heights, scale=1):
        """What the pixel view must show for frame `frame` with bars of
        `heights` picture rows standing in its columns, scaled by `scale`."""
        picture = self.png(frame).copy()
        bar = self.bar_cell()
        for column, height in enumerate(heights):
            for row in range(expected_view.PICTURE_ROWS - height, expected_view.PICTURE_ROWS):
                picture.paste(bar, (column * GLYPH_WIDTH, row * GLYPH_HEIGHT))
        if scale != 1:
            picture = picture.resize((PICTURE_WIDTH * scale, PICTURE_HEIGHT * scale),
                                     Image.NEAREST)
        return picture


# --- reading and comparing ------------------------------------------------------

def snapped(image, tolerance):
    """The image with every channel within `tolerance` of 0, 128 or 255 set
    to it (the console palette's levels), so that colours read within the
    tolerance name their console colour."""
    if tolerance == 0:
        return image
    table = list(range(256))
    for level in (0, 128, 255):
        for value in range(max(0, level - tolerance), min(255, level + tolerance) + 1):
            table[value] = level
    return image.point(table * 3)


def picture_cells(crop, scale, tolerance):
    """The cells of a crop of the picture (scale `scale`), read as the text
    views are read: at the quadrant centres of each 8 x 12 cell, one pixel
    of each scaled square."""
    one = snapped(crop, tolerance)
    if scale != 1:
        one = one.resize((PICTURE_WIDTH, PICTURE_HEIGHT), Image.NEAREST)
    return ScreenCells(one, expected_view.PICTURE_COLUMNS, expected_view.PICTURE_ROWS,
                       GLYPH_WIDTH, GLYPH_HEIGHT)


class Difference:
    """Where two images of one size differ by more than a tolerance."""

    def __init__(self, read, wanted, tolerance):
        difference = ImageChops.difference(read, wanted)
        bands = [band.point(lambda v: 255 if v > tolerance else 0) for band in difference.split()]
        mask = ImageChops.lighter(ImageChops.lighter(bands[0], bands[1]), bands[2])
        self.mask = mask
        self.count = mask.histogram()[255]
        self.box = mask.getbbox()
        self.largest = max(high for _, high in difference.getextrema())
        self.first = None
        if self.box:
            pixels = mask.load()
            x0, y0, x1, y1 = self.box
            for y in range(y0, y1):
                hit = next((x for x in range(x0, x1) if pixels[x, y]), None)
                if hit is not None:
                    self.first = (hit, y, read.getpixel((hit, y)), wanted.getpixel((hit, y)))
                    break

    def __bool__(self):
        return self.count > 0

    def describe(self, scale=1):
        x, y, got, want = self.first
        cell = (x // (GLYPH_WIDTH * scale), y // (GLYPH_HEIGHT * scale))
        return (f"{self.count} pixels differ, in the box {self.box} (largest difference "
                f"{self.largest} in a channel); the first at pixel ({x}, {y}) of the picture "
                f"(picture cell column {cell[0]}, row {cell[1]}): {got}, wanted {want}")


def uneven_squares(crop, scale):
    """How many pixels of the crop differ from the first pixel of their
    scale x scale square (0 where every square is one colour)."""
    if scale == 1:
        return Difference(crop, crop, 0)
    width, height = crop.size
    even = crop.resize((width // scale, height // scale), Image.NEAREST).resize(
        crop.size, Image.NEAREST)
    return Difference(crop, even, 0)


def near(rgb, colours, tolerance):
    return any(all(abs(a - b) <= tolerance for a, b in zip(rgb, colour)) for colour in colours)


def picture_colours_outside(image, box, tolerance, ignore=()):
    """The colours within `tolerance` of the picture's that show outside
    `box` (None: nowhere excluded), with how many pixels show each, and the
    box that holds them; `ignore` colours are left out (a theme colour the
    terminal draws itself)."""
    outside = image.copy()
    if box is not None:
        outside.paste((1, 2, 3), box)  # a colour near none of the picture's
    colours = [CONSOLE_PALETTE[c] for c in PICTURE_COLOURS]
    found = {}
    for count, rgb in outside.getcolors(outside.width * outside.height):
        if rgb != (1, 2, 3) and rgb not in ignore and near(rgb, colours, tolerance):
            found[rgb] = count
    where = None
    if found:
        mask = Image.new("L", outside.size, 0)
        for rgb in found:
            mask = ImageChops.lighter(mask, exact_mask(outside, rgb))
        where = mask.getbbox()
    return found, where


def exact_mask(image, rgb):
    """255 where the RGB image shows `rgb` exactly, else 0."""
    bands = [band.point(lambda v, want=want: 255 if v == want else 0)
             for band, want in zip(image.split(), rgb)]
    return ImageChops.darker(ImageChops.darker(bands[0], bands[1]), bands[2])


def bounding_box_of_picture(image, tolerance):
    """The box of the whole image that shows the picture's colours other than
    black (to say where a misplaced picture went)."""
    colours = [CONSOLE_PALETTE[c] for c in PICTURE_COLOURS if c != 0]
    mask = Image.new("L", image.size, 0)
    for _, rgb in image.getcolors(image.width * image.height):
        if near(rgb, colours, tolerance):
            mask = ImageChops.lighter(mask, exact_mask(image, rgb))
    return mask.getbbox()
