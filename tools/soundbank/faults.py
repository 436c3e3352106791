"""Damaged copies of a bank description, for the tests and fuzz corpora of bank readers.

variants(description) returns (name, description) pairs; each copy differs from the original by
one fault, written with the ordinary description keys ("truncate", "declared_size", count
overrides, chunk order), so a copy can also be saved as JSON and built again.

The faults: a file cut at every chunk boundary, 1, 3 and 7 bytes into each chunk header and in the
middle of each body; a first chunk other than "BKHD" and no "BKHD" at all; a header size beyond
the file for each chunk; an unknown chunk; "DATA" before "DIDX"; rejected versions (141, 117) and
the restricted one (130); for "HIRC" counts of 0, one too many and 0x40000000 and item sizes of 0
and beyond the chunk; for "STMG" each section count one too large and 0xFFFFFFFF; a "DIDX" entry
that starts at the end of "DATA" or runs one byte past it, and a remainder; huge counts in
"ENVS", "INIT" and "STID", an "INIT" count one too large and a "STID" name longer than the chunk;
another "PLAT" name; for the first dialogue event, the faults of tools/soundbank/dialogue.py;
for the first effect object, those of tools/soundbank/effects.py; for the first path block, those
of tools/soundbank/paths.py; for the first playlist and group node, those of
tools/soundbank/containers.py; for the first music item of each type, those of
tools/soundbank/music.py; for the first switch container, those of tools/soundbank/switches.py; for the first layered
container, those of tools/soundbank/layered.py; for the first MIDI track media, the named faults of
tools/soundbank/midi.py.
"""

import copy

from . import containers, dialogue, effects, layered, midi, music, paths, preparation, switches

HUGE_SIZE = 0xFFFFFFF0
HUGE_COUNT = 0x40000000
_STMG_SECTIONS = (("state_groups", "state_group_count"), ("switch_groups", "switch_group_count"),
                  ("game_parameters", "game_parameter_count"),
                  ("group_entries", "group_entry_count"))


def _tags(description):
    return [chunk.get("tag", "") for chunk in description.get("chunks", [])]


def _with(description, change):
    variant = copy.deepcopy(description)
    change(variant)
    return variant


def _chunk(variant, tag):
    return next(chunk for chunk in variant["chunks"] if chunk.get("tag") == tag)


def _set(tag, **values):
    return lambda variant: _chunk(variant, tag).update(values)


