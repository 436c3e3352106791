"""Deterministic PNG writing: 8-bit RGBA, one IDAT chunk, zlib level 9.

Each row is filtered with "Sub" or "Up", whichever leaves more zero bytes, so flat areas and
gradients compress well. The filters are computed on whole rows at once with byte-parallel integer
arithmetic (no per-byte Python loop). The same pixels always give the same file bytes with the same
zlib, which is what the art reproducibility test relies on.
"""

import struct
import zlib

_FILTER_SUB = 1
_FILTER_UP = 2
_BYTES_PER_PIXEL = 4


def _bytewise_difference(a, b, length):
    """(a[i] - b[i]) mod 256 for every byte of two equally long byte strings."""
    if length == 0:
        return b""
    high = int.from_bytes(b"\x80" * length, "big")
    full = (1 << (8 * length)) - 1
    x = int.from_bytes(a, "big")
    y = int.from_bytes(b, "big")
    # Subtract the low seven bits of each byte with the high bit forced on, so no borrow crosses
    # a byte boundary; then put the true high bit back.
    diff = ((x | high) - (y & ~high & full)) ^ ((x ^ ~y) & high)
    return (diff & full).to_bytes(length, "big")


def _chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)


def encode(width, height, rgba):
    """The PNG file bytes of a width x height RGBA image given as rows top to bottom."""
    stride = width * _BYTES_PER_PIXEL
    if len(rgba) != stride * height:
        raise ValueError("pixel buffer does not match the image size")
    rows = []
    previous = bytes(stride)
    for y in range(height):
        row = bytes(rgba[y * stride:(y + 1) * stride])
        shifted = bytes(_BYTES_PER_PIXEL) + row[:-_BYTES_PER_PIXEL]
        sub = _bytewise_difference(row, shifted, stride)
        up = _bytewise_difference(row, previous, stride)
        if up.count(0) > sub.count(0):
            rows.append(bytes((_FILTER_UP,)) + up)
        else:
            rows.append(bytes((_FILTER_SUB,)) + sub)
        previous = row
    header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + _chunk(b"IHDR", header) +
            _chunk(b"IDAT", zlib.compress(b"".join(rows), 9)) + _chunk(b"IEND", b""))


def write(path, width, height, rgba):
    with open(path, "wb") as handle:
        handle.write(encode(width, height, rgba))
