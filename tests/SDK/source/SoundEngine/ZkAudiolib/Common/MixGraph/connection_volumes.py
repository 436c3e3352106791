"""Independent computation of connection levels for the connection-volume tests.

Each argument is one case: "modulation,context,connection,ray,bus" (linear gains, then the
destination bus's level in dB). Prints one line per case: the level in dB (-4096 for silence) and
whether it is below the volume threshold of -96.3 dB (the threshold itself counts as below).
"""
import math
import sys

THRESHOLD_DB = -96.3
SILENCE_DB = -4096.0


def level(modulation, context, connection, ray, bus):
    linear = modulation * context * connection * ray
    if linear <= 0.0:
        return SILENCE_DB
    return 20.0 * math.log10(linear) + bus


for case in sys.argv[1:]:
    values = [float(v) for v in case.split(",")]
    db = level(*values)
    print("%.6f %d" % (db, 1 if db <= THRESHOLD_DB else 0))
