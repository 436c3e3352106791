"""Measures the game's sound as a virtual speaker captured it: raw float32 interleaved samples.

Arguments: FILE CHANNELS RATE. Reads one query a line on standard input and prints one answer a
line (frames are counted from the capture's first frame; END is exclusive):

  level HZS START END       the amplitude, in dBFS, of the least-squares sine at the first
                            frequency of HZS (comma-separated), fitted together with sines at the
                            others (tones a few hertz apart beat: each must be in the model), for
                            each channel (a sine of amplitude 1 is 0 dBFS)
  onset HZS DB START END BLOCK
                            the first frame, from START in steps of BLOCK, from which the sine at
                            the first frequency of HZS (fitted together with the others, as for
                            level) over the next BLOCK frames reaches DB dBFS on channel 0; -1 if
                            none
  rise HZ START END BLOCK WINDOW
                            where a tone at HZ starts on channel 0, and its level: "FRAME DB", FRAME
                            the first frame from START, in steps of BLOCK, at which the tone's
                            amplitude over the WINDOW frames from there (Hann-weighted) reaches half
                            the largest it has over [START, END), plus WINDOW / 2 (a tone that
                            starts at a frame reaches half its amplitude when the window's middle
                            does: the onset lies within a step before FRAME); DB that largest
                            amplitude in dBFS. The window's taper keeps the start and end of other
                            tones, and tones more than two bins away, out of the measure
  pitch START END           the frequency, in hertz, of the strongest peak of channel 0's spectrum
                            over the frames (Hann window, zero-padded to a tenth of a hertz, the
                            peak refined by a parabola through its bin and its two neighbours)
  midinotes NAME            the notes of the MIDI track media NAME of Main.bnk (ticks per quarter,
                            big-endian; the tempo, a float; one track of events) as Debian's
                            python3-mido plays them from the same events wrapped in a standard MIDI
                            file whose tempo event carries that tempo: "NOTE ON OFF" for each
                            note-on in order, on one line, in seconds from the track's start (OFF
                            -1 without a note-off)
  peak START END            the largest magnitude over every channel, in dBFS (-999 when silent)
  silentrun START END       the longest run of frames whose samples are all exactly 0
  residual HZS START END    the residual of the least-squares fit of sines at every frequency of
                            HZS (comma-separated) over the frames, in dB relative to the signal's
                            RMS, for each channel
  decoded NAME START END    the residual, as above, of the least-squares fit of the game's ADPCM
                            media NAME (its name in SoundProject/Main.json: the loose "<id>.oxm"
                            beside the banks), decoded by ffmpeg, looped, and aligned with the
                            frames by their cross-correlation: the capture against the very
                            waveform the media holds
  eventlevel EVENT HZS START END
                            the loudest on channel 0, over the dominant frequencies of the media
                            the event EVENT can play (SoundProject/Main.json, followed through its
                            play actions and playlists), of the level at that frequency fitted
                            together with every media's dominant frequency and those of HZS
  loudest HZS START END     the frequency of HZS (comma-separated) whose sine, fitted together with
                            the others' on channel 0, is loudest, and its level in dBFS
  start NAME SKIP START END the capture frame at which the media NAME of Main.bnk (its name in
                            SoundProject/Main.json, as the bank stores it, or as its loose
                            "<id>.oxm" beside the banks holds it when it is streamed) starts: its frames from
                            SKIP on (past a fade-in) aligned with channel 0 within [START, END) by
                            their cross-correlation with every frequency weighted alike (the phase
                            transform), the media lying wholly inside
  medialevel NAME AT HZS START END
                            the level, in dBFS, that level gives over [START, END) for the media
                            NAME (as start reads it) placed with its frame 0 at capture frame AT
                            (silence outside the media): what the capture holds there when the
                            media sounds at 0 dB, so that the two levels' difference is the gain
                            it was heard at
  placed NAME START END     where the media NAME of Main.bnk (as the bank stores it), heard as an
                            unpositioned mono sound at 0 dB (0.70710677 on each channel), lies
                            wholly inside [START, END): the capture frame at which the squared
                            difference over both channels is smallest, and the largest difference
                            there

Run by Debian's python3 (numpy, mido).
"""
import io
import json
import os
import struct
import sys

import mido
import numpy as np

REPOSITORY = os.path.dirname(os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__)))))
sys.path.insert(0, os.path.join(REPOSITORY, "tests", "tools"))

import bank_media  # noqa: E402
import bank_reading  # noqa: E402

SILENT_DB = -999.0
CENTRE = 0.70710677


def db(value: float) -> float:
    return 20.0 * np.log10(value) if value > 0 else SILENT_DB


