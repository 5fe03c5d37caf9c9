#!/usr/bin/env python3
"""Draws Kadrix's artwork and writes it beside the sources.

Writes resources/Kadrix.ico, resources/IconLarge.bmp, resources/Header.bmp and
Languages/Flags/<language file name>.png for every shipped language. Standard library only, so it runs on any
machine with Python 3; the output is the same on every run.

    python3 resources/make_artwork.py
"""

import os
import struct
import zlib

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

# The overlay's own colours: red selection frame, white guide lines.
RED = (255, 0, 0)
WHITE = (255, 255, 255)
# Dark blue-grey, the same family as the dimmed screen and the header band.
TILE_TOP = (66, 77, 96)
TILE_BOTTOM = (34, 40, 52)

# Icon geometry per size, in whole pixels so that the tray sizes stay crisp:
# corner radius of the tile, inset of the frame from the tile's edge, frame
# stroke, length of each corner arm, half length of the crosshair, crosshair
# thickness and the gap left open in its centre.
ICON_LAYOUT = {
    16: dict(radius=3, inset=2, stroke=2, arm=5, half=2, thick=2, gap=0),
    20: dict(radius=4, inset=2, stroke=2, arm=6, half=3, thick=2, gap=0),
    24: dict(radius=4, inset=3, stroke=2, arm=7, half=4, thick=2, gap=0),
    32: dict(radius=6, inset=4, stroke=3, arm=9, half=6, thick=2, gap=0),
    40: dict(radius=7, inset=5, stroke=3, arm=11, half=7, thick=2, gap=2),
    48: dict(radius=8, inset=6, stroke=4, arm=13, half=9, thick=2, gap=3),
    64: dict(radius=11, inset=8, stroke=5, arm=17, half=12, thick=4, gap=4),
    256: dict(radius=44, inset=32, stroke=18, arm=68, half=48, thick=12, gap=14),
}


# ---- drawing ---------------------------------------------------------------

class Canvas:
    """Straight-alpha RGBA pixels as floats in 0..1, composited with 'over'."""

    def __init__(self, width, height):
        self.width = width
        self.height = height
        self.px = [[(0.0, 0.0, 0.0, 0.0)] * width for _ in range(height)]

    def Blend(self, x, y, colour, coverage):
        if coverage <= 0.0:
            return
        r, g, b, a = self.px[y][x]
        sr, sg, sb = (c / 255.0 for c in colour)
        outA = coverage + a * (1.0 - coverage)
        keep = a * (1.0 - coverage)
        self.px[y][x] = ((sr * coverage + r * keep) / outA,
                         (sg * coverage + g * keep) / outA,
                         (sb * coverage + b * keep) / outA, outA)

    def FillRect(self, x0, y0, x1, y1, colour):
        # Exact area coverage, so whole-pixel rectangles stay perfectly sharp.
        for y in range(max(0, int(y0)), min(self.height, int(y1) + 1)):
            cy = min(y + 1, y1) - max(y, y0)
            if cy <= 0:
                continue
            for x in range(max(0, int(x0)), min(self.width, int(x1) + 1)):
                cx = min(x + 1, x1) - max(x, x0)
                if cx > 0:
                    self.Blend(x, y, colour, cx * cy)

    def Bytes(self, order="RGBA", bottomUp=False):
        """Rows of 8-bit channels; fully transparent pixels get black colour."""
        rows = []
        ys = range(self.height - 1, -1, -1) if bottomUp else range(self.height)
        for y in ys:
            row = bytearray()
            for r, g, b, a in self.px[y]:
                a8 = round(a * 255)
                rgb = (0, 0, 0) if a8 == 0 else tuple(round(c * 255) for c in (r, g, b))
                values = {"R": rgb[0], "G": rgb[1], "B": rgb[2], "A": a8}
                row.extend(values[ch] for ch in order)
            rows.append(bytes(row))
        return rows


def Mix(c0, c1, t):
    return tuple(a + (b - a) * t for a, b in zip(c0, c1))


def RoundedTileCoverage(size, radius, x, y, samples=16):
    """Share of pixel (x, y) inside a size x size square with rounded corners."""
    def Inside(px, py):
        cx = min(max(px, radius), size - radius)
        cy = min(max(py, radius), size - radius)
        return (px - cx) ** 2 + (py - cy) ** 2 <= radius * radius
    nearCornerX = x < radius or x + 1 > size - radius
    nearCornerY = y < radius or y + 1 > size - radius
    if not (nearCornerX and nearCornerY):
        return 1.0
    hits = 0
    for sy in range(samples):
        for sx in range(samples):
            hits += Inside(x + (sx + 0.5) / samples, y + (sy + 0.5) / samples)
    return hits / (samples * samples)


