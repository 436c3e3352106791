"""Drawings of whole screens: backgrounds (drawn at half the 1920x1080 reference size and shown
stretched), splash logos, the game title, screen titles and panels."""

import math

from art import raster, world
from art.pen import Pen
from art.raster import circle, ellipse, rect, rounded_rect, shade, star
from art.ui import GOLD, INK, CREAM, panel, ship_picture

W, H = 960, 540


def _sky(pen, stops):
    pen.fill(rect(0, 0, W, H), pen.vgrad(stops))


def _clouds(pen, seed, count, y0, y1, colour, opacity):
    for i in range(count):
        x = (seed * 97 + i * 211) % W
        y = y0 + ((seed * 31 + i * 67) % max(1, int(y1 - y0)))
        size = 20 + (i * 37 + seed) % 40
        for k, (dx, dy, r) in enumerate(((0, 0, 1.0), (-0.9, 0.2, 0.7), (0.9, 0.25, 0.65), (0.3, -0.35, 0.7))):
            pen.fill(ellipse(x + dx * size, y + dy * size, size * r * 1.3, size * r * 0.8), colour, opacity)


def _mountains(pen, base, height, colour, seed, peaks=7):
    points = [(0, H)]
    for i in range(peaks * 2 + 1):
        x = W * i / (peaks * 2.0)
        rise = height * (0.55 + 0.45 * ((i * 7 + seed) % 5) / 4.0) if i % 2 else height * 0.25
        points.append((x, base - rise))
    points.append((W, H))
    pen.fill(points, colour)


def _vignette(pen, strength):
    for k in range(6):
        inset = k * 18
        outer = rect(-10, -10, W + 10, H + 10)
        inner = list(reversed(rounded_rect(inset + 40, inset + 30, W - inset - 40, H - inset - 30, 120)))
        pen.fill([outer, inner], (0, 0, 0, 255), strength / 6.0, keep_orientation=True)


def _starfield(pen, count, seed, y1):
    for i in range(count):
        x = (i * 137 + seed * 13) % W
        y = (i * 71 + seed * 29) % int(y1)
        pen.fill(circle(x, y, 0.8 + (i % 3) * 0.5), (255, 255, 230, 255), 0.5 + 0.25 * (i % 3))


def splash(pen, tone):
    centre = (26, 30, 52) if tone == "halvo" else (20, 52, 56)
    edge = (6, 6, 14) if tone == "halvo" else (4, 14, 16)
    _sky(pen, [(0, edge), (H * 0.5, centre), (H, edge)])
    for k in range(5):
        pen.fill(circle(W / 2, H / 2, 330 - k * 55), shade(centre, 1.25), 0.12)
    _vignette(pen, 0.6)


def menu(pen):
    _sky(pen, [(0, (34, 40, 90)), (H * 0.45, (206, 110, 90)), (H * 0.7, (250, 190, 110))])
    pen.fill(circle(300, 330, 70), (255, 230, 150, 255), 0.9)
    pen.fill(circle(300, 330, 110), (255, 210, 130, 255), 0.2)
    _starfield(pen, 60, 3, 150)
    _clouds(pen, 5, 7, 90, 260, (255, 200, 170, 255), 0.35)
    _mountains(pen, 430, 170, (110, 70, 96, 255), 2, 6)
    _mountains(pen, 470, 120, (70, 46, 70, 255), 5, 9)
    # the fortress on the far cliff
    pen.fill([(720, H), (760, 330), (820, 300), (900, 310), (960, 290), (960, H)], (40, 28, 44, 255))
    for x, y, w, h in ((790, 250, 40, 70), (835, 220, 50, 100), (890, 240, 40, 80)):
        pen.fill(rect(x, y, x + w, y + h), (44, 32, 48, 255))
        for k in range(3):
            pen.fill(rect(x + 6 + k * w / 3.2, y - 8, x + 12 + k * w / 3.2, y), (44, 32, 48, 255))
        pen.fill(rect(x + w * 0.4, y + 20, x + w * 0.6, y + 32), (255, 200, 100, 255), 0.8)
    _mountains(pen, 540, 70, (36, 24, 40, 255), 8, 5)
    # the fleet in the distance, clear of the game title in the middle of the upper half
    for kind, x, y, width in (("Tyrant", 790, 120, 150), ("Gremlin", 210, 215, 80), ("Bugbear", 120, 95, 100)):
        silhouette = Pen(pen.canvas, pen.left, pen.top, pen.scale)
        ship_picture(silhouette, kind, x, y, width)


