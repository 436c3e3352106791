"""Drawings of the play field: airships, their propellers and guns, towers, the city, explosions,
smoke and clouds. Each function draws one frame with a Pen whose design space is the frame's
size in pixels (x right, y down)."""

import math

from art import raster
from art.pen import polar
from art.raster import capsule, circle, ellipse, rect, rounded_rect, shade, star, thick_line

# Angles (degrees, counter-clockwise on screen) of the gun sprites' rows: one row per aim
# direction, in the order the towers and the airships pick them.
kTowerGunRowAngles = [270, 315, 0, 45, 90, 135, 180, 225]
kShipGunRowAngles = [0, 315, 45, 90, 135, 225, 270, 180]

_INK = (28, 22, 30, 255)


def ring(cx, cy, rx, ry, thickness):
    """An elliptic ring as two polygons for a keep_orientation fill."""
    outer = ellipse(cx, cy, rx, ry)
    inner = ellipse(cx, cy, max(0.5, rx - thickness), max(0.5, ry - thickness))
    inner.reverse()
    return [outer, inner]


# -- airships -------------------------------------------------------------------------------------
_SHIPS = {
    # envelope colour, accent, gondola colour, window colour
    "Gremlin": ((92, 176, 96), (240, 200, 70), (120, 78, 48), (255, 226, 120)),
    "Bugbear": ((214, 128, 52), (90, 90, 104), (98, 70, 52), (255, 210, 110)),
    "Tyrant": ((150, 34, 44), (40, 36, 44), (58, 54, 62), (255, 90, 60)),
}


def _envelope(pen, w, h, body, accent, tilt=0.0, squash=1.0, kind="Gremlin"):
    cx, cy, rx, ry = w * 0.53, h * 0.36, w * 0.40, h * 0.29 * squash

    def t(poly):
        return raster.transform(poly, angle=tilt, cx=cx, cy=cy)
    # tail fins behind the envelope
    fin = accent if kind != "Tyrant" else shade(body, 0.6)
    pen.fill(t([(w * 0.22, cy - ry * 0.2), (w * 0.05, cy - ry * 1.25), (w * 0.13, cy - ry * 0.1)]), fin)
    pen.fill(t([(w * 0.22, cy + ry * 0.2), (w * 0.05, cy + ry * 1.25), (w * 0.13, cy + ry * 0.1)]), fin)
    pen.fill(t([(w * 0.2, cy - 2), (w * 0.03, cy), (w * 0.2, cy + 2)]), shade(fin, 0.7))
    # the gas bag, lit from above
    pen.fill(t(ellipse(cx, cy, rx + 2, ry + 2)), _INK)
    pen.fill(t(ellipse(cx, cy, rx, ry)),
             pen.vgrad([(cy - ry, shade(body, 1.35)), (cy, body), (cy + ry, shade(body, 0.55))]))
    # ribs
    for f in (-0.55, -0.1, 0.35, 0.75):
        x = cx + rx * f
        half = ry * math.sqrt(max(0.0, 1 - f * f))
        pen.fill([t(p) for p in ring(x, cy, max(1.5, rx * 0.09 * (1 - abs(f))), half, 1.6)],
                 shade(body, 0.62), 0.6, keep_orientation=True)
    # belly band
    pen.fill(t(rect(cx - rx * 0.85, cy + ry * 0.18, cx + rx * 0.9, cy + ry * 0.36)), shade(accent, 0.9), 0.85)
    # shine
    pen.fill(t(ellipse(cx + rx * 0.25, cy - ry * 0.5, rx * 0.38, ry * 0.18)), (255, 255, 255, 255), 0.35)
    if kind == "Tyrant":
        for i in range(6):
            x = cx - rx * 0.6 + i * rx * 0.26
            top = cy - ry * math.sqrt(max(0.0, 1 - ((x - cx) / rx) ** 2))
            pen.fill(t([(x - 5, top + 3), (x, top - 11), (x + 5, top + 3)]), (60, 58, 66, 255))
        pen.fill(t(circle(cx + rx * 0.15, cy - ry * 0.05, ry * 0.36)), (30, 28, 34, 255))
        pen.fill(t(star(cx + rx * 0.15, cy - ry * 0.05, ry * 0.3, ry * 0.13)), (220, 60, 50, 255))
    if kind == "Bugbear":
        for i in range(4):
            x = cx - rx * 0.55 + i * rx * 0.36
            pen.fill(t(rounded_rect(x, cy + ry * 0.35, x + rx * 0.3, cy + ry * 0.75, 3)), (84, 86, 98, 255))
            pen.fill(t(circle(x + 4, cy + ry * 0.45, 1.8)), (170, 170, 180, 255))
    return cx, cy, rx, ry


