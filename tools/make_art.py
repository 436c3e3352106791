#!/usr/bin/env python3
"""Draws every image of the game and writes it with its sprite-source file.

    python3 tools/make_art.py [--out FOLDER] [--only NAME ...]

For each sprite source NAME it writes FOLDER/NAME.png and FOLDER/NAME.json
({"SpriteSource": {"name", "path", "numCols", "numRows"}}). FOLDER defaults to Assets/Art of this
repository. The output depends only on this script (and zlib), so running it again gives the same
bytes; a test checks that the committed files match. Python 3 standard library only.
"""

import argparse
import json
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from art import png, raster, screens, ui, world  # noqa: E402
from art import font  # noqa: E402
from art.pen import Pen  # noqa: E402

REPOSITORY = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


class Source:
    """One sprite source: a sheet of cols x rows frames of frame_w x frame_h pixels; draw(pen,
    col, row) draws one frame with a pen whose design space is the frame."""

    def __init__(self, name, cols, rows, frame_w, frame_h, draw):
        self.name, self.cols, self.rows = name, cols, rows
        self.frame_w, self.frame_h, self.draw = frame_w, frame_h, draw

    def render(self):
        canvas = raster.Canvas(self.cols * self.frame_w, self.rows * self.frame_h)
        for row in range(self.rows):
            for col in range(self.cols):
                self.draw(Pen(canvas, col * self.frame_w, row * self.frame_h), col, row)
        return canvas


class Background(Source):
    """A full-screen picture on an opaque canvas (drawn at half the reference size)."""

    def __init__(self, name, draw):
        super().__init__(name, 1, 1, screens.W, screens.H, lambda pen, col, row: draw(pen))

    def render(self):
        canvas = raster.Canvas(self.frame_w, self.frame_h, (0, 0, 0, 255))
        self.draw(Pen(canvas), 0, 0)
        return canvas


# Flight lanes of the play field in reference units (start x, y), drawn up to the city's edge.
kLanes = [(-546, 270), (-600, 150), (-695, 0)]
kLaneEndX = 730


def _lanes_in_image():
    return [((540 - y) / 2.0, (x + 960) / 2.0 - 30, (kLaneEndX + 960) / 2.0) for x, y in kLanes]


TITLES = ["PAUSED", "CREDITS", "HOW TO PLAY", "VICTORY!", "OUT OF FUEL", "LOADING...", "QUIT THE GAME?",
          "BACK TO THE MENU?"]
TITLE_TONES = ["silver", "gold", "silver", "gold", "red", "silver", "gold", "gold"]

BUTTONS = {
    "Btn_Play": "PLAY", "Btn_Tutorial": "HOW TO PLAY", "Btn_Quit": "QUIT", "Btn_Resume": "RESUME",
    "Btn_MainMenu": "MAIN MENU", "Btn_Credits": "CREDITS", "Btn_Yes": "YES", "Btn_No": "NO",
    "Btn_Back": "BACK", "Btn_Retry": "PLAY AGAIN",
}


def _font_frame(pen, col, row):
    code = font.kFirstCode + row * 16 + col
    if code > font.kLastCode:
        return
    pitch = 4.0
    mask, pad = font.glyph_mask(chr(code), pitch)
    # Glyph ink is 20 px wide, centred in the 48 px cell (the text advance is half a cell).
    left = int(round(pen.left + 24 - (font.kColumns * pitch) / 2.0 - pad))
    top = int(round(pen.top + 10 - pad))
    pen.canvas.blend_mask(mask.grown(2), left, top, (20, 16, 24, 255))
    pen.canvas.blend_mask(mask, left, top, (255, 255, 255, 255))


