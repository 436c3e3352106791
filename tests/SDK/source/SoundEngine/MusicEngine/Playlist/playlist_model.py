#!/usr/bin/python3
"""The segments a playlist walk yields, computed from the playlist's item tree.

Request (JSON on stdin): {"seed": n, "steps": n, "playlist": tree, "replace": {group id: index},
"halt": {group id: n}}. The tree is the bank writer's playlist item description (a group has
"items", a leaf "segment"; "repeat" 1 by default, "repeat_low", "repeat_high", "weight" 50000,
"mode", "avoid_repeat", "flag"). "replace" answers every choice of the group with that index;
"halt" halts the group at its n-th choice (1 = the first).

Answer: one line, the segment ids yielded from the start and after each step, up to "steps" of
them, ending early when the playlist ends.

Random draws follow the engine's generator: state = state * 0x5851F42D4C957F2D + 1 (64 bits),
the value is state >> 33, an index below n is value % n. The selection rules are those of the
engine's play-history selectors (sequence and random with avoid window, shuffle and rounds).
"""

import json
import sys

MULTIPLIER = 0x5851F42D4C957F2D
MASK = (1 << 64) - 1
DEFAULT_WEIGHT = 50000
COUNTED = 1
WITHOUT_END = 2


class Generator:
    def __init__(self, seed):
        self.state = seed

    def draw(self):
        self.state = (self.state * MULTIPLIER + 1) & MASK
        return self.state >> 33


def repetition_count(item, rng):
    count = item.get("repeat", 1)
    low, high = item.get("repeat_low", 0), item.get("repeat_high", 0)
    if count == 0 or (low == 0 and high == 0):
        return count
    lowest, highest = max(1, count + low), count + high
    if lowest >= highest:
        return lowest  # an empty range takes its low end, without a draw
    return lowest + rng.draw() % (highest - lowest + 1)


def is_group(item):
    return "segment" not in item


def holds_leaf(item):
    return not is_group(item) or any(holds_leaf(child) for child in item.get("items", []))


def weighted(group):
    return any(child.get("weight", DEFAULT_WEIGHT) != DEFAULT_WEIGHT for child in group.get("items", []))


def weight(group, index):
    return group["items"][index].get("weight", DEFAULT_WEIGHT) if weighted(group) else DEFAULT_WEIGHT


class Frame:
    def __init__(self, group, rng, selectors):
        self.group = group
        self.reps = repetition_count(group, rng)
        self.flags = COUNTED | (WITHOUT_END if group.get("repeat", 1) == 0 else 0)
        mode = group.get("mode", 0)
        if mode in (1, 3):
            if group["id"] not in selectors:
                selectors[group["id"]] = new_selector(group)
            self.selector = selectors[group["id"]]
        else:
            self.selector = new_selector(group)

    def count_pass(self):
        if self.flags & WITHOUT_END:
            return True
        left = self.reps
        self.reps -= 1
        return left != 1


def new_selector(group):
    if group.get("mode", 0) < 2:
        return {"last": -1}
    n = len(group.get("items", []))
    total = sum(weight(group, i) for i in range(n))
    return {"total": total, "remaining": total, "selectable": n, "cycle": n, "played": set(),
            "blocked": set(), "recent": []}


def trim(group, sel, window, unless_blocked):
    while len(sel["recent"]) > window:
        oldest = sel["recent"].pop(0)
        sel["played"].discard(oldest)
        if unless_blocked and oldest in sel["blocked"]:
            continue
        sel["remaining"] += weight(group, oldest)
        sel["selectable"] += 1


def random_index(frame, rng):
    group, sel = frame.group, frame.selector
    n = len(group["items"])
    avoid, shuffle = group.get("avoid_repeat", 0), group.get("flag", 0) != 0

    def eligible(i):
        if not shuffle:
            return avoid == 0 or i not in sel["played"]
        return i not in sel["blocked"] and i not in sel["played"]

    if sel["cycle"] == 0:
        if not frame.count_pass():
            return -1
        sel["cycle"] = n
        sel["blocked"].clear()
        sel["selectable"] = n
        if shuffle:
            sel["remaining"] = max(sel["total"] - sum(weight(group, e) for e in sel["recent"]), 0)
        sel["selectable"] -= min(len(sel["recent"]), sel["selectable"])
    pick = -1
    if weighted(group):
        if sel["remaining"] <= 0:
            return -1
        r = rng.draw() % sel["remaining"]
        total = -1
        for i in range(n):
            if eligible(i):
                total += weight(group, i)
                if total >= r:
                    pick = i
                    break
    else:
        if sel["selectable"] == 0:
            return -1
        r = rng.draw() % sel["selectable"]
        for i in range(n):
            if eligible(i):
                if r == 0:
                    pick = i
                    break
                r -= 1
    if pick < 0:
        return -1
    if not shuffle:
        if pick not in sel["blocked"]:
            sel["blocked"].add(pick)
            sel["cycle"] -= 1
        if avoid:
            sel["selectable"] -= 1
            sel["recent"].append(pick)
            sel["played"].add(pick)
            sel["remaining"] -= weight(group, pick)
            trim(group, sel, min(avoid, n - 1), False)
        return pick
    sel["remaining"] -= weight(group, pick)
    sel["selectable"] -= 1
    sel["cycle"] -= 1
    sel["blocked"].add(pick)
    sel["recent"].append(pick)
    sel["played"].add(pick)
    trim(group, sel, min(max(avoid, 1), n - 1), True)
    return pick


def sequence_index(frame):
    sel = frame.selector
    n = len(frame.group["items"])
    if sel["last"] + 1 < n:
        sel["last"] += 1
        return sel["last"]
    sel["last"] = 0
    return 0 if frame.count_pass() else -1


class Walk:
    def __init__(self, request):
        self.rng = Generator(request["seed"])
        self.replace = {int(k): v for k, v in request.get("replace", {}).items()}
        self.halt = {int(k): v for k, v in request.get("halt", {}).items()}
        self.offers = {}
        self.selectors = {}
        self.frames = []
        self.current = None
        self.leaf_reps = 0

    def choose(self, frame):
        group = frame.group
        n = len(group.get("items", []))
        if not holds_leaf(group):
            return -1  # a group without a leaf under it is finished at once
        index = random_index(frame, self.rng) if group.get("mode", 0) >= 2 else sequence_index(frame)
        if index < 0:
            return index
        gid = group["id"]
        self.offers[gid] = self.offers.get(gid, 0) + 1
        if self.halt.get(gid) == self.offers[gid]:
            return -1
        if gid in self.replace and self.replace[gid] < n:
            return self.replace[gid]
        return index

    def descend(self):
        while self.frames:
            index = self.choose(self.frames[-1])
            if index < 0:
                self.frames.pop()
                continue
            child = self.frames[-1].group["items"][index]
            if not is_group(child):
                self.current = child["segment"]
                self.leaf_reps = repetition_count(child, self.rng)
                return True
            self.frames.append(Frame(child, self.rng, self.selectors))
        return False

    def start(self, root):
        self.frames.append(Frame(root, self.rng, self.selectors))
        return self.descend()

    def next(self):
        if self.leaf_reps >= 2:
            self.leaf_reps -= 1
            return True
        self.current = None
        if self.leaf_reps == 1:
            self.leaf_reps = 0
            return self.descend()
        return False


def main():
    request = json.load(sys.stdin)
    walk = Walk(request)
    segments = []
    playing = walk.start(request["playlist"])
    while playing and len(segments) < request["steps"]:
        segments.append(walk.current)
        playing = walk.next()
    print(" ".join(str(s) for s in segments))


if __name__ == "__main__":
    main()
