"""An RGBA canvas with anti-aliased polygon filling.

Shapes are polygons (lists of (x, y) points in pixel units, y downwards, pixel centres at +0.5).
Filling uses the non-zero rule over every polygon of one call, after turning each polygon the
same way round, so overlapping pieces form their union. Coverage is exact horizontally and
sampled on kSubRows sub-rows vertically. Colours use straight (not premultiplied) alpha.

Fully covered runs of pixels are written with whole-slice operations, so large flat or vertically
graded areas cost little; only edge pixels and paints that vary along a row are blended one by one.
Vertices are rounded to 1/64 pixel so that the output does not depend on the last bit of sin/cos.
"""

import math

kSubRows = 8
_QUANTUM = 64.0


def _clamp_byte(value):
    return 0 if value <= 0 else 255 if value >= 255 else int(value + 0.5)


class Solid:
    """One colour (r, g, b, a), each 0 to 255."""
    row_constant = True

    def __init__(self, colour):
        self.colour = tuple(colour) if len(colour) == 4 else tuple(colour) + (255,)

    def row(self, y):
        return self.colour


def _mix(c0, c1, t):
    return tuple(a + (b - a) * t for a, b in zip(c0, c1))


def _with_alpha(colour):
    return tuple(colour) if len(colour) == 4 else tuple(colour) + (255,)


class VGrad:
    """A vertical gradient through colour stops [(y, colour), ...], constant along each row."""
    row_constant = True

    def __init__(self, stops):
        self.stops = [(float(y), _with_alpha(c)) for y, c in stops]
        self._cache = {}

    def row(self, y):
        if y in self._cache:
            return self._cache[y]
        centre = y + 0.5
        stops = self.stops
        if centre <= stops[0][0]:
            colour = stops[0][1]
        elif centre >= stops[-1][0]:
            colour = stops[-1][1]
        else:
            colour = stops[-1][1]
            for (y0, c0), (y1, c1) in zip(stops, stops[1:]):
                if y0 <= centre <= y1:
                    colour = _mix(c0, c1, (centre - y0) / (y1 - y0) if y1 > y0 else 0.0)
                    break
        colour = tuple(_clamp_byte(v) for v in colour)
        self._cache[y] = colour
        return colour


class FieldPaint:
    """A colour that varies from pixel to pixel: function(x, y) -> (r, g, b, a)."""
    row_constant = False

    def __init__(self, function):
        self.function = function

    def at(self, x, y):
        return self.function(x, y)


class RadialGrad(FieldPaint):
    """Colour stops [(distance, colour), ...] by distance from (cx, cy), scaled by (sx, sy)."""

    def __init__(self, cx, cy, stops, sx=1.0, sy=1.0):
        stops = [(float(d), _with_alpha(c)) for d, c in stops]

        def colour(x, y):
            d = math.hypot((x + 0.5 - cx) / sx, (y + 0.5 - cy) / sy)
            if d <= stops[0][0]:
                return stops[0][1]
            for (d0, c0), (d1, c1) in zip(stops, stops[1:]):
                if d <= d1:
                    return _mix(c0, c1, (d - d0) / (d1 - d0) if d1 > d0 else 0.0)
            return stops[-1][1]
        super().__init__(colour)


def as_paint(paint):
    if isinstance(paint, (Solid, VGrad, FieldPaint)):
        return paint
    return Solid(paint)


def _quantise(points):
    return [(round(x * _QUANTUM) / _QUANTUM, round(y * _QUANTUM) / _QUANTUM) for x, y in points]


def _signed_area(points):
    area = 0.0
    for (x0, y0), (x1, y1) in zip(points, points[1:] + points[:1]):
        area += x0 * y1 - x1 * y0
    return area * 0.5


def _edges(polygons, keep_orientation):
    edges = []
    for polygon in polygons:
        points = _quantise(list(polygon))
        if len(points) < 3:
            continue
        if not keep_orientation and _signed_area(points) < 0:
            points.reverse()
        for (x0, y0), (x1, y1) in zip(points, points[1:] + points[:1]):
            if y0 == y1:
                continue
            if y0 < y1:
                edges.append((y0, y1, x0, (x1 - x0) / (y1 - y0), 1))
            else:
                edges.append((y1, y0, x1, (x0 - x1) / (y0 - y1), -1))
    return edges


