"""Oracle for the random draws of actions, in Python's unbounded integers and double floats.

The generator: x = x * 0x5851F42D4C957F2D + 1 mod 2^64; a draw is x >> 33 and its fraction
r = draw / 2147483647. Arguments: the seed, then operations, each a word and its numbers:
  delay BASE MIN MAX    a delay or fade: BASE plus the range's offset, never below 0; the offset is
                        MIN without a draw when MIN == MAX, else MIN + trunc(r * (MAX - MIN) + 0.5)
  chance PERCENT        a play's probability (PERCENT as a 32-bit float): 0 (no draw) for 0 or NaN,
                        else one draw, and 1 unless draw * (100 / 2147483647) > PERCENT
Prints one integer per operation."""
import math
import struct
import sys

MULTIPLIER = 0x5851F42D4C957F2D


class Generator:
    def __init__(self, seed):
        self.x = seed

    def draw(self):
        self.x = (self.x * MULTIPLIER + 1) % (1 << 64)
        return self.x >> 33


def as_float32(value):
    return struct.unpack("<f", struct.pack("<f", value))[0]


def main():
    generator = Generator(int(sys.argv[1], 0))
    words = sys.argv[2:]
    at = 0
    while at < len(words):
        op = words[at]
        if op == "delay":
            base, low, high = (int(word) for word in words[at + 1:at + 4])
            at += 4
            offset = low if low == high else low + int(generator.draw() / 2147483647 * (high - low) + 0.5)
            print(max(0, base + offset))
        elif op == "chance":
            percent = as_float32(float(words[at + 1]))
            at += 2
            if percent == 0.0 or math.isnan(percent):
                print(0)
            else:
                print(0 if generator.draw() * (100 / 2147483647) > percent else 1)
        else:
            raise SystemExit("unknown operation %r" % op)


if __name__ == "__main__":
    main()
