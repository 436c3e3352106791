"""The level of a tone in a span of samples: the amplitude, in dBFS, of the least-squares sine at
the first frequency, fitted together with sines at the others (tones of other sounds in the span,
which would leak into a lone fit) and a constant. A sine of amplitude 1 is 0 dBFS; -999 for none.

Used by Debian's python3 (numpy).
"""
import numpy as np

SILENT_DB = -999.0


def tone_db(x, rate, tones, offset):
    """x: the samples; tones: the frequencies, the measured one first; offset: the frame of x[0]."""
    frames = np.arange(len(x)) + offset
    columns = [np.ones(len(x))]
    for hz in tones:
        columns += [np.sin(2 * np.pi * hz * frames / rate), np.cos(2 * np.pi * hz * frames / rate)]
    coefficients, *_ = np.linalg.lstsq(np.stack(columns, axis=1), x, rcond=None)
    amplitude = float(np.hypot(coefficients[1], coefficients[2]))
    return 20.0 * np.log10(amplitude) if amplitude > 0 else SILENT_DB
