"""Drawings of the interface: buttons with their looks per state, toggles, the volume slider,
airship cards and icons, upgrade buttons, stat displays, the head-up display and panels."""

import math

from art import raster, world
from art.pen import Pen
from art.raster import capsule, circle, ellipse, rect, rounded_rect, shade, star, thick_line

INK = (22, 18, 26, 255)
GOLD = (236, 190, 80, 255)
CREAM = (255, 246, 220, 255)

# Button looks by state: 0 idle, 1 hovered, 2 pressed (acting), 3 unavailable.
_LOOKS = {
    0: dict(top=(72, 104, 160), bottom=(34, 50, 92), rim=(206, 160, 72), text=(255, 240, 200), glow=0.0, dy=0),
    1: dict(top=(104, 146, 214), bottom=(50, 74, 136), rim=(255, 214, 110), text=(255, 255, 240), glow=0.55, dy=-1),
    2: dict(top=(40, 60, 104), bottom=(22, 32, 64), rim=(170, 128, 56), text=(230, 210, 170), glow=0.0, dy=3),
    3: dict(top=(96, 96, 104), bottom=(56, 56, 62), rim=(120, 116, 110), text=(170, 168, 168), glow=0.0, dy=0),
}


def panel(pen, x0, y0, x1, y1, radius, top, bottom, rim=GOLD, rim_width=4.0, shine=True):
    pen.fill(rounded_rect(x0, y0, x1, y1, radius), INK)
    pen.fill(rounded_rect(x0 + 2, y0 + 2, x1 - 2, y1 - 2, radius - 2), rim)
    pen.fill(rounded_rect(x0 + 2 + rim_width, y0 + 2 + rim_width, x1 - 2 - rim_width, y1 - 2 - rim_width,
                          max(2, radius - 2 - rim_width)), pen.vgrad([(y0, top), (y1, bottom)]))
    if shine:
        inner = rounded_rect(x0 + 8 + rim_width, y0 + 5 + rim_width, x1 - 8 - rim_width,
                             y0 + (y1 - y0) * 0.45, max(2, radius - 6 - rim_width))
        pen.fill(inner, (255, 255, 255, 255), 0.12)


def button_frame(pen, w, h, label, state, icon=None, label_size=None):
    look = _LOOKS[state]
    dy = look["dy"]
    if look["glow"]:
        pen.fill(rounded_rect(1, 1, w - 1, h - 1, h * 0.3), (255, 220, 120, 255), look["glow"] * 0.6)
    pen.fill(rounded_rect(6, 9 + max(dy, 0), w - 6, h - 3, h * 0.24), (0, 0, 0, 255), 0.35)
    p = Pen(pen.canvas, pen.left, pen.top + dy * pen.scale, pen.scale)
    panel(p, 5, 5, w - 5, h - 8, h * 0.24, look["top"], look["bottom"], look["rim"], 3.0)
    cx = w / 2.0
    if icon is not None:
        icon(p, h * 0.42, h * 0.46, h * 0.5, state)
        cx = w / 2.0 + h * 0.22
    size = label_size or h * 0.3
    p.text(label, cx, h * 0.46, size, look["text"], outline=INK, outline_width=max(2.0, size * 0.12),
           shadow=(0, 0, 0, 120), shadow_offset=(0, size * 0.1))
    if state == 3:
        lx, ly = w - h * 0.45, h * 0.45
        p.fill(rounded_rect(lx - 9, ly - 2, lx + 9, ly + 12, 3), (200, 190, 170, 255))
        p.fill([pts for pts in raster.transform(rounded_rect(lx - 6, ly - 11, lx + 6, ly + 4, 6))], (200, 190, 170, 255))
        p.fill(rounded_rect(lx - 3, ly - 8, lx + 3, ly + 1, 3), (56, 56, 62, 255))


# -- icons: draw(pen, cx, cy, size, state) ----------------------------------------------------------
def icon_sword(pen, cx, cy, s, state):
    colour = (220, 224, 236, 255) if state != 3 else (150, 150, 150, 255)
    pen.fill(raster.transform([(-0.08, 0.2), (-0.08, -0.55), (0, -0.7), (0.08, -0.55), (0.08, 0.2)],
                              angle=math.radians(45), sx=s, sy=s, dx=cx, dy=cy), colour)
    pen.fill(raster.transform(rect(-0.3, 0.18, 0.3, 0.28), angle=math.radians(45), sx=s, sy=s, dx=cx, dy=cy),
             (200, 150, 60, 255))
    pen.fill(raster.transform(rect(-0.06, 0.28, 0.06, 0.55), angle=math.radians(45), sx=s, sy=s, dx=cx, dy=cy),
             (120, 70, 40, 255))


