"""Damaged copies of the first path block of a bank (a sound or bus with 3-D position mode 1 or 2
and a "path"), for the tests and fuzz corpora of the path reader: an item whose vertices run past
the vertex array, an item that starts at the vertex count, no vertices and no items."""

import copy

PATH_ITEM_TYPES = ("sound", 2, "bus", 8, "bus18", 18)


def _has_path_block(item):
    p = item.get("positioning", 0)
    return (item.get("type") in PATH_ITEM_TYPES and "hex" not in item and p & 3 == 3
            and (p >> 5) & 3 in (1, 2) and "path" in item)


def variants(description):
    """(name, description) for each damaged copy of the bank's first path block."""
    for chunk_index, chunk in enumerate(description.get("chunks", [])):
        if chunk.get("tag") != "HIRC":
            continue
        for item_index, item in enumerate(chunk.get("items", [])):
            if _has_path_block(item):
                return _item_variants(description, chunk_index, item_index, item["path"])
    return []


def _item_variants(description, chunk_index, item_index, path):
    count = len(path.get("vertices", []))
    changes = [("path_item_past_vertices", {"items": [[1, count]], "ranges": [[0, 0, 0]]}),
               ("path_item_at_vertex_count", {"items": [[count, 1]], "ranges": [[0, 0, 0]]}),
               ("path_no_vertices", {"vertices": []}),
               ("path_no_items", {"items": [], "ranges": []})]
    out = []
    for name, change in changes:
        variant = copy.deepcopy(description)
        # A new dict: blocks that shared one path description stay as they were.
        damaged = variant["chunks"][chunk_index]["items"][item_index]
        damaged["path"] = dict(damaged["path"], **change)
        out.append((name, variant))
    return out
