"""Oracle for decision-tree resolution: random trees (laid out by tools/soundbank/dialogue.py) and
the answer a model of the resolution gives for random paths, written over the nested description
(not the bytes), with Python's unbounded integers for the random generator.

    decision_tree_oracle.py best SEED PATHS     best match, probabilities all 100
    decision_tree_oracle.py weighted SEED PATHS weighted picks with random weights and rolls

Prints, per tree: "tree MODE EVENT_PROBABILITY DEPTH GENERATOR_SEED HEX"; then per path:
"path PLAIN REJECTING V1 ... Vn" where PLAIN is the answer without a candidate callback and
REJECTING the answer with a callback that rejects audio node ids divisible by 3. For weighted
trees the generator starts at GENERATOR_SEED with the tree and is drawn from in that order: each
path's plain resolution, then its rejecting one."""
import os
import random
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, *[".."] * 7, "tools"))
sys.path.insert(0, os.path.join(HERE, "..", "Events"))

from action_draws_oracle import Generator  # noqa: E402  (the engine's generator in big integers)
from soundbank import dialogue  # noqa: E402

def rejecting(node):
    return node["node"] % 3 != 0


def random_tree(rng, depth, weighted):
    if depth == 0:
        leaf = {"node": rng.randrange(1, 1 << 32)}
        if weighted:
            leaf["weight"] = rng.choice([0, 0, 100, 100, rng.randrange(0, 101)])
            leaf["probability"] = rng.choice([100, 100, rng.randrange(0, 101)])
        return leaf
    keys = rng.sample(range(1, 9), rng.randrange(1, 5))
    if rng.random() < 0.6:
        keys.append(0)
    return {"children": {str(key): random_tree(rng, depth - 1, weighted) for key in keys}}


def children(node):
    return sorted(((int(key), child) for key, child in node["children"].items()), key=lambda c: c[0])


def lookup(kids, value):
    for key, child in kids:
        if key == value:
            return child
    return None


def best_match(node, path, level, accept):
    kids = children(node)
    value = path[level]
    last = level == len(path) - 1
    found = lookup(kids, value)
    if found is not None:
        if last:
            return found if accept(found) else None  # a rejected exact leaf ends the level
        result = best_match(found, path, level + 1, accept)
        if result is not None:
            return result
    if value != 0 and kids and kids[0][0] == 0:
        wildcard = kids[0][1]
        if last:
            return wildcard if accept(wildcard) else None
        return best_match(wildcard, path, level + 1, accept)
    return None


def collect(node, path, level, accept, out):
    kids = children(node)
    value = path[level]
    last = level == len(path) - 1
    branches = [lookup(kids, value)]
    if value != 0 and kids and kids[0][0] == 0:
        branches.append(kids[0][1])
    for branch in branches:
        if branch is None:
            continue
        if last:
            if accept(branch):
                out.append(branch)
        else:
            collect(branch, path, level + 1, accept, out)


def weight(node):
    return node.get("weight", dialogue.DEFAULT_WEIGHT)


def pick(candidates, generator):
    full = [c for c in candidates if weight(c) == 100]
    draw = generator.draw()
    if full:
        return full[draw % len(full)]
    total = sum(weight(c) for c in candidates)
    if total:
        draw %= total
        for candidate in candidates:
            if weight(candidate) > draw:
                return candidate
            draw -= weight(candidate)
    return candidates[draw % len(candidates)]


def passes(event_probability, node, generator):
    node_probability = node.get("probability", dialogue.DEFAULT_PROBABILITY)
    if event_probability >= 100 and node_probability >= 100:
        return True
    roll = (generator.draw() * 10000 // 2147483647) & 0xFFFF
    return roll < ((node_probability * event_probability) & 0xFFFF)


def resolve(tree, path, weighted, event_probability, accept, generator):
    if weighted:
        candidates = []
        collect(tree, path, 0, accept, candidates)
        if not candidates:
            return 0
        chosen = pick(candidates, generator)
    else:
        chosen = best_match(tree, path, 0, accept)
        if chosen is None:
            return 0
    return chosen["node"] if passes(event_probability, chosen, generator) else 0


def main():
    mode, seed, paths = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
    weighted = mode == "weighted"
    rng = random.Random(seed)
    trees = 40
    for index in range(trees):
        depth = 1 + index % 4
        tree = random_tree(rng, depth, weighted)
        data, found = dialogue.tree_nodes(tree)
        assert found == depth
        event_probability = rng.choice([100, 100, rng.randrange(0, 101)]) if weighted else 100
        generator_seed = rng.randrange(1 << 64)
        generator = Generator(generator_seed)
        print("tree %d %d %d %d %s" % (1 if weighted else 0, event_probability, depth, generator_seed, data.hex()))
        for _ in range(paths // trees):
            path = [rng.choice([0, 0, 9] + list(range(1, 9))) for _ in range(depth)]
            plain = resolve(tree, path, weighted, event_probability, lambda node: True, generator)
            rejected = resolve(tree, path, weighted, event_probability, rejecting, generator)
            print("path %d %d %s" % (plain, rejected, " ".join(str(v) for v in path)))


if __name__ == "__main__":
    main()
