"""Streamed media of a bank description: the media its sounds of stream types 1 and 2 read from
files of their own, written beside the bank as loose "<file id>.oxm" files (the file id is the
sound's source id). The description lists them under "streamed", each as an entry of "media"
(an id and a file, hex bytes or a media description); a sound names one with "media", its "stream_type"
(1 or 2) and its "media_size": the bytes kept in memory ahead of the stream (prefetch).

A sound's media size defaults to the size of its loose file (stream type 2), or of its prefetch
copy when it has one.

A streamed media with "prefetch": N has its first N bytes copied into the bank ("DIDX"/"DATA")
under its own id: the prefetch copy a sound of stream type 1 plays while its stream reads on
after them (the sound's media size defaults to N).
"""

import os

from .bank import media_list


def loose_files(description, base_dir):
    """(file name, bytes) of each streamed media: ("<id>.oxm", data)."""
    return [("%d.oxm" % media_id, data) for media_id, data in media_list(description, base_dir, "streamed")]


def write_beside(description, base_dir, out_dir, write_file):
    """Writes the streamed media of a description into out_dir with write_file(path, data)."""
    for name, data in loose_files(description, base_dir):
        write_file(os.path.join(out_dir, name), data)


def prefetch_copies(description, base_dir):
    """(id, first N bytes) of each streamed media with "prefetch": N, for the bank's media."""
    sizes = {}
    for entry in description.get("streamed", []):
        if "prefetch" in entry:
            size = entry["prefetch"]
            if not isinstance(size, int) or size <= 0:
                raise ValueError("streamed media %r: prefetch must be a positive byte count" % entry.get("id"))
            sizes[entry["id"]] = size
    if not sizes:
        return []
    from .ids import resolve
    wanted = {resolve(key): size for key, size in sizes.items()}
    return [(media_id, data[:wanted[media_id]]) for media_id, data in media_list(description, base_dir, "streamed")
            if media_id in wanted]


def file_sizes(description, base_dir):
    """The size of each streamed media's loose file, by id."""
    return {media_id: len(data) for media_id, data in media_list(description, base_dir, "streamed")}
