#!/usr/bin/env python3
"""Draws the rocket of the wait page and writes it as a GIF with a
transparent background.

    make_rocket_gif.py OUTPUT_FILE
"""
import struct
import sys
from pathlib import Path

from make_icons import rocket

SIZE = 48


def pixels():
    """The colour of each pixel, row by row, top first; None is transparent."""
    return [rocket((col + 0.5) / SIZE, (row + 0.5) / SIZE) for row in range(SIZE) for col in range(SIZE)]


def lzw(indices, min_code_size):
    """The GIF flavour of LZW: variable-width codes packed from the low bit."""
    clear, end = 1 << min_code_size, (1 << min_code_size) + 1
    out, bits, held = bytearray(), 0, 0

    def emit(code, width):
        nonlocal bits, held
        bits |= code << held
        held += width
        while held >= 8:
            out.append(bits & 0xFF)
            bits >>= 8
            held -= 8

    def fresh():
        return {(i,): i for i in range(clear)}, end + 1, min_code_size + 1

    table, next_code, width = fresh()
    emit(clear, width)
    prefix = (indices[0],)
    for index in indices[1:]:
        longer = prefix + (index,)
        if longer in table:
            prefix = longer
            continue
        emit(table[prefix], width)
        if next_code < 4096:
            table[longer] = next_code
            if next_code == 1 << width and width < 12:
                width += 1
            next_code += 1
        else:
            emit(clear, width)
            table, next_code, width = fresh()
        prefix = (index,)
    emit(table[prefix], width)
    emit(end, width)
    if held:
        out.append(bits & 0xFF)
    return bytes(out)


def gif(colours):
    palette = [(255, 255, 255)] + sorted({c[:3] for c in colours if c is not None})
    table_bits = max(1, (len(palette) - 1).bit_length())
    palette += [(0, 0, 0)] * ((1 << table_bits) - len(palette))
    indices = [0 if c is None else palette.index(c[:3]) for c in colours]
    min_code_size = max(2, table_bits)
    data = lzw(indices, min_code_size)

    out = b'GIF89a' + struct.pack('<HHBBB', SIZE, SIZE, 0x80 | 0x70 | (table_bits - 1), 0, 0)
    out += b''.join(bytes(c) for c in palette)
    out += b'\x21\xF9\x04\x01\x00\x00\x00\x00'  # index 0 is transparent
    out += b'\x2C' + struct.pack('<HHHHB', 0, 0, SIZE, SIZE, 0)
    out += bytes((min_code_size,))
    for start in range(0, len(data), 255):
        block = data[start:start + 255]
        out += bytes((len(block),)) + block
    return out + b'\x00\x3B'


def main():
    target = Path(sys.argv[1])
    target.parent.mkdir(parents=True, exist_ok=True)
    target.write_bytes(gif(pixels()))


if __name__ == '__main__':
    main()