def fit(x: np.ndarray, rate: float, frequencies, offset: int):
    frames = np.arange(len(x)) + offset
    columns = [np.ones(len(x))]
    for hz in frequencies:
        columns += [np.sin(2 * np.pi * hz * frames / rate), np.cos(2 * np.pi * hz * frames / rate)]
    basis = np.stack(columns, axis=1)
    coefficients, *_ = np.linalg.lstsq(basis, x, rcond=None)
    return coefficients, basis @ coefficients


def level(samples: np.ndarray, rate: float, frequencies, start: int, end: int):
    answers = []
    for channel in range(samples.shape[1]):
        coefficients, _ = fit(samples[start:end, channel], rate, frequencies, start)
        answers.append(db(float(np.hypot(coefficients[1], coefficients[2]))))
    return answers


def banks_dir() -> str:
    return os.environ.get("KP_BANKS_DIR", os.path.join(REPOSITORY, "Trindle_Ostrel", "Banks"))


def media_start(x: np.ndarray, name: str, skip: int) -> int:
    """Where in x the media's frame 0 lies: the lag at which its frames from skip on correlate best
    with x (a lag keeping them wholly inside x), each frequency of the product of their transforms
    brought to unit magnitude. A plain correlation is ruled by the media's tone, which matches
    itself at every whole number of periods and lets its slow envelope pull the lag by hundreds of
    milliseconds (towards the lags where the other media playing over it are quiet); weighted
    alike, the frequencies of the media's noise, which matches only where the media lies, decide."""
    part = media_samples(name)[skip:]
    size = len(x) + len(part)
    lags = len(x) - len(part) + 1
    cross = np.fft.rfft(x, size) * np.conj(np.fft.rfft(part, size))
    correlation = np.fft.irfft(cross / np.maximum(np.abs(cross), 1e-30), size)[:lags]
    return int(np.argmax(correlation)) - skip


def media_samples(name: str) -> np.ndarray:
    """The media NAME as it is played, mono: its loose file when it is streamed (a bank may hold
    only its prefetch copy), else the bank's copy."""
    if name not in _media_samples:
        loose = os.path.join(banks_dir(), "%d.oxm" % bank_reading.fnv1(name))
        if os.path.exists(loose):
            with open(loose, "rb") as source:
                _media_samples[name] = bank_media.decoded(source.read())
        else:
            _media_samples[name] = bank_media.media_of_bank(os.path.join(banks_dir(), "Main.bnk"), name)
    return _media_samples[name]


_media_samples = {}


def media_placed(x: np.ndarray, name: str):
    """The lag of x at which the media, at the centre gain on every channel, leaves the smallest sum
    of squared differences (the sum over x's window of x squared, less twice the correlation: the
    media's own energy is the same at every lag), and the largest difference at that lag."""
    media = bank_media.media_of_bank(os.path.join(banks_dir(), "Main.bnk"), name) * CENTRE
    size = len(x) + len(media)
    lags = len(x) - len(media) + 1
    energy = np.concatenate([[0.0], np.cumsum(np.sum(x ** 2, axis=1))])
    cost = energy[len(media):len(media) + lags] - energy[:lags]
    for channel in range(x.shape[1]):
        cost -= 2.0 * np.fft.irfft(np.fft.rfft(x[:, channel], size) * np.conj(np.fft.rfft(media, size)), size)[:lags]
    lag = int(np.argmin(cost))
    return lag, float(np.max(np.abs(x[lag:lag + len(media)] - media[:, None])))


def strongest_hz(x: np.ndarray, rate: float) -> float:
    size = 1 << int(np.ceil(np.log2(max(len(x), rate * 10.0))))
    magnitude = np.abs(np.fft.rfft((x - np.mean(x)) * np.hanning(len(x)), size))
    peak = int(np.argmax(magnitude[1:-1])) + 1
    a, b, c = np.log(magnitude[peak - 1:peak + 2] + 1e-300)
    shift = 0.5 * (a - c) / (a - 2.0 * b + c) if a - 2.0 * b + c != 0 else 0.0
    return (peak + shift) * rate / size


def tone_rise(x: np.ndarray, rate: float, hz: float, block: int, window: int):
    """(first step at which the Hann-weighted amplitude at hz over the window reaches half its
    largest, that largest in dBFS); steps counted from x's first frame."""
    taper = np.hanning(window)
    demodulated = x * np.exp(-2j * np.pi * hz * np.arange(len(x)) / rate)
    size = 1 << int(np.ceil(np.log2(len(x) + window)))
    sums = np.fft.ifft(np.fft.fft(demodulated, size) * np.conj(np.fft.fft(taper, size)))[:len(x) - window + 1]
    amplitude = 2.0 * np.abs(sums[::block]) / np.sum(taper)
    largest = float(np.max(amplitude))
    return int(np.argmax(amplitude >= 0.5 * largest)) * block, db(largest)