def _gondola(pen, w, h, gondola, window, cx, ry_bottom, width, height, tilt=0.0, pivot=(0, 0), lit=True):
    def t(poly):
        return raster.transform(poly, angle=tilt, cx=pivot[0], cy=pivot[1])
    top = h * 0.66
    left, right = cx - width / 2, cx + width / 2
    for x in (left + width * 0.15, right - width * 0.15):
        pen.fill(t(thick_line(x, ry_bottom - 3, x + (cx - x) * 0.2, top + 2, 1.6)), (60, 44, 36, 255))
    pen.fill(t(rounded_rect(left - 2, top - 2, right + 2, top + height + 2, height * 0.45)), _INK)
    pen.fill(t(rounded_rect(left, top, right, top + height, height * 0.42)),
             pen.vgrad([(top, shade(gondola, 1.3)), (top + height, shade(gondola, 0.6))]))
    pen.fill(t(rect(left + 3, top + height * 0.3, right - 3, top + height * 0.4)), shade(gondola, 0.55))
    count = max(2, int(width / 16))
    for i in range(count):
        x = left + width * (i + 0.75) / (count + 0.5)
        colour = window if lit else (50, 40, 40)
        pen.fill(t(circle(x, top + height * 0.62, height * 0.16)), colour)
    return left, right, top, height


def ship_frame(pen, kind, w, h, frame, wrecked):
    """One frame of an airship sheet: row 0 flying (frames bob and, for the Bugbear, spin its
    propellers), row 1 the burning wreck."""
    body, accent, gondola, window = _SHIPS[kind]
    bob = [0.0, -1.0, 0.0, 1.0][frame]
    pen = type(pen)(pen.canvas, pen.left, pen.top + bob * pen.scale, pen.scale)
    tilt = math.radians(14) if wrecked else 0.0
    if wrecked:
        body, accent, gondola = shade(body, 0.5), shade(accent, 0.5), shade(gondola, 0.5)
    cx, cy, rx, ry = _envelope(pen, w, h, body, accent, tilt, 0.8 if wrecked else 1.0, kind)
    width = w * (0.42 if kind != "Tyrant" else 0.5)
    height = h * 0.18
    _gondola(pen, w, h, gondola, window, cx, cy + ry, width, height, tilt, (cx, cy), not wrecked)
    if kind == "Bugbear" and not wrecked:
        for px, py in ((w * 0.2, h * 0.55), (w * 0.86, h * 0.55)):
            pen.fill(rounded_rect(px - 8, py - 4, px + 8, py + 4, 3), (70, 70, 80, 255))
            blade = [1.0, 0.55, 0.12, 0.55][frame] * h * 0.16
            pen.fill(ellipse(px, py, 2.5, blade), (200, 200, 210, 255), 0.9)
            pen.fill(circle(px, py, h * 0.17), (220, 220, 230, 255), 0.18)
            pen.fill(circle(px, py, 2.4), (40, 40, 40, 255))
    if wrecked:
        # torn fabric and flames
        pen.fill(raster.transform([(cx + rx * 0.1, cy - ry * 0.9), (cx + rx * 0.35, cy - ry * 0.2),
                                   (cx + rx * 0.05, cy + ry * 0.3), (cx - rx * 0.2, cy - ry * 0.3)],
                                  angle=tilt, cx=cx, cy=cy), (30, 20, 20, 255), 0.8)
        flicker = [1.0, 0.85, 1.1, 0.9][frame]
        for i, (fx, size) in enumerate(((cx - rx * 0.3, 1.0), (cx + rx * 0.3, 0.8), (cx + rx * 0.05, 0.6))):
            fy = cy - ry * 0.5 + i * 3
            s = size * flicker * h * 0.22
            pen.fill([(fx - s * 0.5, fy + s * 0.3), (fx - s * 0.2, fy - s * 0.9), (fx, fy - s * 0.4),
                      (fx + s * 0.2, fy - s * 1.2), (fx + s * 0.5, fy + s * 0.3)], (240, 120, 30, 255))
            pen.fill([(fx - s * 0.25, fy + s * 0.3), (fx, fy - s * 0.6), (fx + s * 0.25, fy + s * 0.3)],
                     (255, 230, 110, 255))
        for i in range(3):
            pen.fill(circle(cx - rx * 0.4 + i * rx * 0.4, cy - ry * 1.1 - frame * 2 - i * 3, h * 0.08 + i * 2),
                     (70, 66, 70, 255), 0.5)


