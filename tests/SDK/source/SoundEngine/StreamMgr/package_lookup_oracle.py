"""Look-up oracle of the file-package tests: reads a package's tables with struct (sharing nothing
with the writer or the engine) and finds each queried file by bisection over its sorted keys.

    package_lookup_oracle.py PACKAGE TABLE:ID:LANGUAGE ...

TABLE is "bank" (the bank table, then the streamed-file table, as a bank open searches),
"streamed" or "external" (ID: a 64-bit id). Prints one line a query: "FILE_SIZE START_BLOCK
BLOCK_SIZE", or "none".
"""

import bisect
import struct
import sys


def tables(data):
    sizes = struct.unpack_from("<IIII", data, 12)
    offset = 28
    out = []
    for size in sizes:
        out.append(data[offset:offset + size])
        offset += size
    return out


def entries(table, form):
    if not table:
        return [], []
    count = struct.unpack_from("<I", table, 0)[0]
    width = struct.calcsize(form)
    rows = [struct.unpack_from(form, table, 4 + i * width) for i in range(count)]
    return [(row[0], row[4]) for row in rows], rows


def find(table, form, key):
    keys, rows = entries(table, form)
    at = bisect.bisect_left(keys, key)
    if at < len(keys) and keys[at] == key:
        _, block, size, start, _ = rows[at]
        return "%d %d %d" % (size, start, block)
    return None


def main(argv):
    with open(argv[0], "rb") as source:
        data = source.read()
    _, banks, streamed, external = tables(data)
    for query in argv[1:]:
        kind, file_id, language = query.split(":")
        key = (int(file_id), int(language))
        if kind == "external":
            found = find(external, "<QIIII", key)
        else:
            found = find(banks, "<IIIII", key) if kind == "bank" else None
            found = found or find(streamed, "<IIIII", key)
        print(found or "none")


if __name__ == "__main__":
    main(sys.argv[1:])
