#!/usr/bin/env python3
"""Builds sound banks (".bnk") from JSON descriptions. Python 3 standard library only.

Command line
    bank_writer.py DESCRIPTION.json -o OUT.bnk
    bank_writer.py --out-dir DIR DESCRIPTION.json [MORE.json ...]
    bank_writer.py --out-dir DIR --fault-variants DESCRIPTION.json
    bank_writer.py --out-dir DIR --layout DESCRIPTION.json
    bank_writer.py --out-dir DIR --loose-media DESCRIPTION.json

A JSON file holds one bank description (an object) or several (a list). With -o the file must hold
exactly one. With --out-dir each bank is written to DIR/<file> ("file", else "name"). With
--fault-variants every damaged copy of each bank (tools/soundbank/faults.py) is written as well,
to DIR/<stem>.<fault>.bnk. With --layout DIR/<file>.layout.json lists where each chunk and media
lies ({"size", "chunks": [{"tag", "offset" of the header, "size" of the body}], "media": [{"id",
"offset" in "DATA", "size"}]}). With --loose-media every media is also written as DIR/<media id>.oxm
(its "loose" desc when it has one; see tools/soundbank/preparation.py). Files are written through a rename, so a reader never sees half a
file. Exit status 1 and a message naming the file and the key on a bad description.

Python API (what tests use; the same dicts as the JSON):
    sys.path.insert(0, "<repository>/tools")
    from soundbank import bank, faults
    image = bank.build(description, base_dir)      # image.data: bytes; image.layout(): as above
    for name, damaged in faults.variants(description, image): bank.build(damaged).data
    from soundbank import chunks                   # one item body alone:
    chunks.hierarchy_item({"type": "sound", ...}, "Main.bnk", {media id: size}) -> (type, body,
                                                                                    declared)

Numbers and ids
    Every integer may be written as a number or as a "0x..." string. Every id may also be a name:
    its id is the engine's FNV-1 hash of the lower-cased name ("Music" -> the bus id of "Music").
    "role" and "comment" may appear in any object and are not written. Unknown keys are errors.

Bank description
    name        the bank's file name, e.g. "Main.bnk"; the bank id is FNV-1 of it without its
                last extension
    file        output file name (default: name)
    media       list of media, each {"id", and one of: "file" (path relative to the JSON file),
                "hex" (bytes), or a media description of tools/media_writer.py ("wave", "cues", ...,
                or "midi": MIDI track media, tools/soundbank/midi.py)};
                "dominant_hz" documents the dominant frequency (tests check it); "loose" (the
                desc of its loose copy) and "encoding" (the 8-bit test format): see
                tools/soundbank/preparation.py
    streamed    media read from files of their own (sounds of stream types 1 and 2), listed as
                "media" is: each is written beside the bank as "<id>.oxm" (not into the bank);
                "prefetch": N also puts the file's first N bytes into the bank as the media of
                that id (the prefetch copy a sound of stream type 1 starts on; its media size
                defaults to N)
    chunks      list of chunks in file order; each {"tag": "XXXX", ...} as below, or
                {"raw": "hex"} for bytes written as they are (no header)
    truncate    cut the file: a byte count (negative: from the end), or {"chunk": i,
                "offset": k} = k bytes after the start of the header of chunks[i]
    append      hex bytes added at the end (after truncate)

Every chunk: "hex" replaces the built body (required for a tag not listed below);
"declared_size" replaces the size written in its header.

    BKHD  version (140), id (the bank id), alignment (16), field8, field14, field16 (0; not read
          by the engine), body_length (20; more adds zero bytes, less cuts the header)
    DIDX  one 12-byte entry {media id, offset in DATA, size} per media; "entries": [{"id",
          "offset", "size"}] replaces them; "order": [media ids] lists them in that order;
          "extra_bytes": hex remainder
    DATA  the media, each at an offset rounded up to "alignment" (16)
    HIRC  "items": list of items (below); "count" replaces the item count
    STMG  volume_threshold (dB, -96.3), max_voices (128), second_voice_limit (0),
          state_groups [{"id", "default_time", "transitions": [{"from", "to", "time"}],
          "transition_count"}], switch_groups [{"id", "parameter", "parameter_type",
          "points": [[value, switch state, shape]], "point_count"}], game_parameters [{"id",
          "default", "ramp", "ramp_up", "ramp_down", "builtin"}], group_entries [{"id",
          "values": [six numbers]}]; counts replaced by state_group_count, switch_group_count,
          game_parameter_count, group_entry_count
    ENVS  curves: up to six (the rest disabled and empty) {"enabled", "scaling", "points":
          [[x, y, shape]], "point_count"}
    STID  groups [{"string_type" (1), "banks": [{"name" (without extension), "id" (default
          its bank id), "length"}], "count"}]
    PLAT  name (""): written with its NUL
    INIT  plugins [{"id", "library"}], "count"

Items (HIRC). Every item: "type" ("state" 1, "sound" 2, "action" 3, "event" 4, "bus" 8,
"dialogue_event" 15, "bus18" 18, "playlist" 5, "switch" 6, "group" 7, "layered" 9, or a number), "id", and "size" replacing the size in the item header; "hex" replaces
the body after the id ("id" may then be left out: the body is the hex alone); a number type
other than those needs "hex". Curve points are [x, y] or [x, y, shape] (shape 4, linear, by
default). Properties ("props") are {"id": value} or [[id, value]]; an id may be "priority",
"delay", "fade_time", "probability", "loop_count", "initial_delay", "attenuation",
"midi_root_note", "midi_play_mode", "midi_tempo" or "midi_target" (a music node's); a value is a
number (typed by the engine's property table) or {"f32"|"i32"|"u32": number}; the attenuation's
may also be the attenuation item's id as a name.

    state  values {"property id": float}, count
    sound  media (the media id; also the source id), media_size (default: the bank media's
           size), plugin (0x00010001, the PCM codec) or codec ("pcm", "adpcm": 0x00020001),
           stream_type (0), source_flags (0),
           plugin_params (hex, for a source plug-in), then the node keys:
    node keys (sound): effects_override, effects [{"slot", "id", "shareset", "rendered"}],
           effect_count, bypass, plugins_override, plugins [{"index", "id", "shareset"}],
           plugin_count, custom_effect_override, bus (output bus), parent, behaviour, props,
           midi {"play_mode", "key_tracking", "root_note", "hand_note_off"} (behaviour bits
           and properties 46 and 45, tools/soundbank/nodes.py), prop_count, ranges {"id": [min, max]}, range_count, positioning (byte P: bit 0
           override, bit 1 3-D, bits 5-6 3-D mode), positioning_3d (byte Q), path {"mode",
           "transition_time", "vertices": [[x, y, z, ms]], "items": [[first, count]], "ranges":
           [[a, b, c]]}, aux (byte), aux_buses [four ids], extra_aux_bus, limit_flags,
           queue, max_instances, below_threshold, advanced (bytes B, C, D of the advanced
           block), state {"properties": [[id, kind, dB]], "property_count", "groups": [{"id",
           "sync", "states": [[state id, state object id]], "state_count"}], "group_count"},
           rtpc [{"parameter", "parameter_type", "combine", "target" (parameter bit),
           "curve" (curve id), "scaling", "points", "point_count"}]
    action action (a kind: play, stop, pause, resume, set_gain, reset_gain, set_node_flag,
           clear_node_flag, set_state, set_game_parameter, reset_game_parameter, set_switch,
           node_slot, node_slot_reset, notify, trigger, seek, break, post_event,
           reset_playlist, set_property_08 ... set_property_0f, set_property_20,
           set_property_30; or the whole 16-bit type), scope (with a kind), target,
           target_is_bus, props, prop_count, ranges, range_count, then by kind: curve (4),
           bank (play: default this bank's id), options (stop, pause, resume), meaning (1),
           value, min, max, bypass_transition, group, state, switch, flag, slot, relative,
           snap, exceptions [id or [id, is_bus]], exception_count; params_hex replaces the
           kind's parameters
    event  actions [ids in order], count
    lfo, envelope, time_modulator (19, 20, 22)  props, prop_count, ranges, range_count, rtpc,
           rtpc_count (tools/soundbank/modulators.py names the properties)
    bus, bus18  parent (0: top level), device (top level only), props, prop_count,
           positioning, positioning_3d, path, aux, aux_buses, extra_aux_bus, bus_flags
           (byte A), max_instances, channel_config, bus_flags_b, recovery_ms,
           max_duck_volume (-96.3), ducks [{"target", "volume", "fade_out", "fade_in",
           "curve", "property"}], duck_count, effects, effect_count, bypass, mixer,
           mixer_shareset, node_flag, plugins, plugin_count, rtpc, state
    dialogue_event  probability (100), arguments [id or {"id", "type"}], argument_count, mode
           ("best_match", "weighted" or a number), tree (nested keys; see
           tools/soundbank/dialogue.py), tree_size, props, prop_count, ranges, range_count
    shareset, custom_effect, audio_device (16, 17, 21)  plugin (-1: none), data (hex), data_f32,
           data_size, media [ids], media_count, rtpc, rtpc_count, states, initial [{"param",
           "kind", "value"}], initial_count; audio_device also effects_override, effects,
           effect_count, bypass (tools/soundbank/effects.py)
    playlist, group (5, 7)  children, child_count; playlist also entries [[id, weight]],
           entry_count, loop_count, loop_min, loop_max, transition_time, transition_min,
           transition_max, avoid_repeat, transition_kind, random_type, play_mode, the flags
           restart_each_play, reverse_at_end, continuous, global_scope (or flags); then the node
           keys (tools/soundbank/containers.py)
    layered (9)  children, child_count, continuous, layers [{"id", "rtpc", binding_count,
           "crossfade", crossfade_type, "associations" [{"child", "points", point_count}],
           association_count}], layer_count; then the node keys (tools/soundbank/layered.py)

Example: a bank with one media, one sound on the bus "Effects", its play action and its event:
    {"name": "Test.bnk",
     "media": [{"id": 100, "wave": {"rate": 48000, "seconds": 0.5, "parts": [{"tone": 440,
                "amp": 0.5}]}}],
     "chunks": [{"tag": "BKHD"}, {"tag": "DIDX"}, {"tag": "DATA"},
                {"tag": "HIRC", "items": [
                  {"type": "sound", "id": 200, "media": 100, "bus": "Effects"},
                  {"type": "action", "id": 300, "action": "play", "target": 200},
                  {"type": "event", "id": "Play_Test", "actions": [300]}]}]}
"""