def propeller_frame(pen, size, frame, heavy):
    """A rear propeller unit (the "wing" of the Gremlin and the Tyrant): hub, spinning blades."""
    c = size / 2.0
    metal = (70, 72, 84, 255) if heavy else (150, 110, 60, 255)
    pen.fill(rounded_rect(c - size * 0.05, c - size * 0.16, c + size * 0.45, c + size * 0.16, size * 0.1), _INK)
    pen.fill(rounded_rect(c - size * 0.03, c - size * 0.13, c + size * 0.43, c + size * 0.13, size * 0.09),
             pen.vgrad([(c - size * 0.13, shade(metal, 1.4)), (c + size * 0.13, shade(metal, 0.6))]))
    pen.fill(circle(c, c, size * 0.44), (230, 230, 240, 255), 0.16)
    spread = [1.0, 0.6, 0.15, 0.6][frame]
    blade_colour = (222, 210, 180, 255) if not heavy else (190, 190, 200, 255)
    pen.fill(ellipse(c, c - size * 0.22 * spread, size * 0.07, size * 0.22 * spread + 1), blade_colour)
    pen.fill(ellipse(c, c + size * 0.22 * spread, size * 0.07, size * 0.22 * spread + 1), shade(blade_colour, 0.75))
    pen.fill(circle(c, c, size * 0.08), (60, 50, 40, 255))


# -- guns -----------------------------------------------------------------------------------------
def gun_frame(pen, size, angle, frame, style):
    """A turret aimed at `angle` degrees. Frames: 0 at rest, 1 firing flash, 2 recoil and smoke,
    3 at rest again. Styles: "ballista" (wooden bolt thrower), "cannon" (iron), "ship" (brass)."""
    c = size / 2.0
    recoil = {1: 0.1, 2: 0.06}.get(frame, 0.0) * size
    length = size * (0.42 if style != "ship" else 0.4)
    tip = polar(c, c, length - recoil, angle)
    base = polar(c, c, -recoil, angle)
    if style == "ballista":
        wood = (150, 100, 56, 255)
        left = polar(tip[0], tip[1], size * 0.22, angle + 130)
        right = polar(tip[0], tip[1], size * 0.22, angle - 130)
        mid = polar(c, c, length * 0.55 - recoil, angle)
        pen.fill(capsule(left[0], left[1], mid[0], mid[1], size * 0.045), _INK)
        pen.fill(capsule(right[0], right[1], mid[0], mid[1], size * 0.045), _INK)
        pen.fill(capsule(left[0], left[1], mid[0], mid[1], size * 0.03), shade(wood, 1.2))
        pen.fill(capsule(right[0], right[1], mid[0], mid[1], size * 0.03), shade(wood, 1.2))
        pen.fill(capsule(base[0], base[1], tip[0], tip[1], size * 0.07), _INK)
        pen.fill(capsule(base[0], base[1], tip[0], tip[1], size * 0.05), wood)
        if frame in (0, 3):
            bolt = polar(c, c, length + size * 0.06, angle)
            pen.fill(capsule(base[0], base[1], bolt[0], bolt[1], size * 0.018), (210, 210, 220, 255))
        pen.fill(circle(c, c, size * 0.17), _INK)
        pen.fill(circle(c, c, size * 0.14), pen.radial(c - 3, c - 3, [(0, shade(wood, 1.4)), (size * 0.2, shade(wood, 0.7))]))
    else:
        metal = (64, 66, 78, 255) if style == "cannon" else (196, 150, 64, 255)
        radius = size * (0.11 if style == "cannon" else 0.1)
        pen.fill(capsule(base[0], base[1], tip[0], tip[1], radius + 2), _INK)
        pen.fill(capsule(base[0], base[1], tip[0], tip[1], radius), shade(metal, 1.15))
        band = polar(c, c, length * 0.8 - recoil, angle)
        pen.fill(circle(band[0], band[1], radius * 1.15), shade(metal, 0.8))
        pen.fill(circle(tip[0], tip[1], radius * 0.6), (20, 18, 20, 255))
        pen.fill(circle(c, c, size * 0.2), _INK)
        pen.fill(circle(c, c, size * 0.17), pen.radial(c - 3, c - 4, [(0, shade(metal, 1.6)), (size * 0.2, shade(metal, 0.6))]))
        pen.fill(circle(c, c, size * 0.05), shade(metal, 0.5))
    if frame == 1:
        flash = polar(c, c, length + size * 0.08, angle)
        pen.fill(star(flash[0], flash[1], size * 0.16, size * 0.07, 6, math.radians(-angle)), (255, 200, 60, 255))
        pen.fill(star(flash[0], flash[1], size * 0.09, size * 0.04, 6, math.radians(-angle) + 0.5), (255, 250, 200, 255))
    if frame == 2:
        puff = polar(c, c, length + size * 0.1, angle)
        pen.fill(circle(puff[0], puff[1], size * 0.09), (200, 200, 200, 255), 0.6)
        puff = polar(c, c, length + size * 0.2, angle)
        pen.fill(circle(puff[0], puff[1], size * 0.06), (210, 210, 210, 255), 0.4)


