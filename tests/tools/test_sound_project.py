"""The game's banks, as the build wrote them into Trindle_Ostrel/Banks/: read back with the tests'
own reader and checked against what the game posts and what its descriptions promise.

Run with Debian's python3 (numpy, mido). KP_BANKS_DIR names the folder of the banks (default: the
repository's Trindle_Ostrel/Banks).
"""

import io
import json
import math
import os
import struct
import unittest

import mido
import numpy as np

import bank_reading as br

REPOSITORY = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
BANKS = os.environ.get("KP_BANKS_DIR", os.path.join(REPOSITORY, "Trindle_Ostrel", "Banks"))
PROJECT = os.path.join(REPOSITORY, "SoundProject")

MUSIC_VOLUME = 1006694123
SFX_VOLUME = 1564184899
CITY_DAMAGE = 0x1529B13B  # "CityDamage"
SYSTEM_DEVICE = 0xE611314A
PLAY = 0x0403
SET_STATE = 0x1204
SET_SWITCH_ON_OBJECT = 0x1901
TOWER_REWARD = 853173628
SET_GAME_PARAMETER = 0x1303
CITY_HIT = 844605027
PCM_CODEC = 0x00010001
ADPCM_CODEC = 0x00020001
ADPCM_TAG = 0x0002
SILENCE_SOURCE = 0x00650002
MENU_HOVER = 66789758
LOOP_COUNT = 58
VOICE_VOLUME = 0
# The mix (SoundProject/README.md, "The mix"): screen musics 10 dB down, every cue's tone at least
# 6 dB above the music's tone at the output (a mono media reaches each of the two channels at
# 1/sqrt(2)).
MUSIC_VOLUME_DB = -10.0
MIN_CUE_ABOVE_MUSIC_DB = 6.0

# Every event the game posts, with where it comes from: the screen musics loop, the rest play once.
SCREEN_MUSICS = {2228153899: "main and pause menus", 557932600: "play field",
                 51240863: "win screen", 2339013412: "lose screen", 2097415741: "credits"}
OPENING_JINGLE = 1029053404
CUES = {
    66789758: "menu button hover", 1713356576: "menu button press",
    1713356578: "airship selected", 1713356579: "confirmation opened",
    1697518767: "play-field button hover", 1843752364: "coin button press",
    3643286168: "launch type 1", 1168262086: "launch type 2", 2917290866: "launch type 3",
    2983009038: "upgrade attack", 2043821631: "upgrade health", 1177687250: "upgrade speed",
    3826206711: "airship engine", 300927168: "wooden tower hit", 2842146700: "stone tower hit",
    2152679746: "type 1 fires", 97727228: "type 2 fires", 2383607268: "type 3 fires",
    844605027: "city hit", 2023560711: "airship hit", 914471075: "airship dying",
    2688475861: "type 1 death", 4273342723: "type 2 death", 3951251861: "type 3 death",
    737768043: "wooden tower fires", 1205173799: "stone tower or city fires",
    2816493517: "wooden tower destroyed", 2592254617: "stone tower destroyed",
    853173628: "tower reward", 3873832695: "city falls",
}
GAME_EVENTS = set(SCREEN_MUSICS) | {OPENING_JINGLE} | set(CUES)
# The events that play sounds (and containers of sounds); the jingle plays a music segment, the
# screen musics music playlist containers.
SOUND_EVENTS = set(CUES)
# The opening jingle (SoundProject/README.md, "The opening jingle"): tempo 120 in 4/4, a one-beat
# pickup in the pre-entry, one bar of four beats, a one-beat tail in the post-exit; one track of
# five clips, one a beat, each a 16-bit 48 kHz mono media of its own.
JINGLE_GRID = {"tempo": 120.0, "beats_per_bar": 4, "beat_value": 4}
JINGLE_CLIPS = 5
# How the media are stored (SoundProject/README.md): the musics streamed from loose files (stream
# type 1: a prefetch copy of the first half second in the bank; 2: the file alone), the airships',
# towers' and city's cues ADPCM in the bank, the jingle and the menu cues 16-bit PCM in the bank.
MUSIC_STREAM_TYPES = {2228153899: 1, 557932600: 1, 51240863: 2, 2339013412: 2, 2097415741: 2}
# The screen musics (SoundProject/README.md, "The screen musics"): each a music playlist container
# of segments at tempo 120 in 4/4, one track of one clip of a media of its own each: the entry cue
# at 0, the exit cue after whole bars, a one-beat post-exit. A playlist is written as its root
# group: (mode, loop count, avoid-repeat, [segment keys or groups]); modes 1 sequence continuous,
# 3 random continuous; loop count 0 is without end.
MUSIC_GRID = {"tempo": 120.0, "beats_per_bar": 4, "beat_value": 4, "own": 1}
BEAT_MS = 500.0
SEQUENCE_CONTINUOUS, RANDOM_CONTINUOUS = 1, 3
WITHOUT_END = 0
SCREEN_MUSIC_PLAYLISTS = {
    2228153899: (RANDOM_CONTINUOUS, WITHOUT_END, 1, ["menu_music_1", "menu_music_2", "menu_music_3"]),
    557932600: (SEQUENCE_CONTINUOUS, 1, 0, ["game_music_intro",
                                            (SEQUENCE_CONTINUOUS, WITHOUT_END, 0, ["game_music_a", "game_music_b"])]),
    51240863: (SEQUENCE_CONTINUOUS, 1, 0, ["win_music_sting", (SEQUENCE_CONTINUOUS, WITHOUT_END, 0, ["win_music_bed"])]),
    2339013412: (SEQUENCE_CONTINUOUS, 1, 0, ["lose_music_sting", (SEQUENCE_CONTINUOUS, WITHOUT_END, 0, ["lose_music_bed"])]),
    2097415741: (SEQUENCE_CONTINUOUS, WITHOUT_END, 0, ["credits_music_1", "credits_music_2", "credits_music_3"]),
}
# Bars of each segment between its entry and exit cues (the stinger: one beat).
SEGMENT_BARS = {"menu_music_1": 4, "menu_music_2": 4, "menu_music_3": 4, "game_music_intro": 4, "game_music_a": 2,
                "game_music_b": 2, "game_music_bridge": 1, "tower_down_stinger": 0.25, "win_music_sting": 1,
                "win_music_bed": 2, "lose_music_sting": 1, "lose_music_bed": 2, "credits_music_1": 2,
                "credits_music_2": 2, "credits_music_3": 2, "game_music_fight_a": 2, "game_music_fight_b": 2,
                "game_music_fight_to_calm": 1}
PLAY_FIELD_MUSIC = 557932600
EXIT_CUE_SYNC, NEXT_BAR_SYNC, NEXT_BEAT_SYNC = 7, 2, 3
# The play field's music follows the battle (SoundProject/README.md, "The play field follows the
# battle"): a music switch container on the state group Battle, Calm playing the playlist above,
# Fight a playlist of its own; the shots set Fight, the city's fall and the music's own event Calm.
BATTLE, CALM, FIGHT = br.fnv1("Battle"), br.fnv1("Calm"), br.fnv1("Fight")
STATE_GROUP = 1
LINEAR_CURVE = 4
CALM_TO_FIGHT_FADE_MS = 250
FIGHT_PLAYLIST = (SEQUENCE_CONTINUOUS, WITHOUT_END, 0, ["game_music_fight_a", "game_music_fight_b"])
BATTLE_STATE_OF = {PLAY_FIELD_MUSIC: CALM, 737768043: FIGHT, 1205173799: FIGHT, 3873832695: CALM}
MUSIC_LOOK_AHEAD_MS = 500
STREAM_START_BUFFERING_MS = 380  # the stream manager's target buffering
TRIGGER = 0x1D00
TOWER_DOWN = 0x7B6EDE68  # "TowerDown"
TOWER_DESTROYED = (2816493517, 2592254617)
ADPCM_CUES = {3643286168, 1168262086, 2917290866, 3826206711, 300927168, 2842146700, 2152679746, 97727228,
              2383607268, 737768043, 1205173799, 844605027, 2023560711, 914471075, 2688475861, 4273342723,
              3951251861, 2816493517, 2592254617, 853173628, 3873832695}