def icon_heart(pen, cx, cy, s, state):
    colour = (230, 60, 70, 255) if state != 3 else (140, 120, 120, 255)
    pts = []
    for i in range(40):
        t = 2 * math.pi * i / 40
        x = 16 * math.sin(t) ** 3
        y = -(13 * math.cos(t) - 5 * math.cos(2 * t) - 2 * math.cos(3 * t) - math.cos(4 * t))
        pts.append((cx + x * s / 34.0, cy + y * s / 34.0))
    pen.fill(raster.transform(pts, sx=1.12, sy=1.12, cx=cx, cy=cy), INK)
    pen.fill(pts, colour)
    pen.fill(circle(cx - s * 0.17, cy - s * 0.15, s * 0.08), (255, 255, 255, 255), 0.6)


def icon_speed(pen, cx, cy, s, state):
    colour = (110, 220, 240, 255) if state != 3 else (150, 150, 150, 255)
    for k in range(2):
        x = cx - s * 0.25 + k * s * 0.3
        chevron = [(x - s * 0.15, cy - s * 0.4), (x + s * 0.05, cy - s * 0.4), (x + s * 0.3, cy),
                   (x + s * 0.05, cy + s * 0.4), (x - s * 0.15, cy + s * 0.4), (x + s * 0.1, cy)]
        pen.fill(raster.transform(chevron, sx=1.1, sy=1.1, cx=x, cy=cy), INK)
        pen.fill(chevron, colour)


def icon_coin(pen, cx, cy, s, state):
    pen.fill(circle(cx, cy, s * 0.52), INK)
    pen.fill(circle(cx, cy, s * 0.47), pen.vgrad([(cy - s * 0.5, (255, 232, 120)), (cy + s * 0.5, (200, 130, 20))]))
    pen.fill(circle(cx, cy, s * 0.34), (236, 170, 40, 255))
    pen.fill(star(cx, cy, s * 0.24, s * 0.1), (255, 236, 150, 255))


def icon_pause(pen, cx, cy, s, state):
    for dx in (-0.18, 0.18):
        pen.fill(rounded_rect(cx + dx * s - s * 0.1, cy - s * 0.36, cx + dx * s + s * 0.1, cy + s * 0.36, s * 0.05),
                 (255, 240, 200, 255))


def icon_speaker(pen, cx, cy, s, muted):
    colour = (255, 240, 200, 255)
    pen.fill([(cx - s * 0.45, cy - s * 0.15), (cx - s * 0.25, cy - s * 0.15), (cx, cy - s * 0.4),
              (cx, cy + s * 0.4), (cx - s * 0.25, cy + s * 0.15), (cx - s * 0.45, cy + s * 0.15)], colour)
    if muted:
        pen.fill(thick_line(cx + s * 0.12, cy - s * 0.2, cx + s * 0.45, cy + s * 0.2, s * 0.09), (240, 80, 70, 255))
        pen.fill(thick_line(cx + s * 0.12, cy + s * 0.2, cx + s * 0.45, cy - s * 0.2, s * 0.09), (240, 80, 70, 255))
    else:
        for k, r in enumerate((0.22, 0.38)):
            outer = [(cx + s * (r + 0.05) * math.cos(a), cy + s * (r + 0.05) * math.sin(a))
                     for a in [(-0.8 + 1.6 * i / 12) for i in range(13)]]
            inner = [(cx + s * (r - 0.03) * math.cos(a), cy + s * (r - 0.03) * math.sin(a))
                     for a in [(0.8 - 1.6 * i / 12) for i in range(13)]]
            pen.fill(outer + inner, colour)


