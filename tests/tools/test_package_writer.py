"""Tests of tools/package_writer.py: the written layout read back with struct, the tables sorted and
found by bisection, the language map in UTF-16 code-unit order, files placed at their blocks, the
folder packing of the command line, and the damaged copies."""

import bisect
import os
import struct
import subprocess
import sys
import tempfile
import unittest

TOOLS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools")
sys.path.insert(0, TOOLS)

import package_writer as pw  # noqa: E402
from soundbank.ids import bank_id  # noqa: E402


def read_tables(data):
    """(header fields, {"map", "bank", "streamed", "external": bytes}) of a package."""
    magic, header_size, version, *sizes = struct.unpack_from("<4sIIIIII", data, 0)
    tables, offset = {}, 28
    for name, size in zip(("map", "bank", "streamed", "external"), sizes):
        tables[name] = data[offset:offset + size]
        offset += size
    return (magic, header_size, version, sizes), tables


def rows(table, form):
    if not table:
        return []
    count = struct.unpack_from("<I", table)[0]
    width = struct.calcsize(form)
    return [struct.unpack_from(form, table, 4 + i * width) for i in range(count)]


def language_names(table):
    count = struct.unpack_from("<I", table)[0]
    names = []
    for index in range(count):
        offset, language_id = struct.unpack_from("<II", table, 4 + 8 * index)
        end = offset
        while table[end:end + 2] != b"\0\0":
            end += 2
        names.append((table[offset:end].decode("utf-16-le"), language_id))
    return names


class Fnv1_64(unittest.TestCase):
    def test_known_values(self):
        self.assertEqual(pw.fnv1_64(""), 0xCBF29CE484222325)
        self.assertEqual(pw.fnv1_64("a"), 0xAF63BD4C8601B7BE)
        self.assertEqual(pw.fnv1_64("A"), pw.fnv1_64("a"), "only ASCII capitals are folded")
        self.assertNotEqual(pw.fnv1_64("\u00c9"), pw.fnv1_64("\u00e9"))


class Layout(unittest.TestCase):
    def setUp(self):
        self.files = [
            pw.PackedFile("bank", 900, b"B" * 33, block_size=16),
            pw.PackedFile("bank", 5, b"b5", language="French(Canada)", block_size=2048),
            pw.PackedFile("bank", 5, b"b5en", language="English(US)", block_size=1),
            pw.PackedFile("streamed", 70, b"s" * 5000, block_size=2048),
            pw.PackedFile("streamed", 7, b"seven", block_size=16),
            pw.PackedFile("external", "Notes.TXT", b"notes", block_size=1),
        ]
        self.image = pw.build(self.files)

    def test_header_and_tables(self):
        (magic, header_size, version, sizes), tables = read_tables(self.image.data)
        self.assertEqual((magic, version), (b"ZKPK", 1))
        self.assertEqual(header_size + 8, 28 + sum(sizes))
        self.assertEqual(header_size + 8, self.image.header_length)
        self.assertEqual(language_names(tables["map"]), [("english(us)", 1), ("french(canada)", 2)])
        banks = rows(tables["bank"], "<IIIII")
        self.assertEqual([(r[0], r[4]) for r in banks], sorted((r[0], r[4]) for r in banks))
        self.assertEqual([(r[0], r[4]) for r in banks], [(5, 1), (5, 2), (900, 0)])
        self.assertEqual([r[0] for r in rows(tables["streamed"], "<IIIII")], [7, 70])
        self.assertEqual(rows(tables["external"], "<QIIII")[0][0], pw.fnv1_64("notes.txt"))

    def test_files_lie_at_their_blocks_and_bisection_finds_them(self):
        _, tables = read_tables(self.image.data)
        for packed in self.files:
            if packed.table == "external":
                table, form = tables["external"], "<QIIII"
            else:
                table, form = tables[packed.table], "<IIIII"
            entries = rows(table, form)
            keys = [(r[0], r[4]) for r in entries]
            language = self.image.language_ids.get(packed.language, 0)
            at = bisect.bisect_left(keys, (packed.key, language))
            self.assertEqual(keys[at], (packed.key, language))
            _, block, size, start, _ = entries[at]
            self.assertEqual(block, packed.block_size)
            self.assertEqual(start * block % block, 0)
            self.assertGreaterEqual(start * block, self.image.header_length)
            self.assertEqual(self.image.data[start * block:start * block + size], packed.data)

    def test_map_sorted_by_utf16_code_units(self):
        # U+1F600 is a surrogate pair (0xD83D ...), which sorts before U+FFFD in code units though
        # its code point is larger.
        image = pw.build([], extra_languages=["\ufffd", "\U0001f600", "Zulu"])
        _, tables = read_tables(image.data)
        self.assertEqual([name for name, _ in language_names(tables["map"])], ["zulu", "\U0001f600", "\ufffd"])

    def test_empty_package_has_no_tables(self):
        (_, header_size, _, sizes), _ = read_tables(pw.build([]).data)
        self.assertEqual((header_size, sizes), (20, [0, 0, 0, 0]))


