"""Little-endian packing of the fixed-width fields and variable-length numbers of bank bodies."""

import struct

_U8 = struct.Struct("<B")
_U16 = struct.Struct("<H")
_U32 = struct.Struct("<I")
_I32 = struct.Struct("<i")
_F32 = struct.Struct("<f")


def u8(value):
    return _U8.pack(value)


def u16(value):
    return _U16.pack(value)


def u32(value):
    """Unsigned 32 bits; -1 (and other negative values) wrap, as the engine's "none" ids do."""
    return _U32.pack(value & 0xFFFFFFFF)


def i32(value):
    return _I32.pack(value)


def f32(value):
    return _F32.pack(value)


def varint(value):
    """7 bits per byte, most significant group first, bit 7 set on every byte but the last
    (200 -> 0x81 0x48)."""
    if value < 0:
        raise ValueError("a variable-length number cannot be negative: %d" % value)
    groups = [value & 0x7F]
    value >>= 7
    while value:
        groups.append(0x80 | (value & 0x7F))
        value >>= 7
    return bytes(reversed(groups))


def fourcc(tag):
    """A chunk tag as its four bytes; a text tag must be four ASCII characters."""
    raw = tag.encode("ascii") if isinstance(tag, str) else bytes(tag)
    if len(raw) != 4:
        raise ValueError("a chunk tag has four characters: %r" % (tag,))
    return raw