def coverage_rows(polygons, width, height, keep_orientation=False):
    """Yields (y, full_runs, edge_pixels) per pixel row: full_runs are [x0, x1) ranges covered
    completely, edge_pixels (x, coverage) the partly covered pixels."""
    edges = _edges(polygons, keep_orientation)
    if not edges:
        return
    top = max(0, int(math.floor(min(e[0] for e in edges))))
    bottom = min(height, int(math.ceil(max(e[1] for e in edges))))
    edges.sort()
    start = 0
    for y in range(top, bottom):
        active = [e for e in edges if e[0] < y + 1 and e[1] > y]
        if not active:
            continue
        sub_intervals = []
        for s in range(kSubRows):
            sy = y + (s + 0.5) / kSubRows
            crossings = sorted((x0 + (sy - y0) * slope, d)
                               for (y0, y1, x0, slope, d) in active if y0 <= sy < y1)
            intervals = []
            wind = 0
            begin = 0.0
            for x, d in crossings:
                before = wind
                wind += d
                if before == 0 and wind != 0:
                    begin = x
                elif before != 0 and wind == 0:
                    a = max(begin, 0.0)
                    b = min(x, float(width))
                    if b > a:
                        intervals.append((a, b))
            sub_intervals.append(intervals)
        yield (y,) + _row_runs(sub_intervals, width)
    del start


def _intersect(runs_a, runs_b):
    result = []
    i = j = 0
    while i < len(runs_a) and j < len(runs_b):
        a0, a1 = runs_a[i]
        b0, b1 = runs_b[j]
        lo, hi = max(a0, b0), min(a1, b1)
        if hi > lo:
            result.append((lo, hi))
        if a1 < b1:
            i += 1
        else:
            j += 1
    return result


def _merge(runs):
    runs = sorted(runs)
    merged = []
    for a, b in runs:
        if merged and a <= merged[-1][1]:
            if b > merged[-1][1]:
                merged[-1] = (merged[-1][0], b)
        else:
            merged.append((a, b))
    return merged


def _row_runs(sub_intervals, width):
    full = None
    touched = []
    for intervals in sub_intervals:
        inner = _merge([(int(math.ceil(a)), int(math.floor(b))) for a, b in intervals
                        if int(math.floor(b)) > int(math.ceil(a))])
        full = inner if full is None else _intersect(full, inner)
        touched.extend((int(math.floor(a)), min(width, int(math.ceil(b)))) for a, b in intervals)
    full = full or []
    touched = _merge(touched)
    edge_pixels = []
    share = 1.0 / kSubRows
    for t0, t1 in touched:
        x = t0
        for f0, f1 in full + [(width + 1, width + 1)]:
            if f1 <= x:
                continue
            for px in range(x, min(f0, t1)):
                cover = 0.0
                for intervals in sub_intervals:
                    for a, b in intervals:
                        overlap = min(b, px + 1.0) - max(a, float(px))
                        if overlap > 0:
                            cover += overlap
                if cover > 0:
                    edge_pixels.append((px, min(1.0, cover * share)))
            x = max(x, f1)
            if x >= t1:
                break
    return full, edge_pixels