def DrawIcon(size):
    """The icon: a dark tile, red corner marks of a selection, a white crosshair."""
    p = ICON_LAYOUT[size]
    canvas = Canvas(size, size)
    for y in range(size):
        colour = Mix(TILE_TOP, TILE_BOTTOM, (y + 0.5) / size)
        for x in range(size):
            canvas.Blend(x, y, colour, RoundedTileCoverage(size, p["radius"], x, y))

    lo, hi = p["inset"], size - p["inset"]
    stroke, arm = p["stroke"], p["arm"]
    for left in (True, False):
        for top in (True, False):
            xEdge = lo if left else hi - stroke
            yEdge = lo if top else hi - stroke
            xArm = lo if left else hi - arm
            yArm = lo if top else hi - arm
            canvas.FillRect(xArm, yEdge, xArm + arm, yEdge + stroke, RED)
            canvas.FillRect(xEdge, yArm, xEdge + stroke, yArm + arm, RED)

    centre = size / 2
    half, thick, gap = p["half"], p["thick"], p["gap"]
    t0, t1 = centre - thick / 2, centre + thick / 2
    for a0, a1 in ((centre - half, centre - gap), (centre + gap, centre + half)):
        canvas.FillRect(a0, t0, a1, t1, WHITE)
        canvas.FillRect(t0, a0, t1, a1, WHITE)
    return canvas


def DrawFlagRussia(width, height):
    canvas = Canvas(width, height)
    bands = (WHITE, (0, 57, 166), (213, 43, 30))
    for y in range(height):
        band = bands[min(2, y * 3 // height)]
        for x in range(width):
            canvas.Blend(x, y, band, 1.0)
    return canvas


def DrawHorizontalBands(width, height, bands):
    """Stripes from top to bottom; bands are (colour, relative height)."""
    canvas = Canvas(width, height)
    total = sum(share for _, share in bands)
    top = 0
    for colour, share in bands:
        # Whole-pixel edges keep the stripes crisp at 20 pixels high.
        bottom = top + share
        canvas.FillRect(0, round(height * top / total), width, round(height * bottom / total), colour)
        top = bottom
    return canvas


def DrawVerticalBands(width, height, colours):
    canvas = Canvas(width, height)
    for i, colour in enumerate(colours):
        canvas.FillRect(round(width * i / len(colours)), 0, round(width * (i + 1) / len(colours)), height, colour)
    return canvas


def DrawFlagGermany(width, height):
    return DrawHorizontalBands(width, height, (((0, 0, 0), 1), ((221, 0, 0), 1), ((255, 206, 0), 1)))


def DrawFlagUkraine(width, height):
    return DrawHorizontalBands(width, height, (((0, 87, 183), 1), ((255, 215, 0), 1)))


def DrawFlagSpain(width, height):
    # Red, yellow twice as tall, red; the arms are too fine for a list item.
    red, yellow = (170, 21, 27), (241, 191, 0)
    return DrawHorizontalBands(width, height, ((red, 1), (yellow, 2), (red, 1)))


def DrawFlagFrance(width, height):
    return DrawVerticalBands(width, height, ((0, 38, 84), WHITE, (206, 17, 38)))


def DrawFlagUnitedKingdom(width, height, samples=8):
    """Union Jack with the red saltire counterchanged, fitted to the cell."""
    blue, red = (1, 33, 105), (200, 16, 46)
    cx, cy = width / 2, height / 2
    # The diagonals run corner to corner, so their slope follows the cell.
    diagonal = (width * width + height * height) ** 0.5
    whiteHalf, redSaltire = 2.0, 1.35
    whiteCross, redCross = 6, 4

    def Colour(px, py):
        dx, dy = px - cx, py - cy
        if abs(dx) < redCross / 2 or abs(dy) < redCross / 2:
            return red
        if abs(dx) < whiteCross / 2 or abs(dy) < whiteCross / 2:
            return WHITE
        # Signed distance to the diagonal that crosses this quarter.
        if (dx < 0) == (dy < 0):
            d = (dx * height - dy * width) / diagonal
        else:
            d = (dx * height + dy * width) / diagonal
        # Counterchange: the red band sits off-centre in the white one, on
        # the side that alternates from quarter to quarter.
        redSide = -1 if dy < 0 else 1
        if 0 <= d * redSide <= redSaltire:
            return red
        if abs(d) <= whiteHalf:
            return WHITE
        return blue

    canvas = Canvas(width, height)
    for y in range(height):
        for x in range(width):
            acc = [0.0, 0.0, 0.0]
            for sy in range(samples):
                for sx in range(samples):
                    c = Colour(x + (sx + 0.5) / samples, y + (sy + 0.5) / samples)
                    for i in range(3):
                        acc[i] += c[i]
            n = samples * samples
            canvas.Blend(x, y, tuple(v / n for v in acc), 1.0)
    return canvas


def AddFlagEdge(canvas):
    """Darkens the outermost pixels so a white band still shows its edge on a
    white list background."""
    w, h = canvas.width, canvas.height
    for y in range(h):
        for x in range(w):
            if x in (0, w - 1) or y in (0, h - 1):
                r, g, b, a = canvas.px[y][x]
                canvas.px[y][x] = (r * 0.7, g * 0.7, b * 0.7, a)


def DrawHeader(width, height):
    """Calm band under white text. It only changes from top to bottom, so
    stretching it to the window's width leaves no seams."""
    top, bottom, rule = (60, 71, 89), (39, 46, 60), (28, 33, 43)
    canvas = Canvas(width, height)
    for y in range(height):
        colour = rule if y == height - 1 else Mix(top, bottom, y / (height - 2))
        for x in range(width):
            canvas.Blend(x, y, colour, 1.0)
    return canvas


# ---- file formats ----------------------------------------------------------

def PngBytes(canvas, alpha):
    rows = canvas.Bytes("RGBA" if alpha else "RGB")
    raw = b"".join(b"\x00" + row for row in rows)

    def Chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data +
                struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))

    header = struct.pack(">IIBBBBB", canvas.width, canvas.height, 8,
                         6 if alpha else 2, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + Chunk(b"IHDR", header) +
            Chunk(b"IDAT", zlib.compress(raw, 9)) + Chunk(b"IEND", b""))


