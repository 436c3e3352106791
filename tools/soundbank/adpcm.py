"""4-bit ADPCM media of codec 2 (tools/media_writer.py, "encoding": "adpcm" or "adpcm_8311"), the
standard IMA ADPCM twin of such media that other tools decode, a decoder model of both block kinds,
and damaged copies for the reader's checks.

Blocks (64 frames each; every channel owns 36 consecutive bytes of a block, so a block of n
channels is 36 x n bytes):
    tag 2       i16 first sample (the predictor), u8 step index (0-88), u8 0, then 32 bytes of
                4-bit codes, low nibble first: 63 codes are used, the last byte's high nibble is 0.
                A code c moves the predictor by ((c & 7) x 2 + 1) x step / 8 (integer division),
                negated when c & 8; the step index moves by INDEX_TABLE[c] (both limited).
    tag 0x8311  i16 first sample, i16 second sample, u8 predictor state (0-11), then 31 bytes of
                62 codes: s(n) = 2 s(n-1) - s(n-2) + delta[state][c], state = next[state][c].
The encoders are greedy: each code is the one whose decoded sample lies nearest the input. The
tag-2 encoder carries its step index from block to block; a seamless loop ("loop" in its wave)
starts from the index its end leaves, so every pass starts as the one before ended.

"fmt " (24 bytes): tag, channels, rate, byte rate, block align (36 x channels), 4 bits, extension
size 6, 64 frames per block (offset 18), the channel configuration word at offset 20 (default the
usual speaker mask). The lengths are whole blocks (the signal is cut to them); cues, labels, a
"smpl" loop and a "zkd " engine chunk are written as for PCM media ("loop_points", "cues",
"engine_chunk").

Standard twin ("encoding": "adpcm_twin"): the same tag-2 blocks as format tag 0x11 with 65 samples
per 36-byte channel block, the channels' code bytes interleaved in groups of 4, as the common IMA
ADPCM WAVE files have them. A decoder of such files yields each block's 64 samples and one more
(from the unused nibble) that the engine never plays. Tools that decode these take at most two
channels: twin_files() gives one mono twin per channel above two.

"decoded": true writes the decoder model's samples (raw 16-bit) instead of the file.

Faults ("fault" key): tag_1, tag_fffe (another format tag), block_align_0, block_align_35
(35 x channels), channels_0, config_3ch (a three-channel configuration word), rate_0, fmt_16 (a
16-byte "fmt " without the configuration word), cut_inside_block (the file ends 10 bytes into a
block, the "data" size unchanged), half_block (half a block more data), header_beyond (a 3000-byte
chunk before "data": a header longer than one stream buffer).
"""

import struct

from . import synth
from .wave import RiffChunk, MediaFile, cue_chunk, label_list_chunk, sampler_chunk, standard_mask

TAG_ADPCM = 0x0002
TAG_PREDICTIVE = 0x8311
TAG_IMA = 0x0011
FRAMES_PER_BLOCK = 64
CHANNEL_BLOCK = 36
TWIN_SAMPLES_PER_BLOCK = 65

STEP_TABLE = (
    7, 8, 9, 10, 11, 12, 13, 14, 16, 17, 19, 21, 23, 25, 28, 31, 34, 37, 41, 45, 50, 55, 60, 66,
    73, 80, 88, 97, 107, 118, 130, 143, 157, 173, 190, 209, 230, 253, 279, 307, 337, 371, 408,
    449, 494, 544, 598, 658, 724, 796, 876, 963, 1060, 1166, 1282, 1411, 1552, 1707, 1878, 2066,
    2272, 2499, 2749, 3024, 3327, 3660, 4026, 4428, 4871, 5358, 5894, 6484, 7132, 7845, 8630,
    9493, 10442, 11487, 12635, 13899, 15289, 16818, 18500, 20350, 22385, 24623, 27086, 29794,
    32767)
INDEX_TABLE = (-1, -1, -1, -1, 2, 4, 6, 8, -1, -1, -1, -1, 2, 4, 6, 8)

