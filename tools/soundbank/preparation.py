"""What tests of prepared media need beyond a bank: loose copies of the media ("<media id>.oxm",
which a preparation reads when no loaded bank holds the media), a media format that needs
decoding, "DIDX" entries out of the data's order, and the damaged copies of those.

Loose media
    A media of a bank description may carry "loose": a media description (tools/media_writer.py) for its
    loose copy; without it the loose copy is the bank's bytes. bank_writer.py --loose-media writes
    every loose copy to DIR/<media id>.oxm. A loose copy with another tone than the bank's tells a
    test which copy played.

Encoded test media ("encoding" in a media description, with "wave" and "extra_chunks" as usual)
    u8_test   format tag 0xFFFF: 8-bit unsigned samples (silence 128), its frame count in the
              format chunk's extension (see below); "claimed_frames" writes another count
    u8_plain  the same samples as a plain 8-bit WAVE (format tag 1), for sox
    The u8_test "fmt " body is 28 bytes: tag 0xFFFF, channels, rate, byte rate, block align
    (= channels), 8 bits, extension size 10, valid bits 8, the channel mask (offset 20), the frame
    count (u32, offset 24). The header (everything before the samples) is 56 bytes; an extra
    chunk makes it longer (an unpadded odd one makes it odd).

"DIDX" order
    "order": [media ids] lists the entries in that order (the data keeps the media order).
"""

import struct

from . import synth
from .wave import MediaFile, RiffChunk, _extra_chunk

FORMAT_TEST_U8 = 0xFFFF
FORMAT_PCM = 0x0001
U8_SILENCE = 128
HUGE_FRAME_CLAIM = 2 ** 31 + 8

_ENCODED_KEYS = {"encoding", "wave", "channel_mask", "claimed_frames", "extra_chunks"}


def u8_samples(signal):
    """Interleaved unsigned 8-bit samples of a rendered signal (silence 128, full scale 127)."""
    frames = zip(*signal.samples)
    return bytes(max(0, min(255, U8_SILENCE + int(round(s * 127.0)))) for frame in frames for s in frame)


def _mask(channels):
    return {1: 0x4, 2: 0x3}.get(channels, (1 << channels) - 1)


def encoded_media(desc):
    """The bytes of a media description with an "encoding" (see the module's comment)."""
    unknown = set(desc) - _ENCODED_KEYS
    if unknown:
        raise ValueError("encoded media: unknown keys %s" % ", ".join(sorted(unknown)))
    signal = synth.render(desc["wave"])
    channels, rate = signal.channels, signal.rate
    encoding = desc["encoding"]
    if encoding == "u8_test":
        frames = desc.get("claimed_frames", signal.frames)
        fmt = struct.pack("<HHIIHHHHII", FORMAT_TEST_U8, channels, rate, rate * channels, channels, 8,
                          10, 8, desc.get("channel_mask", _mask(channels)), frames)
    elif encoding == "u8_plain":
        fmt = struct.pack("<HHIIHH", FORMAT_PCM, channels, rate, rate * channels, channels, 8)
    else:
        raise ValueError("unknown encoding %r (known: u8_test, u8_plain)" % encoding)
    extras = desc.get("extra_chunks", [])
    placed = {where: [_extra_chunk(e) for e in extras if e.get("before", "data") == where]
              for where in ("fmt ", "data", "end")}
    chunks = (placed["fmt "] + [RiffChunk("fmt ", fmt)] + placed["data"] +
              [RiffChunk("data", u8_samples(signal))] + placed["end"])
    return MediaFile(chunks).serialise()


def split_loose(entry):
    """A media description without its "loose" key, and the loose copy's description (or None)."""
    if "loose" not in entry:
        return entry, None
    rest = {key: value for key, value in entry.items() if key != "loose"}
    return rest, entry["loose"]


def ordered(entries, order):
    """The "DIDX" entries (id, offset, size) in the order of the media ids given (None: as they
    are)."""
    if order is None:
        return entries
    by_id = {entry[0]: entry for entry in entries}
    missing = [media for media in order if media not in by_id]
    if missing or len(order) != len(entries):
        raise ValueError("DIDX order must list each media once (bank media: %s)"
                         % ", ".join(str(entry[0]) for entry in entries))
    return [by_id[media] for media in order]


def variants(description):
    """Damaged copies for the readers of prepared and decoded media: the "DIDX" entries in the
    reverse of the data's order, and every u8_test media claiming 2^31 + 8 frames."""
    import copy
    out = []
    media = description.get("media", [])
    tags = [chunk.get("tag") for chunk in description.get("chunks", [])]
    if "DIDX" in tags and len(media) > 1:
        variant = copy.deepcopy(description)
        didx = next(chunk for chunk in variant["chunks"] if chunk.get("tag") == "DIDX")
        didx["order"] = [entry["id"] for entry in reversed(media)]
        out.append(("didx_out_of_order", variant))
    if any(entry.get("encoding") == "u8_test" for entry in media):
        variant = copy.deepcopy(description)
        for entry in variant["media"]:
            if entry.get("encoding") == "u8_test":
                entry["claimed_frames"] = HUGE_FRAME_CLAIM
        out.append(("frames_claimed_huge", variant))
    return out