import json
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from soundbank import bank, command_line, faults, streamed  # noqa: E402


def _save(out_dir, name, image, with_layout):
    path = os.path.join(out_dir, name)
    command_line.write_file(path, image.data)
    if with_layout:
        command_line.write_file(path + ".layout.json",
                        (json.dumps(image.layout(), indent=1) + "\n").encode("utf-8"))


def _write(description, path, args):
    base_dir = os.path.dirname(os.path.abspath(path))
    image = bank.build(description, base_dir)
    if args.output:
        command_line.write_file(args.output, image.data)
        streamed.write_beside(description, base_dir, os.path.dirname(os.path.abspath(args.output)),
                              command_line.write_file)
        return
    streamed.write_beside(description, base_dir, args.out_dir, command_line.write_file)
    name = bank.output_name(description)
    _save(args.out_dir, name, image, args.layout)
    if args.loose_media:
        for media_id, data in image.loose.items():
            command_line.write_file(os.path.join(args.out_dir, "%d.oxm" % media_id), data)
    if args.fault_variants:
        stem = os.path.splitext(name)[0]
        for fault, damaged in faults.variants(description, image):
            _save(args.out_dir, "%s.%s.bnk" % (stem, fault), bank.build(damaged, base_dir),
                  args.layout)


def _options(parser):
    parser.add_argument("--fault-variants", action="store_true",
                        help="also write every damaged copy of each bank")
    parser.add_argument("--layout", action="store_true",
                        help="also write where each chunk and media lies, as JSON")
    parser.add_argument("--loose-media", action="store_true",
                        help="also write every media as <media id>.oxm")


if __name__ == "__main__":
    sys.exit(command_line.run("bank_writer", "Builds sound banks from JSON descriptions.",
                              sys.argv[1:], _write, _options))
