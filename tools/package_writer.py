#!/usr/bin/env python3
"""Builds file packages (".pck"): one file holding sound banks, streamed media and other files,
found through the look-up tables of its header. Python 3 standard library only.

Command line
    package_writer.py FOLDER -o OUT.pck [--block-size N] [--oxm-as-external]
    package_writer.py FOLDER --out-dir DIR --fault-variants [--block-size N]

FOLDER holds the files to pack: "<name>.bnk" banks (id: the id of the name without its extension),
"<number>.oxm" streamed media (id: the number), and any other file as an external file (id: the
64-bit FNV-1 of its lower-cased name). Each sub-folder is a language ("English(US)/"): its files go
in with that language's id, its lower-cased name joins the language map (ids 1, 2, ... in map order).
Files outside a language folder have language id 0. --block-size (1, 16 or 2048; default 1) places
every file at a multiple of it. --oxm-as-external puts the ".oxm" files into the external table
under their names. With --out-dir the package is written as DIR/<folder name>.pck and, with
--fault-variants, every damaged copy (below) as DIR/<folder name>.<fault>.pck.

Damaged copies (--fault-variants): a file of 7 bytes, one cut inside its header, a wrong magic,
header sizes of 0 and 0xFFFFFFF9, version 0, tables larger than the header, each table's count one
too large and one whose byte size wraps in 32 bits, a language name outside the map and one without
its terminator: all refused. These load: empty tables, unsorted banks, a bank entry of block size 0
or 3, a last entry running 1000 bytes past the end of the file.

Python API
    sys.path.insert(0, "<repository>/tools"); import package_writer as pw
    files = [pw.PackedFile("bank", 123, b"...", language="english(us)", block_size=16), ...]
    image = pw.build(files)               # image.data: bytes; image.header_length; image.placed
    for name, data in pw.fault_variants(files): ...

Format (little-endian): "ZKPK"; u32 header size (bytes after this field up to the end of the
tables); u32 version (1); u32 sizes of the language map, the bank table, the streamed-file table and
the external-file table; then the four tables. Language map: u32 count, {u32 name offset from the
map's start, u32 id} per entry sorted by the names' UTF-16 code units, then the names (lower case,
UTF-16LE, zero-terminated). Bank and streamed-file tables: u32 count, 20-byte entries {u32 id,
u32 block size, u32 file size, u32 start block, u32 language id} sorted by (id, language id).
External-file table: u32 count, 24-byte entries {u64 id, u32 block size, u32 file size, u32 start
block, u32 language id}, sorted likewise. A file lies at start block × block size.
"""

import argparse
import os
import struct
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from soundbank.ids import bank_id  # noqa: E402

MAGIC = b"ZKPK"
VERSION = 1
TABLES_OFFSET = 28
BLOCK_SIZES = (1, 16, 2048)
FNV64_OFFSET = 0xCBF29CE484222325
FNV64_PRIME = 0x100000001B3
TABLE_KINDS = ("bank", "streamed", "external")


def fnv1_64(name):
    """64-bit FNV-1 of the lower-cased ('A' to 'Z' only) UTF-8 bytes of a name."""
    value = FNV64_OFFSET
    for byte in name.encode("utf-8"):
        value = (value * FNV64_PRIME) & 0xFFFFFFFFFFFFFFFF
        value ^= byte + 0x20 if 0x41 <= byte <= 0x5A else byte
    return value


def utf16_units(text):
    """The UTF-16 code units of a text (the map's sort key)."""
    data = text.encode("utf-16-le")
    return [data[i] | data[i + 1] << 8 for i in range(0, len(data), 2)]


def lower_ascii(text):
    return "".join(chr(ord(c) + 32) if "A" <= c <= "Z" else c for c in text)


class PackedFile:
    """One file to pack: table "bank", "streamed" or "external"; key: a 32-bit id (bank, streamed)
    or an external file's name or 64-bit id; language: a language name or None."""

    def __init__(self, table, key, data, language=None, block_size=1):
        if table not in TABLE_KINDS:
            raise ValueError("table %r is not one of %s" % (table, ", ".join(TABLE_KINDS)))
        if block_size <= 0:
            raise ValueError("block size %d" % block_size)
        self.table = table
        self.key = fnv1_64(key) if isinstance(key, str) else key
        self.data = bytes(data)
        self.language = lower_ascii(language) if language else None
        self.block_size = block_size


class PackageImage:
    """The bytes of a package; placed lists (file, start block) in file order."""

    def __init__(self, data, header_length, placed, language_ids):
        self.data = data
        self.header_length = header_length
        self.placed = placed
        self.language_ids = language_ids


