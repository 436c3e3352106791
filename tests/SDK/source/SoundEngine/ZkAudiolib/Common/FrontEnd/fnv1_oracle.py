"""Oracle for the engine's ids from names: 32-bit FNV-1 (multiply, then XOR) over the UTF-8 bytes
with only ASCII capitals folded. With --bank, the last extension is cut first.
Arguments: names as hexadecimal UTF-8 bytes. Prints one id per line in hexadecimal."""
import sys


def fnv1(data: bytes) -> int:
    h = 0x811C9DC5
    for b in data:
        h = (h * 0x01000193) % (1 << 32)
        if 0x41 <= b <= 0x5A:
            b += 0x20
        h ^= b
    return h


def main() -> None:
    bank = sys.argv[1:2] == ["--bank"]
    for name_hex in sys.argv[2 if bank else 1:]:
        data = bytes.fromhex(name_hex)
        if bank and b"." in data:
            data = data[: data.rindex(b".")]
        print("%08x" % fnv1(data))


main()