class FolderPacking(unittest.TestCase):
    def test_command_line_packs_banks_media_languages_and_external_files(self):
        with tempfile.TemporaryDirectory() as folder:
            source = os.path.join(folder, "Sounds")
            os.makedirs(os.path.join(source, "English(US)"))
            for name, data in (("Init.bnk", b"init"), ("12.oxm", b"twelve"), ("readme.txt", b"r"),
                               (os.path.join("English(US)", "12.oxm"), b"en12")):
                with open(os.path.join(source, name), "wb") as out:
                    out.write(data)
            target = os.path.join(folder, "Sounds.pck")
            subprocess.run([sys.executable, os.path.join(TOOLS, "package_writer.py"), source, "-o", target,
                            "--block-size", "16"], check=True)
            with open(target, "rb") as packed:
                data = packed.read()
        _, tables = read_tables(data)
        self.assertEqual([r[0] for r in rows(tables["bank"], "<IIIII")], [bank_id("Init.bnk")])
        self.assertEqual([(r[0], r[4]) for r in rows(tables["streamed"], "<IIIII")], [(12, 0), (12, 1)])
        self.assertEqual([r[0] for r in rows(tables["external"], "<QIIII")], [pw.fnv1_64("readme.txt")])
        self.assertTrue(all(r[1] == 16 for r in rows(tables["streamed"], "<IIIII")))


class FaultVariants(unittest.TestCase):
    def test_each_variant_damages_what_it_names(self):
        files = [pw.PackedFile("bank", 1, b"a"), pw.PackedFile("bank", 2, b"bb"),
                 pw.PackedFile("streamed", 3, b"c", "English(US)"), pw.PackedFile("external", "x", b"d")]
        good = pw.build(files).data
        variants = dict(pw.fault_variants(files))
        self.assertEqual(len(variants["short_7"]), 7)
        self.assertEqual(struct.unpack_from("<I", variants["header_size_huge"], 4)[0], 0xFFFFFFF9)
        self.assertEqual(struct.unpack_from("<I", variants["version_0"], 8)[0], 0)
        self.assertEqual(variants["bad_magic"][:4], b"ZKPX")
        _, tables = read_tables(good)
        count = struct.unpack_from("<I", tables["bank"])[0]
        _, damaged = read_tables(variants["banks_count_plus_one"])
        self.assertEqual(struct.unpack_from("<I", damaged["bank"])[0], count + 1)
        _, wrapped = read_tables(variants["banks_count_wraps"])
        wrapped_count = struct.unpack_from("<I", wrapped["bank"])[0]
        self.assertLessEqual((4 + wrapped_count * 20) & 0xFFFFFFFF, len(wrapped["bank"]),
                             "passes a check made in 32 bits")
        _, empty = read_tables(variants["empty_tables"])
        self.assertTrue(all(table == b"\0\0\0\0" for table in empty.values()))
        for name in pw.LOADING_VARIANTS:
            self.assertIn(name, variants)


if __name__ == "__main__":
    unittest.main()