def icon_screen(pen, cx, cy, s, full):
    pen.fill(rounded_rect(cx - s * 0.45, cy - s * 0.32, cx + s * 0.45, cy + s * 0.3, s * 0.06), (255, 240, 200, 255))
    pen.fill(rect(cx - s * 0.37, cy - s * 0.24, cx + s * 0.37, cy + s * 0.22), (40, 60, 100, 255))
    pen.fill(rect(cx - s * 0.1, cy + s * 0.3, cx + s * 0.1, cy + s * 0.42), (255, 240, 200, 255))
    pen.fill(rect(cx - s * 0.25, cy + s * 0.4, cx + s * 0.25, cy + s * 0.46), (255, 240, 200, 255))
    arrow = (255, 214, 110, 255)
    if full:
        for sx, sy in ((-1, -1), (1, -1), (1, 1), (-1, 1)):
            x, y = cx + sx * s * 0.3, cy + sy * s * 0.17
            pen.fill([(x, y), (x - sx * s * 0.14, y), (x, y - sy * s * 0.1)], arrow)
    else:
        pen.fill(rect(cx - s * 0.18, cy - s * 0.12, cx + s * 0.18, cy + s * 0.1), (120, 160, 220, 255))


def toggle_frame(pen, size, frame, kind):
    """A square toggle. Volume: 0 muted, 1 sound on, 2 muted (hovered), 3 sound on (hovered).
    Screen: 0 windowed, 1 windowed (hovered), 2 switching, 3 full screen."""
    if kind == "volume":
        state = 1 if frame >= 2 else 0
        on = frame in (1, 3)
    else:
        state = {0: 0, 1: 1, 2: 2, 3: 1}[frame]
        on = frame == 3
    look = _LOOKS[state]
    if look["glow"]:
        pen.fill(rounded_rect(1, 1, size - 1, size - 1, size * 0.25), (255, 220, 120, 255), look["glow"] * 0.6)
    p = Pen(pen.canvas, pen.left, pen.top + look["dy"] * pen.scale, pen.scale)
    panel(p, 5, 5, size - 5, size - 7, size * 0.2, look["top"], look["bottom"], look["rim"], 3.0)
    if kind == "volume":
        icon_speaker(p, size * 0.5, size * 0.48, size * 0.62, not on)
    else:
        icon_screen(p, size * 0.5, size * 0.46, size * 0.62, on)
        if frame == 2:
            p.fill(circle(size * 0.5, size * 0.46, size * 0.1), (255, 214, 110, 255))


def slider_track(pen, w, h, band_top, zero, band_bottom):
    """The volume slider's track: the quad is tall, the usable band runs from band_top (full
    volume) to band_bottom; `zero` marks silence. Rows outside the band stay transparent."""
    cx = w / 2.0
    pen.fill(rounded_rect(cx - 13, band_top - 16, cx + 13, band_bottom + 16, 13), INK)
    pen.fill(rounded_rect(cx - 10, band_top - 13, cx + 10, band_bottom + 13, 10), (60, 64, 84, 255))
    pen.fill(rounded_rect(cx - 5, band_top, cx + 5, zero, 5),
             pen.vgrad([(band_top, (255, 214, 110)), (zero, (120, 200, 120))]))
    for k in range(11):
        y = band_top + (zero - band_top) * k / 10.0
        length = 20 if k % 5 == 0 else 12
        pen.fill(rect(cx + 14, y - 1.2, cx + 14 + length, y + 1.2), (230, 220, 200, 255))
        pen.fill(rect(cx - 14 - length, y - 1.2, cx - 14, y + 1.2), (230, 220, 200, 255))


def slider_knob(pen, w, h):
    pen.fill(rounded_rect(2, 4, w - 2, h - 2, h * 0.4), (0, 0, 0, 255), 0.35)
    panel(pen, 2, 2, w - 2, h - 4, h * 0.4, (255, 226, 140), (200, 140, 40), INK, 1.5)
    pen.fill(rect(w * 0.3, h * 0.42, w * 0.7, h * 0.52), (120, 80, 30, 255))


# -- airship cards and icons -----------------------------------------------------------------------
_SHIP_BOXES = {"Gremlin": (160, 90), "Bugbear": (210, 120), "Tyrant": (290, 160)}
SHIP_NAMES = {"Gremlin": "GREMLIN", "Bugbear": "BUGBEAR", "Tyrant": "TYRANT"}


def ship_picture(pen, kind, cx, cy, width):
    bw, bh = _SHIP_BOXES[kind]
    scale = width / float(bw)
    world.ship_frame(Pen(pen.canvas, pen.left + (cx - width / 2.0) * pen.scale,
                         pen.top + (cy - bh * scale / 2.0) * pen.scale, pen.scale * scale), kind, bw, bh, 0, False)


