#!/usr/bin/env python3
"""Draws the program's icon: a green seven-lobed leaf with darker edges and brown veins on a
transparent background, as one .ico with an image for each size a display scale asks for: 32 x 32
and 16 x 16 at 96 dpi, 40 and 20 at 120, 48 and 24 at 144, 64 (and 32) at 192 (256 colours and a
transparency mask each). Usage: draw_icon.py OUT.ico"""
import math
import struct
import sys

LOBES = 7
SPREAD = math.radians(125)  # the outermost lobes point this far from straight up
FILL = (60, 170, 50)
EDGE = (25, 95, 25)
VEIN = (120, 75, 30)


def lobes(size):
    """Axis of each lobe: (start, direction, length, half width), in pixels of this size."""
    base = (size / 2, size * 0.62)
    out = []
    for i in range(LOBES):
        a = -SPREAD + 2 * SPREAD * i / (LOBES - 1)
        length = size * (0.47 - 0.17 * abs(a) / SPREAD)
        out.append((base, (math.sin(a), -math.cos(a)), length, length * 0.27))
    return base, out


def inside(x, y, size):
    base, ls = lobes(size)
    if math.hypot(x - base[0], y - base[1]) < size * 0.14:
        return True
    for (bx, by), (dx, dy), length, half in ls:
        u = (x - bx) * dx + (y - by) * dy
        v = -(x - bx) * dy + (y - by) * dx
        # A lobe is an egg: widest a third of the way out, pointed at its tip.
        if 0 <= u <= length:
            t = u / length
            w = half * math.sin(math.pi * min(1.0, t * 1.5 if t < 1 / 3 else 0.5 + (t - 1 / 3) * 0.75))
            if abs(v) <= w:
                return True
    return False


def near_segment(x, y, a, b, width):
    ax, ay = a
    bx, by = b
    dx, dy = bx - ax, by - ay
    t = max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy)))
    return math.hypot(x - ax - t * dx, y - ay - t * dy) <= width


def veins(size):
    base, ls = lobes(size)
    segs = [(base, (base[0], size * 0.97))]  # the stalk
    for (bx, by), (dx, dy), length, _ in ls:
        segs.append(((bx, by), (bx + dx * length * 0.7, by + dy * length * 0.7)))
    return segs


def draw(size):
    """Rows of palette indices and rows of opacity flags."""
    sub = 4
    segs = veins(size)
    # Veins one pixel wide and an edge one pixel deep at every size.
    width = 0.52 if size >= 32 else 0.3 if size <= 16 else 0.45
    reach = 1.2 if size >= 32 else 0.7 if size <= 16 else 1.0
    rows, mask = [], []
    for py in range(size):
        row, mrow = [], []
        for px in range(size):
            hits = sum(
                inside(px + (i + 0.5) / sub, py + (j + 0.5) / sub, size) for i in range(sub) for j in range(sub)
            )
            cx, cy = px + 0.5, py + 0.5
            stalk = near_segment(cx, cy, segs[0][0], segs[0][1], width)
            if hits * 2 < sub * sub and not stalk:
                row.append(None)
                mrow.append(False)
                continue
            mrow.append(True)
            if stalk or any(near_segment(cx, cy, a, b, width) for a, b in segs[1:]):
                row.append(VEIN)
                continue
            edge = any(not inside(cx + ox, cy + oy, size) for ox, oy in ((reach, 0), (-reach, 0), (0, reach), (0, -reach)))
            if edge:
                row.append(EDGE)
            else:
                # A little light from the upper left.
                shade = 1.0 + 0.25 * ((size - cx) + (size - cy)) / (2 * size) - 0.12
                row.append(tuple(min(255, int(c * shade)) for c in FILL))
        rows.append(row)
        mask.append(mrow)
    return rows, mask


def image(size):
    rows, mask = draw(size)
    palette = [(0, 0, 0)]
    for row in rows:
        for c in row:
            if c is not None and c not in palette:
                palette.append(c)
    assert len(palette) <= 256
    index = {c: i for i, c in enumerate(palette)}
    # Only the colours used: a full table of 256 would cost a kilobyte an image in the program.
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 8, 0, 0, 0, 0, len(palette), 0)
    pal = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in palette)
    stride = (size + 3) & ~3
    xor = b""
    for row in reversed(rows):  # bottom-up
        xor += bytes(0 if c is None else index[c] for c in row) + b"\0" * (stride - size)
    mstride = ((size + 31) // 32) * 4
    andm = b""
    for mrow in reversed(mask):
        bits = bytearray(mstride)
        for x, opaque in enumerate(mrow):
            if not opaque:
                bits[x // 8] |= 0x80 >> (x % 8)
        andm += bytes(bits)
    return header + pal + xor + andm


def main():
    images = [(size, image(size)) for size in (32, 16, 20, 24, 40, 48, 64)]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in images:
        colours = struct.unpack_from("<I", data, 32)[0]
        out += struct.pack("<BBBBHHII", size, size, colours % 256, 0, 1, 8, len(data), offset)
        offset += len(data)
    out += b"".join(data for _, data in images)
    with open(sys.argv[1], "wb") as f:
        f.write(out)


if __name__ == "__main__":
    main()