def catalogue():
    s = []
    add = s.append
    # Screens.
    add(Background("BG_Splash", lambda pen: screens.splash(pen, "halvo")))
    add(Background("BG_Ostrel", lambda pen: screens.splash(pen, "ostrel")))
    add(Background("BG_Menu", screens.menu))
    add(Background("BG_Field", lambda pen: screens.field(pen, _lanes_in_image())))
    add(Background("BG_Pause", screens.pause))
    add(Background("BG_Dialog", screens.dialog))
    add(Background("BG_Credits", screens.credits))
    add(Background("BG_Tutorial", screens.tutorial))
    add(Background("BG_Win", screens.win))
    add(Background("BG_Lose", screens.lose))
    add(Background("BG_Loading", screens.loading))
    add(Source("Logo_Halvo", 1, 1, 640, 420, lambda pen, c, r: screens.logo_halvo(pen, 640, 420)))
    add(Source("Logo_Ostrel", 1, 1, 640, 420, lambda pen, c, r: screens.logo_ostrel(pen, 640, 420)))
    add(Source("Title", 1, 1, 1100, 330, lambda pen, c, r: screens.game_title(pen, 1100, 330)))
    add(Source("Titles", 1, len(TITLES), 1000, 150,
               lambda pen, c, r: screens.title_text(pen, 1000, 150, TITLES[r], TITLE_TONES[r])))
    add(Source("BlackSquare", 1, 1, 8, 8, lambda pen, c, r: pen.fill(raster.rect(0, 0, 8, 8), (0, 0, 0, 255))))
    add(Source("Font", 16, 6, 48, 56, _font_frame))
    # Buttons: rows 0 idle, 1 hovered, 2 pressed.
    for name, label in sorted(BUTTONS.items()):
        add(Source(name, 1, 3, 380, 100, lambda pen, c, r, label=label: ui.button_frame(pen, 380, 100, label, r)))
    add(Source("Btn_Continue", 1, 3, 380, 100,
               lambda pen, c, r: ui.button_frame(pen, 380, 100, "CONTINUE", r, icon=ui.icon_coin)))
    add(Source("Btn_Pause", 1, 3, 100, 100, lambda pen, c, r: _pause_button(pen, r)))
    for kind in ("Gremlin", "Bugbear", "Tyrant"):
        add(Source("Btn_Select" + kind, 1, 3, 210, 170, lambda pen, c, r, k=kind: ui.select_card(pen, 210, 170, k, r)))
        add(Source(kind, 1, 1, 150, 110, lambda pen, c, r, k=kind: ui.ship_icon(pen, 150, 110, k)))
    # Upgrades: rows 0 idle, 1 hovered, 2 pressed, 3 cannot be bought now.
    for stat, name in (("DM", "Btn_UpgradeDamage"), ("HP", "Btn_UpgradeHealth"), ("SP", "Btn_UpgradeSpeed")):
        add(Source(name, 1, 4, 260, 80, lambda pen, c, r, st=stat: ui.upgrade_frame(pen, 260, 80, st, r)))
        add(Source("Stat" + stat, 1, 3, 250, 40, lambda pen, c, r, st=stat: ui.stat_frame(pen, 250, 40, st, r)))
    add(Source("VolumeToggle", 4, 1, 110, 110, lambda pen, c, r: ui.toggle_frame(pen, 110, c, "volume")))
    add(Source("ScreenToggle", 4, 1, 110, 110, lambda pen, c, r: ui.toggle_frame(pen, 110, c, "screen")))
    add(Source("VolumeTrack", 1, 1, 80, 735, lambda pen, c, r: ui.slider_track(pen, 80, 735, 73.5, 367.5, 490)))
    add(Source("VolumeKnob", 1, 1, 90, 44, lambda pen, c, r: ui.slider_knob(pen, 90, 44)))
    add(Source("SelectedMarker", 1, 1, 190, 160, lambda pen, c, r: ui.selected_marker(pen, 190, 160)))
    add(Source("Launch", 1, 1, 170, 100, lambda pen, c, r: ui.launch_frame(pen, 170, 100)))
    add(Source("LanePads", 1, 3, 150, 100,
               lambda pen, c, r: ui.lane_pad(pen, 150, 100, ["TOP", "MID", "BOT"][r])))
    add(Source("HUD_Bottom", 1, 1, 1920, 300, lambda pen, c, r: ui.hud_bottom(
        pen, 1920, 300, [(40, 760, "CHOOSE YOUR AIRSHIP"), (790, 1130, "DEPLOY"), (1160, 1780, "UPGRADES  60 / 75 GOLD")])))
    add(Source("HUD_Top", 1, 1, 1920, 96, lambda pen, c, r: ui.hud_top(pen, 1920, 96)))
    add(Source("FuelGauge", 1, 1, 720, 64, lambda pen, c, r: ui.fuel_gauge(pen, 720, 64)))
    add(Source("FuelBar", 1, 1, 32, 32, lambda pen, c, r: ui.bar_texture(pen, 32, 32, (255, 220, 90), (220, 110, 30))))
    add(Source("HealthBar", 1, 1, 16, 16, lambda pen, c, r: ui.bar_texture(pen, 16, 16, (255, 255, 255), (170, 170, 170))))
    add(Source("HealthBarBack", 1, 1, 16, 16,
               lambda pen, c, r: pen.fill(raster.rect(0, 0, 16, 16), (20, 16, 22, 220))))
    add(Source("GoldIcon", 1, 1, 64, 64, lambda pen, c, r: ui.gold_icon(pen, 64)))
    add(Source("Star", 4, 2, 96, 96, lambda pen, c, r: world.star_frame(pen, 96, c, r == 1)))
    # The play field.
    add(Source("GremlinShip", 4, 2, 160, 90, lambda pen, c, r: world.ship_frame(pen, "Gremlin", 160, 90, c, r == 1)))
    add(Source("BugbearShip", 4, 2, 210, 120, lambda pen, c, r: world.ship_frame(pen, "Bugbear", 210, 120, c, r == 1)))
    add(Source("TyrantShip", 4, 2, 290, 160, lambda pen, c, r: world.ship_frame(pen, "Tyrant", 290, 160, c, r == 1)))
    add(Source("GremlinWing", 4, 1, 56, 56, lambda pen, c, r: world.propeller_frame(pen, 56, c, False)))
    add(Source("TyrantWing", 4, 1, 84, 84, lambda pen, c, r: world.propeller_frame(pen, 84, c, True)))
    # Guns: one row per aim direction, frames 0 rest, 1 flash, 2 recoil, 3 rest.
    add(Source("Ballista", 4, 8, 96, 96,
               lambda pen, c, r: world.gun_frame(pen, 96, world.kTowerGunRowAngles[r], c, "ballista")))
    add(Source("TowerGun", 4, 8, 96, 96,
               lambda pen, c, r: world.gun_frame(pen, 96, world.kTowerGunRowAngles[r], c, "cannon")))
    add(Source("ShipGun", 4, 8, 64, 64,
               lambda pen, c, r: world.gun_frame(pen, 64, world.kShipGunRowAngles[r], c, "ship")))
    add(Source("ShipGunHeavy", 4, 8, 88, 88,
               lambda pen, c, r: world.gun_frame(pen, 88, world.kShipGunRowAngles[r], c, "cannon")))
    add(Source("CityGun", 4, 1, 96, 96, lambda pen, c, r: world.gun_frame(pen, 96, 180, c, "cannon")))
    add(Source("WoodTower", 4, 2, 130, 190, lambda pen, c, r: world.tower_frame(pen, False, 130, 190, c, r == 1)))
    add(Source("StoneTower", 4, 2, 140, 200, lambda pen, c, r: world.tower_frame(pen, True, 140, 200, c, r == 1)))
    add(Source("DwarfCity", 4, 3, 300, 520, lambda pen, c, r: world.city_frame(pen, 300, 520, c, r)))
    add(Source("Explosion", 8, 1, 160, 160, lambda pen, c, r: world.explosion_frame(pen, 160, c, 7)))
    add(Source("SmokePuff", 2, 1, 64, 64, lambda pen, c, r: world.puff_frame(pen, 64, (96, 92, 96, 255), c == 1)))
    add(Source("CloudPuff", 2, 1, 64, 64, lambda pen, c, r: world.puff_frame(pen, 64, (250, 250, 255, 255), c == 1)))
    return s


