#!/usr/bin/env python3
"""Draws the engine's icons (a globe, a rocket and a padlock) and writes each
as a .ico file with a 16x16 and a 32x32 image of 32-bit colour.

    make_icons.py OUTPUT_FOLDER
"""
import math
import struct
import sys
from pathlib import Path


def globe(x, y):
    dx, dy = x - 0.5, y - 0.5
    r = math.hypot(dx, dy)
    if r > 0.46:
        return None
    if r > 0.41:
        return (20, 60, 140, 255)
    meridian = abs(dx) < 0.03 or abs(abs(dx) - 0.24 * math.sqrt(max(0.0, 1 - (dy / 0.46) ** 2))) < 0.03
    parallel = abs(dy) < 0.03 or abs(abs(dy) - 0.22) < 0.03
    if meridian or parallel:
        return (230, 240, 255, 255)
    land = math.sin(x * 11) + math.cos(y * 9) > 0.8
    return (60, 160, 70, 255) if land else (50, 120, 220, 255)


def rocket(x, y):
    u, v = (x - y) / math.sqrt(2), (x + y - 1) / math.sqrt(2)  # along the body, across it
    if abs(v) < 0.12 and -0.32 < u < 0.30:
        if math.hypot(u - 0.12, v) < 0.06:
            return (120, 200, 255, 255)
        return (225, 225, 235, 255)
    if -0.02 < v + 0 and u >= 0.30 and abs(v) < 0.12 - (u - 0.30) * 0.9:
        return (210, 40, 40, 255)
    if -0.42 < u < -0.16 and 0.12 <= abs(v) < 0.12 + (u + 0.42) * 0.6:
        return (210, 40, 40, 255)
    if -0.48 < u <= -0.32 and abs(v) < 0.07:
        return (255, 170, 20, 255)
    return None


def padlock(x, y):
    if 0.18 < x < 0.82 and 0.45 < y < 0.92:
        if math.hypot(x - 0.5, y - 0.62) < 0.06 or (abs(x - 0.5) < 0.025 and 0.62 < y < 0.78):
            return (70, 50, 10, 255)
        return (235, 190, 40, 255)
    r = math.hypot(x - 0.5, y - 0.42)
    if y <= 0.45 and 0.17 < r < 0.26:
        return (150, 150, 160, 255)
    return None


def image(draw, size):
    rows = []
    for row in range(size - 1, -1, -1):  # bottom-up
        line = bytearray()
        for col in range(size):
            # four samples per pixel for smooth edges
            samples = [draw((col + sx) / size, (row + sy) / size) for sx in (0.25, 0.75) for sy in (0.25, 0.75)]
            hits = [s for s in samples if s is not None]
            if not hits:
                line += bytes(4)
                continue
            r, g, b = (sum(h[i] for h in hits) // len(hits) for i in range(3))
            line += bytes((b, g, r, 255 * len(hits) // 4))
        rows.append(bytes(line))
    mask_row = bytes(((size + 31) // 32) * 4)
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    return header + b''.join(rows) + mask_row * size


def icon(draw):
    images = [image(draw, size) for size in (16, 32)]
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in zip((16, 32), images):
        out += struct.pack('<BBBBHHII', size, size, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    return out + b''.join(images)


def main():
    folder = Path(sys.argv[1])
    folder.mkdir(parents=True, exist_ok=True)
    for name, draw in (('globe', globe), ('rocket', rocket), ('padlock', padlock)):
        (folder / f'{name}.ico').write_bytes(icon(draw))


if __name__ == '__main__':
    main()
