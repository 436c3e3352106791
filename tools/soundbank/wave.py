"""WAVE-extensible media files: 16-bit PCM at any rate and channel count, with optional marker,
label, sampler-loop and engine chunks, and header variants that tests use as bad or unusual input.

A file is laid out as a list of RiffChunk records and then serialised, so that a variant can move,
repeat, drop or mis-size a chunk without touching the others.

The "fmt " body is the 40-byte extensible form: format tag 0xFFFE, channels, rate, byte rate,
block align, 16 bits, extension size 22, 16 valid bits, the channel mask at offset 20 of the body,
and the PCM sub-format GUID.
"""

import array
import struct
import sys

from . import synth
from .binary import fourcc

FORMAT_EXTENSIBLE = 0xFFFE
FORMAT_PCM = 0x0001
# The PCM sub-format GUID 00000001-0000-0010-8000-00AA00389B71 in its file byte order.
PCM_SUBFORMAT = bytes.fromhex("0100000000001000800000aa00389b71")
BITS_PER_SAMPLE = 16

# Speaker masks of the usual layouts (front left 0x1, front right 0x2, front centre 0x4, ...).
_STANDARD_MASKS = {1: 0x4, 2: 0x3, 3: 0x7, 4: 0x33, 5: 0x37, 6: 0x3F, 7: 0x13F, 8: 0x63F}

VARIANTS = ("odd_chunk", "odd_chunk_unpadded", "second_fmt", "data_before_fmt", "cue_before_fmt",
            "no_data", "ogg", "not_wave", "short", "data_past_end", "plain_pcm",
            "cue_count_past_chunk", "label_short", "sampler_count_past_chunk",
            "sampler_data_past_chunk")


class RiffChunk:
    """One chunk: its four-character id, its body, the size written in its header (the body's
    length unless declared_size is given) and the byte written after an odd-sized body ("zero",
    "none" or "nonzero")."""

    def __init__(self, tag, body, declared_size=None, pad="zero"):
        self.tag = fourcc(tag)
        self.body = bytes(body)
        self.declared_size = declared_size
        self.pad = pad

    def serialise(self):
        size = len(self.body) if self.declared_size is None else self.declared_size
        out = self.tag + struct.pack("<I", size & 0xFFFFFFFF) + self.body
        if len(self.body) % 2 and self.pad != "none":
            out += b"\x00" if self.pad == "zero" else b"\x7f"
        return out


def standard_mask(channels):
    return _STANDARD_MASKS.get(channels, (1 << channels) - 1)


def fmt_extensible(rate, channels, mask=None):
    block_align = channels * BITS_PER_SAMPLE // 8
    return struct.pack("<HHIIHHHHI16s", FORMAT_EXTENSIBLE, channels, rate, rate * block_align,
                       block_align, BITS_PER_SAMPLE, 22, BITS_PER_SAMPLE,
                       standard_mask(channels) if mask is None else mask, PCM_SUBFORMAT)


def fmt_plain_pcm(rate, channels):
    block_align = channels * BITS_PER_SAMPLE // 8
    return struct.pack("<HHIIHH", FORMAT_PCM, channels, rate, rate * block_align, block_align,
                       BITS_PER_SAMPLE)


def pcm16(signal):
    """Interleaved little-endian 16-bit samples of a rendered signal (full scale 32767)."""
    channels = signal.samples
    if len(channels) == 1:
        frames = channels[0]
    else:
        frames = [s for frame in zip(*channels) for s in frame]
    data = array.array("h", (max(-32768, min(32767, int(round(s * 32767.0)))) for s in frames))
    if sys.byteorder != "little":
        data.byteswap()
    return data.tobytes()


def cue_chunk(cues, count=None):
    """"cue ": u32 count, then 24-byte points {id, position, "data", 0, 0, sample offset}."""
    body = struct.pack("<I", len(cues) if count is None else count)
    for cue in cues:
        body += struct.pack("<II4sIII", cue["id"], cue["position"], b"data", 0, 0,
                            cue["position"])
    return RiffChunk("cue ", body)