def IconBmpEntry(canvas):
    """Classic icon image: BITMAPINFOHEADER of double height, 32-bit BGRA rows
    bottom-up, then the 1-bit AND mask that older consumers still read."""
    w, h = canvas.width, canvas.height
    colour = b"".join(canvas.Bytes("BGRA", bottomUp=True))
    maskStride = (w + 31) // 32 * 4
    mask = bytearray()
    for y in range(h - 1, -1, -1):
        row = bytearray(maskStride)
        for x in range(w):
            if round(canvas.px[y][x][3] * 255) == 0:
                row[x // 8] |= 0x80 >> (x % 8)
        mask.extend(row)
    header = struct.pack("<IiiHHIIiiII", 40, w, h * 2, 1, 32, 0,
                         len(colour) + len(mask), 0, 0, 0, 0)
    return header + colour + bytes(mask)


def IcoBytes(canvases):
    count = len(canvases)
    images = []
    for canvas in canvases:
        # The largest image is stored as PNG, which keeps the file small.
        images.append(PngBytes(canvas, alpha=True) if canvas.width >= 256
                      else IconBmpEntry(canvas))
    out = struct.pack("<HHH", 0, 1, count)
    offset = 6 + 16 * count
    for canvas, data in zip(canvases, images):
        side = canvas.width if canvas.width < 256 else 0
        out += struct.pack("<BBBBHHII", side, side, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    return out + b"".join(images)


def Bmp24Bytes(canvas):
    rows = canvas.Bytes("BGR", bottomUp=True)
    pad = b"\x00" * ((4 - canvas.width * 3 % 4) % 4)
    pixels = b"".join(row + pad for row in rows)
    info = struct.pack("<IiiHHIIiiII", 40, canvas.width, canvas.height, 1, 24, 0,
                       len(pixels), 2835, 2835, 0, 0)
    fileHeader = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(pixels), 0, 0,
                             14 + len(info))
    return fileHeader + info + pixels


def Bmp32AlphaBytes(canvas):
    """32-bit BMP with BITMAPV5HEADER and an explicit alpha mask, bottom-up,
    straight (not premultiplied) alpha; bytes per pixel are B, G, R, A."""
    pixels = b"".join(canvas.Bytes("BGRA", bottomUp=True))
    BI_BITFIELDS = 3
    LCS_SRGB = 0x73524742
    LCS_GM_IMAGES = 4
    info = struct.pack("<IiiHHIIiiII", 124, canvas.width, canvas.height, 1, 32,
                       BI_BITFIELDS, len(pixels), 2835, 2835, 0, 0)
    info += struct.pack("<IIIII", 0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000,
                        LCS_SRGB)
    info += b"\x00" * 36 + struct.pack("<III", 0, 0, 0)   # endpoints, gamma
    info += struct.pack("<IIII", LCS_GM_IMAGES, 0, 0, 0)
    assert len(info) == 124
    fileHeader = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(pixels), 0, 0,
                             14 + len(info))
    return fileHeader + info + pixels


def Write(relativePath, data):
    path = os.path.join(ROOT, relativePath)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)
    print("wrote %s (%d bytes)" % (relativePath, len(data)))


def Main():
    icons = [DrawIcon(size) for size in sorted(ICON_LAYOUT)]
    Write("resources/Kadrix.ico", IcoBytes(icons))
    Write("resources/IconLarge.bmp", Bmp32AlphaBytes(DrawIcon(48)))
    Write("resources/Header.bmp", Bmp24Bytes(DrawHeader(173, 60)))

    # Named after the language file each flag belongs to.
    flags = {
        "Russian": DrawFlagRussia,
        "English": DrawFlagUnitedKingdom,
        "German": DrawFlagGermany,
        "Ukrainian": DrawFlagUkraine,
        "Spanish": DrawFlagSpain,
        "French": DrawFlagFrance,
    }
    for language, draw in flags.items():
        flag = draw(24, 20)
        AddFlagEdge(flag)
        Write("Languages/Flags/%s.png" % language, PngBytes(flag, alpha=False))


if __name__ == "__main__":
    Main()
