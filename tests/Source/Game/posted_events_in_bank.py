"""Which of the event ids a game run posted are not events of the shipped Main.bnk's description.

Arguments: the path of SoundProject/Main.json, then the posted ids. Prints the ids that the
description does not hold, on one line (an empty line when every one is there).
"""
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "SDK", "source",
                                "SoundEngine", "ZkAudiolib", "Common", "Engine"))
import game_events  # noqa: E402  (the shared reader of the description's event ids)


def main() -> None:
    in_bank = set(game_events.event_ids(sys.argv[1]))
    missing = sorted({int(word) for word in sys.argv[2:]} - in_bank)
    print(" ".join(str(event_id) for event_id in missing))


if __name__ == "__main__":
    main()
