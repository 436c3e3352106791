"""Measures the game's sound as a virtual speaker captured it: raw float32 interleaved samples.

Arguments: FILE CHANNELS RATE. Reads one query a line on standard input and prints one answer a
line (frames are counted from the capture's first frame; END is exclusive):

  level HZS START END       the amplitude, in dBFS, of the least-squares sine at the first
                            frequency of HZS (comma-separated), fitted together with sines at the
                            others (tones a few hertz apart beat: each must be in the model), for
                            each channel (a sine of amplitude 1 is 0 dBFS)
  onset HZ DB START END BLOCK
                            the first frame, from START in steps of BLOCK, from which the sine at
                            HZ over the next BLOCK frames reaches DB dBFS on channel 0; -1 if none
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

Run by Debian's python3 (numpy).
"""
import os
import sys

import numpy as np

REPOSITORY = os.path.dirname(os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__)))))
sys.path.insert(0, os.path.join(REPOSITORY, "tests", "tools"))

import bank_reading  # noqa: E402

SILENT_DB = -999.0


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


def decoded_media(name: str) -> np.ndarray:
    banks = os.environ.get("KP_BANKS_DIR", os.path.join(REPOSITORY, "Trindle_Ostrel", "Banks"))
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
            hz, threshold, start, end, block = float(words[1]), float(words[2]), int(words[3]), int(words[4]), int(words[5])
            found = -1
            for frame in range(start, end - block + 1, block):
                if level(samples[:, :1], rate, [hz], frame, frame + block)[0] >= threshold:
                    found = frame
                    break
            print(found)
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
        else:
            raise SystemExit("unknown query: " + line)
        sys.stdout.flush()


if __name__ == "__main__":
    main()