def label_list_chunk(cues):
    """"LIST" of type "adtl" holding one "labl" per labelled cue (id, then the text and a NUL)."""
    body = b"adtl"
    for cue in cues:
        if "label" in cue:
            label = RiffChunk("labl", struct.pack("<I", cue["id"]) +
                              cue["label"].encode("utf-8") + b"\x00")
            body += label.serialise()
    return RiffChunk("LIST", body)


def sampler_chunk(rate, loop):
    """"smpl" with one forward loop from loop["start"] to loop["end"] (frames, end inclusive).
    "play_count" 0 loops forever; "loop_count" overrides the count of loops written in the header;
    "sampler_data" (hex) is appended and its size written at offset 32 (or "sampler_data_size")."""
    extra = bytes.fromhex(loop.get("sampler_data", ""))
    loops = loop.get("loop_count", 1)
    body = struct.pack("<IIIIIIIII", 0, 0, 1000000000 // rate, 60, 0, 0, 0, loops,
                       loop.get("sampler_data_size", len(extra)))
    body += struct.pack("<IIIIII", 0, 0, loop["start"], loop["end"], 0, loop.get("play_count", 0))
    return RiffChunk("smpl", body + extra)


class MediaFile:
    """A WAVE-extensible file under construction: .chunks in file order; bytes() serialises."""

    def __init__(self, chunks, riff_tag=b"RIFF", form=b"WAVE"):
        self.chunks = chunks
        self.riff_tag = riff_tag
        self.form = form

    def find(self, tag):
        tag = fourcc(tag)
        return next(i for i, chunk in enumerate(self.chunks) if chunk.tag == tag)

    def serialise(self):
        body = self.form + b"".join(chunk.serialise() for chunk in self.chunks)
        return self.riff_tag + struct.pack("<I", len(body)) + body


_MEDIA_KEYS = {"wave", "channel_mask", "cues", "cue_count", "loop_points", "engine_chunk",
               "seek_table", "extra_chunks", "variant"}
_EXTRA_CHUNK_KEYS = {"tag", "hex", "declared_size", "pad", "before"}


def _extra_chunk(entry):
    """{"tag", "hex", "declared_size", "pad": "zero" | "none" | "nonzero", "before": "fmt " |
    "data" (default) | "end"}: any chunk, well formed or not, placed where it says."""
    unknown = set(entry) - _EXTRA_CHUNK_KEYS
    if unknown:
        raise ValueError("extra chunk: unknown keys %s" % ", ".join(sorted(unknown)))
    if entry.get("before", "data") not in ("fmt ", "data", "end"):
        raise ValueError("an extra chunk goes before \"fmt \", before \"data\" or at the end")
    return RiffChunk(entry["tag"], bytes.fromhex(entry.get("hex", "")),
                     entry.get("declared_size"), entry.get("pad", "zero"))


def build(desc):
    """Builds the media of a description (see tools/media_writer.py) as a MediaFile."""
    unknown = set(desc) - _MEDIA_KEYS
    if unknown:
        raise ValueError("media: unknown keys %s" % ", ".join(sorted(unknown)))
    signal = synth.render(desc["wave"])
    chunks = [RiffChunk("fmt ", fmt_extensible(signal.rate, signal.channels,
                                                desc.get("channel_mask")))]
    if "engine_chunk" in desc:
        chunks.append(RiffChunk("zkd ", bytes.fromhex(desc["engine_chunk"])))
    if "seek_table" in desc:
        chunks.append(RiffChunk("seek", bytes.fromhex(desc["seek_table"])))
    cues = desc.get("cues", [])
    if cues or "cue_count" in desc:
        chunks.append(cue_chunk(cues, desc.get("cue_count")))
        if any("label" in cue for cue in cues):
            chunks.append(label_list_chunk(cues))
    if "loop_points" in desc:
        chunks.append(sampler_chunk(signal.rate, desc["loop_points"]))
    chunks.append(RiffChunk("data", pcm16(signal)))
    for entry in desc.get("extra_chunks", []):
        chunk = _extra_chunk(entry)
        where = entry.get("before", "data")
        chunks.insert(len(chunks) if where == "end" else 0 if where == "fmt " else len(chunks) - 1,
                      chunk)
    media = MediaFile(chunks)
    media.rate, media.channels, media.frames = signal.rate, signal.channels, signal.frames
    if "variant" in desc:
        apply_variant(media, desc["variant"])
    return media