class Canvas:
    """A width x height RGBA image, rows top to bottom."""

    def __init__(self, width, height, fill=(0, 0, 0, 0)):
        self.width = width
        self.height = height
        fill = _with_alpha(fill)
        self.pixels = bytearray(bytes(fill) * (width * height))
        # An opaque canvas stays opaque under "over" blending, which allows whole-run blending
        # with per-channel lookup tables.
        self.opaque = fill[3] == 255

    # -- pixel blending -------------------------------------------------------------------------
    def _blend_pixel(self, index, r, g, b, a):
        """Blends colour (r, g, b) with opacity a (0..1) over the pixel at byte index."""
        if a <= 0:
            return
        px = self.pixels
        if a >= 1:
            px[index] = r
            px[index + 1] = g
            px[index + 2] = b
            px[index + 3] = 255
            return
        da = px[index + 3] / 255.0
        keep = da * (1.0 - a)
        out = a + keep
        px[index] = _clamp_byte((r * a + px[index] * keep) / out)
        px[index + 1] = _clamp_byte((g * a + px[index + 1] * keep) / out)
        px[index + 2] = _clamp_byte((b * a + px[index + 2] * keep) / out)
        px[index + 3] = _clamp_byte(out * 255.0)

    def _blend_run(self, y, x0, x1, colour, opacity):
        r, g, b, a = colour
        alpha = a / 255.0 * opacity
        if alpha <= 0 or x1 <= x0:
            return
        start = (y * self.width + x0) * 4
        end = (y * self.width + x1) * 4
        count = x1 - x0
        if alpha >= 1.0:
            self.pixels[start:end] = bytes((r, g, b, 255)) * count
            return
        if self.opaque:
            for channel, value in enumerate((r, g, b)):
                table = bytes(_clamp_byte(value * alpha + d * (1.0 - alpha)) for d in range(256))
                self.pixels[start + channel:end:4] = bytes(self.pixels[start + channel:end:4]).translate(table)
            return
        for x in range(x0, x1):
            self._blend_pixel((y * self.width + x) * 4, r, g, b, alpha)

    # -- filling --------------------------------------------------------------------------------
    def fill(self, polygons, paint, opacity=1.0, keep_orientation=False):
        """Fills the union of `polygons` (or, with keep_orientation, the non-zero region, so
        reversed polygons cut holes) with `paint`."""
        paint = as_paint(paint)
        for y, full, edge_pixels in coverage_rows(polygons, self.width, self.height, keep_orientation):
            row_index = y * self.width
            if paint.row_constant:
                colour = paint.row(y)
                for x0, x1 in full:
                    self._blend_run(y, x0, x1, colour, opacity)
                r, g, b, a = colour
                for x, cover in edge_pixels:
                    self._blend_pixel((row_index + x) * 4, r, g, b, a / 255.0 * opacity * cover)
            else:
                for x0, x1 in full:
                    for x in range(x0, x1):
                        r, g, b, a = paint.at(x, y)
                        self._blend_pixel((row_index + x) * 4, _clamp_byte(r), _clamp_byte(g),
                                          _clamp_byte(b), a / 255.0 * opacity)
                for x, cover in edge_pixels:
                    r, g, b, a = paint.at(x, y)
                    self._blend_pixel((row_index + x) * 4, _clamp_byte(r), _clamp_byte(g),
                                      _clamp_byte(b), a / 255.0 * opacity * cover)

    def blend_mask(self, mask, left, top, paint, opacity=1.0):
        """Blends `paint` through a coverage mask (Mask) placed with its corner at (left, top)."""
        paint = as_paint(paint)
        for my in range(mask.height):
            y = top + my
            if y < 0 or y >= self.height:
                continue
            row = mask.rows[my]
            colour = paint.row(y) if paint.row_constant else None
            for mx in range(mask.width):
                cover = row[mx]
                if cover <= 0:
                    continue
                x = left + mx
                if x < 0 or x >= self.width:
                    continue
                r, g, b, a = colour if colour is not None else paint.at(x, y)
                self._blend_pixel((y * self.width + x) * 4, _clamp_byte(r), _clamp_byte(g),
                                  _clamp_byte(b), a / 255.0 * opacity * cover)

    def draw(self, other, left, top, opacity=1.0):
        """Blends another canvas over this one with its corner at (left, top)."""
        for oy in range(other.height):
            y = top + oy
            if y < 0 or y >= self.height:
                continue
            for ox in range(other.width):
                x = left + ox
                if x < 0 or x >= self.width:
                    continue
                i = (oy * other.width + ox) * 4
                a = other.pixels[i + 3]
                if a:
                    self._blend_pixel((y * self.width + x) * 4, other.pixels[i], other.pixels[i + 1],
                                      other.pixels[i + 2], a / 255.0 * opacity)

    def erase(self, polygons):
        """Makes the covered pixels fully transparent (used to cut frames blank)."""
        for y, full, edge_pixels in coverage_rows(polygons, self.width, self.height):
            for x0, x1 in full:
                start = (y * self.width + x0) * 4
                self.pixels[start:start + 4 * (x1 - x0)] = bytes(4 * (x1 - x0))