_BASE_DELTAS = (-28, -20, -14, -10, -7, -5, -3, -1, 1, 3, 5, 7, 10, 14, 20, 28)
_STATE0_DELTAS = (-14, -10, -7, -5, -3, -2, -1, 0, 0, 1, 2, 3, 5, 7, 10, 14)
_STATE_MOVES = (2, 2, 1, 1, 0, 0, 0, -1, -1, 0, 0, 0, 1, 1, 2, 2)
MAX_STATE = 11
DELTAS = tuple(_STATE0_DELTAS if s == 0 else tuple(d << (s - 1) for d in _BASE_DELTAS)
               for s in range(MAX_STATE + 1))
NEXT_STATE = tuple(tuple(min(MAX_STATE, max(0, s + m)) for m in _STATE_MOVES)
                   for s in range(MAX_STATE + 1))

FAULTS = ("tag_1", "tag_fffe", "block_align_0", "block_align_35", "channels_0", "config_3ch",
          "rate_0", "fmt_16", "cut_inside_block", "half_block", "header_beyond")
_KEYS = {"encoding", "wave", "channel_mask", "cues", "loop_points", "fault", "decoded", "engine_chunk"}


def _clip(value):
    return -32768 if value < -32768 else 32767 if value > 32767 else value


def _index(value):
    return 0 if value < 0 else 88 if value > 88 else value


def expand_step_code(predictor, index, code):
    """One tag-2 code: (new predictor, new step index)."""
    step = STEP_TABLE[index]
    diff = ((code & 7) * 2 + 1) * step // 8
    predictor = _clip(predictor - diff if code & 8 else predictor + diff)
    return predictor, _index(index + INDEX_TABLE[code])


