"""Bodies of dialogue events (item type 15) of a bank's "HIRC" chunk, and the decision trees they
carry (music switch containers use the same tree builder).

Body: u32 event id, u8 probability, u32 argument count n, n x {u32 argument id, u8 argument
type}, u32 tree size L, u8 mode, L bytes of tree nodes, then the property list and the ranged
property list of tools/soundbank/properties.py.

A tree node is 12 bytes: u32 key (0 = any value, the wildcard), then at the last level the u32
audio node id, above it the u16 index of its first child and the u16 child count, then u16 weight
and u16 probability. The root is node 0. Nodes are laid out level by level: the children of a
node are contiguous, sorted by key (so the wildcard comes first) and lie after their parent.

Tree description (the root's): {"children": {key: child, ...}} or, shorter, the children mapping
itself; a root without children is {"node": id} (a tree of depth 0). A key is an id or a name;
"*" and 0 are the wildcard. A child is either a leaf, {"node": audio node id, "weight", and
"probability"}, or just the audio node id; or an inner node, {"children": {...}, "weight",
"probability"}. Weights default to 50, probabilities to 100. Every leaf must lie at the same
depth.
"""

import copy

from .binary import u8, u16, u32
from .fields import Fields
from .ids import resolve
from .properties import property_list, range_list

NODE_LENGTH = 12
DEFAULT_WEIGHT = 50
DEFAULT_PROBABILITY = 100
MODES = {"best_match": 0, "weighted": 1}

HUGE_COUNT = 0x40000000
# 5 x 0x33333334 is 4 modulo 2^32: a reader that multiplies in 32 bits skips 4 bytes only.
WRAPPING_COUNT = 0x33333334
HUGE_SIZE = 0xFFFFFFF0


def _key(text):
    if text in ("*", 0, "0"):
        return 0
    if isinstance(text, str) and text.isdigit():
        return int(text)
    return resolve(text)


def _children(description):
    """[(key, child description)] of a node description, sorted by key; [] for a leaf."""
    if isinstance(description, dict) and "children" in description:
        table = description["children"]
    elif isinstance(description, dict) and "node" not in description:
        table = description
    else:
        return []
    if not isinstance(table, dict):
        raise ValueError("tree: children are an object of key: child, not %r" % (table,))
    pairs = [(_key(key), child) for key, child in table.items()]
    keys = [key for key, _ in pairs]
    if len(set(keys)) != len(keys):
        raise ValueError("tree: two children share a key among %r" % (sorted(table),))
    return sorted(pairs, key=lambda pair: pair[0])


def _node_fields(description, is_leaf):
    """(fourth field, weight, probability) of a node description: the audio node id of a leaf."""
    if not isinstance(description, dict):
        if not is_leaf:
            raise ValueError("tree: %r is a leaf above the last level" % (description,))
        return resolve(description), DEFAULT_WEIGHT, DEFAULT_PROBABILITY
    if "node" not in description and "children" not in description:
        if is_leaf:
            raise ValueError("tree: a leaf needs its audio node id (%r)" % (description,))
        return None, DEFAULT_WEIGHT, DEFAULT_PROBABILITY  # a bare children mapping
    fields = Fields("tree node", description)
    fields.raw("children")
    audio_node = fields.id("node")
    if is_leaf != ("node" in description):
        raise ValueError("tree: every leaf must lie at the last level (%r)" % (description,))
    weight = fields.int("weight", DEFAULT_WEIGHT)
    probability = fields.int("probability", DEFAULT_PROBABILITY)
    fields.done()
    return audio_node, weight, probability


def _depth(description):
    children = _children(description)
    if not children:
        return 0
    depths = {_depth(child) for _, child in children}
    if len(depths) != 1:
        raise ValueError("tree: every leaf must lie at the same depth")
    return depths.pop() + 1


def tree_nodes(description):
    """(node bytes, depth) of a tree description; no tree (None) gives no bytes and depth 0."""
    if description is None:
        return b"", 0
    depth = _depth(description)
    # Level by level: a node's children are given the next free indexes when it is laid out.
    order = [(0, description, 0)]  # (key, description, level)
    layout = []
    next_index = 1
    for key, node, level in order:
        children = _children(node)
        audio_node, weight, probability = _node_fields(node, level == depth)
        if level == depth:
            middle = u32(audio_node)
        else:
            middle = u16(next_index) + u16(len(children))
            next_index += len(children)
            order.extend((child_key, child, level + 1) for child_key, child in children)
        layout.append(u32(key) + middle + u16(weight) + u16(probability))
    return b"".join(layout), depth


def _mode(fields):
    value = fields.raw("mode", 0)
    if isinstance(value, str) and value in MODES:
        return MODES[value]
    return Fields("dialogue event", {"mode": value}).int("mode")


def dialogue_event_body(fields):
    """Keys: id, probability (100), arguments [id or {"id", "type"}], argument_count, mode
    ("best_match" 0, "weighted" 1, or a number), tree, tree_size, props, prop_count, ranges,
    range_count."""
    arguments = fields.raw("arguments", [])
    body = u32(fields.id("id")) + u8(fields.int("probability", 100))
    body += u32(fields.int("argument_count", len(arguments)))
    for argument in arguments:
        if isinstance(argument, dict):
            argument = Fields("argument", argument)
            body += u32(argument.id("id")) + u8(argument.int("type"))
            argument.done()
        else:
            body += u32(resolve(argument)) + u8(0)
    nodes, _ = tree_nodes(fields.raw("tree"))
    body += u32(fields.int("tree_size", len(nodes))) + u8(_mode(fields)) + nodes
    body += property_list(fields.raw("props"), fields.optional_int("prop_count"))
    body += range_list(fields.raw("ranges"), fields.optional_int("range_count"))
    return body


def variants(description):
    """(name, description) for each damaged copy of the bank's first dialogue event: argument
    counts beyond the item (one that wraps a 32-bit multiplication), tree sizes beyond it and off
    the node size, an empty tree, and property counts beyond it."""
    chunks = description.get("chunks", [])
    for chunk_index, chunk in enumerate(chunks):
        if chunk.get("tag") != "HIRC":
            continue
        for item_index, item in enumerate(chunk.get("items", [])):
            if item.get("type") in ("dialogue_event", 15) and "hex" not in item:
                return _item_variants(description, chunk_index, item_index, item)
    return []


def _item_variants(description, chunk_index, item_index, item):
    nodes, _ = tree_nodes(item.get("tree"))
    changes = [("dialogue_argument_count_huge", {"argument_count": HUGE_COUNT}),
               ("dialogue_argument_count_wrapping", {"argument_count": WRAPPING_COUNT}),
               ("dialogue_tree_size_huge", {"tree_size": HUGE_SIZE}),
               ("dialogue_tree_size_past_item", {"tree_size": len(nodes) + NODE_LENGTH}),
               ("dialogue_tree_size_not_nodes", {"tree_size": len(nodes) + 1}),
               ("dialogue_tree_empty", {"tree": None}),
               ("dialogue_prop_count_past_item", {"prop_count": 255}),
               ("dialogue_range_count_past_item", {"range_count": 255})]
    out = []
    for name, change in changes:
        variant = copy.deepcopy(description)
        variant["chunks"][chunk_index]["items"][item_index].update(change)
        out.append((name, variant))
    return out
