"""Oracle for the engine's random generator: x = x * 0x5851F42D4C957F2D + 1 mod 2^64, in Python's
unbounded integers. Arguments: seed, count. Prints count draws (x >> 33 after each step), one per line."""
import sys

seed, count = int(sys.argv[1], 0), int(sys.argv[2])
x = seed
for _ in range(count):
    x = (x * 0x5851F42D4C957F2D + 1) % (1 << 64)
    print(x >> 33)
