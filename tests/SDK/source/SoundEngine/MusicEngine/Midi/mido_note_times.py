"""Where Debian's python3-mido plays the notes of MIDI tracks.

Argument: a JSON file holding a list of tracks, each {"ticks_per_quarter", "tempo" (quarter notes
per minute), "events": [{"delta", "status", "data"}]} as the bank writer's MIDI media describes
them (channel messages only). Each track is wrapped in a standard MIDI file with a tempo meta
event, and mido plays it. Prints one line per track: the time (seconds) of its last event, then the
time of each note-on with a velocity above 0, in order.
"""
import json
import sys

import mido


def note_times(track):
    song = mido.MidiFile(ticks_per_beat=track["ticks_per_quarter"])
    events = mido.MidiTrack()
    song.tracks.append(events)
    events.append(mido.MetaMessage("set_tempo", tempo=mido.bpm2tempo(track["tempo"]), time=0))
    for event in track["events"]:
        message = mido.Message.from_bytes([event["status"]] + event["data"])
        message.time = event.get("delta", 0)
        events.append(message)
    now = 0.0
    starts = []
    for message in song:
        now += message.time
        if message.type == "note_on" and message.velocity > 0:
            starts.append(now)
    return [now] + starts


def main():
    with open(sys.argv[1]) as tracks:
        for track in json.load(tracks):
            print(" ".join(repr(value) for value in note_times(track)))


if __name__ == "__main__":
    main()
