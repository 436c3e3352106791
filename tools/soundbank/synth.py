"""Samples synthesised from a small description: tones, chords, noise bursts, envelopes, seamless loops.

A desc is a dict (the "wave" object of a media description, see tools/media_writer.py):

    rate      sample rate in Hz (default 48000)
    channels  channel count (default 1)
    seconds | frames    length; or
    loop      {"periods": P, "of": F}: the length is P periods of F Hz (F defaults to the first
              tone); every tone must then complete a whole number of periods, and neither noise
              nor envelopes are allowed, so the last sample leads straight back into the first.
              "loop": true checks the same for a length given in seconds or frames.
    parts     list of parts, summed:
                {"tone": F, "amp": A, "phase": degrees}
                {"chord": [F1, F2, ...], "amp": A}      (A for each tone)
                {"noise": A, "seed": S}                 (uniform white noise in [-A, A])
              every part may also carry "start" and "length" (seconds; default the whole
              file), "envelope" (its own) and "channels" (list of channel indices; default all).
    envelope  {"attack": s, "decay": s, "sustain": level, "release": s}: linear segments over the
              whole file (or a part's length): 0 -> 1 over attack, 1 -> sustain over decay,
              sustain until release, sustain -> 0 over release. Missing keys: no such segment.

The peak of the sum may not exceed 1.0 (full scale): a desc that would clip is refused.
Tones of a whole number of Hz at a whole sample rate repeat exactly every rate / gcd(rate, F)
samples; such tones are computed once per repetition and tiled, which keeps long files cheap.
"""

import math

_PART_KEYS = {"tone", "chord", "noise", "amp", "phase", "seed", "start", "length", "envelope",
              "channels"}
_ENVELOPE_KEYS = {"attack", "decay", "sustain", "release"}
_SPEC_KEYS = {"rate", "channels", "seconds", "frames", "loop", "parts", "envelope"}


class Signal:
    """Rendered samples: one list of floats in [-1, 1] per channel."""

    def __init__(self, rate, channels):
        self.rate = rate
        self.channels = channels


def _check_keys(what, table, allowed):
    unknown = set(table) - allowed
    if unknown:
        raise ValueError("%s: unknown keys %s" % (what, ", ".join(sorted(unknown))))