def _pause_button(pen, row):
    look = ui._LOOKS[row]
    p = Pen(pen.canvas, pen.left, pen.top + look["dy"], pen.scale)
    if look["glow"]:
        pen.fill(raster.rounded_rect(1, 1, 99, 99, 24), (255, 220, 120, 255), look["glow"] * 0.6)
    ui.panel(p, 5, 5, 95, 93, 20, look["top"], look["bottom"], look["rim"], 3.0)
    ui.icon_pause(p, 50, 49, 56, row)


def sprite_source_json(source):
    return json.dumps({"SpriteSource": {"name": source.name, "path": source.name + ".png",
                                        "numCols": source.cols, "numRows": source.rows}}, indent=2) + "\n"


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--out", default=os.path.join(REPOSITORY, "Assets", "Art"))
    parser.add_argument("--only", nargs="*", default=None)
    args = parser.parse_args()
    os.makedirs(args.out, exist_ok=True)
    for source in catalogue():
        if args.only and source.name not in args.only:
            continue
        canvas = source.render()
        png.write(os.path.join(args.out, source.name + ".png"), canvas.width, canvas.height, canvas.pixels)
        with open(os.path.join(args.out, source.name + ".json"), "w", newline="\n") as handle:
            handle.write(sprite_source_json(source))


if __name__ == "__main__":
    main()