def _cuts(description, image):
    out = []
    for index, (tag, _, size) in enumerate(image.chunks):
        label = "%d_%s" % (index, tag.strip() or "raw")
        if index:
            out.append(("cut_before_" + label, {"chunk": index, "offset": 0}))
        for offset in (1, 3, 7):
            out.append(("cut_header_%s_%d" % (label, offset), {"chunk": index, "offset": offset}))
        if size:
            out.append(("cut_body_" + label, {"chunk": index, "offset": 8 + size // 2}))
    return [(name, _with(description, lambda v, cut=cut: v.update(truncate=cut)))
            for name, cut in out]


def _order(description, tags):
    out = []
    if len(tags) > 1 and tags[0] == "BKHD":
        def swap_first(variant):
            chunks = variant["chunks"]
            chunks[0], chunks[1] = chunks[1], chunks[0]
        out.append(("first_chunk_" + tags[1].strip(), _with(description, swap_first)))
        out.append(("no_header", _with(description, lambda v: v["chunks"].pop(0))))
    out.append(("unknown_tag", _with(description, lambda v: v["chunks"].insert(
        1, {"tag": "JUNK", "hex": "0001020304"}))))
    if "DIDX" in tags and "DATA" in tags and tags.index("DIDX") < tags.index("DATA"):
        def data_first(variant):
            chunks = variant["chunks"]
            didx, data = tags.index("DIDX"), tags.index("DATA")
            chunks[didx], chunks[data] = chunks[data], chunks[didx]
        out.append(("data_before_didx", _with(description, data_first)))
    return out


def _sizes(description, tags):
    out = []
    for index, tag in enumerate(tags):
        if tag:
            out.append(("size_huge_%d_%s" % (index, tag.strip()), _with(
                description, lambda v, i=index: v["chunks"][i].update(declared_size=HUGE_SIZE))))
    return out


def _versions(description, tags):
    if "BKHD" not in tags:
        return []
    return [("version_%d" % version, _with(description, _set("BKHD", version=version)))
            for version in (141, 117, 130)]


def _hierarchy(description, tags):
    if "HIRC" not in tags:
        return []
    items = _chunk(description, "HIRC").get("items", [])
    out = [("hirc_count_zero", _with(description, _set("HIRC", count=0))),
           ("hirc_count_plus_one", _with(description, _set("HIRC", count=len(items) + 1))),
           ("hirc_count_huge", _with(description, _set("HIRC", count=HUGE_COUNT)))]
    if items:
        for name, size in (("hirc_item_size_zero", 0), ("hirc_item_size_huge", HUGE_SIZE)):
            out.append((name, _with(description, lambda v, s=size: _chunk(v, "HIRC")["items"][0]
                                    .update(size=s))))
    return out


def _settings(description, tags):
    if "STMG" not in tags:
        return []
    stmg = _chunk(description, "STMG")
    out = []
    for key, count_key in _STMG_SECTIONS:
        count = len(stmg.get(key, []))
        out.append(("stmg_%s_plus_one" % count_key, _with(description,
                                                          _set("STMG", **{count_key: count + 1}))))
        out.append(("stmg_%s_huge" % count_key, _with(description,
                                                      _set("STMG", **{count_key: 0xFFFFFFFF}))))
    return out


def _media_index(description, tags, image):
    if "DIDX" not in tags or not image.media:
        return []
    data_size = max(offset + size for _, offset, size in image.media)
    media_id, offset, size = image.media[0]
    rest = [{"id": i, "offset": o, "size": s} for i, o, s in image.media[1:]]
    past = [("didx_offset_at_end", data_size, size), ("didx_size_past_data", offset,
                                                       data_size - offset + 1)]
    out = [(name, _with(description, _set("DIDX", entries=[{"id": media_id, "offset": o,
                                                            "size": s}] + rest)))
           for name, o, s in past]
    out.append(("didx_remainder", _with(description, _set("DIDX", extra_bytes="0102030405"))))
    return out


def _small_chunks(description, tags):
    out = []
    if "ENVS" in tags:
        def huge_points(variant):
            curves = _chunk(variant, "ENVS").setdefault("curves", [])
            if not curves:
                curves.append({})
            curves[0]["point_count"] = 0xFFFF
        out.append(("envs_point_count_huge", _with(description, huge_points)))
    if "INIT" in tags:
        libraries = len(_chunk(description, "INIT").get("plugins", []))
        out.append(("init_count_plus_one", _with(description,
                                                 _set("INIT", count=libraries + 1))))
        out.append(("init_count_huge", _with(description, _set("INIT", count=HUGE_COUNT))))
    if "STID" in tags and _chunk(description, "STID").get("groups"):
        def huge_names(variant):
            _chunk(variant, "STID")["groups"][0]["count"] = HUGE_COUNT

        def long_name(variant):
            banks = _chunk(variant, "STID")["groups"][0].setdefault("banks", [])
            if not banks:
                banks.append({"name": "x"})
            banks[0]["length"] = 255
        out.append(("stid_count_huge", _with(description, huge_names)))
        out.append(("stid_length_past", _with(description, long_name)))
    if "PLAT" in tags:
        out.append(("plat_other", _with(description, _set("PLAT", name="OtherPlatform"))))
    return out


def _midi_media(description):
    """The named faults of the bank's first MIDI track media, one bank each."""
    media = description.get("media", [])
    first = next((index for index, entry in enumerate(media) if "midi" in entry), None)
    if first is None:
        return []
    return [("midi_" + name, _with(description, lambda v, n=name: v["media"][first].update(variant=n)))
            for name in midi.NAMED_VARIANTS]


def variants(description, image):
    """(name, description) for every fault of this module that applies to the bank; image is the
    BankImage of the undamaged description (for its offsets)."""
    tags = _tags(description)
    return (_cuts(description, image) + _order(description, tags) + _sizes(description, tags) +
            _versions(description, tags) + _hierarchy(description, tags) +
            _settings(description, tags) + _media_index(description, tags, image) +
            _small_chunks(description, tags) + dialogue.variants(description) +
            preparation.variants(description) + effects.variants(description) +
            paths.variants(description) + containers.variants(description) +
            music.variants(description) + switches.variants(description) +
            layered.variants(description) + _midi_media(description))