def midi_notes(name: str):
    """[(note, on, off)] of the MIDI track media NAME of Main.bnk, as mido times them."""
    with open(os.path.join(banks_dir(), "Main.bnk"), "rb") as source:
        data = source.read()
    offset, size = bank_reading.media_index(bank_reading.chunk(data, "DIDX"))[bank_reading.fnv1(name)]
    media = bank_reading.chunk(data, "DATA")[offset:offset + size]
    ticks, tempo = struct.unpack_from(">H", media)[0], struct.unpack_from("<f", media, 2)[0]
    track = (b"\x00" + mido.MetaMessage("set_tempo", tempo=mido.bpm2tempo(tempo)).bin() + bytes(media[6:]) +
             bytes.fromhex("00ff2f00"))
    smf = b"MThd" + struct.pack(">IHHH", 6, 0, 1, ticks) + b"MTrk" + struct.pack(">I", len(track)) + track
    now, sounding, notes = 0.0, {}, []
    for message in mido.MidiFile(file=io.BytesIO(smf)):
        now += message.time
        if message.type == "note_on" and message.velocity > 0:
            sounding[message.note] = len(notes)
            notes.append([message.note, now, -1.0])
        elif message.type in ("note_on", "note_off") and message.note in sounding:
            notes[sounding.pop(message.note)][2] = now
    return notes


def description():
    with open(os.path.join(REPOSITORY, "SoundProject", "Main.json"), encoding="utf-8") as source:
        bank = json.load(source)
    items = {item["id"]: item for chunk in bank["chunks"] if chunk["tag"] == "HIRC" for item in chunk["items"]}
    # MIDI track media hold notes, not a tone: they have no dominant frequency.
    dominant = {media["id"]: media["dominant_hz"] for media in bank["media"] + bank["streamed"] if "midi" not in media}
    return items, dominant


def event_tones(items, dominant, event_id):
    """The dominant frequencies of the media an event plays: its play actions' targets followed down
    through their playlists' (or music containers' and segments') children to the sounds' media
    (or the music tracks' audio sources: a MIDI track's notes play a sound of their own)."""
    def below(node_id):
        node = items[node_id]
        if "sources" in node:
            return [dominant[source["source"]] for source in node["sources"] if source["source"] in dominant]
        if "children" in node:
            return [hz for child in node["children"] for hz in below(child)]
        return [dominant[node["media"]]] if "media" in node else []
    return [hz for action in items[event_id]["actions"] if items[action]["action"] == "play"
            for hz in below(items[action]["target"])]


def decoded_media(name: str) -> np.ndarray:
    banks = banks_dir()
    with open(os.path.join(banks, "%d.oxm" % bank_reading.fnv1(name)), "rb") as source:
        media = bank_reading.adpcm_wave(source.read())
    return np.array(media["samples"], dtype=np.float64).reshape(-1, media["channels"]) / 32768.0


def residual_against(x: np.ndarray, reference: np.ndarray):
    """Per channel, the residual of x fitted with the looped reference at the best circular shift."""
    length = len(reference)
    padded = np.zeros(length)
    padded[:len(x)] = x[:, 0]
    correlation = np.fft.irfft(np.fft.rfft(reference[:, 0]) * np.conj(np.fft.rfft(padded)), length)
    # Normalised by the energy of the reference under the window: the best fit, not the loudest part.
    energy = np.cumsum(np.concatenate([[0.0], np.tile(reference[:, 0] ** 2, 2)]))
    window = energy[np.arange(length) + len(x)] - energy[np.arange(length)]
    shift = int(np.argmax(correlation / np.sqrt(np.maximum(window, 1e-30))))
    aligned = reference[(np.arange(len(x)) + shift) % length]
    answers = []
    for channel in range(x.shape[1]):
        ref = aligned[:, channel]
        gain = float(np.dot(x[:, channel], ref) / np.dot(ref, ref))
        rest = x[:, channel] - gain * ref
        answers.append(db(float(np.sqrt(np.mean(rest ** 2)))) - db(float(np.sqrt(np.mean(x[:, channel] ** 2)))))
    return answers