def decode_step_block(block):
    """The 64 samples of one channel's 36-byte tag-2 block (index above 88 limited)."""
    predictor = struct.unpack_from("<h", block, 0)[0]
    index = _index(block[2])
    out = [predictor]
    for n in range(63):
        code = (block[4 + n // 2] >> (4 * (n & 1))) & 0xF
        predictor, index = expand_step_code(predictor, index, code)
        out.append(predictor)
    return out


def decode_predictive_block(block, count=FRAMES_PER_BLOCK):
    """The first count (1 to 64) samples of one channel's tag-0x8311 block (state limited to 11)."""
    s0, s1 = struct.unpack_from("<hh", block, 0)
    state = min(block[4], MAX_STATE)
    out = [s0]
    if count == 1:
        return out
    out.append(s1)
    for n in range(count - 2):
        code = (block[5 + n // 2] >> (4 * (n & 1))) & 0xF
        s0, s1 = s1, _clip(2 * s1 - s0 + DELTAS[state][code])
        state = NEXT_STATE[state][code]
        out.append(s1)
    return out


def encode_step_block(samples, index):
    """A 36-byte tag-2 block of 64 samples from a step index; (block, the index after it)."""
    predictor = _clip(samples[0])
    first_index = index
    codes = []
    for target in samples[1:FRAMES_PER_BLOCK]:
        step = STEP_TABLE[index]
        diff = target - predictor
        magnitude = min(7, (abs(diff) * 4) // step)
        sign = 8 if diff < 0 else 0
        best = None
        for candidate in {max(0, magnitude - 1), magnitude, min(7, magnitude + 1)}:
            code = candidate | sign
            value, _ = expand_step_code(predictor, index, code)
            error = abs(value - target)
            if best is None or error < best[0]:
                best = (error, code)
        code = best[1]
        predictor, index = expand_step_code(predictor, index, code)
        codes.append(code)
    codes.append(0)  # the unused high nibble of the last byte
    body = bytes(codes[i] | codes[i + 1] << 4 for i in range(0, 64, 2))
    return struct.pack("<hBB", _clip(samples[0]), first_index, 0) + body, index


def encode_predictive_block(samples, state=MAX_STATE // 2):
    """A 36-byte tag-0x8311 block of 64 samples (greedy codes from the given state)."""
    s0, s1 = _clip(samples[0]), _clip(samples[1])
    first_state = state
    codes = []
    for target in samples[2:FRAMES_PER_BLOCK]:
        base = 2 * s1 - s0
        best = min(range(16), key=lambda c: abs(_clip(base + DELTAS[state][c]) - target))
        s0, s1 = s1, _clip(base + DELTAS[state][best])
        state = NEXT_STATE[state][best]
        codes.append(best)
    body = bytes(codes[i] | codes[i + 1] << 4 for i in range(0, 62, 2))
    return struct.pack("<hhB", _clip(samples[0]), _clip(samples[1]), first_state) + body


def _pcm_channels(signal, frames):
    return [[max(-32768, min(32767, int(round(s * 32767.0)))) for s in channel[:frames]]
            for channel in signal.samples]


def encode_channels(channels, tag=TAG_ADPCM, indexes=None):
    """The data of whole blocks from lists of 16-bit samples (one per channel, lengths a multiple
    of 64): per block, each channel's 36 bytes in turn; and the step indexes after the last block.
    indexes: the step index each channel starts from (default 0)."""
    frames = len(channels[0])
    indexes = list(indexes) if indexes is not None else [0] * len(channels)
    out = bytearray()
    for start in range(0, frames - frames % FRAMES_PER_BLOCK, FRAMES_PER_BLOCK):
        for c, channel in enumerate(channels):
            samples = channel[start:start + FRAMES_PER_BLOCK]
            if tag == TAG_ADPCM:
                block, indexes[c] = encode_step_block(samples, indexes[c])
            else:
                block = encode_predictive_block(samples)
            out += block
    return bytes(out), indexes


def decode_data(data, channels, tag=TAG_ADPCM):
    """Interleaved 16-bit samples of whole blocks (the engine's decode)."""
    align = CHANNEL_BLOCK * channels
    out = []
    for start in range(0, len(data) - len(data) % align, align):
        decoded = [(decode_step_block if tag == TAG_ADPCM else decode_predictive_block)(
            data[start + c * CHANNEL_BLOCK:start + (c + 1) * CHANNEL_BLOCK]) for c in range(channels)]
        out += [s for frame in zip(*decoded) for s in frame]
    return out


def fmt_adpcm(rate, channels, tag=TAG_ADPCM, mask=None):
    align = CHANNEL_BLOCK * channels
    return struct.pack("<HHIIHHHHI", tag, channels, rate, rate * align // FRAMES_PER_BLOCK, align, 4,
                       6, FRAMES_PER_BLOCK, standard_mask(channels) if mask is None else mask)


def twin_data(data, channels):
    """The tag-2 data as standard IMA ADPCM blocks: per block the channels' 4-byte headers, then
    their code bytes in interleaved groups of 4."""
    align = CHANNEL_BLOCK * channels
    out = bytearray()
    for start in range(0, len(data) - len(data) % align, align):
        blocks = [data[start + c * CHANNEL_BLOCK:start + (c + 1) * CHANNEL_BLOCK] for c in range(channels)]
        for block in blocks:
            out += block[:4]
        for group in range(8):
            for block in blocks:
                out += block[4 + group * 4:8 + group * 4]
    return bytes(out)


def twin_file(data, rate, channels):
    """A standard IMA ADPCM WAVE file (format tag 0x11) of tag-2 data."""
    align = CHANNEL_BLOCK * channels
    fmt = struct.pack("<HHIIHHHH", TAG_IMA, channels, rate, rate * align // TWIN_SAMPLES_PER_BLOCK,
                      align, 4, 2, TWIN_SAMPLES_PER_BLOCK)
    return MediaFile([RiffChunk("fmt ", fmt), RiffChunk("data", twin_data(data, channels))]).serialise()


def twin_files(data, rate, channels):
    """Standard twins a two-channel decoder reads: the whole media up to two channels, else one
    mono twin per channel."""
    if channels <= 2:
        return [twin_file(data, rate, channels)]
    align = CHANNEL_BLOCK * channels
    blocks = [data[start:start + align] for start in range(0, len(data) - len(data) % align, align)]
    return [twin_file(b"".join(block[c * CHANNEL_BLOCK:(c + 1) * CHANNEL_BLOCK] for block in blocks),
                      rate, 1) for c in range(channels)]


def _apply_fault(fault, fmt, chunks, data_index, channels):
    fields = list(struct.unpack("<HHIIHHHHI", fmt))
    if fault == "tag_1":
        fields[0] = 1
    elif fault == "tag_fffe":
        fields[0] = 0xFFFE
    elif fault == "block_align_0":
        fields[4] = 0
    elif fault == "block_align_35":
        fields[4] = 35 * channels
    elif fault == "channels_0":
        fields[1] = 0
    elif fault == "config_3ch":
        fields[8] = 0x7
    elif fault == "rate_0":
        fields[2] = 0
    packed = struct.pack("<HHIIHHHHI", *fields)
    if fault == "fmt_16":
        packed = packed[:16]
    chunks[0] = RiffChunk("fmt ", packed)
    data = chunks[data_index]
    if fault == "cut_inside_block":
        whole = len(data.body) - CHANNEL_BLOCK * channels
        data.declared_size = len(data.body)
        data.body = data.body[:whole + 10]
    elif fault == "half_block":
        data.body += data.body[:CHANNEL_BLOCK * channels // 2]
    elif fault == "header_beyond":
        chunks.insert(data_index, RiffChunk("pad ", bytes(3000)))
    elif fault not in FAULTS:
        raise ValueError("unknown ADPCM fault %r (known: %s)" % (fault, ", ".join(FAULTS)))


def build(desc):
    """The MediaFile of an ADPCM media description; .samples holds the decoded interleaved samples and
    .data the encoded data (before a fault)."""
    unknown = set(desc) - _KEYS
    if unknown:
        raise ValueError("ADPCM media: unknown keys %s" % ", ".join(sorted(unknown)))
    signal = synth.render(desc["wave"])
    frames = signal.frames - signal.frames % FRAMES_PER_BLOCK
    if frames == 0:
        raise ValueError("ADPCM media need at least one block of 64 frames")
    tag = {"adpcm": TAG_ADPCM, "adpcm_8311": TAG_PREDICTIVE, "adpcm_twin": TAG_ADPCM}[desc["encoding"]]
    pcm = _pcm_channels(signal, frames)
    indexes = None
    if desc["wave"].get("loop"):
        # A seamless loop: its first block starts from the step the end of the loop leads into.
        _, indexes = encode_channels(pcm, tag)
    data, _ = encode_channels(pcm, tag, indexes)
    chunks = [RiffChunk("fmt ", fmt_adpcm(signal.rate, signal.channels, tag, desc.get("channel_mask")))]
    if "engine_chunk" in desc:
        chunks.append(RiffChunk("zkd ", bytes.fromhex(desc["engine_chunk"])))
    cues = desc.get("cues", [])
    if cues:
        chunks.append(cue_chunk(cues))
        if any("label" in cue for cue in cues):
            chunks.append(label_list_chunk(cues))
    if "loop_points" in desc:
        chunks.append(sampler_chunk(signal.rate, desc["loop_points"]))
    chunks.append(RiffChunk("data", data))
    if "fault" in desc:
        _apply_fault(desc["fault"], chunks[0].body, chunks, len(chunks) - 1, signal.channels)
    media = MediaFile(chunks)
    media.rate, media.channels, media.frames = signal.rate, signal.channels, frames
    media.data = data
    media.samples = decode_data(data, signal.channels, tag)
    return media


def media_bytes(desc):
    """The bytes of an ADPCM media description (the standard twin for "adpcm_twin"; with "decoded": true
    the decoder model's output instead, raw little-endian 16-bit interleaved samples)."""
    media = build(desc)
    if desc.get("decoded"):
        return struct.pack("<%dh" % len(media.samples), *media.samples)
    if desc["encoding"] == "adpcm_twin":
        if set(desc) - {"encoding", "wave"}:
            raise ValueError("a standard twin takes only a wave")
        return twin_file(media.data, media.rate, media.channels)
    return media.serialise()