def select_card(pen, w, h, kind, state):
    look = _LOOKS[state]
    if look["glow"]:
        pen.fill(rounded_rect(1, 1, w - 1, h - 1, 18), (255, 220, 120, 255), look["glow"] * 0.6)
    p = Pen(pen.canvas, pen.left, pen.top + look["dy"] * pen.scale, pen.scale)
    panel(p, 5, 5, w - 5, h - 8, 16, look["top"], look["bottom"], look["rim"], 3.0)
    p.fill(rounded_rect(14, 14, w - 14, h * 0.66, 10), p.vgrad([(14, (150, 200, 240)), (h * 0.66, (220, 236, 250))]))
    ship_picture(p, kind, w / 2.0, h * 0.4, {"Gremlin": w * 0.5, "Bugbear": w * 0.62, "Tyrant": w * 0.76}[kind])
    p.text(SHIP_NAMES[kind], w / 2.0, h * 0.8, h * 0.12, look["text"], outline=INK, outline_width=2.5)


def ship_icon(pen, w, h, kind):
    pen.fill(rounded_rect(2, 2, w - 2, h - 2, 14), INK)
    pen.fill(rounded_rect(5, 5, w - 5, h - 5, 11), pen.vgrad([(5, (120, 180, 236)), (h - 5, (226, 240, 252))]))
    pen.fill(ellipse(w * 0.3, h * 0.78, w * 0.25, h * 0.1), (255, 255, 255, 255), 0.7)
    ship_picture(pen, kind, w / 2.0, h * 0.5, {"Gremlin": w * 0.6, "Bugbear": w * 0.72, "Tyrant": w * 0.86}[kind])


def selected_marker(pen, w, h):
    pen.fill(rounded_rect(0, 0, w, h, 20), (255, 220, 120, 255), 0.35)
    pen.fill(rounded_rect(4, 4, w - 4, h - 4, 18), INK)
    pen.fill(rounded_rect(7, 7, w - 7, h - 7, 15), GOLD)
    pen.fill(rounded_rect(12, 12, w - 12, h - 32, 11), (30, 30, 40, 255))
    pen.text("SELECTED", w / 2.0, h - 19, 12, INK)


# -- upgrades and stats ----------------------------------------------------------------------------
STAT_ICONS = {"DM": icon_sword, "HP": icon_heart, "SP": icon_speed}
STAT_LABELS = {"DM": "DAMAGE", "HP": "HEALTH", "SP": "SPEED"}
STAT_COLOURS = {"DM": (255, 150, 50, 255), "HP": (236, 70, 80, 255), "SP": (90, 210, 240, 255)}


def upgrade_frame(pen, w, h, stat, state):
    button_frame(pen, w, h, STAT_LABELS[stat] + " +", state, icon=STAT_ICONS[stat], label_size=h * 0.22)


def stat_frame(pen, w, h, stat, level):
    """Level pips: level 0 lights one of three pips, level 2 all three."""
    pen.fill(rounded_rect(1, 1, w - 1, h - 1, h * 0.45), (10, 10, 16, 255), 0.75)
    pen.text(stat, h * 0.75, h * 0.5, h * 0.36, STAT_COLOURS[stat], outline=INK, outline_width=2)
    for k in range(3):
        x0 = h * 1.5 + k * (w - h * 1.9) / 3.0
        x1 = x0 + (w - h * 1.9) / 3.0 - 6
        lit = k <= level
        pen.fill(rounded_rect(x0, h * 0.25, x1, h * 0.75, h * 0.2), INK)
        pen.fill(rounded_rect(x0 + 2, h * 0.25 + 2, x1 - 2, h * 0.75 - 2, h * 0.18),
                 shade(STAT_COLOURS[stat], 1.0 if lit else 0.3))
        if lit:
            pen.fill(rect(x0 + 5, h * 0.32, x1 - 5, h * 0.42), (255, 255, 255, 255), 0.4)


