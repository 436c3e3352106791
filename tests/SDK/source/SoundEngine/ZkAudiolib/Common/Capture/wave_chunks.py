"""Reads a RIFF/WAVE file with the struct module and prints what it holds, one "key value" per
line: the RIFF header, the format chunk's fields, the data chunk's place and size, the cue points
and the labels of the "LIST"/"adtl" chunk (with whether each label is zero-terminated and padded).
Standard library only; it shares no code with the engine's writer."""
import struct
import sys


def main(path):
    data = open(path, "rb").read()
    riff, riff_size, wave = struct.unpack_from("<4sI4s", data, 0)
    print("riff", riff.decode("latin-1"))
    print("riffSize", riff_size)
    print("wave", wave.decode("latin-1"))
    print("fileSize", len(data))
    pos = 12
    order = []
    while pos + 8 <= len(data):
        chunk_id, size = struct.unpack_from("<4sI", data, pos)
        name = chunk_id.decode("latin-1").strip()
        body = data[pos + 8:pos + 8 + size]
        order.append(name)
        print(name + ".offset", pos)
        print(name + ".size", size)
        if chunk_id == b"fmt ":
            tag, channels, rate, per_second, align, bits = struct.unpack_from("<HHIIHH", body, 0)
            for key, value in (("tag", tag), ("channels", channels), ("rate", rate),
                               ("bytesPerSecond", per_second), ("blockAlign", align), ("bits", bits)):
                print("fmt." + key, value)
            if len(body) >= 40:
                extension, valid, mask = struct.unpack_from("<HHI", body, 16)
                print("fmt.extension", extension)
                print("fmt.validBits", valid)
                print("fmt.mask", mask)
                print("fmt.subFormat", body[24:40].hex())
        elif chunk_id == b"cue ":
            count = struct.unpack_from("<I", body, 0)[0]
            print("cue.count", count)
            for index in range(count):
                point, position, chunk, start, block, offset = struct.unpack_from("<II4sIII", body, 4 + 24 * index)
                prefix = "cue.%d." % index
                print(prefix + "id", point)
                print(prefix + "position", position)
                print(prefix + "chunk", chunk.decode("latin-1"))
                print(prefix + "start", start)
                print(prefix + "block", block)
                print(prefix + "offset", offset)
        elif chunk_id == b"LIST":
            print("LIST.kind", body[:4].decode("latin-1"))
            at = 4
            index = 0
            while at + 12 <= len(body):
                label_id, label_size = struct.unpack_from("<4sI", body, at)
                cue = struct.unpack_from("<I", body, at + 8)[0]
                text = body[at + 12:at + 8 + label_size]
                prefix = "labl.%d." % index
                print(prefix + "id", label_id.decode("latin-1"))
                print(prefix + "size", label_size)
                print(prefix + "cue", cue)
                print(prefix + "text", text.rstrip(b"\0").decode("utf-8"))
                print(prefix + "terminated", int(text.endswith(b"\0")))
                padded = label_size & 1
                print(prefix + "pad", int(padded and at + 8 + label_size < len(body) and body[at + 8 + label_size] == 0))
                at += 8 + label_size + padded
                index += 1
            print("labl.count", index)
            print("LIST.end", at)
        pos += 8 + size + (size & 1)
    print("chunks", ",".join(order))


if __name__ == "__main__":
    main(sys.argv[1])