# -- towers ---------------------------------------------------------------------------------------
def _island(pen, w, h, top):
    """The floating rock a tower stands on."""
    pts = [(w * 0.08, top), (w * 0.92, top), (w * 0.8, top + h * 0.1), (w * 0.68, top + h * 0.2),
           (w * 0.52, top + h * 0.28), (w * 0.4, top + h * 0.2), (w * 0.24, top + h * 0.12)]
    pen.fill(raster.transform(pts, sx=1.04, sy=1.08, cx=w / 2, cy=top), _INK)
    pen.fill(pts, pen.vgrad([(top, (122, 104, 90)), (top + h * 0.28, (62, 52, 50))]))
    pen.fill(rect(w * 0.08, top - 3, w * 0.92, top + 3), (88, 150, 70, 255))
    pen.fill(rounded_rect(w * 0.06, top - 5, w * 0.94, top + 1, 3), (110, 176, 84, 255))


def _flag(pen, x, y, frame, colour):
    wave = [0, 2, 0, -2][frame]
    pen.fill(thick_line(x, y, x, y + 22, 2), (60, 50, 40, 255))
    pen.fill([(x + 1, y), (x + 10, y + 2 + wave * 0.5), (x + 20, y + wave), (x + 19, y + 10 + wave),
              (x + 10, y + 11 + wave * 0.5), (x + 1, y + 9)], colour)