class Mask:
    """A width x height coverage mask (0..1 floats), used for text and soft shapes."""

    def __init__(self, width, height):
        self.width = width
        self.height = height
        self.rows = [[0.0] * width for _ in range(height)]

    def stamp(self, other, left, top):
        """Union (maximum) of another mask placed at (left, top)."""
        for oy in range(other.height):
            y = top + oy
            if 0 <= y < self.height:
                row = self.rows[y]
                source = other.rows[oy]
                for ox in range(other.width):
                    x = left + ox
                    value = source[ox]
                    if value > 0 and 0 <= x < self.width and value > row[x]:
                        row[x] = value

    def grown(self, radius):
        """A copy widened by `radius` pixels (square neighbourhood, max filter), for outlines."""
        radius = int(radius)
        result = Mask(self.width, self.height)
        horizontal = []
        for row in self.rows:
            line = [0.0] * self.width
            for x in range(self.width):
                lo, hi = max(0, x - radius), min(self.width, x + radius + 1)
                line[x] = max(row[lo:hi])
            horizontal.append(line)
        for x in range(self.width):
            column = [horizontal[y][x] for y in range(self.height)]
            for y in range(self.height):
                lo, hi = max(0, y - radius), min(self.height, y + radius + 1)
                result.rows[y][x] = max(column[lo:hi])
        return result


# -- shape builders (all return one polygon as a list of points) --------------------------------
def rect(x0, y0, x1, y1):
    return [(x0, y0), (x1, y0), (x1, y1), (x0, y1)]


def _arc_points(cx, cy, rx, ry, a0, a1, steps):
    return [(cx + rx * math.cos(a0 + (a1 - a0) * i / steps), cy + ry * math.sin(a0 + (a1 - a0) * i / steps))
            for i in range(steps + 1)]


def ellipse(cx, cy, rx, ry, steps=None):
    if steps is None:
        steps = max(12, min(96, int(max(rx, ry) * 1.2)))
    return [(cx + rx * math.cos(2 * math.pi * i / steps), cy + ry * math.sin(2 * math.pi * i / steps))
            for i in range(steps)]


def circle(cx, cy, r, steps=None):
    return ellipse(cx, cy, r, r, steps)


def rounded_rect(x0, y0, x1, y1, radius):
    radius = max(0.0, min(radius, (x1 - x0) / 2.0, (y1 - y0) / 2.0))
    if radius == 0:
        return rect(x0, y0, x1, y1)
    steps = max(3, int(radius / 2))
    half = math.pi / 2
    points = []
    points += _arc_points(x1 - radius, y0 + radius, radius, radius, -half, 0, steps)
    points += _arc_points(x1 - radius, y1 - radius, radius, radius, 0, half, steps)
    points += _arc_points(x0 + radius, y1 - radius, radius, radius, half, 2 * half, steps)
    points += _arc_points(x0 + radius, y0 + radius, radius, radius, 2 * half, 3 * half, steps)
    return points


def capsule(x0, y0, x1, y1, radius, steps=8):
    """A thick line with round ends."""
    angle = math.atan2(y1 - y0, x1 - x0)
    half = math.pi / 2
    return (_arc_points(x1, y1, radius, radius, angle - half, angle + half, steps) +
            _arc_points(x0, y0, radius, radius, angle + half, angle + 3 * half, steps))


def thick_line(x0, y0, x1, y1, width):
    """A thick line with square ends."""
    length = math.hypot(x1 - x0, y1 - y0) or 1.0
    nx, ny = -(y1 - y0) / length * width / 2.0, (x1 - x0) / length * width / 2.0
    return [(x0 + nx, y0 + ny), (x1 + nx, y1 + ny), (x1 - nx, y1 - ny), (x0 - nx, y0 - ny)]


def star(cx, cy, outer, inner, points=5, rotation=-math.pi / 2):
    result = []
    for i in range(points * 2):
        r = outer if i % 2 == 0 else inner
        a = rotation + math.pi * i / points
        result.append((cx + r * math.cos(a), cy + r * math.sin(a)))
    return result


def transform(points, dx=0.0, dy=0.0, angle=0.0, sx=1.0, sy=1.0, cx=0.0, cy=0.0):
    """Scales about (cx, cy), rotates by angle (radians, clockwise on screen since y is down),
    then moves by (dx, dy)."""
    c, s = math.cos(angle), math.sin(angle)
    result = []
    for x, y in points:
        x, y = (x - cx) * sx, (y - cy) * sy
        result.append((cx + x * c - y * s + dx, cy + x * s + y * c + dy))
    return result


def shade(colour, factor):
    """A colour made lighter (factor > 1) or darker (factor < 1), alpha kept."""
    colour = _with_alpha(colour)
    if factor >= 1:
        t = min(1.0, factor - 1.0)
        rgb = [c + (255 - c) * t for c in colour[:3]]
    else:
        rgb = [c * factor for c in colour[:3]]
    return tuple(_clamp_byte(v) for v in rgb) + (colour[3],)
