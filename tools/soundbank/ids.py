"""Ids from names, the way the engine computes them: 32-bit FNV-1 over the bytes of the name with
only the ASCII capitals folded to lower case (multiply, then XOR)."""

import re

FNV_OFFSET = 0x811C9DC5
FNV_PRIME = 0x01000193

_HEX = re.compile(r"^0[xX][0-9a-fA-F]+$")


def fnv1(name):
    """Id of a name (text is taken as UTF-8)."""
    data = name.encode("utf-8") if isinstance(name, str) else bytes(name)
    value = FNV_OFFSET
    for byte in data:
        value = (value * FNV_PRIME) & 0xFFFFFFFF
        if 0x41 <= byte <= 0x5A:
            byte += 0x20
        value ^= byte
    return value


def bank_id(file_name):
    """Id of a bank: its name without the last extension ("Main.bnk", "main" and "MAIN.BNK" agree;
    "a.b.bnk" is hashed as "a.b")."""
    dot = file_name.rfind(".")
    return fnv1(file_name[:dot] if dot >= 0 else file_name)


def resolve(value):
    """An id written in a description: a number, a "0x..." hexadecimal string, or a name whose
    FNV-1 id is taken."""
    if isinstance(value, bool):
        raise ValueError("an id cannot be true or false")
    if isinstance(value, int):
        if not -0x80000000 <= value <= 0xFFFFFFFF:
            raise ValueError("id out of 32-bit range: %d" % value)
        return value & 0xFFFFFFFF
    if isinstance(value, str):
        if _HEX.match(value):
            return number(value)
        return fnv1(value)
    raise ValueError("an id is a number or a name, not %r" % (value,))


def number(value):
    """An integer written in a description: a number or a "0x..." hexadecimal string."""
    if isinstance(value, bool):
        raise ValueError("expected a number, got %r" % (value,))
    if isinstance(value, int):
        return value
    if isinstance(value, str) and _HEX.match(value):
        return int(value, 16)
    raise ValueError("expected an integer or a 0x... string, got %r" % (value,))