def launch_frame(pen, w, h):
    pen.fill(rounded_rect(2, 2, w - 2, h - 2, h * 0.3), (255, 230, 120, 255), 0.35)
    pen.fill([(w * 0.12, h * 0.3), (w * 0.6, h * 0.3), (w * 0.6, h * 0.12), (w * 0.92, h * 0.5),
              (w * 0.6, h * 0.88), (w * 0.6, h * 0.7), (w * 0.12, h * 0.7)], INK)
    pen.fill([(w * 0.15, h * 0.34), (w * 0.63, h * 0.34), (w * 0.63, h * 0.2), (w * 0.87, h * 0.5),
              (w * 0.63, h * 0.8), (w * 0.63, h * 0.66), (w * 0.15, h * 0.66)],
             pen.vgrad([(h * 0.2, (255, 240, 150)), (h * 0.8, (240, 150, 30))]))
    pen.text("LAUNCH", w * 0.42, h * 0.5, h * 0.14, INK)


def lane_pad(pen, w, h, label):
    pen.fill([(w * 0.05, h * 0.55), (w * 0.95, h * 0.55), (w * 0.8, h * 0.95), (w * 0.2, h * 0.95)], INK)
    pen.fill([(w * 0.08, h * 0.57), (w * 0.92, h * 0.57), (w * 0.78, h * 0.92), (w * 0.22, h * 0.92)],
             pen.vgrad([(h * 0.55, (150, 130, 110)), (h * 0.95, (80, 66, 60))]))
    pen.fill(rounded_rect(w * 0.04, h * 0.48, w * 0.96, h * 0.6, 5), (110, 110, 124, 255))
    pen.fill(rounded_rect(w * 0.22, h * 0.06, w * 0.78, h * 0.44, 8), INK)
    pen.fill(rounded_rect(w * 0.25, h * 0.09, w * 0.75, h * 0.41, 6), (40, 50, 80, 255))
    pen.text(label, w / 2.0, h * 0.25, h * 0.17, (255, 220, 120, 255), outline=INK, outline_width=1.5)
    pen.fill(thick_line(w * 0.5, h * 0.44, w * 0.5, h * 0.5, 4), (90, 90, 100, 255))


# -- head-up display --------------------------------------------------------------------------------
def hud_bottom(pen, w, h, sections):
    """The dashboard across the bottom of the play field; sections: [(x0, x1, title), ...]."""
    pen.fill(rect(0, 0, w, 8), INK)
    pen.fill(rect(0, 6, w, h), pen.vgrad([(6, (92, 70, 52)), (h, (48, 36, 30))]))
    for i in range(0, int(w), 48):
        pen.fill(rect(i, 10, i + 2, h), (40, 30, 24, 255), 0.35)
    pen.fill(rect(0, 8, w, 14), GOLD)
    for x0, x1, title in sections:
        pen.fill(rounded_rect(x0, 30, x1, h - 14, 14), (20, 16, 22, 255), 0.55)
        pen.fill(rounded_rect(x0 + w * 0.01, 18, x1 - w * 0.01, 50, 10), INK)
        pen.fill(rounded_rect(x0 + w * 0.01 + 3, 21, x1 - w * 0.01 - 3, 47, 8), (120, 40, 40, 255))
        pen.text(title, (x0 + x1) / 2.0, 34, 13, CREAM, outline=INK, outline_width=1.5)


def hud_top(pen, w, h):
    pen.fill(rect(0, 0, w, h - 6), pen.vgrad([(0, (30, 28, 44, 220)), (h, (30, 28, 44, 150))]))
    pen.fill(rect(0, h - 8, w, h - 4), GOLD, 0.8)


def fuel_gauge(pen, w, h):
    pen.fill(rounded_rect(0, 0, w, h, h / 2), INK)
    pen.fill(rounded_rect(4, 4, w - 4, h - 4, h / 2 - 4), (50, 44, 50, 255))
    pen.fill(rounded_rect(h * 1.6, 10, w - 10, h - 10, (h - 20) / 2), (20, 18, 24, 255))
    pen.fill(circle(h * 0.75, h / 2, h * 0.36), (200, 90, 40, 255))
    pen.text("FUEL", h * 0.75, h / 2, h * 0.16, CREAM, outline=INK, outline_width=1.2)


def bar_texture(pen, w, h, top, bottom):
    pen.fill(rect(0, 0, w, h), pen.vgrad([(0, top), (h, bottom)]))
    pen.fill(rect(0, h * 0.18, w, h * 0.36), (255, 255, 255, 255), 0.35)


def gold_icon(pen, size):
    icon_coin(pen, size / 2.0, size / 2.0, size * 0.9, 0)
