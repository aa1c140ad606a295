"""Small raster toolkit for the demo data set: an RGB canvas with shapes and a
built-in 5 x 7 bitmap font, and writers for 24-bit BMP, truecolour PNG and
uncompressed TGA. Pure green (0, 255, 0) is the game's transparent colour, so
sprites start from it and never draw with it."""
import struct
import zlib

KEY = (0, 255, 0)

# 5 x 7 glyphs, one string of 7 rows of 5 bits each ('#' set).
_GLYPHS = {
    'A': '.###.#...##...#######...##...##...#', 'B': '####.#...#####.#...##...##...#####.',
    'C': '.###.#...##....#....#....#...#.###.', 'D': '####.#...##...##...##...##...#####.',
    'E': '######....####.#....#....#....#####', 'F': '######....####.#....#....#....#....',
    'G': '.###.#...##....#.####...##...#.####', 'H': '#...##...#######...##...##...##...#',
    'I': '.###...#....#....#....#....#...###.', 'J': '..###...#....#....#....#.#..#..##..',
    'K': '#...##..#.###..#.#..#..#.#...##...#', 'L': '#....#....#....#....#....#....#####',
    'M': '#...###.###.#.##...##...##...##...#', 'N': '#...###..##.#.##..###...##...##...#',
    'O': '.###.#...##...##...##...##...#.###.', 'P': '####.#...##...#####.#....#....#....',
    'Q': '.###.#...##...##...##.#.##..#..##.#', 'R': '####.#...##...#####.#.#..#..#.#...#',
    'S': '.#####....#.....###.....#....#####.', 'T': '#####..#....#....#....#....#....#..',
    'U': '#...##...##...##...##...##...#.###.', 'V': '#...##...##...##...##...#.#.#...#..',
    'W': '#...##...##...##.#.##.#.###.###...#', 'X': '#...##...#.#.#...#...#.#.#...##...#',
    'Y': '#...##...#.#.#...#....#....#....#..', 'Z': '#####....#...#...#...#...#....#####',
    '0': '.###.#...##..###.#.###..##...#.###.', '1': '..#...##....#....#....#....#...###.',
    '2': '.###.#...#....#...#...#...#...#####', '3': '#####...#...#.....#.....##...#.###.',
    '4': '...#...##..#.#.#..#.#####...#....#.', '5': '######....####.....#....##...#.###.',
    '6': '..##..#...#....####.#...##...#.###.', '7': '#####....#...#...#...#....#....#...',
    '8': '.###.#...##...#.###.#...##...#.###.', '9': '.###.#...##...#.####....#...#..##..',
    '.': '..............................##...', '-': '...............#####...............',
    '!': '..#....#....#....#....#.........#..', "'": '..#....#...#.......................',
    '&': '.##..#..#.#.#...#...#.#.##..#..##.#', ':': '.......##...##.......##...##.......',
    '/': '.....#....#...#...#...#....#.......', '?': '.###.#...#....#...#...#.........#..',
    ' ': '.' * 35,
}


