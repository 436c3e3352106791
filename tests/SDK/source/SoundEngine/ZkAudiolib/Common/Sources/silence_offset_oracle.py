"""The silence source's random extension for a seed: one step of the engine's generator
(x = x * 0x5851F42D4C957F2D + 1 mod 2^64, draw = x >> 33), scaled to [minimum, maximum).

Arguments: seed minimum maximum (seconds). Prints the draw and the extension (float32 arithmetic
where the engine keeps floats)."""
import struct
import sys


def f32(value):
    return struct.unpack("<f", struct.pack("<f", value))[0]


seed, minimum, maximum = int(sys.argv[1]), f32(float(sys.argv[2])), f32(float(sys.argv[3]))
state = (seed * 0x5851F42D4C957F2D + 1) % (1 << 64)
draw = state >> 33
extension = f32(draw / 2.0**31 * f32(maximum - minimum) + minimum)
print(draw, repr(extension))
