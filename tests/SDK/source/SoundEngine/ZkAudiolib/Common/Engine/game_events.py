"""The ids of the events the game posts, as the description of Main.bnk gives them.
Argument: the path of SoundProject/Main.json. Prints the ids on one line, separated by spaces."""
import json
import sys


def event_ids(path):
    with open(path, encoding="utf-8") as description:
        bank = json.load(description)
    return [item["id"] for chunk in bank["chunks"] if chunk["tag"] == "HIRC"
            for item in chunk["items"] if item["type"] == "event"]


def main() -> None:
    print(" ".join(str(event_id) for event_id in event_ids(sys.argv[1])))


if __name__ == "__main__":
    main()