def tower_frame(pen, stone, w, h, frame, ruined):
    """A tower on its floating rock. Row 0 standing (a waving flag), row 1 in ruins (smoke)."""
    top = h * 0.7
    if not ruined:
        if stone:
            wall = (150, 150, 158, 255)
            body = [w * 0.26, h * 0.2, w * 0.74, top]
            pen.fill(rect(body[0] - 2, body[1] - 2, body[2] + 2, body[3]), _INK)
            pen.fill(rect(*body), pen.vgrad([(body[1], shade(wall, 1.2)), (top, shade(wall, 0.7))]))
            for row in range(6):
                y = body[1] + 6 + row * (top - body[1]) / 6.0
                pen.fill(rect(body[0], y, body[2], y + 1.5), shade(wall, 0.6))
                offset = 0 if row % 2 else w * 0.12
                for col in range(3):
                    x = body[0] + offset + col * w * 0.2
                    if body[0] < x < body[2]:
                        pen.fill(rect(x, y - (top - body[1]) / 6.0 + 1.5, x + 1.5, y), shade(wall, 0.6))
            for i in range(4):
                x = body[0] - 4 + i * (body[2] - body[0] + 8) / 3.5
                pen.fill(rect(x - 1, body[1] - 14, x + 11, body[1] + 1), _INK)
                pen.fill(rect(x, body[1] - 13, x + 10, body[1]), shade(wall, 1.25))
            pen.fill(rect(body[0] - 6, body[1] - 2, body[2] + 6, body[1] + 6), shade(wall, 0.85))
            pen.fill(rounded_rect(w * 0.44, top - h * 0.16, w * 0.56, top, 6), (60, 44, 36, 255))
            pen.fill(rounded_rect(w * 0.46, h * 0.34, w * 0.54, h * 0.44, 4), (255, 200, 90, 255))
            _flag(pen, w * 0.5, h * 0.02, frame, (60, 110, 200, 255))
        else:
            wood = (150, 98, 52, 255)
            legs = [(w * 0.28, top, w * 0.36, h * 0.34), (w * 0.72, top, w * 0.64, h * 0.34)]
            for x0, y0, x1, y1 in legs:
                pen.fill(thick_line(x0, y0, x1, y1, 9), _INK)
                pen.fill(thick_line(x0, y0, x1, y1, 6), shade(wood, 1.1))
            pen.fill(thick_line(w * 0.3, top - 8, w * 0.68, h * 0.42, 4), shade(wood, 0.8))
            pen.fill(thick_line(w * 0.7, top - 8, w * 0.32, h * 0.42, 4), shade(wood, 0.8))
            cabin = [w * 0.2, h * 0.22, w * 0.8, h * 0.4]
            pen.fill(rect(cabin[0] - 2, cabin[1] - 2, cabin[2] + 2, cabin[3] + 2), _INK)
            pen.fill(rect(*cabin), pen.vgrad([(cabin[1], shade(wood, 1.25)), (cabin[3], shade(wood, 0.7))]))
            for i in range(5):
                x = cabin[0] + i * (cabin[2] - cabin[0]) / 5.0
                pen.fill(rect(x, cabin[1], x + 1.5, cabin[3]), shade(wood, 0.55))
            pen.fill([(w * 0.12, h * 0.24), (w * 0.5, h * 0.08), (w * 0.88, h * 0.24)], _INK)
            pen.fill([(w * 0.16, h * 0.225), (w * 0.5, h * 0.1), (w * 0.84, h * 0.225)], (170, 60, 44, 255))
            _flag(pen, w * 0.5, h * 0.0, frame, (220, 180, 50, 255))
    else:
        rubble = (118, 112, 110, 255) if stone else (110, 74, 44, 255)
        pen.fill([(w * 0.2, top), (w * 0.3, h * 0.5), (w * 0.42, h * 0.56), (w * 0.5, h * 0.44),
                  (w * 0.62, h * 0.54), (w * 0.8, top)], _INK)
        pen.fill([(w * 0.23, top), (w * 0.31, h * 0.52), (w * 0.42, h * 0.58), (w * 0.5, h * 0.47),
                  (w * 0.61, h * 0.56), (w * 0.77, top)], rubble)
        for i in range(3):
            pen.fill(rect(w * (0.3 + i * 0.14), top - 10 - i * 3, w * (0.38 + i * 0.14), top - 4 - i * 2),
                     shade(rubble, 0.7))
        for i in range(3):
            r = w * (0.1 + 0.03 * i)
            pen.fill(circle(w * (0.45 + 0.06 * i) + (frame % 2) * 2, h * (0.42 - 0.12 * i) - frame * 2, r),
                     (80, 76, 80, 255), 0.55 - 0.12 * i)
    _island(pen, w, h, top)