class Canvas:
    def __init__(self, width, height, colour=KEY):
        self.w, self.h = width, height
        self.px = bytearray(bytes(colour) * (width * height))

    def put(self, x, y, c):
        if 0 <= x < self.w and 0 <= y < self.h:
            i = (y * self.w + x) * 3
            self.px[i:i + 3] = bytes(c)

    def get(self, x, y):
        i = (y * self.w + x) * 3
        return tuple(self.px[i:i + 3])

    def rect(self, x, y, w, h, c):
        x0, y0, x1, y1 = max(0, x), max(0, y), min(self.w, x + w), min(self.h, y + h)
        if x0 >= x1:
            return
        run = bytes(c) * (x1 - x0)
        for yy in range(y0, y1):
            i = (yy * self.w + x0) * 3
            self.px[i:i + len(run)] = run

    def frame(self, x, y, w, h, c, t=1):
        self.rect(x, y, w, t, c)
        self.rect(x, y + h - t, w, t, c)
        self.rect(x, y, t, h, c)
        self.rect(x + w - t, y, t, h, c)

    def ellipse(self, cx, cy, rx, ry, c):
        if rx <= 0 or ry <= 0:
            return
        for yy in range(int(cy - ry), int(cy + ry) + 1):
            d = 1.0 - ((yy + 0.5 - cy) / ry) ** 2
            if d < 0:
                continue
            half = rx * d ** 0.5
            x0, x1 = int(round(cx - half)), int(round(cx + half))
            self.rect(x0, yy, x1 - x0, 1, c)

    def circle(self, cx, cy, r, c):
        self.ellipse(cx, cy, r, r, c)

    def line(self, x0, y0, x1, y1, c, t=1):
        steps = max(abs(x1 - x0), abs(y1 - y0), 1)
        for s in range(steps + 1):
            x = x0 + (x1 - x0) * s / steps
            y = y0 + (y1 - y0) * s / steps
            self.rect(int(x - t // 2), int(y - t // 2), t, t, c)

    def triangle(self, pts, c):
        ys = [p[1] for p in pts]
        for yy in range(int(min(ys)), int(max(ys)) + 1):
            xs = []
            for i in range(3):
                (xa, ya), (xb, yb) = pts[i], pts[(i + 1) % 3]
                if ya == yb:
                    continue
                t = (yy + 0.5 - ya) / (yb - ya)
                if 0 <= t <= 1:
                    xs.append(xa + (xb - xa) * t)
            if len(xs) >= 2:
                self.rect(int(round(min(xs))), yy, int(round(max(xs) - min(xs))) + 1, 1, c)

    def text(self, x, y, s, c, scale=1, shadow=None):
        if shadow:
            self.text(x + scale, y + scale, s, shadow, scale)
        for ch in s.upper():
            g = _GLYPHS.get(ch, _GLYPHS['?'])
            for r in range(7):
                for k in range(5):
                    if g[r * 5 + k] == '#':
                        self.rect(x + k * scale, y + r * scale, scale, scale, c)
            x += 6 * scale

    def blit(self, other, x, y):
        for yy in range(other.h):
            for xx in range(other.w):
                c = other.get(xx, yy)
                if c != KEY:
                    self.put(x + xx, y + yy, c)

    def rows(self):
        stride = self.w * 3
        return [bytes(self.px[y * stride:(y + 1) * stride]) for y in range(self.h)]


def text_width(s, scale=1):
    return 6 * scale * len(s) - scale


def _bgr(row):
    out = bytearray(row)
    out[0::3], out[2::3] = row[2::3], row[0::3]
    return bytes(out)


def _palette(cv):
    """The image's colours when there are at most 256, else None."""
    colours = {}
    px = cv.px
    for i in range(0, len(px), 3):
        c = bytes(px[i:i + 3])
        if c not in colours:
            if len(colours) == 256:
                return None
            colours[c] = len(colours)
    return colours


def bmp_bytes(cv):
    """8 bits with a colour table when the picture has few colours, else 24."""
    colours = _palette(cv)
    if colours is not None:
        table = b''.join(c[2:3] + c[1:2] + c[0:1] + b'\0' for c in colours)
        pad = (-cv.w) % 4
        body = b''.join(bytes(colours[bytes(r[i:i + 3])] for i in range(0, len(r), 3)) + b'\0' * pad
                        for r in reversed(cv.rows()))
        offset = 54 + len(table)
        header = struct.pack('<2sIHHI', b'BM', offset + len(body), 0, 0, offset)
        info = struct.pack('<IiiHHIIiiII', 40, cv.w, cv.h, 1, 8, 0, len(body), 2835, 2835,
                           len(colours), 0)
        return header + info + table + body
    pad = (-cv.w * 3) % 4
    body = b''.join(_bgr(r) + b'\0' * pad for r in reversed(cv.rows()))
    header = struct.pack('<2sIHHI', b'BM', 54 + len(body), 0, 0, 54)
    info = struct.pack('<IiiHHIIiiII', 40, cv.w, cv.h, 1, 24, 0, len(body), 2835, 2835, 0, 0)
    return header + info + body


def png_bytes(cv):
    def chunk(kind, data):
        return struct.pack('>I', len(data)) + kind + data + struct.pack('>I', zlib.crc32(kind + data))
    raw = b''.join(b'\0' + r for r in cv.rows())
    return (b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', cv.w, cv.h, 8, 2, 0, 0, 0)) +
            chunk(b'IDAT', zlib.compress(raw, 6)) + chunk(b'IEND', b''))


def tga_bytes(cv):
    header = struct.pack('<BBBHHBHHHHBB', 0, 0, 2, 0, 0, 0, 0, 0, cv.w, cv.h, 24, 0)
    return header + b''.join(_bgr(r) for r in reversed(cv.rows()))


def encode(cv, path):
    ext = path.rsplit('.', 1)[-1].lower()
    return {'bmp': bmp_bytes, 'png': png_bytes, 'tga': tga_bytes}[ext](cv)


# Colour helpers

def mix(a, b, t):
    return tuple(int(round(a[i] + (b[i] - a[i]) * t)) for i in range(3))


def shade(c, f):
    return tuple(max(0, min(255, int(v * f))) for v in c)


def safe(c):
    """Never the key colour: pure green becomes a near green."""
    return (0, 254, 0) if tuple(c) == KEY else tuple(c)


def hue(h, s=0.8, v=0.95):
    import colorsys
    r, g, b = colorsys.hsv_to_rgb(h % 1.0, s, v)
    return safe((int(r * 255), int(g * 255), int(b * 255)))
