"""Streamed media of a bank description: the media its sounds of stream types 1 and 2 read from
files of their own, written beside the bank as loose "<file id>.oxm" files (the file id is the
sound's source id). The description lists them under "streamed", each as an entry of "media"
(an id and a file, hex bytes or a media spec); a sound names one with "media", its "stream_type"
(1 or 2) and its "media_size": the bytes kept in memory ahead of the stream (prefetch).
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
