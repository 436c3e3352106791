"""Oracle for the engine's volume threshold: the exact linear gain 10^(dB / 20) of each threshold.
Arguments: thresholds in decibels as hexadecimal floats (float.hex). Prints one gain per line as a
hexadecimal float."""
import sys


def main() -> None:
    for value in sys.argv[1:]:
        print((10.0 ** (float.fromhex(value) / 20.0)).hex())


if __name__ == "__main__":
    main()