def _tone(frequency, amplitude, phase, count, rate):
    step = 2.0 * math.pi * frequency / rate
    if float(frequency).is_integer() and frequency > 0:
        period = rate // math.gcd(int(frequency), rate)
        if period < count:
            table = [amplitude * math.sin(step * i + phase) for i in range(period)]
            return (table * (count // period + 1))[:count]
    return [amplitude * math.sin(step * i + phase) for i in range(count)]


def _noise(amplitude, seed, count):
    # A 32-bit linear congruential generator: the same bytes on every Python version.
    state = (seed * 2654435761 + 1) & 0xFFFFFFFF
    out = []
    scale = 2.0 * amplitude / 4294967296.0
    for _ in range(count):
        state = (state * 1664525 + 1013904223) & 0xFFFFFFFF
        out.append(state * scale - amplitude)
    return out


def envelope_gains(envelope, count, rate):
    """Gain per frame of an attack-decay-sustain-release envelope over count frames."""
    _check_keys("envelope", envelope, _ENVELOPE_KEYS)
    attack = int(round(envelope.get("attack", 0.0) * rate))
    decay = int(round(envelope.get("decay", 0.0) * rate))
    release = int(round(envelope.get("release", 0.0) * rate))
    sustain = float(envelope.get("sustain", 1.0))
    if attack + decay + release > count:
        raise ValueError("envelope of %d frames is longer than its %d frames"
                         % (attack + decay + release, count))
    gains = []
    gains.extend((i + 1) / attack for i in range(attack))
    gains.extend(1.0 + (sustain - 1.0) * (i + 1) / decay for i in range(decay))
    gains.extend([sustain] * (count - attack - decay - release))
    gains.extend(sustain * (release - 1 - i) / release for i in range(release))
    return gains


def _tones_of(part):
    if "tone" in part:
        return [float(part["tone"])]
    if "chord" in part:
        return [float(f) for f in part["chord"]]
    return []


def _length(desc, rate):
    loop = desc.get("loop")
    if isinstance(loop, dict):
        of = loop.get("of")
        if of is None:
            tones = [f for part in desc.get("parts", []) for f in _tones_of(part)]
            if not tones:
                raise ValueError("a loop of periods needs a tone")
            of = tones[0]
        frames = loop["periods"] * rate / float(of)
        if abs(frames - round(frames)) > 1e-6:
            raise ValueError("%s periods of %s Hz are not a whole number of frames at %d Hz"
                             % (loop["periods"], of, rate))
        return int(round(frames))
    if "frames" in desc:
        return int(desc["frames"])
    if "seconds" in desc:
        return int(round(desc["seconds"] * rate))
    raise ValueError("a wave needs seconds, frames or a loop of periods")


def _check_seamless(desc, frames, rate):
    if "envelope" in desc:
        raise ValueError("a seamless loop cannot have an envelope")
    for part in desc.get("parts", []):
        if "noise" in part or "envelope" in part or "start" in part or "length" in part:
            raise ValueError("a seamless loop holds only whole-length tones and chords")
        for frequency in _tones_of(part):
            cycles = frequency * frames / rate
            if abs(cycles - round(cycles)) > 1e-6:
                raise ValueError("%s Hz makes %.4f periods in the %d-frame loop, not a whole number"
                                 % (frequency, cycles, frames))


def render(desc):
    """Renders a description into a Signal with .frames and .samples (one float list per channel)."""
    _check_keys("wave", desc, _SPEC_KEYS)
    rate = int(desc.get("rate", 48000))
    channels = int(desc.get("channels", 1))
    if rate <= 0 or channels <= 0:
        raise ValueError("a wave needs a positive rate and channel count")
    frames = _length(desc, rate)
    if desc.get("loop"):
        _check_seamless(desc, frames, rate)
    mix = [[0.0] * frames for _ in range(channels)]
    for part in desc.get("parts", []):
        _check_keys("part", part, _PART_KEYS)
        start = int(round(part.get("start", 0.0) * rate))
        count = (int(round(part["length"] * rate)) if "length" in part else frames - start)
        if start < 0 or count < 0 or start + count > frames:
            raise ValueError("part at %d frames for %d frames lies outside the %d-frame wave"
                             % (start, count, frames))
        amplitude = float(part.get("amp", 1.0))
        phase = math.radians(float(part.get("phase", 0.0)))
        if "noise" in part:
            samples = _noise(float(part["noise"]), int(part.get("seed", 1)), count)
        else:
            tones = _tones_of(part)
            if not tones:
                raise ValueError("a part is a tone, a chord or noise")
            samples = [0.0] * count
            for frequency in tones:
                tone = _tone(frequency, amplitude, phase, count, rate)
                samples = [a + b for a, b in zip(samples, tone)]
        if "envelope" in part:
            gains = envelope_gains(part["envelope"], count, rate)
            samples = [s * g for s, g in zip(samples, gains)]
        for channel in part.get("channels", range(channels)):
            if not 0 <= channel < channels:
                raise ValueError("part names channel %d of %d" % (channel, channels))
            target = mix[channel]
            target[start:start + count] = [a + b for a, b in zip(target[start:start + count],
                                                                 samples)]
    if "envelope" in desc:
        gains = envelope_gains(desc["envelope"], frames, rate)
        mix = [[s * g for s, g in zip(channel, gains)] for channel in mix]
    peak = max((abs(s) for channel in mix for s in channel), default=0.0)
    if peak > 1.0 + 1e-9:
        raise ValueError("the parts sum to a peak of %.3f: above full scale" % peak)
    signal = Signal(rate, channels)
    signal.frames = frames
    signal.samples = mix
    return signal
