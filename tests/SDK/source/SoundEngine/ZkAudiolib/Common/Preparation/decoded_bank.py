"""The judge of DecodeBank for the tests: the size a bank image decodes to, and whether a decoded
image is the original with its 8-bit test-format media (format tag 0xFFFF, frame count at offset 24
of "fmt ") stored as 16-bit samples. The samples are judged by sox's own 8-bit to 16-bit conversion.

    decoded_bank.py size ORIGINAL             prints the decoded image's size
    decoded_bank.py check ORIGINAL DECODED    prints "ok", or what differs (exit status 1)

Written from the file formats, apart from the engine and the writers.
"""

import os
import struct
import subprocess
import sys
import tempfile

TEST_FORMAT = 0xFFFF


def chunks(image):
    out, pos = [], 0
    while pos < len(image):
        tag = image[pos:pos + 4].decode("ascii")
        size = struct.unpack_from("<I", image, pos + 4)[0]
        out.append((tag, image[pos + 8:pos + 8 + size]))
        pos += 8 + size
    return out


def entries(didx):
    return [struct.unpack_from("<III", didx, at) for at in range(0, len(didx) - len(didx) % 12, 12)]


def riff(media):
    """[(tag, offset of the body, size)]; an odd body is followed by a pad byte when it is 0."""
    out, pos = [], 12
    while pos + 8 <= len(media):
        tag, size = media[pos:pos + 4].decode("latin-1"), struct.unpack_from("<I", media, pos + 4)[0]
        out.append((tag, pos + 8, size))
        if tag == "data":
            break
        pos += 8 + size
        if size & 1 and pos < len(media) and media[pos] == 0:
            pos += 1
    return out


def test_format(media):
    """(channels, frames, data offset, data size, rate) of a complete test-format media, else None."""
    if len(media) < 12 or media[:4] != b"RIFF" or media[8:12] != b"WAVE":
        return None
    found = {}
    for tag, offset, size in riff(media):
        found.setdefault(tag, (offset, size))
    if "fmt " not in found or "data" not in found:
        return None
    fmt, fmt_size = found["fmt "]
    data, data_size = found["data"]
    tag, channels, rate = struct.unpack_from("<HHI", media, fmt)
    if tag != TEST_FORMAT or fmt_size < 28 or data + data_size > len(media):
        return None
    return channels, struct.unpack_from("<I", media, fmt + 24)[0], data, data_size, rate


def decoded_size(media):
    found = test_format(media)
    if found is None:
        return len(media)
    channels, frames, header, _, _ = found
    if header % 4:
        header = header - header % 4 + 12
    return channels * frames * 2 + header


def step(size):
    return (size + 15) // 16 * 16


def image_size(image):
    total, data = 0, None
    for tag, body in chunks(image):
        total += 8
        if tag == "DATA" and data is None:
            data = body
        else:
            total += len(body)
    didx = next(body for tag, body in chunks(image) if tag == "DIDX")
    for media_id, offset, size in entries(didx):
        if media_id:
            total += step(decoded_size(data[offset:offset + size]))
    return total


def sox_16_bit(samples, channels, rate):
    with tempfile.TemporaryDirectory() as folder:
        raw = os.path.join(folder, "in.raw")
        with open(raw, "wb") as out:
            out.write(samples)
        return subprocess.run(["sox", "-t", "raw", "-e", "unsigned", "-b", "8", "-c", str(channels),
                               "-r", str(rate), raw, "-t", "raw", "-e", "signed", "-b", "16",
                               "-L", "-"], check=True, stdout=subprocess.PIPE).stdout


def check(original, decoded):
    problems = []
    before, after = chunks(original), chunks(decoded)
    if [tag for tag, _ in before] != [tag for tag, _ in after]:
        problems.append("chunks %s became %s" % ([t for t, _ in before], [t for t, _ in after]))
    old_data = next(body for tag, body in before if tag == "DATA")
    new_data = next(body for tag, body in after if tag == "DATA")
    old_entries = entries(next(body for tag, body in before if tag == "DIDX"))
    new_entries = entries(next(body for tag, body in after if tag == "DIDX"))
    for (media_id, offset, size), (new_id, new_offset, new_size) in zip(old_entries, new_entries):
        media = old_data[offset:offset + size]
        copy = new_data[new_offset:new_offset + new_size]
        if new_id != media_id or new_offset % 16:
            problems.append("media %d: entry %r" % (media_id, (new_id, new_offset, new_size)))
        found = test_format(media)
        if found is None:
            if copy != media:
                problems.append("media %d is not copied byte for byte" % media_id)
            continue
        channels, frames, data, data_size, rate = found
        if new_size != decoded_size(media):
            problems.append("media %d: size %d, not %d" % (media_id, new_size, decoded_size(media)))
        chunks_of_copy = {tag: (at, n) for tag, at, n in reversed(riff(copy))}
        fmt, _ = chunks_of_copy["fmt "]
        tag, copy_channels, _, byte_rate, align, bits = struct.unpack_from("<HHIIHH", copy, fmt)
        if (tag, copy_channels, align, bits, byte_rate) != (0xFFFE, channels, channels * 2, 16,
                                                            rate * channels * 2):
            problems.append("media %d: format %r" % (media_id, (tag, copy_channels, align, bits)))
        at, n = chunks_of_copy["data"]
        if at % 4 or ("JUNK" in chunks_of_copy) != (data % 4 != 0):
            problems.append("media %d: samples at %d" % (media_id, at))
        expected = sox_16_bit(media[data:data + data_size], channels, rate)
        if copy[at:at + n] != expected or n != channels * frames * 2:
            problems.append("media %d: samples differ from sox's" % media_id)
    return problems


if __name__ == "__main__":
    with open(sys.argv[2], "rb") as source:
        original_image = source.read()
    if sys.argv[1] == "size":
        print(image_size(original_image))
    else:
        with open(sys.argv[3], "rb") as source:
            found_problems = check(original_image, source.read())
        print("\n".join(found_problems) if found_problems else "ok")
        sys.exit(1 if found_problems else 0)