def field(pen, lanes):
    """The play field: daylight sky, clouds, far mountains, and faint dashed flight lanes at the
    given image rows from x0 to x1."""
    _sky(pen, [(0, (70, 130, 210)), (H * 0.55, (160, 206, 240)), (H * 0.8, (214, 232, 244))])
    pen.fill(circle(120, 70, 40), (255, 250, 220, 255), 0.9)
    pen.fill(circle(120, 70, 70), (255, 250, 220, 255), 0.2)
    _clouds(pen, 3, 8, 40, 300, (255, 255, 255, 255), 0.55)
    _mountains(pen, 400, 120, (150, 170, 200, 255), 1, 8)
    _mountains(pen, 430, 90, (110, 140, 130, 255), 4, 11)
    pen.fill(rect(0, 410, W, H), pen.vgrad([(410, (96, 140, 80)), (H, (60, 90, 50))]))
    _clouds(pen, 11, 5, 300, 360, (255, 255, 255, 255), 0.35)
    for y, x0, x1 in lanes:
        x = x0
        while x < x1:
            pen.fill(rounded_rect(x, y - 1.5, min(x1, x + 14), y + 1.5, 1.5), (255, 255, 255, 255), 0.45)
            x += 24
        pen.fill([(x1 - 4, y - 7), (x1 + 8, y), (x1 - 4, y + 7)], (255, 255, 255, 255), 0.45)


def pause(pen):
    _sky(pen, [(0, (20, 26, 48)), (H, (44, 30, 60))])
    for i in range(0, W + H, 36):
        pen.fill(raster.thick_line(i, 0, i - H, H, 10), (255, 255, 255, 255), 0.025)
    panel(pen, 300, 120, 660, 500, 24, (60, 52, 80), (30, 26, 44), GOLD, 4)
    panel(pen, 700, 120, 920, 500, 24, (60, 52, 80), (30, 26, 44), GOLD, 4)
    _vignette(pen, 0.5)


def dialog(pen):
    _sky(pen, [(0, (16, 14, 26)), (H, (34, 24, 40))])
    for i in range(0, W + H, 40):
        pen.fill(raster.thick_line(i, 0, i - H, H, 12), (255, 255, 255, 255), 0.02)
    panel(pen, 200, 120, 760, 420, 30, (92, 62, 50), (50, 32, 28), GOLD, 5)
    _vignette(pen, 0.6)


def credits(pen):
    _sky(pen, [(0, (8, 10, 30)), (H, (40, 30, 70))])
    _starfield(pen, 160, 7, H)
    _mountains(pen, 540, 90, (24, 20, 40, 255), 3, 7)
    panel(pen, 150, 80, 810, 470, 28, (236, 220, 180), (200, 176, 130), (120, 80, 40), 5)


def tutorial(pen):
    _sky(pen, [(0, (24, 60, 110)), (H, (14, 34, 70))])
    for x in range(0, W, 24):
        pen.fill(rect(x, 0, x + 1, H), (255, 255, 255, 255), 0.07)
    for y in range(0, H, 24):
        pen.fill(rect(0, y, W, y + 1), (255, 255, 255, 255), 0.07)
    panel(pen, 60, 70, 900, 470, 24, (30, 70, 120), (20, 46, 86), (200, 220, 240), 4)


def win(pen):
    _sky(pen, [(0, (70, 120, 200)), (H * 0.6, (250, 210, 120)), (H, (250, 170, 90))])
    for k in range(16):
        a = math.pi * k / 8
        pen.fill([(W / 2, H * 0.35), (W / 2 + 900 * math.cos(a), H * 0.35 + 900 * math.sin(a)),
                  (W / 2 + 900 * math.cos(a + 0.18), H * 0.35 + 900 * math.sin(a + 0.18))], (255, 250, 210, 255), 0.18)
    _clouds(pen, 9, 6, 300, 460, (255, 255, 255, 255), 0.5)
    panel(pen, 250, 230, 710, 470, 24, (70, 50, 40), (40, 28, 24), GOLD, 4)


def lose(pen):
    _sky(pen, [(0, (30, 10, 14)), (H * 0.6, (100, 30, 30)), (H, (40, 16, 18))])
    _clouds(pen, 4, 9, 20, 300, (20, 10, 12, 255), 0.5)
    _mountains(pen, 520, 150, (20, 12, 16, 255), 6, 7)
    for x, y in ((200, 300), (700, 260), (470, 380)):
        pen.fill(circle(x, y, 30), (255, 120, 50, 255), 0.2)
    panel(pen, 250, 190, 710, 470, 24, (60, 30, 30), (30, 14, 16), (150, 110, 90), 4)


