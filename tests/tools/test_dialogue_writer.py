"""The bank writer's dialogue events: the body's fields where the engine reads them, the decision
tree's layout (children sorted with the wildcard first, after their parent), and the damaged
copies the fault variants make."""

import os
import random
import struct
import sys
import unittest

REPOSITORY = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(REPOSITORY, "tools"))

from soundbank import bank, chunks, dialogue, faults, ids  # noqa: E402


def nodes_of(data):
    return [struct.unpack_from("<IIHH", data, offset) for offset in range(0, len(data), 12)]


def check_layout(test, data, depth):
    """Every inner node's children lie after it, within the data, sorted by key; every node but
    the root has exactly one parent; leaves are at the depth."""
    nodes = nodes_of(data)
    parents = [0] * len(nodes)
    frontier = [0]
    for level in range(depth):
        following = []
        for index in frontier:
            middle = nodes[index][1]
            first, count = middle & 0xFFFF, middle >> 16
            test.assertGreater(first, index)
            test.assertLessEqual(first + count, len(nodes))
            keys = [nodes[child][0] for child in range(first, first + count)]
            test.assertEqual(keys, sorted(keys))
            for child in range(first, first + count):
                parents[child] += 1
            following.extend(range(first, first + count))
        frontier = following
    test.assertEqual(parents[1:], [1] * (len(nodes) - 1))


class DialogueEventBody(unittest.TestCase):
    def test_a_two_argument_event_with_six_nodes_and_one_property_is_103_bytes(self):
        item = {"type": "dialogue_event", "id": 77, "probability": 60, "mode": "weighted",
                "arguments": [{"id": "Speaker", "type": 1}, "Line"],
                "tree": {"Anna": {"Hello": {"node": 500, "weight": 30, "probability": 90}, "*": 501},
                         "*": {"Hello": 600}},
                "props": {"74": 7}}
        item_type, body, declared = chunks.hierarchy_item(item, "Test.bnk", {})
        self.assertEqual((item_type, declared, len(body)), (15, None, 103))
        event_id, probability, count = struct.unpack_from("<IBI", body, 0)
        self.assertEqual((event_id, probability, count), (77, 60, 2))
        self.assertEqual(struct.unpack_from("<IBIB", body, 9),
                         (ids.fnv1("Speaker"), 1, ids.fnv1("Line"), 0))
        size, mode = struct.unpack_from("<IB", body, 19)
        self.assertEqual((size, mode), (72, 1))
        nodes = nodes_of(body[24:96])
        self.assertEqual(nodes[0], (0, (2 << 16) | 1, 50, 100))
        self.assertEqual(nodes[1][0], 0, "the wildcard comes first")
        self.assertEqual(nodes[5], (ids.fnv1("Hello"), 500, 30, 90))
        self.assertEqual(body[96:], bytes([1, 74]) + struct.pack("<i", 7) + bytes([0]))

    def test_random_trees_keep_children_sorted_and_after_their_parent(self):
        generator = random.Random(7)

        def subtree(levels):
            if levels == 0:
                return generator.randrange(1, 1 << 32)
            keys = generator.sample(range(1, 50), generator.randrange(1, 5))
            if generator.random() < 0.5:
                keys.append(0)
            return {str(key): subtree(levels - 1) for key in keys}

        for depth in range(1, 5):
            for _ in range(20):
                data, found = dialogue.tree_nodes(subtree(depth))
                self.assertEqual(found, depth)
                check_layout(self, data, depth)

    def test_a_root_alone_is_a_tree_of_depth_zero_and_no_tree_has_no_bytes(self):
        self.assertEqual(dialogue.tree_nodes({"node": 9, "probability": 40}),
                         (struct.pack("<IIHH", 0, 9, 50, 40), 0))
        self.assertEqual(dialogue.tree_nodes(None), (b"", 0))

    def test_leaves_at_different_depths_are_refused(self):
        for tree in ({"1": 5, "2": {"3": 6}}, {"1": {}}, {"1": 5, "01": 6}):
            with self.assertRaises(ValueError):
                dialogue.tree_nodes(tree)


class DialogueFaultVariants(unittest.TestCase):
    def test_each_variant_damages_the_field_it_names(self):
        description = {"name": "D.bnk", "chunks": [{"tag": "BKHD"}, {"tag": "HIRC", "items": [
            {"type": "dialogue_event", "id": 5, "arguments": [1], "tree": {"1": 2}}]}]}
        variants = {name: damaged for name, damaged in faults.variants(description, bank.build(description))
                    if name.startswith("dialogue_")}
        self.assertEqual(set(variants), {
            "dialogue_argument_count_huge", "dialogue_argument_count_wrapping",
            "dialogue_tree_size_huge", "dialogue_tree_size_past_item", "dialogue_tree_size_not_nodes",
            "dialogue_tree_empty", "dialogue_prop_count_past_item", "dialogue_range_count_past_item"})

        def body(name):
            item = variants[name]["chunks"][1]["items"][0]
            return chunks.hierarchy_item(item, "D.bnk", {})[1]

        self.assertEqual(struct.unpack_from("<I", body("dialogue_argument_count_wrapping"), 5)[0],
                         0x33333334)
        self.assertEqual((5 * 0x33333334) & 0xFFFFFFFF, 4, "the count wraps a 32-bit product to 4")
        self.assertEqual(struct.unpack_from("<I", body("dialogue_tree_size_not_nodes"), 14)[0], 25)
        self.assertEqual(struct.unpack_from("<I", body("dialogue_tree_empty"), 14)[0], 0)
        self.assertEqual(body("dialogue_prop_count_past_item")[-2], 255)


if __name__ == "__main__":
    unittest.main()