def main() -> None:
    path, channels, rate = sys.argv[1], int(sys.argv[2]), float(sys.argv[3])
    samples = np.fromfile(path, dtype=np.float32).reshape(-1, channels).astype(np.float64)
    fitted = {}
    for line in sys.stdin:
        words = line.split()
        if not words:
            continue
        command = words[0]
        if command == "level":
            frequencies = [float(hz) for hz in words[1].split(",")]
            start, end = int(words[2]), int(words[3])
            print(" ".join(f"{value:.4f}" for value in level(samples, rate, frequencies, start, end)))
        elif command == "onset":
            frequencies = [float(hz) for hz in words[1].split(",")]
            threshold, start, end, block = float(words[2]), int(words[3]), int(words[4]), int(words[5])
            found = -1
            for frame in range(start, end - block + 1, block):
                if level(samples[:, :1], rate, frequencies, frame, frame + block)[0] >= threshold:
                    found = frame
                    break
            print(found)
        elif command == "rise":
            hz, start, end, block, window = float(words[1]), int(words[2]), int(words[3]), int(words[4]), int(words[5])
            step, largest = tone_rise(samples[start:end, 0], rate, hz, block, window)
            print(f"{start + step + window // 2} {largest:.4f}")
        elif command == "pitch":
            start, end = int(words[1]), int(words[2])
            print(f"{strongest_hz(samples[start:end, 0], rate):.4f}")
        elif command == "midinotes":
            print(" ".join(f"{note} {on:.9f} {off:.9f}" for note, on, off in midi_notes(words[1])))
        elif command == "peak":
            start, end = int(words[1]), int(words[2])
            print(f"{db(float(np.max(np.abs(samples[start:end])))) if end > start else SILENT_DB:.4f}")
        elif command == "silentrun":
            start, end = int(words[1]), int(words[2])
            silent = np.all(samples[start:end] == 0.0, axis=1).astype(np.int8)
            edges = np.diff(np.concatenate([[0], silent, [0]]))
            runs = np.nonzero(edges == -1)[0] - np.nonzero(edges == 1)[0]
            print(int(runs.max()) if len(runs) else 0)
        elif command == "residual":
            frequencies = [float(hz) for hz in words[1].split(",")]
            start, end = int(words[2]), int(words[3])
            answers = []
            for channel in range(channels):
                x = samples[start:end, channel]
                _, fitted = fit(x, rate, frequencies, start)
                rms = float(np.sqrt(np.mean(x ** 2)))
                answers.append(db(float(np.sqrt(np.mean((x - fitted) ** 2)))) - db(rms))
            print(" ".join(f"{value:.4f}" for value in answers))
        elif command == "decoded":
            start, end = int(words[2]), int(words[3])
            answers = residual_against(samples[start:end], decoded_media(words[1]))
            print(" ".join(f"{value:.4f}" for value in answers))
        elif command == "eventlevel":
            items, dominant = description()
            own = event_tones(items, dominant, int(words[1]))
            tones = tuple(sorted(set(dominant.values()) | {float(hz) for hz in words[2].split(",")}))
            key = (tones, int(words[3]), int(words[4]))
            if key not in fitted:  # one fit serves every event judged over the same frames
                coefficients, _ = fit(samples[key[1]:key[2], 0], rate, tones, key[1])
                fitted[key] = {hz: db(float(np.hypot(coefficients[1 + 2 * i], coefficients[2 + 2 * i])))
                               for i, hz in enumerate(tones)}
            print(f"{max(fitted[key][hz] for hz in own):.4f}")
        elif command == "loudest":
            frequencies = [float(hz) for hz in words[1].split(",")]
            start, end = int(words[2]), int(words[3])
            coefficients, _ = fit(samples[start:end, 0], rate, frequencies, start)
            levels = [db(float(np.hypot(coefficients[1 + 2 * i], coefficients[2 + 2 * i]))) for i in range(len(frequencies))]
            loudest = int(np.argmax(levels))
            print(f"{frequencies[loudest]:g} {levels[loudest]:.4f}")
        elif command == "start":
            skip, start, end = int(words[2]), int(words[3]), int(words[4])
            print(start + media_start(samples[start:end, 0], words[1], skip))
        elif command == "medialevel":
            at = int(words[2])
            frequencies = [float(hz) for hz in words[3].split(",")]
            start, end = int(words[4]), int(words[5])
            media = media_samples(words[1])
            placed = np.zeros((end - start, 1))
            first, last = max(start, at), min(end, at + len(media))
            if last > first:
                placed[first - start:last - start, 0] = media[first - at:last - at]
            coefficients, _ = fit(placed[:, 0], rate, frequencies, start)
            print(f"{db(float(np.hypot(coefficients[1], coefficients[2]))):.4f}")
        elif command == "placed":
            start, end = int(words[2]), int(words[3])
            lag, difference = media_placed(samples[start:end], words[1])
            print(f"{start + lag} {difference:.9g}")
        else:
            raise SystemExit("unknown query: " + line)
        sys.stdout.flush()


if __name__ == "__main__":
    main()
