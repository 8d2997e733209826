#!/usr/bin/env python3
"""Draws the indicator pictures and the program icon from one drawing.

    python3 scripts/draw_art.py [output folder, default res/]

Writes button_off.bmp and button_on.bmp (128x128, 24-bit, on the window's
blue) and vorrel.ico (48, 32 and 16 pixels, 32-bit with alpha). Standard
library only, so that it runs anywhere Python does.
"""
import math
import os
import struct
import sys

BACKGROUND = (62, 115, 186)
CANVAS = 128.0  # the drawing is laid out on a 128-unit square


def clamp(x, lo=0.0, hi=1.0):
    return lo if x < lo else hi if x > hi else x


def coverage(distance, softness):
    """Anti-aliased coverage from a signed distance (negative inside)."""
    return clamp(0.5 - distance / softness)


def over(dst, colour, alpha):
    """Composites a straight-alpha colour over a premultiplied RGBA pixel."""
    r, g, b, a = dst
    return (r * (1 - alpha) + colour[0] * alpha, g * (1 - alpha) + colour[1] * alpha,
            b * (1 - alpha) + colour[2] * alpha, a * (1 - alpha) + alpha)


def mix(c1, c2, t):
    t = clamp(t)
    return tuple(c1[i] + (c2[i] - c1[i]) * t for i in range(3))


def power_symbol_distance(x, y, cx, cy, radius, thickness):
    """Signed distance to a power symbol: an open ring and a bar through its gap."""
    dx, dy = x - cx, y - cy
    angle = math.degrees(math.atan2(dx, -dy))  # 0 at the top, clockwise
    gap = 40.0
    if abs(angle) >= gap:
        ring = abs(math.hypot(dx, dy) - radius) - thickness / 2
    else:
        # Distance to the rounded ends of the ring beside the gap.
        ends = []
        for side in (-1, 1):
            a = math.radians(side * gap)
            ex, ey = cx + radius * math.sin(a), cy - radius * math.cos(a)
            ends.append(math.hypot(x - ex, y - ey) - thickness / 2)
        ring = min(ends)
    top, bottom = cy - radius - 3.0, cy - 2.0
    py = clamp(y, top, bottom)
    bar = math.hypot(x - cx, y - py) - thickness / 2
    return min(ring, bar)


def shade_pixel(x, y, pressed, unit):
    """Colour of the drawing at (x, y) in canvas units; returns premultiplied RGBA."""
    px = (0.0, 0.0, 0.0, 0.0)
    cx, cy = 64.0, 62.0
    aa = unit  # one output pixel, in canvas units

    # Soft shadow on the window below the bezel.
    shadow_offset, shadow_blur = (5.0, 10.0) if not pressed else (2.5, 6.0)
    d = math.hypot(x - cx, y - (cy + shadow_offset)) - 54.0
    px = over(px, (10, 25, 60), 0.55 * coverage(d, shadow_blur + aa))

    # Metal bezel: a ring lit from the top left.
    d = math.hypot(x - cx, y - cy) - 56.0
    light = clamp(0.5 - ((x - cx) + (y - cy)) / 140.0)
    bezel = mix((70, 74, 82), (214, 218, 226), light)
    px = over(px, bezel, coverage(d, aa))
    # The bezel's inner lip is lit from below: it reads as a recess.
    d = math.hypot(x - cx, y - cy) - 48.5
    lip = mix((40, 40, 46), (150, 152, 160), 1 - light)
    px = over(px, lip, coverage(d, aa))

    # The red cap. Raised: sits high, convex shading. Pressed: sinks and
    # lights up, with the shading flattened as if it were pushed in.
    cap_cy = cy - 2.0 if not pressed else cy + 1.5
    cap_r = 45.0 if not pressed else 44.0
    d = math.hypot(x - cx, y - cap_cy) - cap_r
    nx, ny = (x - cx) / cap_r, (y - cap_cy) / cap_r
    if not pressed:
        t = clamp(0.55 + 0.45 * (nx * 0.5 + ny * 0.8))
        cap = mix((236, 62, 52), (122, 12, 14), t)
    else:
        t = clamp(0.5 - 0.35 * (nx * 0.4 + ny * 0.8))
        cap = mix((255, 112, 92), (196, 30, 26), t)
    px = over(px, cap, coverage(d, aa))

    # Rim shading at the edge of the cap.
    rim = clamp(1 - abs(d + 2.0) / 3.5) * coverage(d, aa)
    px = over(px, (90, 6, 8) if not pressed else (150, 20, 16), 0.45 * rim)

    # Specular highlight, high on the raised cap, faint on the pressed one.
    hx, hy = cx - 12.0, cap_cy - 22.0
    d = math.hypot((x - hx) / 1.6, (y - hy)) - 10.0
    px = over(px, (255, 255, 255), (0.45 if not pressed else 0.18) * coverage(d, 9.0))

    # Power symbol: engraved when off, glowing when on.
    sy = cap_cy + 2.0
    d = power_symbol_distance(x, y, cx, sy, 17.0, 6.0)
    if pressed:
        px = over(px, (255, 236, 200), 0.55 * coverage(d, 9.0))  # glow
        px = over(px, (255, 255, 246), coverage(d, aa))
    else:
        d_shadow = power_symbol_distance(x, y - 1.2, cx, sy, 17.0, 6.0)
        px = over(px, (110, 8, 10), 0.8 * coverage(d_shadow, aa))
        px = over(px, (250, 214, 206), coverage(d, aa))
    return px