# -- the city -------------------------------------------------------------------------------------
def city_frame(pen, w, h, frame, state):
    """The dwarf fortress on the right edge. State 0 standing, 1 damaged, 2 fallen."""
    rock = pen.vgrad([(0, (120, 104, 96)), (h, (60, 50, 52))])
    mountain = [(w * 0.18, h), (w * 0.1, h * 0.75), (w * 0.22, h * 0.5), (w * 0.3, h * 0.18),
                (w * 0.5, h * 0.04), (w * 0.75, h * 0.0), (w, h * 0.02), (w, h)]
    pen.fill(raster.transform(mountain, dx=-3), _INK)
    pen.fill(mountain, rock)
    stone = (170, 160, 150, 255) if state == 0 else (140, 128, 120, 255) if state == 1 else (96, 88, 84, 255)
    # outer wall with gate
    wall = [w * 0.12, h * 0.42, w * 0.62, h * 0.9]
    if state < 2:
        pen.fill(rect(wall[0] - 3, wall[1] - 3, wall[2] + 3, wall[3]), _INK)
        pen.fill(rect(*wall), pen.vgrad([(wall[1], shade(stone, 1.2)), (wall[3], shade(stone, 0.65))]))
        for i in range(7):
            x = wall[0] + i * (wall[2] - wall[0]) / 6.6
            pen.fill(rect(x - 1, wall[1] - 17, x + 15, wall[1] + 1), _INK)
            pen.fill(rect(x, wall[1] - 16, x + 14, wall[1]), shade(stone, 1.25))
        for row in range(8):
            y = wall[1] + 10 + row * (wall[3] - wall[1]) / 8.0
            pen.fill(rect(wall[0], y, wall[2], y + 1.5), shade(stone, 0.6), 0.7)
        pen.fill(rounded_rect(w * 0.24, h * 0.68, w * 0.44, h * 0.9, 26), _INK)
        pen.fill(rounded_rect(w * 0.255, h * 0.69, w * 0.425, h * 0.9, 24), (96, 62, 36, 255))
        for i in range(4):
            x = w * 0.27 + i * w * 0.04
            pen.fill(rect(x, h * 0.7, x + 2, h * 0.9), (60, 38, 24, 255))
        # keep with glowing windows and banners
        keep = [w * 0.45, h * 0.14, w * 0.85, h * 0.6]
        pen.fill(rect(keep[0] - 3, keep[1] - 3, keep[2] + 3, keep[3]), _INK)
        pen.fill(rect(*keep), pen.vgrad([(keep[1], shade(stone, 1.3)), (keep[3], shade(stone, 0.75))]))
        for i in range(5):
            x = keep[0] + i * (keep[2] - keep[0]) / 4.6
            pen.fill(rect(x - 1, keep[1] - 19, x + 17, keep[1] + 1), _INK)
            pen.fill(rect(x, keep[1] - 18, x + 16, keep[1]), shade(stone, 1.3))
        glow = [(255, 214, 110, 255), (255, 190, 90, 255), (255, 230, 140, 255), (255, 200, 100, 255)][frame]
        for row in range(3):
            for col in range(3):
                x = keep[0] + 22 + col * (keep[2] - keep[0] - 44) / 2.0
                y = keep[1] + 40 + row * 70
                pen.fill(rounded_rect(x - 8, y - 14, x + 8, y + 14, 7), _INK)
                pen.fill(rounded_rect(x - 6, y - 12, x + 6, y + 12, 6), glow if state == 0 or (row + col) % 2 else (40, 30, 30, 255))
        for x in (keep[0] + 10, keep[2] - 30):
            wave = [0, 3, 0, -3][frame]
            pen.fill(rect(x, keep[1] + 4, x + 20, keep[1] + 70), (150, 40, 40, 255))
            pen.fill([(x, keep[1] + 70), (x + 10, keep[1] + 82 + wave), (x + 20, keep[1] + 70)], (150, 40, 40, 255))
            pen.fill(circle(x + 10, keep[1] + 34, 6), (240, 200, 70, 255))
        # a spire with a beacon
        pen.fill([(w * 0.6, keep[1] - 18), (w * 0.65, h * 0.0 + 6), (w * 0.7, keep[1] - 18)], _INK)
        pen.fill([(w * 0.61, keep[1] - 19), (w * 0.65, h * 0.0 + 10), (w * 0.69, keep[1] - 19)], (90, 70, 120, 255))
    else:
        pen.fill([(wall[0], wall[3]), (wall[0] + 10, h * 0.6), (w * 0.3, h * 0.66), (w * 0.4, h * 0.5),
                  (w * 0.55, h * 0.58), (w * 0.7, h * 0.36), (w * 0.85, h * 0.48), (w * 0.88, wall[3])], _INK)
        pen.fill([(wall[0] + 3, wall[3]), (wall[0] + 12, h * 0.62), (w * 0.3, h * 0.68), (w * 0.4, h * 0.53),
                  (w * 0.55, h * 0.6), (w * 0.7, h * 0.39), (w * 0.84, h * 0.5), (w * 0.86, wall[3])],
                 pen.vgrad([(h * 0.4, shade(stone, 1.1)), (h * 0.9, shade(stone, 0.6))]))
    if state >= 1:
        # cracks and fires
        for x, y in ((w * 0.3, h * 0.5), (w * 0.6, h * 0.3), (w * 0.72, h * 0.5)):
            pen.fill([(x, y), (x + 6, y + 14), (x + 2, y + 18), (x + 8, y + 34)], _INK)
        fires = [(w * 0.5, h * 0.42), (w * 0.78, h * 0.2)] if state == 1 else \
            [(w * 0.3, h * 0.62), (w * 0.5, h * 0.52), (w * 0.7, h * 0.4), (w * 0.6, h * 0.75)]
        for i, (fx, fy) in enumerate(fires):
            s = (26 if state == 1 else 40) * [1.0, 0.85, 1.1, 0.9][(frame + i) % 4]
            pen.fill([(fx - s * 0.5, fy), (fx - s * 0.3, fy - s), (fx - s * 0.05, fy - s * 0.6), (fx + s * 0.15, fy - s * 1.3),
                      (fx + s * 0.35, fy - s * 0.7), (fx + s * 0.5, fy)], (236, 110, 30, 255))
            pen.fill([(fx - s * 0.25, fy), (fx, fy - s * 0.7), (fx + s * 0.25, fy)], (255, 226, 110, 255))
            for k in range(3):
                pen.fill(circle(fx + k * 6, fy - s * 1.4 - k * 16 - frame * 3, 10 + k * 5), (60, 56, 60, 255), 0.45)