def apply_variant(media, variant):
    """Rewrites a built file into one of VARIANTS (see tools/media_writer.py)."""
    chunks = media.chunks
    data = media.find("data")
    if variant == "odd_chunk":
        chunks.insert(data, RiffChunk("odd ", b"\x01\x02\x03"))
    elif variant == "odd_chunk_unpadded":
        chunks.insert(data, RiffChunk("odd ", b"\x01\x02\x03", pad="none"))
    elif variant == "second_fmt":
        chunks.insert(media.find("fmt ") + 1, RiffChunk("fmt ", fmt_plain_pcm(8000, 1)))
    elif variant == "data_before_fmt":
        chunks.insert(0, chunks.pop(data))
    elif variant == "cue_before_fmt":
        cue = [i for i, chunk in enumerate(chunks) if chunk.tag == b"cue "]
        chunks.insert(0, chunks.pop(cue[0]) if cue else cue_chunk([{"id": 1, "position": 0}]))
    elif variant == "no_data":
        del chunks[data]
    elif variant == "ogg":
        media.riff_tag, media.form = b"OggS", b"\x00\x02\x00\x00"
    elif variant == "not_wave":
        media.form = b"WAVX"
    elif variant == "short":
        media.chunks, media.form = [], b""  # 8 bytes: "RIFF" and a size
    elif variant == "data_past_end":
        chunks[data].declared_size = len(chunks[data].body) + 4096
    elif variant == "plain_pcm":
        chunks[media.find("fmt ")] = RiffChunk("fmt ", fmt_plain_pcm(media.rate, media.channels))
    elif variant == "cue_count_past_chunk":
        chunks.insert(data, cue_chunk([{"id": 1, "position": 0}], count=1000))
    elif variant == "label_short":
        chunks.insert(data, cue_chunk([{"id": 1, "position": 0}]))
        chunks.insert(data + 1, RiffChunk("LIST", b"adtl" + RiffChunk("labl", b"\x01\x00")
                                          .serialise()))
    elif variant == "sampler_count_past_chunk":
        chunks.insert(data, sampler_chunk(media.rate, {"start": 0, "end": 1, "loop_count": 1000}))
    elif variant == "sampler_data_past_chunk":
        chunks.insert(data, sampler_chunk(media.rate, {"start": 0, "end": 1,
                                                       "sampler_data_size": 0xFFFFFFF0}))
    else:
        raise ValueError("unknown media variant %r (known: %s)" % (variant, ", ".join(VARIANTS)))


def media_bytes(desc):
    """The bytes of a media description: a built wave file, MIDI track media ("midi",
    tools/soundbank/midi.py), or given bytes ("hex")."""
    if "hex" in desc:
        if len(desc) != 1:
            raise ValueError("media given as hex takes no other keys")
        return bytes.fromhex(desc["hex"])
    if "midi" in desc:
        from . import midi
        return midi.media_bytes(desc)
    if str(desc.get("encoding", "")).startswith("adpcm"):
        from . import adpcm
        return adpcm.media_bytes(desc)
    if "encoding" in desc:
        from . import preparation
        return preparation.encoded_media(desc)
    return build(desc).serialise()
