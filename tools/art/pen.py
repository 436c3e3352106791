"""Drawing in a design space: a Pen maps design coordinates (x right, y down) onto a region of a
canvas with an offset and a scale, so one drawing serves a sprite frame, an icon and a card."""

import math

from art import raster
from art import font


class Pen:
    def __init__(self, canvas, left=0.0, top=0.0, scale=1.0):
        self.canvas = canvas
        self.left = left
        self.top = top
        self.scale = scale

    def at(self, x, y):
        return (self.left + x * self.scale, self.top + y * self.scale)

    def points(self, polygon):
        return [self.at(x, y) for x, y in polygon]

    def fill(self, polygons, paint, opacity=1.0, keep_orientation=False):
        if polygons and isinstance(polygons[0], tuple):
            polygons = [polygons]
        self.canvas.fill([self.points(p) for p in polygons], paint, opacity, keep_orientation)

    def vgrad(self, stops):
        return raster.VGrad([(self.top + y * self.scale, c) for y, c in stops])

    def radial(self, cx, cy, stops, sx=1.0, sy=1.0):
        x, y = self.at(cx, cy)
        return raster.RadialGrad(x, y, [(d * self.scale, c) for d, c in stops], sx, sy)

    def text(self, text, cx, cy, size, paint, outline=None, outline_width=0.0, shadow=None,
             shadow_offset=(0.0, 0.0), weight=0.55):
        """Draws text with its capitals centred on (cx, cy); size is the capital height."""
        pitch = size * self.scale / font.kCapRows
        mask, cap_top, cap_height = font.text_mask(text, pitch, weight, margin=int(outline_width * self.scale) + 2)
        x, y = self.at(cx, cy)
        left = int(round(x - mask.width / 2.0))
        top = int(round(y - cap_top - cap_height / 2.0))
        if shadow is not None:
            grown = mask.grown(outline_width * self.scale) if outline_width else mask
            self.canvas.blend_mask(grown, left + int(round(shadow_offset[0] * self.scale)),
                                   top + int(round(shadow_offset[1] * self.scale)), shadow)
        if outline is not None and outline_width:
            self.canvas.blend_mask(mask.grown(outline_width * self.scale), left, top, outline)
        if isinstance(paint, raster.VGrad):
            pass
        self.canvas.blend_mask(mask, left, top, paint)
        return mask.width


def polar(cx, cy, radius, degrees):
    """A point at `degrees` counter-clockwise on screen (y down in the design space)."""
    a = math.radians(degrees)
    return (cx + radius * math.cos(a), cy - radius * math.sin(a))