def render(size, pressed, background):
    """Rows of (r, g, b, a) bytes, top row first, 2x2 supersampled."""
    unit = CANVAS / size
    rows = []
    for j in range(size):
        row = []
        for i in range(size):
            acc = [0.0, 0.0, 0.0, 0.0]
            for sj in (0.25, 0.75):
                for si in (0.25, 0.75):
                    r, g, b, a = shade_pixel((i + si) * unit, (j + sj) * unit, pressed, unit)
                    if background:
                        r, g, b, a = (r + background[0] * (1 - a), g + background[1] * (1 - a),
                                      b + background[2] * (1 - a), 1.0)
                    acc = [acc[0] + r, acc[1] + g, acc[2] + b, acc[3] + a]
            r, g, b, a = (v / 4 for v in acc)
            if a > 0:  # back to straight alpha
                r, g, b = r / a, g / a, b / a
            row.append(tuple(int(round(clamp(v, 0, 255))) for v in (r, g, b)) +
                       (int(round(a * 255)),))
        rows.append(row)
    return rows


def write_bmp24(path, rows):
    height, width = len(rows), len(rows[0])
    stride = (width * 3 + 3) & ~3
    pixels = bytearray()
    for row in reversed(rows):  # bottom-up
        line = bytearray()
        for r, g, b, _ in row:
            line += bytes((b, g, r))
        line += b"\0" * (stride - len(line))
        pixels += line
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    header = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(pixels), 0, 0, 14 + len(info))
    with open(path, "wb") as f:
        f.write(header + info + pixels)


def icon_image(rows):
    height, width = len(rows), len(rows[0])
    xor = bytearray()
    for row in reversed(rows):
        for r, g, b, a in row:
            xor += bytes((b, g, r, a))
    mask_stride = ((width + 31) // 32) * 4
    mask = bytearray(mask_stride * height)  # all opaque: alpha decides
    info = struct.pack("<IiiHHIIiiII", 40, width, height * 2, 1, 32, 0, len(xor) + len(mask), 0,
                       0, 0, 0)
    return info + xor + mask


def write_ico(path, images):
    header = struct.pack("<HHH", 0, 1, len(images))
    entries, data = b"", b""
    offset = 6 + 16 * len(images)
    for size, blob in images:
        entries += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(blob),
                               offset + len(data))
        data += blob
    with open(path, "wb") as f:
        f.write(header + entries + data)


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "res")
    write_bmp24(os.path.join(out, "button_off.bmp"), render(128, False, BACKGROUND))
    write_bmp24(os.path.join(out, "button_on.bmp"), render(128, True, BACKGROUND))
    write_ico(os.path.join(out, "vorrel.ico"),
              [(s, icon_image(render(s, False, None))) for s in (48, 32, 16)])


if __name__ == "__main__":
    main()