# -- effects --------------------------------------------------------------------------------------
def explosion_frame(pen, size, frame, last):
    """Frames 0..last-1 of a fireball that grows and turns to smoke; the last frame is blank, so
    the sprite shows nothing once the explosion has played."""
    if frame >= last:
        return
    c = size / 2.0
    t = frame / float(last - 1)
    if frame == 0:
        pen.fill(star(c, c, size * 0.45, size * 0.18, 8, 0.2), (255, 250, 210, 255))
        pen.fill(circle(c, c, size * 0.2), (255, 255, 255, 255))
        return
    fire = [0.0, 0.55, 0.8, 0.7, 0.45, 0.2, 0.0][min(frame, 6)]
    smoke = [0.0, 0.2, 0.35, 0.5, 0.6, 0.55, 0.35][min(frame, 6)]
    for i in range(6):
        a = i * math.pi / 3 + t
        r = size * (0.08 + 0.16 * t)
        pen.fill(circle(c + math.cos(a) * r, c + math.sin(a) * r - t * size * 0.06, size * (0.1 + 0.1 * t)),
                 (72, 66, 68, 255), smoke)
    if fire > 0:
        pen.fill(circle(c, c, size * 0.4 * fire + 2), (240, 100, 30, 255), 0.92)
        pen.fill(circle(c, c - 2, size * 0.27 * fire + 1), (255, 190, 60, 255))
        pen.fill(circle(c, c - 3, size * 0.13 * fire + 1), (255, 250, 200, 255))
    for i in range(5):
        a = i * 2 * math.pi / 5 + 0.7
        r = size * (0.15 + 0.28 * t)
        pen.fill(circle(c + math.cos(a) * r, c + math.sin(a) * r, 2.5), (255, 200, 80, 255), 1.0 - t)


def puff_frame(pen, size, colour, blank):
    """A soft round puff for particles (frame 0); frame 1 is blank (the emitter object's own look)."""
    if blank:
        return
    c = size / 2.0
    for i, (dx, dy, r) in enumerate(((0, 2, 0.3), (-0.12, -0.05, 0.22), (0.13, -0.08, 0.2), (0.0, -0.14, 0.2))):
        pen.fill(circle(c + dx * size, c + dy * size if i else c, r * size),
                 pen.radial(c + dx * size, c + dy * size, [(0, shade(colour, 1.15)), (r * size, colour)]), 0.55)


def star_frame(pen, size, frame, lost):
    """A rating star: row 0 lit and twinkling, row 1 lost (dark)."""
    c = size / 2.0
    if lost:
        pen.fill(star(c, c + 2, size * 0.46, size * 0.2), _INK)
        pen.fill(star(c, c + 1, size * 0.42, size * 0.17), (70, 68, 80, 255))
        pen.fill(star(c, c, size * 0.3, size * 0.12), (92, 90, 104, 255))
        return
    glow = [0.25, 0.35, 0.45, 0.35][frame]
    pen.fill(circle(c, c, size * 0.48), (255, 220, 90, 255), glow * 0.5)
    pen.fill(star(c, c + 2, size * 0.46, size * 0.2), _INK)
    pen.fill(star(c, c + 1, size * 0.42, size * 0.17),
             pen.vgrad([(c - size * 0.4, (255, 240, 140)), (c + size * 0.4, (230, 150, 20))]))
    pen.fill(star(c - 2, c - 2, size * 0.2, size * 0.08), (255, 252, 210, 255), 0.7)
    sparkle = [(0.7, 0.25), (0.25, 0.3), (0.75, 0.7), (0.3, 0.75)][frame]
    sx, sy = sparkle[0] * size, sparkle[1] * size
    pen.fill(star(sx, sy, size * 0.1, size * 0.02, 4, 0.0), (255, 255, 255, 255))
