#!/usr/bin/env python3
"""Writes WAVE-extensible media files (16-bit PCM) from JSON specs. Python 3 standard library only.

Command line
    media_writer.py SPEC.json -o OUT.wav
    media_writer.py --out-dir DIR SPEC.json [MORE.json ...]
    media_writer.py --out-dir DIR --variants SPEC.json

A JSON file holds one desc (an object) or several (a list). With --out-dir each desc is written to
DIR/<file> (the desc's "file" key). With --variants every header variant of each desc is written as
well, to DIR/<stem>.<variant>.wav. Exit status 1 and a message on a bad desc.

Python API:  from soundbank import wave;  wave.media_bytes(desc) -> bytes;
             wave.build(desc) -> MediaFile (.chunks, .rate, .channels, .frames; .serialise())

Media desc
    file          output file name (command line only)
    wave          the samples: rate, channels, seconds | frames | loop, parts, envelope
                  (tools/soundbank/synth.py: tones, chords, noise bursts, envelopes, seamless
                  loops of a whole number of periods)
    channel_mask  the 32-bit value at offset 20 of "fmt " (default: the usual speaker mask of the
                  channel count: 1 -> 0x4, 2 -> 0x3, 6 -> 0x3F, ...)
    cues          [{"id", "position" (frames), "label"}]: a "cue " chunk (24-byte points) and,
                  for labelled cues, a "LIST" of type "adtl" with one "labl" per label
    cue_count     the count written in "cue " (default: the number of cues)
    loop_points   {"start", "end" (frames, end inclusive), "play_count" (0 = forever),
                  "loop_count" (loops announced in the header, default 1), "sampler_data"
                  (hex after the loop), "sampler_data_size" (the size written at offset 32,
                  default the size of sampler_data)}: a "smpl" chunk
    engine_chunk  hex body of a "zkd " chunk;  seek_table: hex body of a "seek" chunk
    extra_chunks  [{"tag", "hex", "declared_size" (the size in its header), "pad" ("zero",
                  "none" or "nonzero": the byte after an odd body), "before" ("data" by default,
                  "fmt " or "end")}]: any other chunk, well formed or not
    variant       one of: odd_chunk (a 3-byte chunk and its zero pad before "data"),
                  odd_chunk_unpadded (the same without the pad byte), second_fmt (a plain 8 kHz
                  "fmt " after the first), data_before_fmt, cue_before_fmt, no_data, ogg ("OggS"
                  instead of "RIFF"), not_wave ("WAVX"), short (8 bytes), data_past_end (the
                  "data" size 4096 bytes beyond the file), plain_pcm (format tag 1),
                  cue_count_past_chunk (a "cue " of one point announcing 1000),
                  label_short (a "labl" of 2 bytes, shorter than its cue id),
                  sampler_count_past_chunk (a "smpl" of one loop announcing 1000),
                  sampler_data_past_chunk (a "smpl" announcing 0xFFFFFFF0 bytes of sampler
                  data); the last four are placed before "data"
    hex           the whole file as hex bytes (no other key)
    midi          MIDI track media instead of a wave file (tools/soundbank/midi.py); its
                  --variants are every cut of the media and its named faults, written to
                  DIR/<stem>.<variant><extension of "file">

Example:  {"file": "a440.wav", "wave": {"rate": 44100, "channels": 2, "seconds": 1,
           "parts": [{"tone": 440, "amp": 0.5}], "envelope": {"attack": 0.01, "release": 0.1}}}
"""

import copy
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from soundbank import command_line, midi, wave  # noqa: E402


def _write(desc, path, args):
    desc = dict(desc)
    name = desc.pop("file", None)
    if args.output:
        command_line.write_file(args.output, wave.media_bytes(desc))
        return
    if not name:
        raise ValueError("a desc written with --out-dir needs its \"file\"")
    command_line.write_file(os.path.join(args.out_dir, name), wave.media_bytes(desc))
    if args.variants:
        stem = os.path.splitext(name)[0]
        extension = os.path.splitext(name)[1] or ".wav"
        for variant in midi.variant_names(desc) if "midi" in desc else wave.VARIANTS:
            damaged = copy.deepcopy(desc)
            damaged["variant"] = variant
            command_line.write_file(os.path.join(args.out_dir, "%s.%s%s" % (stem, variant, extension)),
                            wave.media_bytes(damaged))


def _options(parser):
    parser.add_argument("--variants", action="store_true",
                        help="also write every header variant of each desc")


if __name__ == "__main__":
    sys.exit(command_line.run("media_writer", "Writes WAVE-extensible media from JSON specs.",
                              sys.argv[1:], _write, _options))
