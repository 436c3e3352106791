#!/usr/bin/python3
"""A model of position-path playback, step by step in float32 (numpy) with the engine's random
generator in Python's unbounded integers, and the random scenarios it is compared on.

Usage: position_path_model.py SEED COUNT
For each of COUNT scenarios drawn from SEED it prints the scenario, then the automation offsets of
two users at every frame:
  seed frame_ms path_count playlist_flags loop plays frames join_play join_frame pause_play
      pause_frame pause_length start_frame
  per path: vertex_count range_x range_z range_y, then x y z duration_ms per vertex
  per play and frame: x y z of the first user, x y z of the second (0 until it joins)
A play: a new player initialised from the playlist and the node's saved state, the first user
added, started at the current frame, then stepped once per frame; the second user joins at
join_frame of join_play with its own offset (5, -3, 2); pause_play is paused at pause_frame for
pause_length frames. At the end both users leave and the player goes.
Run with Debian's /usr/bin/python3, which sees Debian's numpy.
"""
import math
import random
import sys

import numpy as np

F = np.float32
MULTIPLIER = 0x5851F42D4C957F2D
RANDOM, CONTINUOUS = 1, 2


class Lcg:
    def __init__(self, seed):
        self.state = seed

    def draw(self):
        self.state = (self.state * MULTIPLIER + 1) % (1 << 64)
        return self.state >> 33

    def unit(self):
        return F(F(self.draw()) * F(2.0 ** -30)) - F(1.0)


class Flags:
    def __init__(self, count):
        self.bytes = [0] * count