AIRSHIP_DYING = 914471075
# The cues that vary (SoundProject/README.md, "Cues that vary"): each plays a playlist of its own
# media. Random (play mode 0) or sequence (1); a shuffle is random type 1; a weighted list names
# its weights; continuous lists walk through their media in one play, with a transition between
# them. Whatever a row leaves out is the playlist's default.
RANDOM, SEQUENCE = 0, 1
PLAYLIST_DEFAULTS = {"play_mode": SEQUENCE, "random_type": 0, "avoid_repeat": 0, "global_scope": True,
                     "reverse_at_end": False, "continuous": False, "loop_count": 1, "transition_kind": 0,
                     "transition_time": 0.0, "weights": None}
STEPPED_FIRES = {"count": 3, "play_mode": SEQUENCE, "reverse_at_end": True, "global_scope": False}
WEIGHTED_HITS = {"count": 3, "play_mode": RANDOM, "weights": [100000, 50000, 50000]}
DESTROYED = {"count": 2, "continuous": True, "transition_kind": 3, "transition_time": 150.0}
PLAYLIST_CUES = {
    2023560711: {"count": 3, "play_mode": RANDOM, "avoid_repeat": 1, "global_scope": False},
    844605027: {"count": 4, "play_mode": RANDOM, "random_type": 1},
    300927168: WEIGHTED_HITS, 2842146700: WEIGHTED_HITS,
    2152679746: STEPPED_FIRES, 97727228: STEPPED_FIRES, 2383607268: STEPPED_FIRES,
    3873832695: {"count": 3, "continuous": True, "transition_kind": 2, "transition_time": 300.0},
    2816493517: DESTROYED, 2592254617: DESTROYED,
}
CITY_FALLS = 3873832695
CITY_FALLS_SHORTEST_SECONDS = 1.0
DEFAULT_WEIGHT = 50000
# The two group nodes hold every cue on the Effects bus: the buttons' and the battle's.
UI_CUES = {66789758, 1713356576, 1713356578, 1713356579, 1697518767, 1843752364, 2983009038, 2043821631,
           1177687250}
GROUPS = {"UiCues": UI_CUES, "BattleCues": set(CUES) - UI_CUES}
# The launch cues fly across (SoundProject/README.md, "The launch cues fly across"): 3-D position
# mode 1 (P bits 0, 1 and 5), spatialized by position (Q bit 0), one path of two vertices played
# once per play by a player of its own (mode 4), an attenuation whose dry curve (role 0) falls
# linearly from 0 dB at 0 to -18 dB at 2000; the media outlast the 1.5 s flight.
LAUNCH_CUES = {3643286168, 1168262086, 2917290866}
LAUNCH_POSITIONING = 0x23
LAUNCH_POSITIONING_3D = 0x01
LAUNCH_PATH = {"mode": 4, "transition_time": 0, "vertices": [[-1000.0, 0.0, 500.0, 1500], [1000.0, 0.0, 500.0, 0]],
               "items": [[0, 2]], "ranges": [[0.0, 0.0, 0.0]]}
LAUNCH_DRY_CURVE = [(0.0, 0.0, 4), (2000.0, -18.0, 4)]
LAUNCH_MEDIA_SECONDS = 1.6
ATTENUATION = 70
NO_CURVE = 255
PREFETCH_SECONDS = 0.5
LONGEST_ONE_SHOT_SECONDS = 3.0
# The win fanfare (SoundProject/README.md, "The win fanfare"): a MIDI track (source plug-in
# (16 << 16) | 1, its media in the bank) beside the sting's audio track, whose notes play an
# instrument, a sampled A4 played key-tracked from root note 69, stopped by each note-off (MIDI play
# mode 1), on the Music bus.
WIN_MUSIC = 51240863
MIDI_SOURCE = 0x00100001
MIDI_TARGET = 56
OVERRIDES_MIDI_TARGET = 0x04  # the bank's track flag bit 2
FANFARE_NOTES = 8
FANFARE_TICKS_PER_QUARTER = 480
FANFARE_TEMPO = 120.0
INSTRUMENT = br.fnv1("Sound/fanfare_instrument")
INSTRUMENT_HZ = 440
INSTRUMENT_ROOT_NOTE = 69
# Behaviour bits: overrides the MIDI play mode, overrides key tracking, key tracking on.
INSTRUMENT_BEHAVIOUR = 0x04 | 0x08 | 0x10
MIDI_ROOT_NOTE, MIDI_PLAY_MODE = 45, 46


def midi_notes(media):
    """The notes of MIDI track media (ticks per quarter, big-endian; the tempo, a float; one track
    of events) as Debian's python3-mido reads them from the same events wrapped in a standard MIDI
    file with the tempo as its tempo event: [(note, seconds on, seconds off)] in order of their
    note-ons."""
    ticks, tempo = struct.unpack_from(">H", media)[0], struct.unpack_from("<f", media, 2)[0]
    body = (b"\x00" + mido.MetaMessage("set_tempo", tempo=mido.bpm2tempo(tempo)).bin() + media[6:] +
            bytes.fromhex("00ff2f00"))
    data = b"MThd" + struct.pack(">IHHH", 6, 0, 1, ticks) + b"MTrk" + struct.pack(">I", len(body)) + body
    now, sounding, notes = 0.0, {}, []
    for message in mido.MidiFile(file=io.BytesIO(data)):
        now += message.time
        if message.type == "note_on" and message.velocity > 0:
            sounding[message.note] = len(notes)
            notes.append([message.note, now, None])
        elif message.type in ("note_on", "note_off") and message.note in sounding:
            notes[sounding.pop(message.note)][2] = now
    return [tuple(note) for note in notes]


def read(name):
    with open(os.path.join(BANKS, name), "rb") as source:
        return source.read()


def signed_db_curve(points, x):
    """A curve of linear segments in the signed dB scaling, evaluated in exact arithmetic."""
    for (x0, y0, _), (x1, y1, _) in zip(points, points[1:]):
        if x0 <= x <= x1:
            y = y0 + (y1 - y0) * (x - x0) / (x1 - x0)
            break
    else:
        y = points[0][1] if x < points[0][0] else points[-1][1]
    if y <= -1.0:
        return -math.inf
    return 20.0 * math.log10(1.0 + y) if y < 0 else -20.0 * math.log10(1.0 - y)


def linear_curve(points, x):
    """A curve of linear segments (dB against distance), held beyond its ends."""
    for (x0, y0, _), (x1, y1, _) in zip(points, points[1:]):
        if x0 <= x <= x1:
            return y0 + (y1 - y0) * (x - x0) / (x1 - x0)
    return points[0][1] if x < points[0][0] else points[-1][1]


class InitBankTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.data = read("Init.bnk")
        cls.buses = [br.bus(body) for kind, body in br.items(br.chunk(cls.data, "HIRC"))
                     if kind == 8]

    def test_header_names_the_bank(self):
        version, bank_id = br.Cursor(br.chunk(self.data, "BKHD")).unpack("II")
        self.assertEqual((version, bank_id), (140, 0x50C63A23))

    def test_global_settings(self):
        settings = br.global_settings(br.chunk(self.data, "STMG"))
        self.assertTrue(-96.3 <= settings["volume_threshold"] <= 0.0)
        self.assertGreater(settings["max_voices"], 0)
        self.assertEqual(settings["game_parameters"], {MUSIC_VOLUME: 100.0, SFX_VOLUME: 100.0, CITY_DAMAGE: 0.0})

    def test_bus_tree(self):
        master, music, effects = self.buses
        self.assertEqual((master["parent"], master["device"]), (0, SYSTEM_DEVICE))
        self.assertEqual([music["id"], effects["id"]], [br.fnv1("Music"), br.fnv1("Effects")])
        self.assertEqual([music["parent"], effects["parent"]], [master["id"]] * 2)

    def test_the_output_device_is_the_system_share_set(self):
        (device,) = [body for kind, body in br.items(br.chunk(self.data, "HIRC")) if kind == 21]
        self.assertEqual(len(device), 21, "the minimal body: no data, media, curves or effects")
        self.assertEqual(br.Cursor(device).unpack("III"), (SYSTEM_DEVICE, 0xAE0007, 0))
        self.assertEqual(device[12:], bytes(9), "no media, subscriptions, states, values or effects")

    def test_volume_levels_drive_the_two_buses(self):
        for bus, parameter in ((self.buses[1], MUSIC_VOLUME), (self.buses[2], SFX_VOLUME)):
            (entry,) = bus["rtpc"]
            self.assertEqual((entry["parameter"], entry["scaling"]), (parameter, 2))
            self.assertAlmostEqual(signed_db_curve(entry["points"], 100), 0.0, places=3)
            self.assertLessEqual(signed_db_curve(entry["points"], 0), -96.3)
            self.assertAlmostEqual(signed_db_curve(entry["points"], 50), -6.0, delta=0.1)


class MainBankTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.data = read("Main.bnk")
        cls.index = br.media_index(br.chunk(cls.data, "DIDX"))
        cls.media_data = br.chunk(cls.data, "DATA")
        cls.order = br.items(br.chunk(cls.data, "HIRC"))
        cls.sounds = {s["id"]: s for s in (br.sound(b) for t, b in cls.order if t == 2)}
        cls.playlists = {p["id"]: p for p in (br.playlist(b) for t, b in cls.order if t == 5)}
        cls.groups = {g["id"]: g for g in (br.group(b) for t, b in cls.order if t == 7)}
        cls.switches = {w["id"]: w for w in (br.switch(b) for t, b in cls.order if t == 6)}
        cls.layered = {c["id"]: c for c in (br.layered(b) for t, b in cls.order if t == 9)}
        cls.segments = {m["id"]: m for m in (br.music_segment(b) for t, b in cls.order if t == 10)}
        cls.tracks = {m["id"]: m for m in (br.music_track(b) for t, b in cls.order if t == 11)}
        cls.music_playlists = {m["id"]: m for m in (br.music_playlist(b) for t, b in cls.order if t == 13)}
        cls.music_switches = {m["id"]: m for m in (br.music_switch(b) for t, b in cls.order if t == 12)}
        containers = (list(cls.playlists.values()) + list(cls.groups.values()) + list(cls.switches.values()) +
                      list(cls.layered.values()) + list(cls.segments.values()) + list(cls.music_playlists.values()) +
                      list(cls.music_switches.values()))
        cls.parents = {child: container["id"] for container in containers for child in container["children"]}
        cls.actions = {a["id"]: a for a in (br.action(b) for t, b in cls.order if t == 3)}
        cls.events = {e["id"]: e for e in (br.event(b) for t, b in cls.order if t == 4)}
        with open(os.path.join(PROJECT, "Main.json"), "r", encoding="utf-8") as source:
            description = json.load(source)
        media = description["media"] + description["streamed"]
        cls.dominant = {br.fnv1(m["id"]): m["dominant_hz"] for m in media if "midi" not in m}
        cls.waves = {br.fnv1(m["id"]): m["wave"] for m in media if "midi" not in m}
        cls.decoded = {}

    def target(self, event_id):
        """The node the event's cue plays."""
        return self.actions[self.cue_action(event_id)]["target"]

    def sounds_under(self, node_id):
        """The sounds a play of the node may reach: the node itself, or its containers' children
        followed down to their sounds, in child order."""
        if node_id in self.sounds:
            return [self.sounds[node_id]]
        container = (self.playlists.get(node_id) or self.groups.get(node_id) or self.switches.get(node_id) or
                     self.layered.get(node_id))
        self.assertIsNotNone(container, "node %d is a sound or a container of the bank" % node_id)
        return [sound for child in container["children"] for sound in self.sounds_under(child)]

    def music_sources(self, node_id):
        """The audio sources of the tracks of a music segment, or of every segment below a music
        container; None for a node that is neither. (A MIDI track's source is its notes: see
        midi_tracks.)"""
        container = self.music_playlists.get(node_id) or self.music_switches.get(node_id)
        if container is not None:
            return [source for child in container["children"] for source in self.music_sources(child)]
        segment = self.segments.get(node_id)
        if segment is None:
            return None
        return [source for track in self.audio_tracks(segment) for source in self.tracks[track]["sources"]]

    def is_midi_track(self, track_id):
        return any(source["plugin"] == MIDI_SOURCE for source in self.tracks[track_id]["sources"])

    def audio_tracks(self, segment):
        return [track for track in segment["children"] if not self.is_midi_track(track)]

    def midi_tracks(self, segment):
        return [track for track in segment["children"] if self.is_midi_track(track)]

    def music_tree(self, node_id):
        """A music node and every node below it: containers, segments and their tracks."""
        container = self.music_playlists.get(node_id) or self.music_switches.get(node_id) or self.segments.get(node_id)
        below = container["children"] if container is not None else []
        return [node_id] + [node for child in below for node in self.music_tree(child)]

    def screen_music(self, event_id):
        """The music playlist container of a screen music: the event's target, or for the play field
        the calm playlist its switch container plays first."""
        target = self.target(event_id)
        return self.music_switches[target]["tree"][CALM] if target in self.music_switches else target

    def assert_in_bank(self, source):
        """The media of a sound or track source lies whole in the bank's DATA, 16-byte aligned."""
        offset, size = self.index[source["source"]]
        self.assertEqual(source["media_size"], size)
        self.assertEqual(offset % 16, 0)
        self.assertLessEqual(offset + size, len(self.media_data))

    def cue_sounds(self, event_id):
        return self.sounds_under(self.target(event_id))

    def played_sources(self, event_id):
        """What an event's cue plays from media: the sounds under its target, or the sources of a
        music segment's tracks (both name their media as "source", with its stream type)."""
        return self.music_sources(self.target(event_id)) or self.cue_sounds(event_id)

    def sound_of(self, event_id):
        """The one sound of an event that plays a sound directly."""
        sound = self.sounds.get(self.target(event_id))
        self.assertIsNotNone(sound, "event %d plays a sound" % event_id)
        return sound

    def output_bus(self, node_id):
        """The bus a node is heard on: its own, else its nearest ancestor's."""
        while True:
            node = (self.sounds.get(node_id) or self.playlists.get(node_id) or self.groups.get(node_id) or
                    self.switches.get(node_id) or self.layered.get(node_id) or self.segments.get(node_id) or
                    self.tracks.get(node_id) or self.music_playlists.get(node_id) or self.music_switches.get(node_id))
            if node["bus"] != 0 or node_id not in self.parents:
                return node["bus"]
            node_id = self.parents[node_id]

    def in_bank(self, media_id):
        offset, size = self.index[media_id]
        return self.media_data[offset:offset + size]

    def loose_file(self, media_id):
        return read("%d.oxm" % media_id)

    def media_bytes(self, sound):
        """The whole media the sound plays: in the bank, or its loose file."""
        if sound["stream_type"] == 0:
            return self.in_bank(sound["source"])
        return self.loose_file(sound["source"])

    def cue_action(self, event_id):
        """The play action of the event's cue: its only action, the first of the hover event,
        whose second one plays the silence that holds it, or the second of the city hit, whose
        first one adds to the city's damage; the set-switch actions of the tower's destroyed events
        and the battle's set-state actions come before it, the destroyed events' trigger actions
        after it."""
        actions = [a for a in self.events[event_id]["actions"]
                   if self.actions[a]["type"] not in (SET_SWITCH_ON_OBJECT, SET_STATE, TRIGGER)]
        self.assertEqual(len(actions), 2 if event_id in (MENU_HOVER, CITY_HIT) else 1, event_id)
        return actions[1] if event_id == CITY_HIT else actions[0]

    def playlist_of(self, event_id):
        """The playlist of a cue that varies: the event's target, or the playlist below the layered
        container of the city hit."""
        target = self.target(event_id)
        if target in self.layered:
            (target,) = [child for child in self.layered[target]["children"] if child in self.playlists]
        return target

    def test_the_hover_event_is_held_by_a_silence(self):
        hold = self.actions[self.events[MENU_HOVER]["actions"][1]]
        self.assertEqual((hold["type"], hold["target_is_bus"]), (PLAY, 0))
        sound = self.sounds[hold["target"]]
        self.assertEqual((sound["plugin"], sound["media_size"], self.output_bus(sound["id"])),
                         (SILENCE_SOURCE, 0, br.fnv1("Effects")))
        (effect,) = [body for kind, body in self.order
                     if kind == 17 and br.Cursor(body).u32() == sound["source"]]
        effect_id, plugin, size = br.Cursor(effect).unpack("III")
        self.assertEqual((plugin, size), (SILENCE_SOURCE, 12))
        duration, low, high = struct.unpack_from("<3f", effect, 12)
        blip = self.media(self.sound_of(MENU_HOVER))
        blip_seconds = blip["data_size"] // blip["block_align"] / blip["rate"]
        self.assertAlmostEqual(duration, blip_seconds + 0.15, places=5)
        self.assertEqual((low, struct.pack("<f", high)), (0.0, struct.pack("<f", 0.1)))
        self.assertEqual(sound["params"], effect[12:24], "the sound's block is the effect's")

    def media(self, sound):
        """The decoded media that the sound plays (ADPCM decoded by ffmpeg)."""
        if sound["source"] not in self.decoded:
            data = self.media_bytes(sound)
            tag = struct.unpack_from("<H", data, dict((t, o) for t, o, _ in br.wave_chunks(data))["fmt "])[0]
            self.decoded[sound["source"]] = br.adpcm_wave(data) if tag == ADPCM_TAG else br.wave(data)
        return self.decoded[sound["source"]]

    def seconds(self, sound):
        media = self.media(sound)
        return len(media["samples"]) / media["channels"] / media["rate"]

    def test_every_posted_event_plays_sounds_whose_media_are_in_the_bank(self):
        self.assertEqual(set(self.events), GAME_EVENTS)
        for event_id in GAME_EVENTS:
            play = self.actions[self.cue_action(event_id)]
            self.assertEqual((play["type"], play["target_is_bus"]), (PLAY, 0))
            sources = self.music_sources(play["target"])
            if sources is not None:
                # A music object: the jingle's tracks play 16-bit PCM from this bank, the screen
                # musics' ADPCM streamed as the table of storage says.
                self.assertTrue(sources, "the music object's tracks have sources")
                for source in sources:
                    with self.subTest(event=event_id, source=source["source"]):
                        if event_id not in SCREEN_MUSICS:
                            self.assertEqual((source["plugin"], source["stream_type"]), (PCM_CODEC, 0))
                            self.assert_in_bank(source)
                            continue
                        self.assertEqual((source["plugin"], source["stream_type"]),
                                         (ADPCM_CODEC, MUSIC_STREAM_TYPES[event_id]))
                        if source["stream_type"] == 2:
                            self.assertNotIn(source["source"], self.index, "streamed from its file alone")
                            self.assertEqual(source["media_size"], len(self.loose_file(source["source"])))
                        else:
                            self.assert_in_bank(source)
                continue
            for sound in self.cue_sounds(event_id):
                with self.subTest(event=event_id, sound=sound["id"]):
                    codec = ADPCM_CODEC if event_id in ADPCM_CUES else PCM_CODEC
                    self.assertEqual((sound["plugin"], sound["stream_type"]), (codec, 0))
                    if event_id not in LAUNCH_CUES:
                        self.assertFalse(sound["positioning"] & 2, "unpositioned: no 3-D")
                    self.assert_in_bank(sound)

    def test_the_cues_that_vary_are_playlists_of_their_own_media(self):
        media_of_playlists = []
        for event_id in SOUND_EVENTS:
            with self.subTest(event=event_id):
                if event_id == TOWER_REWARD:
                    continue  # a switch container of one sound per material (below)
                if event_id not in PLAYLIST_CUES:
                    self.assertIn(self.target(event_id), self.sounds, "plays its one sound")
                    continue
                expected = dict(PLAYLIST_DEFAULTS, **PLAYLIST_CUES[event_id])
                playlist = self.playlists[self.playlist_of(event_id)]
                self.assertEqual(len(playlist["children"]), expected["count"])
                self.assertTrue(all(child in self.sounds for child in playlist["children"]), "a list of sounds")
                weights = expected["weights"] or [DEFAULT_WEIGHT] * expected["count"]
                self.assertEqual(playlist["entries"], list(zip(playlist["children"], weights)), "every child, in order")
                for key in ("play_mode", "random_type", "avoid_repeat", "global_scope", "reverse_at_end",
                            "continuous", "loop_count", "transition_kind", "transition_time"):
                    self.assertEqual(playlist[key], expected[key], key)
                self.assertEqual((playlist["loop_min"], playlist["loop_max"], playlist["transition_min"],
                                  playlist["transition_max"]), (0, 0, 0.0, 0.0), "nothing drawn")
                media_of_playlists += [sound["source"] for sound in self.sounds_under(playlist["id"])]
        self.assertEqual(len(media_of_playlists), len(set(media_of_playlists)), "no media in two places")

    def test_the_city_hit_adds_damage_and_crossfades_its_impacts_into_a_crumble(self):
        damage, play = (self.actions[action] for action in self.events[CITY_HIT]["actions"])
        self.assertEqual((damage["type"], damage["target"]), (SET_GAME_PARAMETER, CITY_DAMAGE))
        # Curve, bypass flag, then meaning 2 (an offset) and the value 10.
        self.assertEqual(struct.unpack_from("<BBBf", damage["params"]), (4, 0, 2, 10.0))
        container = self.layered[play["target"]]
        self.assertFalse(container["continuous"], "a hit's playing id ends with its sounds")
        impacts, crumble = container["children"]
        self.assertIn(impacts, self.playlists)
        self.assertIn(crumble, self.sounds)
        (layer,) = container["layers"]
        self.assertEqual((layer["crossfade"], layer["rtpc"]), (CITY_DAMAGE, []))
        curves = {association["child"]: association["points"] for association in layer["associations"]}
        for value in (0, 25, 50, 100, 150):
            held = min(value, 100)
            self.assertAlmostEqual(linear_curve(curves[impacts], value), 1 - held / 100)
            self.assertAlmostEqual(linear_curve(curves[crumble], value), held / 100)

    def test_the_city_falls_through_media_longer_than_their_overlap(self):
        sounds = self.cue_sounds(CITY_FALLS)
        for sound in sounds:
            self.assertGreaterEqual(self.seconds(sound), CITY_FALLS_SHORTEST_SECONDS)

    def test_the_opening_jingle_is_a_segment_of_clips_one_beat_apart(self):
        segment = self.segments.get(self.target(OPENING_JINGLE))
        self.assertIsNotNone(segment, "the jingle's event plays a music segment")
        self.assertEqual({key: segment["grid"][key] for key in JINGLE_GRID}, JINGLE_GRID)
        beat = 60000.0 / JINGLE_GRID["tempo"]
        # The first marker is the entry cue, the last the exit cue.
        entry, exit_cue = segment["markers"][0][1], segment["markers"][-1][1]
        self.assertEqual((entry, exit_cue - entry, segment["duration_ms"] - exit_cue),
                         (beat, JINGLE_GRID["beats_per_bar"] * beat, beat), "a one-beat pickup, a bar, a one-beat tail")
        self.assertLessEqual(segment["duration_ms"], 1000.0 * LONGEST_ONE_SHOT_SECONDS)
        self.assertEqual(self.output_bus(segment["id"]), br.fnv1("Music"))
        (track_id,) = segment["children"]
        track = self.tracks[track_id]
        self.assertEqual(track["bus"], 0, "heard through the segment's bus")
        clips = track["clips"]
        self.assertEqual([clip["position_ms"] for clip in clips], [index * beat for index in range(JINGLE_CLIPS)],
                         "the pickup at the start of the pre-entry, then one clip on each beat of the bar")
        self.assertEqual(len({clip["source"] for clip in clips}), JINGLE_CLIPS, "a media of its own for each note")
        sources = {source["source"]: source for source in track["sources"]}
        for index, clip in enumerate(clips):
            with self.subTest(clip=index):
                media = self.media(sources[clip["source"]])
                self.assertEqual((media["rate"], media["channels"], media["bits"]), (48000, 1, 16))
                self.assertEqual((clip["event"], clip["start_trim_ms"], clip["end_trim_ms"]), (0, 0.0, 0.0))
                self.assertEqual(clip["duration_ms"], 1000.0 * self.seconds(sources[clip["source"]]), "the whole media")
                ends = clip["position_ms"] + clip["duration_ms"]
                if index + 1 < len(clips):
                    self.assertLessEqual(ends, clips[index + 1]["position_ms"], "one note at a time")
                else:
                    self.assertEqual(ends, segment["duration_ms"], "the last note rings through the tail")

    def test_the_win_musics_sting_carries_a_fanfare_of_eight_notes_on_a_key_tracked_instrument(self):
        (sting_id, _) = self.music_playlists[self.target(WIN_MUSIC)]["children"]
        sting = self.segments[sting_id]
        (track_id,) = self.midi_tracks(sting)
        track = self.tracks[track_id]
        (source,) = track["sources"]
        (clip,) = track["clips"]
        self.assertEqual(source["stream_type"], 0)
        self.assert_in_bank(source)
        self.assertEqual((clip["source"], clip["position_ms"], clip["start_trim_ms"], clip["end_trim_ms"]),
                         (source["source"], 0.0, 0.0, 0.0))
        entry, exit_cue = sting["markers"][0][1], sting["markers"][-1][1]
        self.assertEqual((clip["position_ms"], clip["duration_ms"]), (entry, exit_cue - entry), "over the sting's bar")
        self.assertTrue(track["track_flags"] & OVERRIDES_MIDI_TARGET, "the track names its own target")
        self.assertEqual(struct.unpack("<I", track["props"][MIDI_TARGET])[0], INSTRUMENT)
        self.assertEqual((track["bus"], track["look_ahead_ms"]), (0, 0), "in the bank: nothing to read ahead")

        media = self.in_bank(source["source"])
        self.assertEqual((struct.unpack_from(">H", media)[0], struct.unpack_from("<f", media, 2)[0]),
                         (FANFARE_TICKS_PER_QUARTER, FANFARE_TEMPO))
        notes = midi_notes(media)
        self.assertEqual(len(notes), FANFARE_NOTES)
        self.assertEqual(len({note for note, _, _ in notes}), FANFARE_NOTES, "each note a pitch of its own")
        instrument = self.sounds[INSTRUMENT]
        seconds = self.seconds(instrument)
        for index, (note, on, off) in enumerate(notes):
            with self.subTest(note=index):
                self.assertIsNotNone(off, "every note-on has its note-off")
                self.assertLessEqual(1000.0 * off, clip["duration_ms"], "within the clip")
                if index + 1 < len(notes):
                    self.assertLess(off, notes[index + 1][1], "one note at a time")
                # Key tracking plays the media faster by the note's ratio to the root: it must last.
                ratio = 2.0 ** ((note - INSTRUMENT_ROOT_NOTE) / 12.0)
                self.assertLess((off - on) * ratio, seconds, "the instrument's media outlasts the note")
                hz = INSTRUMENT_HZ * ratio
                for segment_hz in (self.dominant[sound["source"]] for sound in self.music_sources(self.target(WIN_MUSIC))):
                    self.assertGreaterEqual(abs(hz - segment_hz), 20, "told apart from the sting and the bed")

        self.assertEqual((instrument["plugin"], instrument["stream_type"]), (PCM_CODEC, 0))
        self.assert_in_bank(instrument)
        self.assertEqual(self.output_bus(INSTRUMENT), br.fnv1("Music"))
        self.assertNotIn(INSTRUMENT, self.parents, "played by the notes alone")
        self.assertEqual(instrument["behaviour"] & INSTRUMENT_BEHAVIOUR, INSTRUMENT_BEHAVIOUR)
        self.assertEqual({prop: struct.unpack("<i", instrument["props"][prop])[0] for prop in (MIDI_ROOT_NOTE, MIDI_PLAY_MODE)},
                         {MIDI_ROOT_NOTE: INSTRUMENT_ROOT_NOTE, MIDI_PLAY_MODE: 1})
        self.assertEqual(self.dominant[instrument["source"]], INSTRUMENT_HZ)
        decoded = self.media(instrument)
        self.assertEqual((decoded["rate"], decoded["channels"], decoded["bits"]), (48000, 1, 16))
        mono = np.array(decoded["samples"], dtype=np.float64)
        size = 4 * decoded["rate"]
        magnitude = np.abs(np.fft.rfft(mono * np.hanning(len(mono)), size))
        self.assertAlmostEqual(np.fft.rfftfreq(size, 1.0 / decoded["rate"])[np.argmax(magnitude)], INSTRUMENT_HZ, delta=0.5)

    def test_streamed_media_have_their_files_and_prefetch_copies_their_first_bytes(self):
        for event_id, stream_type in MUSIC_STREAM_TYPES.items():
            for sound in self.music_sources(self.target(event_id)):
                with self.subTest(event=event_id, media=sound["source"]):
                    self.check_streamed_media(sound, stream_type)

    def check_streamed_media(self, sound, stream_type):
        """A streamed media has its loose file; a prefetch copy holds the file's first half second,
        ending inside a block."""
        data = self.loose_file(sound["source"])
        if stream_type != 1:
            return
        prefetch = self.in_bank(sound["source"])
        self.assertEqual(prefetch, data[:len(prefetch)])
        media = self.media(sound)
        header = len(data) - media["data_size"]
        blocks, inside = divmod(len(prefetch) - header, media["block_align"])
        self.assertNotEqual(inside, 0, "the copy ends inside a block")
        self.assertAlmostEqual(blocks * br.ADPCM_FRAMES_PER_BLOCK / media["rate"], PREFETCH_SECONDS, delta=0.01)

    def test_the_tower_reward_is_the_rubble_of_the_material_its_tower_set(self):
        rubble = self.switches.get(self.target(TOWER_REWARD))
        self.assertIsNotNone(rubble, "a switch container")
        wood, stone = br.fnv1("Wood"), br.fnv1("Stone")
        self.assertEqual((rubble["group_type"], rubble["group"], rubble["default"], rubble["continuous"]),
                         (0, br.fnv1("TowerMaterial"), stone, 0))
        self.assertEqual(rubble["values"], {wood: [br.fnv1("Sound/tower_reward_wood")],
                                            stone: [br.fnv1("Sound/tower_reward")]})
        self.assertEqual(sorted(rubble["children"]), sorted(rubble["values"][wood] + rubble["values"][stone]))
        self.assertEqual([self.dominant[self.sounds[c]["source"]] for c in (rubble["values"][wood] + rubble["values"][stone])],
                         [2349, 1245])
        for sound in self.cue_sounds(TOWER_REWARD):
            self.assertGreaterEqual(self.seconds(sound), 2.5, "the envelope, not the media, ends it")
        self.assertEqual([r["parameter"] for r in rubble["rtpc"]], [br.fnv1("Modulator/rubble_fade")])
        for event_id, value in ((2816493517, wood), (2592254617, stone)):
            with self.subTest(event=event_id):
                first, play, _ = self.events[event_id]["actions"]
                (body,) = [b for t, b in self.order if t == 3 and br.Cursor(b).u32() == first]
                cursor = br.Cursor(body)
                action_id, kind = cursor.unpack("IH")
                self.assertEqual((action_id, kind), (first, SET_SWITCH_ON_OBJECT))
                self.assertEqual(self.actions[play]["type"], PLAY)
                self.assertIn(struct.pack("<II", br.fnv1("TowerMaterial"), value), body)

    def test_items_come_before_the_items_that_name_them(self):
        seen = set()
        for kind, body in self.order:
            # set-switch, set-parameter and trigger actions name groups, parameters and triggers,
            # not items
            if kind == 3 and br.action(body)["type"] not in (SET_SWITCH_ON_OBJECT, SET_STATE, SET_GAME_PARAMETER, TRIGGER):
                self.assertIn(br.action(body)["target"], seen)
            if kind == 4:
                self.assertTrue(set(br.event(body)["actions"]) <= seen)
            if kind in (5, 6, 7, 9, 10, 12, 13):
                read_container = {5: br.playlist, 6: br.switch, 7: br.group, 9: br.layered, 10: br.music_segment,
                                  12: br.music_switch, 13: br.music_playlist}[kind]
                self.assertTrue(set(read_container(body)["children"]) <= seen)
            seen.add(br.Cursor(body).u32())

    def test_sounds_route_to_the_buses_of_the_init_bank(self):
        init_buses = {br.bus(b)["id"] for t, b in br.items(br.chunk(read("Init.bnk"), "HIRC"))
                      if t == 8}
        self.assertIn(br.fnv1("Music"), init_buses)
        for event_id in SOUND_EVENTS:
            for sound in self.cue_sounds(event_id):
                with self.subTest(event=event_id, sound=sound["id"]):
                    self.assertEqual(self.output_bus(sound["id"]), br.fnv1("Effects"))
        for event_id in SCREEN_MUSICS:
            for node in self.music_tree(self.target(event_id)):
                with self.subTest(event=event_id, node=node):
                    self.assertEqual(self.output_bus(node), br.fnv1("Music"))

    def test_two_groups_hold_every_cue_on_the_effects_bus(self):
        self.assertEqual(set(self.groups), {br.fnv1(name) for name in GROUPS})
        for name, events in GROUPS.items():
            group = self.groups[br.fnv1(name)]
            with self.subTest(group=name):
                self.assertEqual((group["bus"], br.fnv1(name) in self.parents), (br.fnv1("Effects"), False))
                targets = {self.target(event_id) for event_id in events}
                # Besides the cues' targets the UI group holds the hover cue's silence.
                holds = targets | ({self.actions[self.events[MENU_HOVER]["actions"][1]]["target"]}
                                   if MENU_HOVER in events else set())
                self.assertEqual(set(group["children"]), holds)
        for node in list(self.sounds.values()) + list(self.playlists.values()) + list(self.layered.values()):
            if node["id"] in self.parents:
                with self.subTest(node=node["id"]):
                    self.assertEqual(node["bus"], 0, "heard through the group's bus")
        for event_id in set(SCREEN_MUSICS) | {OPENING_JINGLE}:
            self.assertNotIn(self.target(event_id), self.parents, "the musics stay on their own")

    def test_the_cues_play_once(self):
        for event_id in SOUND_EVENTS:
            for sound in self.cue_sounds(event_id):
                with self.subTest(event=event_id, sound=sound["id"]):
                    loops = int.from_bytes(sound["props"].get(LOOP_COUNT, b"\x01\0\0\0"), "little")
                    self.assertEqual(loops, 1)
                    self.assertLessEqual(self.seconds(sound), LONGEST_ONE_SHOT_SECONDS)

    def playlist_tree(self, items):
        """The nested form of SCREEN_MUSIC_PLAYLISTS of depth-first playlist items (consumed from
        the front): a group as (mode, loop count, avoid-repeat, children), a leaf as its segment's
        key; every item is played with weight 50000, and a leaf once."""
        item = items.pop(0)
        self.assertEqual(item["weight"], DEFAULT_WEIGHT)
        if item["segment"] != 0:
            self.assertEqual((item["child_count"], item["repeat"]), (0, 1), "a leaf plays its segment once")
            (key,) = [k for k in SEGMENT_BARS if br.fnv1("Segment/" + k) == item["segment"]]
            return key
        children = [self.playlist_tree(items) for _ in range(item["child_count"])]
        self.assertEqual((item["repeat_low"], item["repeat_high"]), (0, 0), "nothing drawn")
        return (item["mode"], item["repeat"], item["avoid_repeat"], children)

    def test_the_screen_musics_are_playlists_of_segments_that_change_at_their_exit_cues(self):
        for event_id, expected in SCREEN_MUSIC_PLAYLISTS.items():
            with self.subTest(event=event_id):
                container = self.music_playlists.get(self.screen_music(event_id))
                self.assertIsNotNone(container, "the event plays a music playlist container")
                played = self.music_switches.get(self.target(event_id)) or container
                self.assertEqual(struct.unpack("<f", played["props"][VOICE_VOLUME])[0], MUSIC_VOLUME_DB)
                self.assertEqual({key: container["grid"][key] for key in MUSIC_GRID}, MUSIC_GRID)
                items = list(container["items"])
                self.assertEqual(self.playlist_tree(items), expected)
                self.assertEqual(items, [], "one root group holds every item")
                # The first rule, from any segment to any: out at the exit cue with the post-exit,
                # in at the entry cue with the pre-entry, no fades, no transition segment.
                rule = container["rules"][0]
                self.assertEqual((rule["sources"], rule["destinations"]), ([0xFFFFFFFF], [0xFFFFFFFF]))
                self.assertEqual(rule["source"], {"fade_time": 0, "curve": 0, "offset": 0, "sync": EXIT_CUE_SYNC,
                                                  "cue": 0, "post_exit": 1})
                self.assertEqual(rule["destination"], {"fade_time": 0, "curve": 0, "offset": 0, "cue": 0, "value": 0,
                                                       "mode": 0, "entry": 0, "pre_entry": 1, "use_source_cue": 0})
                self.assertIsNone(rule["segment"])
                played = {br.fnv1("Segment/" + key) for key in SEGMENT_BARS if key in str(expected)}
                self.assertLessEqual(played, set(container["children"]), "its segments hang below it")
        # The play field's second rule: from its second segment back to its first through the bridge.
        play_field = self.music_playlists[self.screen_music(PLAY_FIELD_MUSIC)]
        self.assertEqual(len(play_field["rules"]), 2)
        bridge = play_field["rules"][1]
        self.assertEqual((bridge["sources"], bridge["destinations"]),
                         ([br.fnv1("Segment/game_music_b")], [br.fnv1("Segment/game_music_a")]))
        self.assertEqual((bridge["source"]["sync"], bridge["source"]["post_exit"], bridge["destination"]["pre_entry"]),
                         (EXIT_CUE_SYNC, 1, 1))
        self.assertEqual(bridge["segment"], {"id": br.fnv1("Segment/game_music_bridge"), "fade_in_time": 0,
                                             "fade_in_curve": 0, "fade_in_offset": 0, "fade_out_time": 0,
                                             "fade_out_curve": 0, "fade_out_offset": 0, "pre_entry": 1, "post_exit": 1})
        self.assertIn(bridge["segment"]["id"], play_field["children"])
        for event_id in set(SCREEN_MUSICS) - {PLAY_FIELD_MUSIC}:
            self.assertEqual(len(self.music_playlists[self.screen_music(event_id)]["rules"]), 1, event_id)

    def test_each_music_segment_is_whole_bars_of_one_clip_with_a_one_beat_tail(self):
        for key, bars in SEGMENT_BARS.items():
            with self.subTest(segment=key):
                segment = self.segments[br.fnv1("Segment/" + key)]
                self.assertEqual({k: segment["grid"][k] for k in MUSIC_GRID}, MUSIC_GRID)
                active = bars * MUSIC_GRID["beats_per_bar"] * BEAT_MS
                self.assertEqual([position for _, position, _ in segment["markers"]], [0.0, active],
                                 "the entry cue at 0, the exit cue after the bars")
                self.assertEqual(segment["duration_ms"], active + BEAT_MS, "a one-beat post-exit")
                (track_id,) = self.audio_tracks(segment)
                track = self.tracks[track_id]
                (source,) = track["sources"]
                (clip,) = track["clips"]
                self.assertEqual((clip["source"], clip["position_ms"], clip["start_trim_ms"], clip["end_trim_ms"]),
                                 (source["source"], 0.0, 0.0, 0.0))
                self.assertEqual(clip["duration_ms"], segment["duration_ms"], "the clip fills the segment")
                self.assertAlmostEqual(1000.0 * self.seconds(source), segment["duration_ms"], places=6,
                                       msg="the whole media")
                # The look-ahead covers the stream's start: its prefetch copy, or the first buffering.
                self.assertEqual(track["look_ahead_ms"], MUSIC_LOOK_AHEAD_MS)
                self.assertGreaterEqual(MUSIC_LOOK_AHEAD_MS, max(1000.0 * PREFETCH_SECONDS, STREAM_START_BUFFERING_MS))
                self.assertEqual((segment["bus"], track["bus"], segment["props"], track["props"]), (0, 0, {}, {}),
                                 "heard through the container, at its volume")
                media = self.media(source)
                samples = np.array(media["samples"], dtype=np.float64).reshape(-1, media["channels"])
                tail = samples[-int(media["rate"] * 0.01):]
                self.assertLess(np.max(np.abs(tail)), 0.01 * 32768, "the post-exit rings out to silence")

    def test_a_falling_tower_triggers_the_play_field_musics_stinger(self):
        battle = self.music_switches[self.target(PLAY_FIELD_MUSIC)]
        stingers = battle["stingers"]
        self.assertEqual(stingers, [{"trigger": TOWER_DOWN, "segment": br.fnv1("Segment/tower_down_stinger"),
                                     "sync": NEXT_BEAT_SYNC, "cue": 0, "min_ms": 1000, "next_segment": 1}])
        self.assertIn(stingers[0]["segment"], battle["children"])
        for playlist in battle["tree"].values():
            self.assertEqual(self.music_playlists[playlist]["stingers"], [], "the stinger sits on the switch alone")
        for event_id in TOWER_DESTROYED:
            with self.subTest(event=event_id):
                trigger = self.actions[self.events[event_id]["actions"][-1]]
                self.assertEqual(trigger["type"] >> 8, TRIGGER >> 8)
                self.assertEqual(trigger["type"] & 1, 0, "scope bit 0 clear: every game object")
                self.assertEqual((trigger["target"], trigger["target_is_bus"], trigger["params"]), (TOWER_DOWN, 0, b""))
        for event_id in GAME_EVENTS - set(TOWER_DESTROYED):
            for action in self.events[event_id]["actions"]:
                self.assertNotEqual(self.actions[action]["type"] >> 8, TRIGGER >> 8, event_id)

    def test_the_play_field_music_follows_the_battle(self):
        battle = self.music_switches.get(self.target(PLAY_FIELD_MUSIC))
        self.assertIsNotNone(battle, "the play field's event plays a music switch container")
        calm, fight = battle["tree"][CALM], battle["tree"][FIGHT]
        self.assertEqual((battle["arguments"], battle["tree"]), ([(BATTLE, STATE_GROUP)], {0: calm, CALM: calm, FIGHT: fight}))
        self.assertEqual(battle["state_groups"], [{"id": BATTLE, "sync": NEXT_BEAT_SYNC, "states": []}],
                         "a change of Battle is held to the next beat")
        self.assertEqual((battle["bus"], {k: battle["grid"][k] for k in MUSIC_GRID}), (br.fnv1("Music"), MUSIC_GRID))
        transition = br.fnv1("Segment/game_music_fight_to_calm")
        self.assertEqual(set(battle["children"]), {calm, fight, transition, br.fnv1("Segment/tower_down_stinger")})
        for playlist in (calm, fight):
            self.assertEqual((self.music_playlists[playlist]["bus"], self.music_playlists[playlist]["props"]), (0, {}),
                             "heard through the switch container, at its volume")
        items = list(self.music_playlists[fight]["items"])
        self.assertEqual(self.playlist_tree(items), FIGHT_PLAYLIST)
        any_rule, to_fight, to_calm = battle["rules"]
        self.assertEqual((any_rule["sources"], any_rule["destinations"], any_rule["source"]["sync"], any_rule["segment"]),
                         ([0xFFFFFFFF], [0xFFFFFFFF], EXIT_CUE_SYNC, None))
        # Calm to fight: out at the next bar, the calm faded over 250 ms from the exit point on (its
        # offset equal to its duration) through its post-exit; the fight in at its entry cue.
        self.assertEqual((to_fight["sources"], to_fight["destinations"], to_fight["segment"]), ([calm], [fight], None))
        self.assertEqual(to_fight["source"], {"fade_time": CALM_TO_FIGHT_FADE_MS, "curve": LINEAR_CURVE,
                                              "offset": CALM_TO_FIGHT_FADE_MS, "sync": NEXT_BAR_SYNC, "cue": 0,
                                              "post_exit": 1})
        self.assertEqual((to_fight["destination"]["mode"], to_fight["destination"]["entry"],
                          to_fight["destination"]["fade_time"]), (0, 0, 0))
        # Fight to calm: out at the exit cue through the one-bar transition segment.
        self.assertEqual((to_calm["sources"], to_calm["destinations"]), ([fight], [calm]))
        self.assertEqual((to_calm["source"]["sync"], to_calm["source"]["post_exit"], to_calm["source"]["fade_time"]),
                         (EXIT_CUE_SYNC, 1, 0))
        self.assertEqual(to_calm["segment"], {"id": transition, "fade_in_time": 0, "fade_in_curve": 0, "fade_in_offset": 0,
                                              "fade_out_time": 0, "fade_out_curve": 0, "fade_out_offset": 0,
                                              "pre_entry": 1, "post_exit": 1})
        # The events set the state before they play: the music's own Calm, the shots Fight, the fall Calm.
        for event_id, state in BATTLE_STATE_OF.items():
            with self.subTest(event=event_id):
                set_state, play = (self.actions[action] for action in self.events[event_id]["actions"])
                self.assertEqual((set_state["type"], set_state["params"]), (SET_STATE, struct.pack("<II", BATTLE, state)))
                self.assertEqual(play["type"], PLAY)
        self.assertIn(BATTLE, br.global_settings(br.chunk(read("Init.bnk"), "STMG"))["state_groups"])

    def test_every_event_lists_its_own_actions(self):
        # An event's actions are listed through the actions themselves: one listed by a second event
        # would be dropped from it.
        listed = [action for event in self.events.values() for action in event["actions"]]
        self.assertEqual(len(listed), len(set(listed)))

    def attenuation_of(self, sound):
        """The attenuation item the sound names."""
        wanted = struct.unpack("<I", sound["props"][ATTENUATION])[0]
        (body,) = [b for t, b in self.order if t == 14 and br.Cursor(b).u32() == wanted]
        return br.attenuation(body)

    def output_tone_db(self, sound):
        """The level, in dBFS per output channel, of the sound's dominant tone: its amplitude in the
        description, spread onto two channels, and the sound's voice volume from the bank. A cue that
        flies along a path is taken where it is quietest on its nearer channel, at the path's ends:
        there it lies beyond the stereo speakers, wholly on one channel, attenuated by the dry curve at
        the vertex's distance."""
        wave = self.waves[sound["source"]]
        amplitude = max(part.get("amp", 0.0) for part in wave["parts"]
                        if part.get("tone") == self.dominant[sound["source"]])
        spread = 1.0 if wave.get("channels", 1) == 2 else math.sqrt(0.5)
        if "path" in sound:
            curve = self.attenuation_of(sound)["curves"][0]["points"]
            spread = min(10.0 ** (linear_curve(curve, math.dist(end, (0, 0, 0))) / 20.0)
                         for end in (sound["path"]["vertices"][0][:3], sound["path"]["vertices"][-1][:3]))
        volume = struct.unpack("<f", sound["props"].get(VOICE_VOLUME, b"\0\0\0\0"))[0]
        return 20.0 * math.log10(amplitude * spread) + volume

    def test_the_cues_sit_clearly_above_the_music(self):
        loudest_music = max(self.output_tone_db(dict(source, props=(self.music_playlists.get(self.target(event_id)) or
                                                                    self.music_switches[self.target(event_id)])["props"]))
                            for event_id in SCREEN_MUSICS for source in self.music_sources(self.target(event_id)))
        for event_id in CUES:
            for sound in self.cue_sounds(event_id):
                with self.subTest(event=event_id, sound=sound["id"]):
                    self.assertGreaterEqual(self.output_tone_db(sound) - loudest_music, MIN_CUE_ABOVE_MUSIC_DB)
        segment = self.segments[self.target(OPENING_JINGLE)]
        for track in segment["children"]:
            self.assertEqual((segment["props"], self.tracks[track]["props"]), ({}, {}), "the jingle at 0 dB")
        for source in self.music_sources(segment["id"]):
            with self.subTest(event=OPENING_JINGLE, media=source["source"]):
                self.assertGreaterEqual(self.output_tone_db(dict(source, props={})) - loudest_music,
                                        MIN_CUE_ABOVE_MUSIC_DB)

    def test_the_launch_cues_fly_across_the_listener(self):
        for event_id in LAUNCH_CUES:
            with self.subTest(event=event_id):
                sound = self.sound_of(event_id)
                self.assertEqual((sound["positioning"], sound["positioning_3d"]),
                                 (LAUNCH_POSITIONING, LAUNCH_POSITIONING_3D))
                self.assertEqual(sound["path"], LAUNCH_PATH)
                attenuation = self.attenuation_of(sound)
                self.assertIsNone(attenuation["cone"])
                self.assertEqual(attenuation["map"], [0] + [NO_CURVE] * 6, "a dry curve alone: no spread curve")
                self.assertEqual(attenuation["curves"], [{"scaling": 0, "points": LAUNCH_DRY_CURVE}])
                self.assertEqual(attenuation["rtpc"], [])
                self.assertGreaterEqual(self.seconds(sound), LAUNCH_MEDIA_SECONDS)

    def test_media_are_extensible_16_bit_pcm_or_adpcm_in_whole_blocks(self):
        rates = set()
        for event_id in GAME_EVENTS:
            for sound in self.played_sources(event_id):
                with self.subTest(event=event_id, media=sound["source"]):
                    media = self.media(sound)
                    if event_id in ADPCM_CUES or event_id in SCREEN_MUSICS:
                        self.assertEqual((media["tag"], media["fmt_size"], media["bits"]), (2, 24, 4))
                        self.assertEqual((media["block_align"], media["frames_per_block"]),
                                         (br.ADPCM_CHANNEL_BLOCK * media["channels"], br.ADPCM_FRAMES_PER_BLOCK))
                    else:
                        self.assertEqual((media["tag"], media["fmt_size"], media["bits"]), (0xFFFE, 40, 16))
                        self.assertEqual(media["block_align"], 2 * media["channels"])
                        rates.add(media["rate"])
                    self.assertEqual(media["data_size"] % media["block_align"], 0)
                    if event_id in PLAYLIST_CUES:
                        self.assertEqual(media["rate"], 48000, "the varied cues' media")
        self.assertIn(44100, rates, "a PCM media at 44.1 kHz")
        self.assertEqual(self.media(self.sound_of(AIRSHIP_DYING))["rate"], 44100, "an ADPCM media at 44.1 kHz")

    def test_each_sound_is_told_apart_by_its_dominant_frequency(self):
        spectra = {}
        for event_id in GAME_EVENTS:
            for sound in self.played_sources(event_id):
                media_id = sound["source"]
                if media_id in spectra:
                    continue
                media = self.media(sound)
                mono = np.array(media["samples"], dtype=np.float64).reshape(
                    -1, media["channels"]).mean(axis=1)
                # Zero-padded to a quarter-hertz grid, so short cues show their tone's exact frequency.
                size = max(len(mono), 4 * media["rate"])
                magnitude = np.abs(np.fft.rfft(mono * np.hanning(len(mono)), size))
                bins = np.fft.rfftfreq(size, 1.0 / media["rate"])
                peak = bins[np.argmax(magnitude)]
                with self.subTest(event=event_id, media=media_id):
                    self.assertAlmostEqual(peak, self.dominant[media_id], delta=1.5)
                spectra[media_id] = (self.dominant[media_id], bins, magnitude)
        instrument = self.sounds[INSTRUMENT]["source"]
        self.assertEqual(set(spectra), set(self.dominant) - {instrument},
                         "every media of the description is played (the instrument by the fanfare's notes)")
        dominants = sorted(d for d, _, _ in spectra.values())
        self.assertGreaterEqual(min(np.diff(dominants)), 20)
        # No sound is loud at another sound's dominant frequency: 20 dB below its own peak.
        for media_id, (own, bins, magnitude) in spectra.items():
            for other in dominants:
                if other != own:
                    near = magnitude[np.abs(bins - other) <= 3].max()
                    with self.subTest(media=media_id, at=other):
                        self.assertLess(near, magnitude.max() / 10)


if __name__ == "__main__":
    unittest.main()
