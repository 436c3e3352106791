"""The media an event's preparation brings into the media index, read from the bank descriptions
the tests hand to the bank writer: every sound its play actions target, following the events its
play-event actions name (an event already on the chain is not followed again).

    prepared_media.py DESCRIPTIONS.json EVENT_ID    prints the media ids, one per line, sorted
"""

import json
import sys


def main(path, event_id):
    with open(path, "r", encoding="utf-8") as source:
        banks = json.load(source)
    banks = banks if isinstance(banks, list) else [banks]
    actions, events, sounds = {}, {}, {}
    for bank in banks:
        for chunk in bank.get("chunks", []):
            for item in chunk.get("items", []) if chunk.get("tag") == "HIRC" else []:
                if item["type"] == "action":
                    actions[item["id"]] = (item["action"], item["target"])
                elif item["type"] == "event":
                    events[item["id"]] = item["actions"]
                elif item["type"] == "sound":
                    sounds[item["id"]] = item["media"]
    media = set()

    def walk(event, chain):
        for action in events[event]:
            kind, target = actions[action]
            if kind == "play":
                media.add(sounds[target])
            elif kind == "post_event" and target not in chain:
                walk(target, chain + [target])

    walk(event_id, [event_id])
    print("\n".join(str(m) for m in sorted(media)))


if __name__ == "__main__":
    main(sys.argv[1], int(sys.argv[2]))