def language_map(names):
    """The map's bytes and the id of each name (1, 2, ... in sorted order)."""
    ordered = sorted(set(names), key=utf16_units)
    ids = {name: index + 1 for index, name in enumerate(ordered)}
    if not ordered:
        return b"", ids
    entries = b""
    text = b""
    names_start = 4 + 8 * len(ordered)
    for name in ordered:
        entries += struct.pack("<II", names_start + len(text), ids[name])
        text += name.encode("utf-16-le") + b"\0\0"
    return struct.pack("<I", len(ordered)) + entries + text, ids


LOADING_VARIANTS = ("empty_tables", "unsorted_banks", "bank_block_size_0", "bank_block_size_3",
                    "last_entry_past_end")
ENTRY_BYTES = {"bank": 20, "streamed": 20, "external": 24}
TABLE_NAMES = ("map",) + TABLE_KINDS


def _table(kind, rows):
    """rows: (key, language id, block size, file size, start block), sorted here. No rows: the
    table is absent (size 0)."""
    form = "<QIIII" if kind == "external" else "<IIIII"
    body = b"".join(struct.pack(form, key, block, size, start, language)
                    for key, language, block, size, start in sorted(rows))
    return struct.pack("<I", len(rows)) + body if rows else b""


def build(files, extra_languages=(), version=VERSION, tables=None):
    """Packs the files. extra_languages join the map without files; tables, when given, maps a
    table name ("map", "bank", "streamed", "external") to bytes that replace the built table."""
    names = [f.language for f in files if f.language] + [lower_ascii(n) for n in extra_languages]
    map_bytes, language_ids = language_map(names)
    replaced = dict(tables or {})
    # The header's length does not depend on where the files go: size the tables first.
    sizes = {"map": len(map_bytes)}
    for kind in TABLE_KINDS:
        count = len([f for f in files if f.table == kind])
        sizes[kind] = 4 + ENTRY_BYTES[kind] * count if count else 0
    for name, table in replaced.items():
        sizes[name] = len(table)
    header_length = TABLES_OFFSET + sum(sizes.values())
    position = header_length
    placed = []
    rows = {kind: [] for kind in TABLE_KINDS}
    for packed in files:
        start_block = -(-position // packed.block_size)
        placed.append((packed, start_block))
        rows[packed.table].append((packed.key, language_ids.get(packed.language, 0), packed.block_size,
                                   len(packed.data), start_block))
        position = start_block * packed.block_size + len(packed.data)
    content = {"map": map_bytes}
    content.update({kind: _table(kind, rows[kind]) for kind in TABLE_KINDS})
    content.update(replaced)
    header = MAGIC + struct.pack("<II", header_length - 8, version)
    header += b"".join(struct.pack("<I", len(content[name])) for name in TABLE_NAMES)
    data = bytearray(header + b"".join(content[name] for name in TABLE_NAMES))
    for packed, start_block in placed:
        data += b"\0" * (start_block * packed.block_size - len(data))
        data += packed.data
    return PackageImage(bytes(data), header_length, placed, language_ids)


def _set_u32(data, offset, value):
    out = bytearray(data)
    out[offset:offset + 4] = struct.pack("<I", value & 0xFFFFFFFF)
    return bytes(out)


def _table_offset(data, index):
    """Offset of table index (0 map, 1 bank, 2 streamed, 3 external) and its size."""
    sizes = struct.unpack_from("<IIII", data, 12)
    return TABLES_OFFSET + sum(sizes[:index]), sizes[index]


def _last_entry(data):
    """(offset of the size field, size) of the entry whose file ends last in the package."""
    best = None
    for index, width, id_bytes in ((1, 20, 4), (2, 20, 4), (3, 24, 8)):
        offset, size = _table_offset(data, index)
        if size < 4:
            continue
        count = struct.unpack_from("<I", data, offset)[0]
        for entry in range(count):
            at = offset + 4 + entry * width + id_bytes
            block, file_size, start = struct.unpack_from("<III", data, at)
            end = start * block + file_size
            if best is None or end > best[0]:
                best = (end, at + 4, file_size)
    return None if best is None else best[1:]


def fault_variants(files):
    """(name, bytes) of damaged copies of the package of files. Each must be refused whole, except
    those that LOADING_VARIANTS names: empty tables (which find nothing), unsorted banks (which may
    miss files but never read outside their tables), a bank entry of block size 0 or 3 (whose open
    fails when its stream is set up) and a last entry longer than the file (read up to the end)."""
    good = build(files).data
    header_length = struct.unpack_from("<I", good, 4)[0] + 8
    out = [("short_7", good[:7]),
           ("cut_in_header", good[:header_length - 1]),
           ("bad_magic", b"ZKPX" + good[4:]),
           ("header_size_0", _set_u32(good, 4, 0)),
           ("header_size_huge", _set_u32(good, 4, 0xFFFFFFF9)),
           ("version_0", _set_u32(good, 8, 0))]
    sizes = struct.unpack_from("<IIII", good, 12)
    out.append(("tables_beyond_header", _set_u32(good, 4, TABLES_OFFSET + sum(sizes) - 8 - 4)))
    for index, name, entry_bytes in ((0, "languages", 8), (1, "banks", 20), (2, "streamed", 20),
                                     (3, "external", 24)):
        offset, size = _table_offset(good, index)
        if size < 4:
            continue
        count = struct.unpack_from("<I", good, offset)[0]
        out.append(("%s_count_plus_one" % name, _set_u32(good, offset, count + 1)))
        # A count whose table size wraps in 32 bits to a few bytes: count × entry size + 4 > 2^32.
        wrapping = (0x100000000 // entry_bytes) + 1
        out.append(("%s_count_wraps" % name, _set_u32(good, offset, wrapping)))
    map_offset, map_size = _table_offset(good, 0)
    if map_size:
        out.append(("name_outside_map", _set_u32(good, map_offset + 4, map_size)))
        unterminated = bytearray(good)
        unterminated[map_offset + map_size - 2:map_offset + map_size] = b"A\0"
        out.append(("name_unterminated", bytes(unterminated)))
    bank_offset, bank_size = _table_offset(good, 1)
    if bank_size >= 24:
        out.append(("bank_block_size_0", _set_u32(good, bank_offset + 8, 0)))
        out.append(("bank_block_size_3", _set_u32(good, bank_offset + 8, 3)))
    last = _last_entry(good)
    if last is not None:
        out.append(("last_entry_past_end", _set_u32(good, last[0], last[1] + 1000)))
    empty = {"map": struct.pack("<I", 0), "bank": struct.pack("<I", 0),
             "streamed": struct.pack("<I", 0), "external": struct.pack("<I", 0)}
    out.append(("empty_tables", build([], tables=empty).data))
    banks = [f for f in files if f.table == "bank"]
    if len(banks) > 1:
        offset, size = _table_offset(good, 1)
        entries = [good[offset + 4 + 20 * i:offset + 24 + 20 * i] for i in range((size - 4) // 20)]
        shuffled = good[:offset + 4] + b"".join(reversed(entries)) + good[offset + size:]
        out.append(("unsorted_banks", shuffled))
    return out


def files_of_folder(folder, block_size=1, oxm_as_external=False):
    """The PackedFiles of a folder as the command line packs it (see the module's text)."""
    files = []

    def add(path, name, language):
        with open(path, "rb") as source:
            data = source.read()
        stem, extension = os.path.splitext(name)
        if extension.lower() == ".bnk":
            files.append(PackedFile("bank", bank_id(name), data, language, block_size))
        elif extension.lower() == ".oxm" and stem.isdigit() and not oxm_as_external:
            files.append(PackedFile("streamed", int(stem), data, language, block_size))
        else:
            files.append(PackedFile("external", name, data, language, block_size))

    for entry in sorted(os.listdir(folder)):
        path = os.path.join(folder, entry)
        if os.path.isdir(path):
            for name in sorted(os.listdir(path)):
                add(os.path.join(path, name), name, entry)
        else:
            add(path, entry, None)
    return files


def _write(path, data):
    os.makedirs(os.path.dirname(os.path.abspath(path)), exist_ok=True)
    temporary = "%s.%d.tmp" % (path, os.getpid())
    with open(temporary, "wb") as target:
        target.write(data)
    os.replace(temporary, path)


def main(argv):
    parser = argparse.ArgumentParser(prog="package_writer", description="Builds file packages.")
    parser.add_argument("folder")
    parser.add_argument("-o", "--output")
    parser.add_argument("--out-dir")
    parser.add_argument("--block-size", type=int, default=1, choices=BLOCK_SIZES)
    parser.add_argument("--oxm-as-external", action="store_true")
    parser.add_argument("--fault-variants", action="store_true")
    args = parser.parse_args(argv)
    if bool(args.output) == bool(args.out_dir):
        parser.error("give either -o FILE or --out-dir DIR")
    try:
        files = files_of_folder(args.folder, args.block_size, args.oxm_as_external)
        image = build(files)
        if args.output:
            _write(args.output, image.data)
            return 0
        stem = os.path.basename(os.path.normpath(args.folder))
        _write(os.path.join(args.out_dir, stem + ".pck"), image.data)
        if args.fault_variants:
            for fault, data in fault_variants(files):
                _write(os.path.join(args.out_dir, "%s.%s.pck" % (stem, fault)), data)
    except (OSError, ValueError) as error:
        print("package_writer: %s: %s" % (args.folder, error), file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
