"""A bank from its description: media laid out, chunks built in the order written, then the
optional cut or appended bytes that make a damaged file. See tools/bank_writer.py for the format.
"""

import json
import os

from . import chunks, preparation, wave
from .binary import fourcc, u32
from .fields import Fields

_CHUNK_BUILDERS = {
    "BKHD": lambda fields, bank, layout: chunks.header(fields, bank),
    "DIDX": lambda fields, bank, layout: chunks.media_index(fields, layout),
    "DATA": lambda fields, bank, layout: layout.data_body(),
    "HIRC": lambda fields, bank, layout: chunks.hierarchy(fields, bank, layout),
    "STMG": lambda fields, bank, layout: chunks.global_settings(fields),
    "ENVS": lambda fields, bank, layout: chunks.environment_curves(fields),
    "STID": lambda fields, bank, layout: chunks.bank_names(fields),
    "PLAT": lambda fields, bank, layout: chunks.platform(fields),
    "INIT": lambda fields, bank, layout: chunks.plugin_libraries(fields),
}

# Media bytes by their description: fault variants and repeated builds of one bank synthesise
# each media once.
_media_cache = {}


class BankImage:
    """The bytes of a bank and where its pieces lie: .chunks lists (tag, offset of the header,
    body size) in file order ("" for raw pieces); .media lists (media id, offset in "DATA",
    size)."""

    def __init__(self, data, chunk_spans, media):
        self.data = data
        self.chunks = chunk_spans
        self.media = media

    def layout(self):
        return {"size": len(self.data),
                "chunks": [{"tag": tag, "offset": offset, "size": size}
                           for tag, offset, size in self.chunks],
                "media": [{"id": media_id, "offset": offset, "size": size}
                          for media_id, offset, size in self.media]}


def _media_bytes(desc):
    key = json.dumps(desc, sort_keys=True)
    if key not in _media_cache:
        _media_cache[key] = wave.media_bytes(desc)
    return _media_cache[key]


def media_list(description, base_dir, key="media", loose=None):
    """(id, bytes) of each media of a description's list (key "media": the bank's own; "streamed":
    the loose files, tools/soundbank/streamed.py). With a dict for loose, each media's loose copy
    (tools/soundbank/preparation.py) is put there by id."""
    media = []
    for index, entry in enumerate(description.get(key, [])):
        entry, loose_spec = preparation.split_loose(entry)
        fields = Fields("%s %d" % (key, index), entry)
        media_id = fields.id("id")
        fields.raw("dominant_hz")
        fields.raw("prefetch")  # streamed media: the bytes copied into the bank (streamed.py)
        if "file" in fields:
            with open(os.path.join(base_dir, fields.raw("file")), "rb") as source:
                data = source.read()
            fields.done()
        else:
            desc = {key: value for key, value in entry.items()
                    if key not in ("id", "dominant_hz", "role", "comment", "prefetch")}
            data = _media_bytes(desc)
        media.append((media_id, data))
        if loose is not None:
            loose[media_id] = data if loose_spec is None else _media_bytes(loose_spec)
    return media


def _data_alignment(description):
    for chunk in description.get("chunks", []):
        if isinstance(chunk, dict) and chunk.get("tag") == "DATA":
            return Fields("DATA", {"alignment": chunk.get("alignment",
                                                          chunks.MEDIA_ALIGNMENT)}).int("alignment")
    return chunks.MEDIA_ALIGNMENT


def _truncation(value, spans):
    """Where a "truncate" cuts: a byte count (negative: from the end), or {"chunk": i, "offset": k}
    for k bytes after the start of the header of the i-th piece of "chunks"."""
    if isinstance(value, dict):
        cut = Fields("truncate", value)
        index = cut.int("chunk")
        if not 0 <= index < len(spans):
            raise ValueError("truncate: the bank has no chunk %d" % index)
        at = spans[index][1] + cut.int("offset")
        cut.done()
        return at
    return Fields("truncate", {"at": value}).int("at")


def build(description, base_dir="."):
    """Builds a bank description (a dict, as read from JSON) into a BankImage."""
    bank = Fields("bank", description)
    name = bank.raw("name")
    if not isinstance(name, str) or not name:
        raise ValueError("a bank description needs its file name (\"name\")")
    bank.raw("file")
    bank.raw("media")
    bank.raw("streamed")  # loose files beside the bank (streamed.py), not part of its bytes
    from . import streamed
    loose = {}
    layout = chunks.MediaLayout(media_list(description, base_dir, loose=loose) +
                                streamed.prefetch_copies(description, base_dir),
                                _data_alignment(description))
    for media_id, size in streamed.file_sizes(description, base_dir).items():
        layout.sizes.setdefault(media_id, size)  # a sound of stream type 2 names the file's size
    data = bytearray()
    spans = []
    for index, chunk in enumerate(bank.raw("chunks", [])):
        fields = Fields("chunk %d" % index, chunk)
        if "raw" in fields:
            spans.append(("", len(data), 0))
            data += fields.hex("raw")
            fields.done()
            continue
        tag = fields.raw("tag")
        fields.what = "chunk %d (%s)" % (index, tag)
        fields.raw("alignment")
        if "hex" in fields:
            body = fields.hex("hex")
        elif tag in _CHUNK_BUILDERS:
            body = _CHUNK_BUILDERS[tag](fields, name, layout)
        else:
            raise ValueError("%s: a chunk of another tag is written from hex" % fields.what)
        declared = fields.optional_int("declared_size")
        fields.done()
        spans.append((tag, len(data), len(body)))
        data += fourcc(tag) + u32(len(body) if declared is None else declared) + body
    if "truncate" in bank:
        del data[_truncation(bank.raw("truncate"), spans):]
    data += bank.hex("append")
    bank.done()
    image = BankImage(bytes(data), spans, [(i, offset, len(d)) for i, offset, d in layout.entries])
    image.loose = loose  # media id -> bytes of "<media id>.oxm"
    return image


def output_name(description):
    return description.get("file", description["name"])
