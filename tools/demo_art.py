"""Procedural pictures of the demo data set: the heroine, enemies, bosses,
shots, items, blocks, backgrounds and the screens' texts. Every function
returns a demo_images.Canvas of the size it is given; sprites keep pure green
where nothing is drawn."""
import math

from demo_images import KEY, Canvas, hue, mix, safe, shade, text_width

WHITE, BLACK = (255, 255, 255), (16, 16, 24)
SKIN, HAIR = (255, 222, 196), (70, 40, 96)
RED, GOLD = (220, 30, 40), (250, 200, 40)

# Per area: sky top, sky bottom, far hills, near hills, ground top, ground body.
AREA_PALETTES = [
    ((90, 160, 240), (200, 230, 255), (120, 170, 140), (60, 130, 70), (80, 190, 60), (130, 90, 50)),
    ((240, 170, 90), (255, 230, 170), (210, 160, 100), (190, 130, 70), (240, 210, 120), (200, 150, 80)),
    ((40, 40, 60), (110, 110, 130), (80, 80, 100), (60, 60, 80), (160, 160, 170), (100, 100, 115)),
    ((150, 200, 240), (235, 245, 255), (190, 215, 235), (160, 190, 220), (240, 250, 255), (140, 170, 210)),
    ((30, 10, 30), (120, 30, 30), (70, 20, 40), (50, 10, 30), (200, 60, 30), (80, 30, 40)),
]
AREA_NAMES = ['FOREST', 'DESERT', 'FACTORY', 'SNOWFIELD', 'CASTLE']


