#!/usr/bin/python3
"""Reads a playlist walk's saved state (hex on stdin) with struct and prints its fields.

Answer lines: "state <version> <segment> <item> <has current> <leaf repetitions>"; one
"selector <group> <kind> <child count> <selector fields>" per map entry; one
"frame <group> <mode> <repetitions> <flags>" per frame from the root; "end <bytes left>".
Selector fields: a sequence selector "<forward> <last index>"; a random one "<count> <total
weight> <remaining weight> <selectable> <round left> <recent indexes...>".
"""

import struct
import sys


class Reader:
    def __init__(self, data):
        self.data, self.at = data, 0

    def take(self, fmt):
        values = struct.unpack_from("<" + fmt, self.data, self.at)
        self.at += struct.calcsize("<" + fmt)
        return values


def selector(reader, kind):
    if kind == 1:
        return list(reader.take("Bh"))
    count, total, remaining, selectable, round_left, recent = reader.take("HiiHHH")
    reader.take("%ds" % (2 * ((count + 7) // 8)))
    return [count, total, remaining, selectable, round_left] + list(reader.take("%dH" % recent))


def main():
    reader = Reader(bytes.fromhex(sys.stdin.read().strip()))
    print("state %d %d %d %d %d" % reader.take("IIIBh"))
    (entries,) = reader.take("H")
    for _ in range(entries):
        group, kind, count = reader.take("IBH")
        print("selector", group, kind, count, *selector(reader, kind))
    (frames,) = reader.take("H")
    for _ in range(frames):
        group, mode = reader.take("IB")
        if mode in (0, 2):
            reader.take("H")
            selector(reader, 1 if mode == 0 else 3)
        repetitions, flags = reader.take("hB")
        print("frame", group, mode, repetitions, flags)
    print("end", len(reader.data) - reader.at)


if __name__ == "__main__":
    main()