def loading(pen):
    _sky(pen, [(0, (10, 12, 24)), (H, (24, 26, 48))])
    _starfield(pen, 90, 2, H)
    ship_picture(pen, "Tyrant", W / 2, H * 0.42, 260)
    pen.fill(rect(0, 0, W, H), (10, 12, 24, 255), 0.45)
    _vignette(pen, 0.6)


# -- logos and titles (drawn at their shown size) -------------------------------------------------
def logo_halvo(pen, w, h):
    cx, cy = w / 2.0, h * 0.38
    pen.fill(circle(cx, cy, 112), INK)
    pen.fill(circle(cx, cy, 106), GOLD)
    pen.fill(circle(cx, cy, 96), pen.vgrad([(cy - 96, (60, 80, 150)), (cy + 96, (20, 28, 70))]))
    # a stylised hawk with spread wings
    wing = [(0, 0), (-90, -40), (-70, -10), (-95, -5), (-60, 15), (-80, 25), (-30, 25), (0, 45)]
    pen.fill(raster.transform(wing, dx=cx, dy=cy), CREAM)
    pen.fill(raster.transform([(-x, y) for x, y in wing], dx=cx, dy=cy), CREAM)
    pen.fill(ellipse(cx, cy - 10, 14, 30), CREAM)
    pen.fill(circle(cx, cy - 38, 14), CREAM)
    pen.fill([(cx + 8, cy - 42), (cx + 24, cy - 36), (cx + 8, cy - 32)], GOLD)
    pen.fill(circle(cx + 3, cy - 41, 3), INK)
    pen.text("HALVO", cx, h * 0.8, 52, pen.vgrad([(h * 0.72, (255, 240, 170)), (h * 0.88, (220, 150, 50))]),
             outline=INK, outline_width=4, shadow=(0, 0, 0, 160), shadow_offset=(0, 5))
    pen.text("GAMES", cx, h * 0.94, 18, CREAM, outline=INK, outline_width=2)


def logo_ostrel(pen, w, h):
    cx, cy = w / 2.0, h * 0.36
    for k in range(3):
        r = 100 - k * 26
        pen.fill([o for o in raster.transform(star(0, 0, r, r * 0.42, 8), dx=cx, dy=cy, angle=k * 0.2)],
                 [(120, 220, 210, 255), (60, 160, 170, 255), (230, 250, 240, 255)][k])
    pen.fill(circle(cx, cy, 24), INK)
    pen.fill(circle(cx, cy, 18), (120, 220, 210, 255))
    pen.text("OSTREL", cx, h * 0.78, 56, pen.vgrad([(h * 0.7, (230, 255, 250)), (h * 0.86, (100, 200, 200))]),
             outline=INK, outline_width=4, shadow=(0, 0, 0, 160), shadow_offset=(0, 5))
    pen.text("PRESENTS", cx, h * 0.93, 18, (200, 240, 236, 255), outline=INK, outline_width=2)


def game_title(pen, w, h):
    pen.text("KORVANE", w / 2.0, h * 0.3, 92, pen.vgrad([(h * 0.12, (255, 246, 190)), (h * 0.48, (226, 140, 40))]),
             outline=INK, outline_width=7, shadow=(0, 0, 0, 150), shadow_offset=(0, 9))
    pen.text("PELLAR", w / 2.0, h * 0.72, 70, pen.vgrad([(h * 0.6, (255, 246, 190)), (h * 0.86, (226, 140, 40))]),
             outline=INK, outline_width=6, shadow=(0, 0, 0, 150), shadow_offset=(0, 8))
    for x in (w * 0.12, w * 0.88):
        pen.fill(star(x, h * 0.72, 26, 10), GOLD)


def title_text(pen, w, h, text, tone):
    top, bottom = {"gold": ((255, 246, 190), (226, 140, 40)), "silver": ((255, 255, 255), (150, 170, 200)),
                   "red": ((255, 200, 180), (200, 50, 40))}[tone]
    pen.text(text, w / 2.0, h / 2.0, h * 0.36, pen.vgrad([(h * 0.3, top), (h * 0.7, bottom)]), outline=INK,
             outline_width=max(3.0, h * 0.03), shadow=(0, 0, 0, 150), shadow_offset=(0, h * 0.04))
