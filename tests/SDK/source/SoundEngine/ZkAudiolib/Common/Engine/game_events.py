"""The ids of the events the game posts, as the description of Main.bnk gives them.
Argument: the path of SoundProject/Main.json. Prints the ids on one line, separated by spaces."""
import json
import sys


def main() -> None:
    with open(sys.argv[1], encoding="utf-8") as description:
        bank = json.load(description)
    ids = [item["id"] for chunk in bank["chunks"] if chunk["tag"] == "HIRC"
           for item in chunk["items"] if item["type"] == "event"]
    print(" ".join(str(event_id) for event_id in ids))


if __name__ == "__main__":
    main()