class Player:
    def __init__(self, lcg, frame_ms):
        self.lcg, self.frame_ms = lcg, frame_ms
        self.state, self.started, self.users = 0, False, []
        self.last = [F(0)] * 3
        self.start = [F(0)] * 3
        self.delta = [F(0)] * 3

    def init(self, paths, flags, loop, saved):
        self.paths, self.flags, self.loop = paths, flags, loop
        if saved["flags"] is not None:
            self.played, self.index = saved["flags"], saved["index"]
            self.current = paths[self.index]
            return
        self.index, self.current = 0, paths[0]
        self.played = Flags(len(paths))
        if flags & RANDOM:
            self.pick_random()
            self.current = paths[self.index]

    def frames(self, vertex):
        ms = vertex[3]
        return max(1, -(-ms // self.frame_ms) if ms > 0 else 0)

    def jitter(self, p):
        path = self.current
        p[0] = F(p[0] + F(self.lcg.unit() * path["range"][0]))
        p[2] = F(p[2] + F(self.lcg.unit() * path["range"][1]))
        p[1] = F(p[1] + F(self.lcg.unit() * path["range"][2]))

    def move_users(self, move):
        for user in self.users:
            for axis in range(3):
                user[axis] = F(user[axis] + move[axis])

    def timing(self, start, frames):
        self.vertex_start, self.vertex_end = start, start + frames
        self.slope = F(F(1.0) / F(frames))
        self.offset = F(-F(start) / F(frames))

    def start_vertex(self, frame):
        vertices = self.current["vertices"]
        self.started, self.vertex = True, 1
        self.start = [F(c) for c in vertices[0][:3]]
        self.nframes = self.frames(vertices[0])
        self.delta = [F(0)] * 3
        if len(vertices) >= 2:
            moves = vertices[0][:3] != vertices[1][:3]
            self.jitter(self.start)
            if moves or len(vertices) > 2:
                target = [F(c) for c in vertices[1][:3]]
                self.jitter(target)
                self.delta = [F(target[a] - self.start[a]) for a in range(3)]
        self.move_users(self.start)
        self.last = list(self.start)
        self.timing(frame, self.nframes)
        self.state = 1

    def step(self, frame):
        t = F(F(F(frame) * self.slope) + self.offset)
        t = min(max(t, F(0)), F(1))
        position = [F(self.start[a] + F(t * self.delta[a])) for a in range(3)]
        self.move_users([F(position[a] - self.last[a]) for a in range(3)])
        self.last = position
        if frame >= self.vertex_end:
            self.next_vertex()

    def next_vertex(self):
        vertices = self.current["vertices"]
        if self.vertex < len(vertices):
            self.start = [F(c) for c in vertices[self.vertex][:3]]
            self.jitter(self.start)
            self.nframes = self.frames(vertices[self.vertex])
            self.vertex += 1
        if self.vertex >= len(self.current["vertices"]):
            if not self.next_path():
                self.state = 0
                return
        vertices = self.current["vertices"]
        target = [F(c) for c in vertices[self.vertex][:3]]
        self.jitter(target)
        self.delta = [F(target[a] - self.start[a]) for a in range(3)]
        self.timing(self.vertex_end, self.nframes)

    def pick_random(self):
        self.index = self.lcg.draw() % len(self.paths)
        if self.flags & CONTINUOUS:
            self.current = self.paths[self.index]
        wrapped = all(self.played.bytes)
        if wrapped:
            self.played.bytes = [0] * len(self.played.bytes)
        self.played.bytes[self.index] = 1
        return wrapped

    def next_path(self):
        continuous = self.flags & CONTINUOUS
        wrapped = False
        if self.flags & RANDOM:
            wrapped = self.pick_random()
        elif self.index + 1 < len(self.paths):
            self.index += 1
            if continuous:
                self.current = self.paths[self.index]
        else:
            self.index, wrapped = 0, True
            if continuous:
                self.current = self.paths[0]
        if not continuous or (wrapped and not self.loop):
            return False
        self.vertex = 0
        return True


class Array:
    """The shared item array's part: the current frame, joining, starting, pausing."""

    def __init__(self, frame):
        self.now = frame

    def add_user(self, player, user):
        player.users.append(user)
        if player.started:
            for a in range(3):
                user[a] = F(user[a] + player.last[a])
        if player.state == 1:
            player.step(self.now + 1)

    def start(self, player, saved):
        player.start_vertex(self.now)
        if player.flags & CONTINUOUS:
            return
        player.next_path()
        saved["index"], saved["flags"] = player.index, player.played

    def tick(self, player, frame):
        self.now = frame
        if player.state == 1:
            player.step(frame)


def scenario(rng):
    frame_ms = rng.choice([21, 21, 10, 1])
    paths = []
    for _ in range(rng.randint(1, 4)):
        vertices = []
        for _ in range(rng.randint(1, 6)):
            if vertices and rng.random() < 0.2:
                x, y, z = vertices[-1][:3]  # a vertex equal to the one before
            else:
                x, y, z = (float(F(rng.uniform(-100, 100))) for _ in range(3))
            vertices.append([x, y, z, rng.randint(0, 500)])
        ranges = [0.0, 0.0, 0.0] if rng.random() < 0.3 else [float(F(rng.uniform(0, 10))) for _ in range(3)]
        paths.append({"vertices": vertices, "range": ranges})
    plays = rng.randint(1, 4)
    frames = rng.randint(20, 160)
    join_play, join_frame = rng.randrange(plays), rng.randint(1, frames)
    pause_play = rng.randrange(plays) if rng.random() < 0.5 else -1
    return {"seed": rng.getrandbits(64), "frame_ms": frame_ms, "paths": paths,
            "flags": rng.randint(0, 3), "loop": rng.randint(0, 1), "plays": plays, "frames": frames,
            "join_play": join_play, "join_frame": join_frame, "pause_play": pause_play,
            "pause_frame": rng.randint(1, frames), "pause_length": 50,
            "start_frame": rng.randint(0, 100000)}


def run(s):
    lcg = Lcg(s["seed"])
    array = Array(s["start_frame"])
    saved = {"index": 0, "flags": None}
    paths = []
    for path in s["paths"]:
        vertices = [list(v) for v in path["vertices"]]
        # The last vertex of each path lasts the default duration; the scenario keeps its own.
        paths.append({"vertices": vertices, "range": [F(r) for r in path["range"]]})
    out = []
    for play in range(s["plays"]):
        player = Player(lcg, s["frame_ms"])
        player.init(paths, s["flags"], s["loop"], saved)
        first, second = [F(0)] * 3, [F(0)] * 3
        array.add_user(player, first)
        array.start(player, saved)
        for frame in range(1, s["frames"] + 1):
            if play == s["join_play"] and frame == s["join_frame"]:
                second[:] = [F(5), F(-3), F(2)]
                array.add_user(player, second)
            if play == s["pause_play"] and frame == s["pause_frame"] and player.state == 1:
                held = player.state
                player.state = 2
                paused_at = array.now
                for _ in range(s["pause_length"]):
                    array.tick(player, array.now + 1)
                shift = array.now - paused_at
                player.vertex_start += shift
                player.vertex_end += shift
                player.offset = F(-F(player.vertex_start) / F(player.nframes))
                player.state = held
            array.tick(player, array.now + 1)
            out.append([float(c) for c in first] + [float(c) for c in second])
    return out


def main():
    seed, count = int(sys.argv[1]), int(sys.argv[2])
    rng = random.Random(seed)
    for _ in range(count):
        s = scenario(rng)
        print(s["seed"], s["frame_ms"], len(s["paths"]), s["flags"], s["loop"], s["plays"], s["frames"],
              s["join_play"], s["join_frame"], s["pause_play"], s["pause_frame"], s["pause_length"],
              s["start_frame"])
        for path in s["paths"]:
            print(len(path["vertices"]), *("%.9g" % r for r in path["range"]))
            for x, y, z, duration in path["vertices"]:
                print("%.9g %.9g %.9g %d" % (x, y, z, duration))
        for row in run(s):
            print(" ".join("%.9g" % v for v in row))


if __name__ == "__main__":
    main()