def centred_text(cv, y, s, colour, scale, shadow=BLACK):
    cv.text((cv.w - text_width(s, scale)) // 2, y, s, colour, scale, shadow)


def fitted_text(w, h, s, colour, shadow=BLACK, background=KEY):
    """A picture of one line of text, as large as fits."""
    cv = Canvas(w, h, background)
    scale = max(1, min((w - 2) // max(1, 6 * len(s)), (h - 2) // 8))
    cv.text((w - text_width(s, scale)) // 2, (h - 7 * scale) // 2, s, colour, scale, shadow)
    return cv


# ---------------------------------------------------------------------------
# The heroine

def heroine(w, h, row, frame, frames):
    cv = Canvas(w, h)
    sx, sy = w / 32.0, h / 48.0

    def R(x, y, ww, hh, c):
        cv.rect(int(x * sx), int(y * sy), max(1, int(ww * sx)), max(1, int(hh * sy)), c)

    def E(x, y, rx, ry, c):
        cv.ellipse(x * sx, y * sy, rx * sx, ry * sy, c)

    air = row in (2, 3)
    shoot = row in (1, 3)
    hurt = row == 8
    bob = 1 if (row == 0 and frame % 4 in (1, 2)) else 0
    skirt, top = (RED, WHITE) if not (hurt and frame % 2) else ((255, 180, 180), (255, 230, 230))
    # Long hair behind, the body, the skirt.
    R(9, 8 + bob, 12, 22, HAIR)
    R(11, 19 + bob, 11, 10, top)
    R(12, 22 + bob, 8, 2, RED)                      # the ribbon
    cv.triangle([(9 * sx, 29 * sy), (24 * sx, 29 * sy), (26 * sx, 40 * sy)], skirt)
    cv.triangle([(9 * sx, 29 * sy), (7 * sx, 40 * sy), (26 * sx, 40 * sy)], skirt)
    # Legs: a walking cycle, tucked in the air.
    if air:
        R(12, 39, 4, 5, SKIN)
        R(18, 38, 4, 4, SKIN)
        R(11, 43, 6, 2, BLACK)
        R(18, 41, 6, 2, BLACK)
    else:
        phase = math.sin(2 * math.pi * frame / max(1, frames)) if row == 5 else 0.0
        a, b = int(3 * phase), int(-3 * phase)
        R(12 + a, 40, 3, 6, SKIN)
        R(18 + b, 40, 3, 6, SKIN)
        R(11 + a, 46, 5, 2, BLACK)
        R(17 + b, 46, 5, 2, BLACK)
    # Head, hair fringe, eyes.
    E(16, 11 + bob, 7, 7, SKIN)
    R(9, 3 + bob, 14, 5, HAIR)
    R(9, 3 + bob, 3, 12, HAIR)
    R(21, 3 + bob, 2, 9, HAIR)
    blink = row == 0 and frame == frames - 1
    eye = HAIR if blink else (40, 90, 200)
    R(17, 11 + bob, 2, 1 if blink else 3, eye)
    R(21, 11 + bob, 1, 1 if blink else 3, eye)
    R(24, 6 + bob, 3, 3, RED)                       # hair ornament
    # Arm: out with a wand when shooting.
    if shoot:
        R(20, 20 + bob, 9, 3, top)
        R(28, 19 + bob, 2, 5, GOLD)
        if frame % 2 == 0:
            E(30, 21 + bob, 2, 2, (255, 255, 160))
    else:
        R(19, 20 + bob, 3, 9, top)
        R(19, 28 + bob, 3, 2, SKIN)
    if hurt and frame % 2 == 0:
        cv.frame(0, 0, w, h, (255, 80, 80))
    return cv


# ---------------------------------------------------------------------------
# Enemies and bosses

def eyes(cv, cx, cy, size, look=1, colour=WHITE, pupil=BLACK):
    gap = max(2, size)
    for ex in (cx - gap, cx + gap):
        cv.circle(ex, cy, max(1, size * 0.7), colour)
        cv.circle(ex + look * max(1, size * 0.25), cy, max(1, size * 0.35), pupil)


def enemy(w, h, ident, row, frame):
    cv = Canvas(w, h)
    body = hue(ident * 0.137 + 0.05, 0.75, 0.9)
    if row:
        body = mix(body, (255, 255, 255), 0.25 * min(row, 3))
    dark = shade(body, 0.55)
    shape = ident % 5
    cx, cy = w / 2.0, h / 2.0
    f = frame % 2
    s = min(w, h)
    if s <= 16:
        cv.circle(cx, cy, s / 2 - 1, dark)
        cv.circle(cx, cy, s / 2 - 2, body)
        eyes(cv, cx, cy - 1, max(1, s // 8))
        return cv
    if shape == 0:        # slime
        squash = 2 if f else 0
        cv.ellipse(cx, h - h * 0.35 + squash / 2, w * 0.46, h * 0.35 - squash, dark)
        cv.ellipse(cx, h - h * 0.35 + squash / 2, w * 0.42, h * 0.31 - squash, body)
        cv.ellipse(cx - w * 0.15, h * 0.5, w * 0.08, h * 0.06, WHITE)
        eyes(cv, cx, h * 0.62, s // 10)
    elif shape == 1:      # robot
        cv.rect(int(w * 0.15), int(h * 0.25), int(w * 0.7), int(h * 0.55), dark)
        cv.rect(int(w * 0.2), int(h * 0.3), int(w * 0.6), int(h * 0.45), body)
        cv.rect(int(cx - 1), 0, 2, int(h * 0.25), dark)
        cv.circle(cx, 2, 2, RED if f else GOLD)
        cv.rect(int(w * 0.28), int(h * 0.42), int(w * 0.44), int(h * 0.1), BLACK)
        cv.rect(int(w * 0.3 + f * w * 0.2), int(h * 0.43), int(w * 0.18), int(h * 0.08), (255, 60, 60))
        for lx in (0.25, 0.6):
            cv.rect(int(w * lx + (2 if f else 0)), int(h * 0.8), int(w * 0.15), int(h * 0.2), dark)
    elif shape == 2:      # bird or bat
        cv.ellipse(cx, cy, w * 0.25, h * 0.3, body)
        wing = -0.35 if f else 0.2
        for side in (-1, 1):
            cv.triangle([(cx + side * w * 0.15, cy), (cx + side * w * 0.5, cy + h * wing),
                         (cx + side * w * 0.2, cy + h * 0.25)], dark)
        cv.triangle([(cx + w * 0.2, cy), (cx + w * 0.38, cy + 2), (cx + w * 0.2, cy + 4)], GOLD)
        eyes(cv, cx, cy - h * 0.08, max(1, s // 12))
    elif shape == 3:      # spiky ball
        r = s * 0.32
        for k in range(8):
            a = 2 * math.pi * (k / 8.0 + (0.06 if f else 0))
            cv.triangle([(cx + math.cos(a) * s * 0.49, cy + math.sin(a) * s * 0.49),
                         (cx + math.cos(a + 0.4) * r, cy + math.sin(a + 0.4) * r),
                         (cx + math.cos(a - 0.4) * r, cy + math.sin(a - 0.4) * r)], dark)
        cv.circle(cx, cy, r, body)
        eyes(cv, cx, cy, max(1, s // 10))
    else:                 # one-eyed walker
        cv.ellipse(cx, cy - h * 0.05, w * 0.42, h * 0.38, dark)
        cv.ellipse(cx, cy - h * 0.05, w * 0.38, h * 0.34, body)
        cv.circle(cx, cy - h * 0.08, s * 0.2, WHITE)
        cv.circle(cx + (2 if f else -1), cy - h * 0.08, s * 0.1, (160, 0, 40))
        for lx in (0.3, 0.62):
            cv.rect(int(w * lx), int(h * 0.78), int(w * 0.1), int(h * 0.22) - (2 if f and lx < 0.5 else 0), dark)
    return cv


BOSS_LOOKS = {
    1: ((90, 90, 200), 'knight'), 2: ((170, 60, 190), 'witch'), 3: ((150, 120, 90), 'golem'),
    4: ((60, 200, 90), 'slime'), 5: ((210, 60, 40), 'dragon'), 6: ((40, 20, 80), 'star'),
}


def boss(w, h, ident, row, frame):
    cv = Canvas(w, h)
    colour, look = BOSS_LOOKS.get(ident, ((200, 200, 200), 'golem'))
    colour = mix(colour, (255, 255, 255), 0.12 * row)
    dark, f = shade(colour, 0.55), frame % 2
    cx, cy = w / 2.0, h / 2.0
    if look == 'knight':
        cv.rect(int(w * 0.2), int(h * 0.3), int(w * 0.6), int(h * 0.5), dark)
        cv.rect(int(w * 0.24), int(h * 0.34), int(w * 0.52), int(h * 0.42), colour)
        cv.ellipse(cx, h * 0.2, w * 0.22, h * 0.16, (180, 180, 200))
        cv.rect(int(w * 0.32), int(h * 0.18), int(w * 0.36), 3, BLACK)
        cv.rect(int(w * 0.3), int(h * 0.8), int(w * 0.14), int(h * 0.2), dark)
        cv.rect(int(w * 0.56), int(h * 0.8), int(w * 0.14), int(h * 0.2), dark)
        cv.rect(int(w * 0.8), int(h * (0.05 if f else 0.2)), 4, int(h * 0.6), (220, 220, 240))
        cv.triangle([(cx - 6, h * 0.04), (cx + 6, h * 0.04), (cx, -4)], RED)
    elif look == 'witch':
        cv.triangle([(cx, h * 0.3), (w * 0.1, h), (w * 0.9, h)], colour)
        cv.ellipse(cx, h * 0.3, w * 0.18, h * 0.12, SKIN)
        cv.triangle([(w * 0.2, h * 0.22), (w * 0.8, h * 0.22), (cx + (4 if f else -4), 0)], dark)
        eyes(cv, cx, h * 0.3, 3, colour=(255, 240, 120), pupil=RED)
        cv.circle(w * 0.85, h * 0.45, 6 if f else 4, (255, 120, 255))
    elif look == 'golem':
        cv.rect(int(w * 0.1), int(h * 0.15), int(w * 0.8), int(h * 0.7), dark)
        for i in range(4):
            cv.rect(int(w * 0.12 + i * w * 0.2), int(h * 0.18), int(w * 0.16), int(h * 0.3), colour)
        cv.rect(int(w * 0.12), int(h * 0.5), int(w * 0.76), int(h * 0.32), colour)
        cv.rect(int(w * 0.3), int(h * 0.3), int(w * 0.4), 4, (255, 200, 0) if f else (255, 90, 0))
    elif look == 'slime':
        squash = h * (0.05 if f else 0.0)
        cv.ellipse(cx, h * 0.6 + squash, w * 0.48, h * 0.4 - squash, dark)
        cv.ellipse(cx, h * 0.6 + squash, w * 0.44, h * 0.36 - squash, colour)
        cv.triangle([(w * 0.3, h * 0.28 + squash), (w * 0.7, h * 0.28 + squash), (cx, h * 0.02 + squash)], GOLD)
        eyes(cv, cx, h * 0.55, 7)
        cv.rect(int(cx - 10), int(h * 0.75), 20, 3, BLACK)
    elif look == 'dragon':
        cv.ellipse(cx, cy, w * 0.45, h * 0.4, dark)
        cv.ellipse(cx, cy, w * 0.41, h * 0.36, colour)
        for side in (-1, 1):
            cv.triangle([(cx + side * w * 0.2, h * 0.2), (cx + side * w * 0.45, 0), (cx + side * w * 0.3, h * 0.3)], GOLD)
        eyes(cv, cx, h * 0.4, 6, colour=(255, 240, 0), pupil=BLACK)
        cv.rect(int(w * 0.25), int(h * 0.62), int(w * 0.5), int(h * (0.14 if f else 0.06)), (60, 0, 0))
        for k in range(5):
            cv.triangle([(w * (0.27 + 0.1 * k), h * 0.62), (w * (0.32 + 0.1 * k), h * 0.62),
                         (w * (0.295 + 0.1 * k), h * 0.68)], WHITE)
    else:
        for k in range(5):
            a = 2 * math.pi * k / 5 - math.pi / 2 + (0.2 if f else 0)
            b1, b2 = a - 0.6, a + 0.6
            cv.triangle([(cx + math.cos(a) * w * 0.48, cy + math.sin(a) * h * 0.48),
                         (cx + math.cos(b1) * w * 0.2, cy + math.sin(b1) * h * 0.2),
                         (cx + math.cos(b2) * w * 0.2, cy + math.sin(b2) * h * 0.2)], (120, 60, 200))
        cv.circle(cx, cy, min(w, h) * 0.24, colour)
        cv.circle(cx, cy, min(w, h) * 0.12, (255, 40, 120) if f else (200, 0, 80))
    if row >= 3:
        cv.frame(0, 0, w, h, (255, 255, 255) if f else (255, 80, 80), 2)
    return cv


# ---------------------------------------------------------------------------
# Effects, items and system effects

def orb(w, h, colour, frame, core=WHITE):
    cv = Canvas(w, h)
    r = min(w, h) / 2.0
    grow = 0 if frame % 2 else -0.12 * r
    cv.ellipse(w / 2.0, h / 2.0, w / 2.0 - 0.5 + grow, h / 2.0 - 0.5 + grow, shade(colour, 0.6))
    cv.ellipse(w / 2.0, h / 2.0, w * 0.38 + grow, h * 0.38 + grow, colour)
    cv.ellipse(w / 2.0, h / 2.0, w * 0.18, h * 0.18, core)
    return cv


def effect(w, h, ident, row, frame, hurts):
    f = frame % 2
    if ident == 0:                   # the heroine's shots, stronger by row
        cv = Canvas(w, h)
        c = mix((120, 220, 255), (255, 120, 255), row / 5.0)
        cv.ellipse(w / 2.0, h / 2.0, w / 2.0, h / 2.0 - 0.5, c)
        cv.ellipse(w * 0.6, h / 2.0, w * 0.3, h * 0.3, WHITE)
        if f:
            cv.rect(0, h // 2, w // 3, 1, WHITE)
        return cv
    if ident == 11:                  # spheres
        cv = orb(w, h, (80, 140, 255) if row == 0 else (160, 200, 255), frame)
        cv.rect(int(w * 0.3), int(h * 0.25), 2, 2, WHITE)
        return cv
    if ident == 12:                  # the boss door
        cv = Canvas(w, h, (60, 40, 30))
        cv.rect(6, 6, w - 12, h - 6, (140, 80, 40) if f else (160, 95, 45))
        cv.ellipse(w / 2.0, 14, w / 2.0 - 6, 12, (140, 80, 40) if f else (160, 95, 45))
        cv.line(w // 2, 10, w // 2, h, (90, 50, 25), 2)
        cv.circle(w / 2.0 + 8, h * 0.55, 3, GOLD)
        cv.text(w // 2 - 11, h - 20, 'BOSS', (255, 80, 80) if f else GOLD, 1)
        return cv
    if ident == 14:                  # the companion fairy
        cv = Canvas(w, h)
        for side in (-1, 1):
            cv.ellipse(w / 2.0 + side * w * 0.25, h * (0.35 if f else 0.45), w * 0.2, h * 0.15, (200, 240, 255))
        cv.circle(w / 2.0, h / 2.0, w * 0.2, (255, 170, 220))
        eyes(cv, w / 2.0, h / 2.0, 2)
        return cv
    if ident == 48:                  # the entrance gatherer: a ring
        cv = Canvas(w, h)
        cv.circle(w / 2.0, h / 2.0, w / 2.0 - 1, (255, 255, 160))
        cv.circle(w / 2.0, h / 2.0, w / 2.0 - 3 - frame, KEY)
        return cv
    if ident == 50:                  # the start-line marker: a flag
        cv = Canvas(w, h)
        cv.rect(4, 0, 3, h, (200, 200, 200))
        cv.triangle([(7, 2), (w - 2, 8 + f * 2), (7, 16)], (255, 60, 60))
        return cv
    if ident in (52, 53):            # flashes
        cv = Canvas(w, h)
        cv.line(0, h // 2, w - 1, h // 2, WHITE)
        cv.line(w // 2, 0, w // 2, h - 1, (255, 255, 180))
        if f:
            cv.frame(0, 0, w, h, (255, 255, 200))
        return cv
    if ident == 32:                  # the freezing crystal
        cv = Canvas(w, h)
        cv.triangle([(w / 2.0, 0), (w - 1, h / 2.0), (0, h / 2.0)], (180, 230, 255))
        cv.triangle([(w / 2.0, h - 1), (w - 1, h / 2.0), (0, h / 2.0)], (120, 190, 240))
        cv.line(w // 4, h // 2, w * 3 // 4, h // 2, WHITE if f else (220, 240, 255))
        return cv
    if ident == 20:                  # the pushing zone
        cv = Canvas(w, h)
        for k in range(3):
            cv.frame(k * 6 + f * 3, k * 6 + f * 3, w - 2 * (k * 6 + f * 3), h - 2 * (k * 6 + f * 3), (160, 255, 200))
        return cv
    if ident == 35:                  # the column that pulls down
        cv = Canvas(w, h, (110, 40, 160))
        for y in range(f * 8, h, 16):
            cv.rect(2, y, w - 4, 6, (190, 120, 255))
        return cv
    if ident == 42:                  # the rain cloud
        cv = Canvas(w, h)
        for k, (x, r) in enumerate([(0.25, 0.3), (0.5, 0.42), (0.75, 0.3)]):
            cv.circle(w * x, h * 0.55, h * r + (1 if f and k == 1 else 0), (130, 130, 150))
        return cv
    if ident == 27:                  # the blast that pushes
        cv = Canvas(w, h)
        cv.ellipse(w / 2.0, h / 2.0, w / 2.0 - 1, h / 2.0 - 1, (255, 160, 40))
        cv.ellipse(w / 2.0, h / 2.0, w * 0.3, h * 0.3, (255, 240, 150))
        return cv
    if w >= 3 * h:                   # rockets and bolts
        cv = Canvas(w, h)
        cv.rect(0, 1, w - 4, h - 2, (200, 200, 210))
        cv.triangle([(w - 5, 0), (w - 1, h / 2.0), (w - 5, h - 1)], RED)
        cv.rect(0, h // 3, 3, h // 3, (255, 200, 40) if f else (255, 120, 0))
        return cv
    colour = hue(0.02 + (ident * 0.071) % 0.16, 0.85, 1.0) if hurts else hue(0.5 + ident * 0.05, 0.5, 1.0)
    return orb(w, h, colour, frame, core=(255, 255, 200))


def item(w, h, ident, frame):
    cv = Canvas(w, h)
    if ident == 0:                   # the chest
        cv.rect(1, h // 3, w - 2, h - h // 3 - 1, (150, 90, 40))
        cv.ellipse(w / 2.0, h / 3.0, w / 2.0 - 1, h / 5.0, (170, 105, 50))
        cv.rect(1, h // 2, w - 2, 3, GOLD)
        cv.rect(w // 2 - 2, h // 2 - 2, 4, 7, (255, 230, 120))
        cv.frame(1, h // 3, w - 2, h - h // 3 - 1, (90, 50, 20))
    else:                            # the key
        c = GOLD if frame % 2 == 0 else (255, 240, 150)
        cv.circle(w * 0.3, h * 0.35, w * 0.22, c)
        cv.circle(w * 0.3, h * 0.35, w * 0.1, KEY)
        cv.rect(int(w * 0.45), int(h * 0.3), int(w * 0.5), 3, c)
        cv.rect(int(w * 0.8), int(h * 0.3), 3, int(h * 0.3), c)
        cv.rect(int(w * 0.65), int(h * 0.3), 3, int(h * 0.25), c)
    return cv


def system_effect(w, h, ident, row, frame):
    f = frame % 2
    if ident == 0:                   # the key pop-up: a key in a bubble
        cv = Canvas(w, h)
        cv.circle(w / 2.0, h / 2.0, w / 2.0 - 1, (255, 255, 255) if f else (255, 250, 200))
        cv.circle(w / 2.0, h / 2.0, w / 2.0 - 4, (60, 80, 160))
        cv.blit(item(w // 2, h // 2, 1, frame), w // 4, h // 4)
        cv.text(w // 2 - 5, h - 12, 'UP', GOLD, 1)
        return cv
    if ident == 1:
        return fitted_text(w, h, 'GET!' if f else 'GET', GOLD)
    return fitted_text(w, h, 'EMPTY', (160, 200, 255))


# ---------------------------------------------------------------------------
# Blocks

def block(w, h, look, frame):
    if look.startswith(('floor', 'arenafloor', 'wall', 'arenawall', 'platform')):
        area = int(look[-1])
        sky_top, sky_bottom, far, near, ground_top, ground = AREA_PALETTES[area]
        if look.startswith('floor'):
            cv = Canvas(w, h, ground)
            cv.rect(0, 0, w, 10, ground_top)
            for k in range(0, w, 8):
                cv.rect(k, 10, 4, 3, ground_top)
            for k in range(5):
                cv.rect((k * 23) % (w - 4), 20 + (k * 17) % (h - 24), 4, 3, shade(ground, 0.8))
            return cv
        if look.startswith('arenafloor'):
            cv = Canvas(w, h, shade(ground, 0.8))
            for y in range(0, h, 16):
                for x in range((y // 16 % 2) * 16, w, 32):
                    cv.frame(x, y, 32, 16, shade(ground, 0.55))
            cv.rect(0, 0, w, 4, ground_top)
            return cv
        if look.startswith('platform'):
            cv = Canvas(w, h, shade(ground_top, 0.85))
            cv.rect(0, 0, w, 4, ground_top)
            cv.frame(0, 0, w, h, shade(ground, 0.5))
            for x in range(16, w, 32):
                cv.rect(x, 6, 2, 2, shade(ground, 0.5))
            return cv
        base = shade(ground, 0.95 if look.startswith('wall') else 0.7)
        cv = Canvas(w, h, shade(base, 0.6))
        for y in range(0, h, 16):
            for x in range(-16 * (y // 16 % 2), w, 32):
                cv.rect(x + 1, y + 1, 30, 14, base)
        return cv
    if look == 'conveyor':
        cv = Canvas(w, h, (80, 80, 90))
        cv.rect(0, 0, w, 12, (150, 150, 160))
        for x in range(-16 + 8 * frame, w, 16):
            cv.triangle([(x, 2), (x + 8, 6), (x, 10)], GOLD)
        return cv
    if look == 'placed':
        cv = Canvas(w, h, (150, 210, 250))
        cv.frame(0, 0, w, h, (70, 130, 200), 2)
        cv.line(4, 4, 12, 12, WHITE)
        return cv
    if look == 'tile':
        cv = Canvas(w, h, (40, 50, 90))
        cv.rect(0, 0, w // 2, h // 2, (50, 62, 110))
        cv.rect(w // 2, h // 2, w // 2, h // 2, (50, 62, 110))
        return cv
    if look == 'prologue':
        cv = Canvas(w, h, (120, 120, 125))
        cv.frame(0, 0, w, h, (80, 80, 85), 2)
        cv.rect(8, 8, w - 16, h - 16, (135, 135, 140))
        return cv
    if look.startswith('near'):
        on = look == 'near-on' and frame == 0
        cv = Canvas(w, h, (90, 90, 100))
        cv.circle(w / 2.0, h / 2.0, w * 0.3, (255, 220, 60) if on else (70, 70, 80))
        cv.frame(0, 0, w, h, (50, 50, 60), 3)
        return cv
    cv = Canvas(w, h, (110, 110, 120))
    cv.frame(0, 0, w, h, (70, 70, 80), 2)
    cv.line(2, 2, w - 3, h - 3, (90, 90, 100))
    return cv


# ---------------------------------------------------------------------------
# Screens

def background(area, w=1280, h=720):
    sky_top, sky_bottom, far, near, ground_top, ground = AREA_PALETTES[area]
    cv = Canvas(w, h)
    for y in range(h):
        cv.rect(0, y, w, 1, safe(mix(sky_top, sky_bottom, y / float(h))))
    if area == 4:
        cv.circle(1000, 140, 70, (230, 220, 200))
    elif area == 2:
        for x in range(60, w, 240):
            cv.rect(x, 220, 70, h, (55, 55, 75))
            cv.rect(x + 25, 160, 20, 60, (65, 65, 85))
    else:
        cv.circle(1050, 120, 50, (255, 250, 210))
    for x in range(0, w, 2):
        top = int(360 + 70 * math.sin(x / 160.0 + area) + 30 * math.sin(x / 47.0))
        cv.rect(x, top, 2, h - top, far)
    for x in range(0, w, 2):
        top = int(470 + 50 * math.sin(x / 110.0 + 2 * area) + 15 * math.sin(x / 23.0))
        cv.rect(x, top, 2, h - top, near)
    if area == 0:
        for x in range(40, w, 150):
            cv.rect(x + 18, 430, 10, 80, (90, 60, 30))
            cv.circle(x + 23, 420, 34, (40, 110, 50))
    elif area == 3:
        for k in range(80):
            cv.circle((k * 397) % w, (k * 211) % 600, 2, WHITE)
    cv.text(24, 24, AREA_NAMES[area], WHITE, 3, shade(near, 0.5))
    return cv


def logo_piece(ch, w=55, h=80):
    cv = Canvas(w, h)
    if ch == '*':
        cx, cy = w / 2.0, h / 2.0
        pts = []
        for k in range(10):
            r = 24 if k % 2 == 0 else 10
            a = math.pi * k / 5 - math.pi / 2
            pts.append((cx + r * math.cos(a), cy + r * math.sin(a)))
        for k in range(10):
            cv.triangle([(cx, cy), pts[k], pts[(k + 1) % 10]], GOLD)
    elif ch != ' ':
        cv.text((w - 29) // 2, (h - 49) // 2, ch, (250, 120, 40), 6, (120, 40, 10))
    return cv


def heroine_portrait(size):
    cv = Canvas(size, size)
    big = heroine(size, int(size * 1.5), 0, 0, 7)
    for y in range(size):
        for x in range(size):
            cv.put(x, y, big.get(x, y))
    return cv


def area_face(area, size=128):
    sky_top, sky_bottom, far, near, ground_top, ground = AREA_PALETTES[area]
    cv = Canvas(size, size)
    cv.circle(size / 2.0, size / 2.0, size / 2.0 - 2, mix(sky_top, sky_bottom, 0.5))
    ident = [4, 2, 3, 1, 5][area]
    face = boss(size * 2 // 3, size * 2 // 3, ident, 0, 0)
    cv.blit(face, size // 6, size // 6 - 6)
    cv.text((size - text_width(str(area + 1), 3)) // 2, size - 26, str(area + 1), WHITE, 3, BLACK)
    return cv


def panel(w, h, colour=(20, 24, 60), edge=(200, 200, 255)):
    cv = Canvas(w, h, colour)
    cv.frame(0, 0, w, h, edge, 2)
    return cv


def pause_text(index):
    """The pause overlay's texts, all drawn at the overlay's corner; the menu
    rows sit where the pause menu draws its cursor."""
    cv = Canvas(400, 170)
    row_y = [31 + 34 * i - 7 for i in range(4)]
    if index == 1:
        cv.text(20, 4, 'PAUSE', GOLD, 2, BLACK)
    elif index == 2:
        cv.text(20, 4, 'ARE YOU SURE?', GOLD, 2, BLACK)
    elif index in (3, 4, 5):
        question = {3: 'BACK TO AREA SELECT?', 4: 'BACK TO TITLE?', 5: 'QUIT THE GAME?'}[index]
        cv.text(80, row_y[0], 'NO', WHITE, 2, BLACK)
        cv.text(80, row_y[1], 'YES', WHITE, 2, BLACK)
        cv.text(40, row_y[3], question, (255, 160, 160), 2, BLACK)
    else:
        labels = ['RESUME', 'AREA SELECT', 'TITLE', 'QUIT']
        for i, label in enumerate(labels):
            cv.text(80, row_y[i], label, GOLD if i == index - 6 else WHITE, 2, BLACK)
    return cv


def digit(ch, w=24, h=32):
    cv = Canvas(w, h, BLACK)
    cv.text((w - 17) // 2, (h - 21) // 2, ch, WHITE, 3)
    return cv


def rank(r, size=160):
    letter = 'EDCBAS'[r]
    colour = [(150, 150, 150), (120, 200, 120), (120, 170, 255), (200, 120, 255), (255, 160, 60), GOLD][r]
    cv = Canvas(size, size)
    cv.circle(size / 2.0, size / 2.0, size / 2.0 - 2, shade(colour, 0.5))
    cv.circle(size / 2.0, size / 2.0, size / 2.0 - 8, colour)
    cv.text((size - 59) // 2, (size - 70) // 2 - 8, letter, WHITE, 12, BLACK)
    cv.text((size - text_width('RANK', 2)) // 2, size - 36, 'RANK', WHITE, 2)
    return cv


def triangle_icon(w, h, colour):
    cv = Canvas(w, h)
    cv.triangle([(w / 2.0, 1), (w - 1, h - 1), (0, h - 1)], shade(colour, 0.6))
    cv.triangle([(w / 2.0, 5), (w - 5, h - 3), (4, h - 3)], colour)
    return cv
