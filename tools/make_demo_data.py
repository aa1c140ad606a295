#!/usr/bin/env python3
"""Writes the demo data set's tables: the comma-separated files under "img/"
that the game reads (animations, block animation, power-up slots, and per area
the block layout, the enemy spawn list and the item list), for the five areas
and their five boss arenas.

    tools/make_demo_data.py OUT_DIR

The tables describe every actor and block the game can meet, so that it can be
played from the first area to the ending. Beside them go every image the game
loads (drawn by demo_art.py, in the format each name gives) and every sound
(synthesised by demo_sounds.py, MP3 through `lame`). "image-sizes.txt" at the
top lists each image with its width and height, for the tests.

    --no-sounds    leaves the sounds out (no `lame` needed)
"""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import demo_art  # noqa: E402
from demo_images import encode  # noqa: E402

# ---------------------------------------------------------------------------
# Geometry shared by all areas

SCREEN_W, SCREEN_H = 1280, 720
FLOOR_TOP = 608          # the ground's walking surface in the fields and most arenas
HUD_TOP = 672            # the HUD bar covers the screen from here down
FLOOR_CELLS_H = 16       # 128 pixels deep, so nothing falls through it
TILE = 64                # floor, wall and stair pieces are 64 x 64
CELL = 8                 # block sizes are given in 8-pixel cells
DOOR_W, DOOR_H = 64, 96  # the boss door (effect 12)

# Per area (0 to 4): restart scrolls by checkpoint, scroll limits, start line,
# boss door and entrance height, as the area start uses them.
AREAS = [
    dict(restart=[767, 16383], scroll_min=750, scroll_max=24928, start_line=8576,
         gate=(26080, 192), entrance_y=320),
    dict(restart=[553, 15499], scroll_min=552, scroll_max=24990, start_line=9024,
         gate=(26080, 192), entrance_y=512),
    dict(restart=[767, 16159], scroll_min=750, scroll_max=26912, start_line=9184,
         gate=(27808, 128), entrance_y=320),
    dict(restart=[767, 16479], scroll_min=750, scroll_max=25728, start_line=8832,
         gate=(26560, 544), entrance_y=320),
    dict(restart=[767, 17311, 27647], scroll_min=750, scroll_max=37824, start_line=10080,
         gate=(38816, 512), entrance_y=64),
]
ARENA_SCROLL = 767       # the scroll of every boss arena (areas 5 to 9)
PLAYER_SCREEN_X = 562    # where the player appears on the screen

# ---------------------------------------------------------------------------
# Block types (BlockAnime.csv): types 0 to 74 are all defined, one after the
# other, because the image loader takes sizes only up to the first undefined
# type. Each entry: image size, frames, ticks per frame, solid.

BLOCK_TYPE_COUNT = 75
T_TILE = 0              # the area select's background tile
T_CONVEYOR = 10
T_PLACED = 14           # blocks placed by effect 15
T_FLOOR = 20            # + area: the ground of each field
T_WALL = 25             # + area: walls, steps and stairs of each field
T_ARENA_FLOOR = 30      # + area: the ground of each boss arena
T_ARENA_WALL = 35       # + area: the arena walls
T_PLATFORM = 40         # + area: floating platforms, 128 x 16
T_PROLOGUE = 55         # every block looks like this before the start line
T_NEAR_OFF, T_NEAR_ON = 73, 74


def block_types():
    types = {}
    for t in range(BLOCK_TYPE_COUNT):
        types[t] = dict(image=(32, 32), frames=1, ticks=30, solid=1, look='filler')
    types[T_TILE].update(look='tile')
    types[T_CONVEYOR].update(image=(64, 64), frames=2, ticks=6, look='conveyor')
    types[T_PLACED].update(look='placed')
    for a in range(5):
        types[T_FLOOR + a].update(image=(64, 64), look='floor%d' % a)
        types[T_WALL + a].update(image=(64, 64), look='wall%d' % a)
        types[T_ARENA_FLOOR + a].update(image=(64, 64), look='arenafloor%d' % a)
        types[T_ARENA_WALL + a].update(image=(64, 64), look='arenawall%d' % a)
        types[T_PLATFORM + a].update(image=(128, 16), look='platform%d' % a)
    types[T_PROLOGUE].update(image=(64, 64), look='prologue')
    types[T_NEAR_OFF].update(image=(64, 64), look='near-off')
    types[T_NEAR_ON].update(image=(64, 64), frames=2, ticks=10, look='near-on')
    return types


BLOCK_TYPES = block_types()

# ---------------------------------------------------------------------------
# Animation sets: (kind, id) -> rows; a row is None when the set has no such
# row. Kinds: 1 player, 2 enemy, 3 boss, 4 effect, 5 item, 6 system effect.


def row(frames, box, move=(0, 0), hp=1, hurts=0, hittable=0, gravity=0.0, solid=0,
        ticks=8, image=None):
    return dict(frames=frames, ticks=ticks, box=box, image=image or box, move=move, hp=hp,
                hurts=hurts, hittable=hittable, gravity=gravity, solid=solid)


def rows(count, **table):
    """A set of `count` rows, all None but those given as r<N>=row(...)."""
    out = [None] * count
    for key, value in table.items():
        out[int(key[1:])] = value
    return out


def enemy(box, move=(0, 0), hp=2, gravity=1.0, solid=1, frames=2):
    return row(frames, box, move, hp=hp, hurts=1, hittable=1, gravity=gravity, solid=solid)


def hostile(box, move=(0, 0), gravity=0.0, frames=2, ticks=4):
    return row(frames, box, move, hurts=1, gravity=gravity, ticks=ticks)


def boss(box, gravity=1.0):
    return row(2, box, hp=40, hurts=1, hittable=1, gravity=gravity, solid=1, ticks=10)


PLAYER_BOX = (24, 48)    # the wall rule puts the player 25 pixels off a wall
PLAYER_IMAGE = (32, 48)


def player_row(frames):
    return row(frames, PLAYER_BOX, move=(4, 0), hp=3, gravity=1.0, solid=1,
               image=PLAYER_IMAGE)


ANIMATIONS = {
    # The player: rows by state (0 stand, 1 shoot, 2 air, 3 shoot in the air,
    # 5 walk, 8 hurt); the title shows frames 0 to 6 of row 0 and 0 to 5 of
    # row 5.
    (1, 0): rows(9, r0=player_row(7), r1=player_row(2), r2=player_row(2),
                 r3=player_row(2), r5=player_row(6), r8=player_row(2)),

    # Enemies of the fields.
    (2, 3): [enemy((32, 48), hp=3)],                       # thrower (effect 10)
    (2, 4): [enemy((32, 32), move=(1, 0))],                # walker
    (2, 5): [enemy((32, 32), move=(2, 8))],                # hopper: jumps with 8
    (2, 7): [enemy((32, 32), move=(2, 0), hp=1, gravity=0.0, solid=0)],  # flyer
    (2, 12): [enemy((32, 48), hp=3), enemy((32, 48), hp=3)],  # shooter (effect 17)
    # Rows an enemy switches between have as many frames (enemy() gives 2),
    # so the drawing's frame count stays in step. Flyers neither fall nor
    # meet blocks; enemies that end on blocks (13, 18, 20, 25, 48) must not
    # be solid, or the blocks would hold them off.
    (2, 10): [enemy((32, 32), hp=2)],                      # turret (effect 16)
    (2, 11): [enemy((32, 32), move=(2, 0), hp=1, gravity=0.0, solid=0)],  # flyer, swaying up first
    (2, 13): [enemy((32, 32), move=(2, 0), hp=2, gravity=0.0, solid=0)],  # splits on blocks
    (2, 14): [enemy((16, 16), move=(3, 0), hp=1, gravity=0.0, solid=0)],  # the splits: aimed
    (2, 15): [enemy((32, 32), hp=3), enemy((32, 32), move=(8, 0), hp=3)],  # charger
    (2, 16): [enemy((24, 24), move=(2, 0), hp=1, gravity=0.0, solid=0)],  # homing flyer
    (2, 17): [enemy((48, 32), move=(1, 0), hp=4, gravity=0.0, solid=0)],  # bomber (enemy 18)
    (2, 18): [enemy((16, 16), hp=1, solid=0)],             # its bomb (effect 19 on the ground)
    (2, 19): [enemy((32, 48), hp=4)],                      # launcher (enemy 20)
    (2, 20): [enemy((24, 12), move=(6, 0), hp=1, gravity=0.0, solid=0)],  # its rocket
    (2, 21): [enemy((32, 32), move=(1, 0), hp=2, gravity=0.0, solid=0)],  # zone layer (effect 20)
    (2, 22): [enemy((32, 48), hp=5) for _ in range(3)],    # cannon: idle, aim, fire (effect 21)
    (2, 23): [enemy((32, 32), hp=2)],                      # jumps when the player comes near
    (2, 24): [enemy((32, 32), move=(1, 0), hp=3)],         # bursts into effects 22
    (2, 25): [enemy((32, 32), hp=2, gravity=0.0, solid=0),
              enemy((32, 32), hp=2, gravity=1.0, solid=0)],  # dropper; becomes 26
    (2, 26): [enemy((32, 32), move=(1, 0), hp=2)],
    (2, 27): [enemy((32, 32), hp=4, gravity=0.0, solid=0)],  # the hazard's emitter
    (2, 28): [enemy((16, 16), hp=1, gravity=0.0, solid=0)],  # its two corners
    (2, 30): [enemy((32, 32), hp=3)],                      # hop and stamp
    (2, 33): [enemy((32, 32), hp=3)],                      # blast that pushes (effect 27)
    (2, 34): [enemy((32, 32), hp=3)],                      # rolls effects 28
    (2, 35): [enemy((32, 32), hp=3)],                      # arcs (effect 29)
    (2, 36): [enemy((32, 32), hp=3)],                      # lobs (effect 30)
    (2, 37): [enemy((48, 48), move=(1, 0), hp=6) for _ in range(3)],  # calls hoppers: walk, jump, call
    (2, 38): [enemy((32, 32), hp=2)],                      # hops back, then leaps
    (2, 39): [enemy((32, 32), hp=3), enemy((32, 32), move=(4, -6), hp=5)],  # charges, jumping
    (2, 40): [enemy((32, 32), hp=3) for _ in range(2)],    # floats, fires (effect 34), recoils
    (2, 41): [enemy((32, 32), hp=3)],                      # calls the column (effect 35)
    (2, 42): [enemy((24, 24), hp=2, gravity=0.0, solid=0)],  # pulled toward the player
    (2, 43): [enemy((32, 32), hp=3)],                      # sparks (effect 36), then leaves
    (2, 45): [enemy((32, 32), hp=3) for _ in range(3)],    # a cannon once the player is ahead
    (2, 47): [enemy((32, 32), hp=5)],                      # fountain (enemy 48)
    (2, 48): [enemy((12, 12), hp=1, solid=0)],             # its drops
    (2, 49): [enemy((32, 32), move=(2, 0), hp=2, gravity=0.0, solid=0) for _ in range(3)],
    (2, 50): [enemy((32, 32), move=(2, 0), hp=3)],         # jumps, bursts into a ring (effect 1)
    (2, 51): [enemy((48, 48), hp=6)],                      # hive (enemy 52)
    (2, 52): [enemy((16, 16), move=(2, 0), hp=1, gravity=0.0, solid=0)],  # aims (effect 1)
    (2, 53): [enemy((32, 32), move=(2, 0), hp=3)],         # walks, stops to aim
    (2, 54): [enemy((32, 32), hp=3) for _ in range(3)],    # turret looking at the player
    (2, 55): [enemy((32, 32), hp=3) for _ in range(3)],
    (2, 56): [enemy((48, 32), hp=6, gravity=0.0, solid=0)],  # keeps pace, fires volleys (effect 45)
    # Enemies the bosses bring.
    (2, 9): [enemy((24, 24), move=(2, 0), hp=1, solid=0)],    # boss 1's falling stars
    (2, 29): [enemy((24, 24), move=(2, 0), hp=1, gravity=0.0),
              enemy((24, 24), move=(2, -3), hp=1, gravity=0.0),
              enemy((24, 24), move=(2, 3), hp=1, gravity=0.0),
              enemy((24, 24), move=(6, -2), hp=1, gravity=0.0)],  # boss 3's summons
    (2, 46): [enemy((32, 32), hp=3, gravity=0.0, solid=0)],   # boss 4's floater
    (2, 57): [enemy((32, 32), hp=5, gravity=0.0, solid=0)],   # boss 6's body

    # Bosses: 4 (area 0), 2 (area 1), 3 (area 2), 1 (area 3), 5 and 6 (area 4).
    (3, 1): [boss((64, 96)) for _ in range(5)],
    (3, 2): [boss((64, 96)) for _ in range(4)],
    (3, 3): [boss((64, 60))],                                # see ARENA_FLOOR_TOPS
    (3, 4): [boss((96, 96))],
    (3, 5): [boss((96, 80), gravity=0.0)],
    (3, 6): [boss((96, 80), gravity=0.0)],

    # The player's effects.
    (4, 0): [row(2, (12 + 4 * r, 8 + 2 * r), move=(12, 0), ticks=4) for r in range(6)],  # shots
    (4, 11): [row(4, (16, 16), ticks=4), row(4, (16, 16), gravity=0.2, ticks=4)],  # spheres
    (4, 12): [row(2, (DOOR_W, DOOR_H), ticks=15)],           # the boss door
    (4, 14): [row(2, (32, 32))],                             # the companion
    (4, 48): [row(4, (32, 32), ticks=6)],                    # the entrance gatherer
    (4, 49): [row(2, (16, 16), move=(8, 0), ticks=4)],       # the homing shot
    (4, 50): [row(1, (32, 32), move=(16, 0))],               # the start-line marker
    (4, 52): [row(2, PLAYER_BOX, ticks=3)],                  # the walking shot's flash
    (4, 53): [row(1, (8, 8))],                               # the install flash

    # Enemy and boss shots.
    (4, 10): [hostile((16, 16), move=(5, -6), gravity=0.5)],
    (4, 17): [hostile((16, 16), move=(6, 0))],
    (4, 18): [hostile((32, 32), move=(6, 2))],
    (4, 23): [hostile((16, 16), move=(8, -4), gravity=0.3), hostile((16, 16), move=(8, 0))],
    (4, 24): [hostile((16, 16), move=(0, -8), gravity=1.0), hostile((16, 16), gravity=1.0)],
    (4, 25): [hostile((32, 32))],
    (4, 26): [hostile((32, 32))],
    (4, 31): [hostile((16, 16))],
    (4, 32): [row(2, (48, 48))],                             # freezes, does not hurt
    (4, 33): [hostile((16, 16)) for _ in range(3)],
    (4, 38): [hostile((24, 8), move=(9, 0))],
    (4, 39): [hostile((24, 24)) for _ in range(5)],
    (4, 40): [hostile((24, 24), move=(3, 0))],
    (4, 41): [hostile((24, 24), move=(3, 0))],
    (4, 42): [row(2, (64, 32))],                             # the rain cloud
    (4, 43): [hostile((8, 16), gravity=0.6)],
    (4, 44): [hostile((16, 16))],
    (4, 45): [hostile((16, 16), move=(7, 0))],
    (4, 46): [hostile((16, 16)), hostile((16, 16))],
    (4, 47): [hostile((24, 24), gravity=1.0), hostile((24, 24), move=(6, 0), gravity=1.0)],

    # Shots and clouds the field enemies fire. Rows an effect switches between
    # (30: 0 to 1) have as many frames, so the drawing's frame count stays in
    # step.
    (4, 1): [hostile((16, 16), move=(5, 0))],                # ring speed; aimed ones fly at 4
    (4, 13): [hostile((16, 16), move=(3, 0))],               # aims after 30 frames
    (4, 16): [hostile((28, 28), move=(4, 0))],
    (4, 19): [hostile((16, 16), move=(3, -6), gravity=0.5),  # the three splinters
              hostile((16, 16), move=(0, -8), gravity=0.5),
              hostile((16, 16), move=(-3, -6), gravity=0.5)],
    (4, 20): [row(2, (64, 64), move=(3, 0))],                # the zone: pushes, does not hurt
    (4, 21): [hostile((16, 16), move=(8, 0))],
    (4, 22): [hostile((16, 16), move=(6, 0), gravity=1.0)],  # bounces; speed 6 any way
    (4, 27): [row(1, (56, 28))],                             # the blast that pushes
    (4, 28): [hostile((16, 16), move=(6, -2)), hostile((16, 16), move=(6, 0)),
              hostile((16, 16), move=(6, 2))],
    (4, 29): [hostile((16, 16), move=(6, 3))],               # the arc: column 8 its climb
    (4, 30): [hostile((16, 16), move=(0, -8), gravity=0.5),
              hostile((16, 16), gravity=0.5)],
    (4, 34): [hostile((16, 16))],
    (4, 35): [row(2, (28, 384), move=(0, -4))],              # the column that pulls down
    (4, 36): [hostile((16, 16), move=(4, -6), gravity=0.5)],
    (4, 37): [hostile((8, 8), gravity=1.0)],                 # sparks: the routine lifts them

    # Items: 0 the chest that releases a key, 1 the key.
    (5, 0): [row(1, (32, 32), gravity=1.0)],
    (5, 1): [row(2, (24, 24), gravity=1.0)],

    # System effects: 0 the key pop-up (rows 0 to 2), 1 its arrival mark,
    # 2 the empty-sphere marker.
    (6, 0): [row(2, (48, 48)) for _ in range(3)],
    (6, 1): [row(2, (64, 32))],
    (6, 2): [row(2, (32, 16))],
}

# Boss 3's dance drops it to top 612 at its floor places, so the floor of its
# arena (area 2's) lies 612 + its height down: it lands on the ground instead
# of inside it. 60 high puts that ground on the HUD's top edge, the lowest
# line where the heroine standing on it is still in view.
DANCE_BOTTOM_TOP = 612
ARENA_FLOOR_TOPS = [FLOOR_TOP, FLOOR_TOP, DANCE_BOTTOM_TOP + ANIMATIONS[(3, 3)][0]['box'][1],
                    FLOOR_TOP, FLOOR_TOP]
assert all(top <= HUD_TOP for top in ARENA_FLOOR_TOPS)

ANIM_PATHS = {
    1: ('img/chara/player/Player%dAnime.csv', 'img/chara/player/player%02d_%02d_%02d.bmp'),
    2: ('img/chara/enemy/Enemy%02dAnime.csv', 'img/chara/enemy/enemy%02d_%02d_%02d.bmp'),
    3: ('img/chara/boss/Boss%02dAnime.csv', 'img/chara/boss/boss%02d_%02d_%02d.bmp'),
    4: ('img/effect/Effect%02dAnime.csv', 'img/effect/effect%02d_%02d_%02d.bmp'),
    5: ('img/item/Item%02dAnime.csv', 'img/item/item%02d_%02d_%02d.bmp'),
    6: ('img/systemeffect/systemeffect%02dAnime.csv',
         'img/systemeffect/systemeffect%02d_%02d_%02d.bmp'),
}

# ---------------------------------------------------------------------------
# Power-up slots: (cost, levels, name) by row; option 0 only. The bar's boxes
# are as wide as the costs: rows 0 to 3 fill the 280-pixel gauge, row 4 (the
# companion) adds 70. Row 0 can be bought 7 times and rows 1 to 3 five times
# (the key pop-ups unlock levels 1 to 6 and 1 to 4); the level after the last
# gets a cost too, as the bar reads it.

SLOTS = [
    (40, 8, 'Speed Up'),
    (60, 6, 'Jump Up'),
    (80, 6, 'Shot Up'),
    (100, 6, 'Shot Level Up'),
    (70, 2, 'Option'),
    (0, 1, 'Front Attack'),
]

# ---------------------------------------------------------------------------
# Writing


def write_text(root, relative, lines):
    path = os.path.join(root, *relative.split('/'))
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, 'wb') as f:
        f.write(''.join(line + '\r\n' for line in lines).encode('ascii'))


def fmt_float(value):
    text = ('%.3f' % value).rstrip('0')
    return text + '0' if text.endswith('.') else text


def anim_lines(kind, ident, set_rows):
    lines = ['name,id,ticks,offsetX,offsetY,width,height,moveX,moveY,hp,hurts,hittable,'
             'gravity,solid,row,frame,imageW,imageH,reserved',
             '# demo data: kind %d id %d' % (kind, ident)]
    for r, row_def in enumerate(set_rows):
        if r > 0:
            lines.append('//row %d' % r)
        if row_def is None:
            continue
        w, h = row_def['box']
        iw, ih = row_def['image']
        for f in range(row_def['frames']):
            lines.append(','.join(str(v) for v in [
                'k%d_%d' % (kind, ident), ident, row_def['ticks'], (iw - w) // 2, ih - h, w, h,
                row_def['move'][0], row_def['move'][1], row_def['hp'], row_def['hurts'], row_def['hittable'],
                fmt_float(row_def['gravity']), row_def['solid'], r, f, iw, ih, 0]))
    return lines


def write_animations(root):
    for (kind, ident), set_rows in sorted(ANIMATIONS.items()):
        pattern = ANIM_PATHS[kind][0]
        write_text(root, pattern % ident, anim_lines(kind, ident, set_rows))


def write_block_anime(root):
    lines = ['type,frame,ticks,offsetX,offsetY,reserved,solid', '# demo data']
    for t in range(BLOCK_TYPE_COUNT):
        row_def = BLOCK_TYPES[t]
        if t > 0:
            lines.append('//type %d %s' % (t, row_def['look']))
        for f in range(row_def['frames']):
            lines.append('%d,%d,%d,0,0,0,%d' % (t, f, row_def['ticks'], row_def['solid']))
    write_text(root, 'img/block/BlockAnime.csv', lines)


def write_slots(root):
    lines = ['row,option,level,cost,name,reserved', '# demo data']
    for r, (cost, levels, name) in enumerate(SLOTS):
        for level in range(levels):
            lines.append('%d,0,%d,%d,%s,0' % (r, level, cost, name))
    write_text(root, 'img/slotsetting/Slot/Slot.csv', lines)


class Layout:
    """One area's blocks, enemies and items, in world coordinates."""

    def __init__(self):
        self.blocks = []     # (x, y, type, width cells, height cells, belt speed)
        self.enemies = []    # (x, y, subtype, facing, drops, group, rearm)
        self.items = []      # (x, y, subtype, facing, flag index)

    def block(self, x, y, btype, w, h, belt=0):
        self.blocks.append((x, y, btype, w // CELL, h // CELL, belt))

    def column(self, x, top, bottom, btype):
        """A column of 64 x 64 pieces from `top` down to `bottom`."""
        y = top
        while y < bottom:
            self.block(x, y, btype, TILE, min(TILE, bottom - y))
            y += TILE

    def free(self, x, y, w, h):
        """Whether a box at (x, y) overlaps no block."""
        for bx, by, _, bw, bh, _ in self.blocks:
            if bx < x + w and x < bx + bw * CELL and by < y + h and y < by + bh * CELL:
                return False
        return True

    def place(self, x, y, box):
        """The first x from `x` on, in steps of 64, where the box is clear."""
        while not self.free(x, y, box[0], box[1]):
            x += TILE
        return x

    def floor(self, x0, x1, btype, top):
        for x in range(x0, x1, TILE):
            self.block(x, top, btype, TILE, FLOOR_CELLS_H * CELL)


def field_layout(a):
    area = AREAS[a]
    lay = Layout()
    lo = (area['scroll_min'] - 128) // TILE * TILE
    hi = area['scroll_max'] + SCREEN_W + 128
    floor, wall, platform = T_FLOOR + a, T_WALL + a, T_PLATFORM + a

    # Ground over the whole scroll range, with a conveyor stretch in area 2.
    conveyor = range(12032, 12032 + 8 * TILE) if a == 2 else range(0)
    for x in range(lo, hi, TILE):
        if x in conveyor:
            lay.block(x, FLOOR_TOP, T_CONVEYOR, TILE, FLOOR_CELLS_H * CELL, belt=2)
        else:
            lay.block(x, FLOOR_TOP, floor, TILE, FLOOR_CELLS_H * CELL)
    # Walls beyond both ends of the scroll, too high to jump over.
    lay.column(area['scroll_min'] - TILE, -256, FLOOR_TOP, wall)
    lay.column(area['scroll_max'] + SCREEN_W, -256, FLOOR_TOP, wall)

    # Along the way: single steps to jump and platforms above them, kept
    # clear of the places where the player appears.
    spawn_points = [s + PLAYER_SCREEN_X for s in area['restart']]
    gate_x, gate_y = area['gate']
    x = area['restart'][0] + 1600
    n = 0
    while x < gate_x - 1600:
        if all(abs(x - p) > 900 for p in spawn_points) and x not in conveyor:
            if n % 3 == 0:
                lay.block(x, FLOOR_TOP - TILE, wall, TILE, TILE)
            elif n % 3 == 1:
                lay.block(x, 480, platform, 128, 16)
            else:
                lay.block(x, 480, platform, 128, 16)
                lay.block(x + 256, 400, platform, 128, 16)
        x += 1024
        n += 1

    # Stairs up to a landing under the boss door, when the door is above the
    # ground.
    landing = gate_y + DOOR_H
    if landing < FLOOR_TOP:
        lay.column(gate_x - TILE, landing, FLOOR_TOP, wall)
        lay.column(gate_x, landing, FLOOR_TOP, wall)
        top, sx = landing + TILE, gate_x - 2 * TILE
        while top < FLOOR_TOP:
            lay.column(sx, top, FLOOR_TOP, wall)
            top += TILE
            sx -= TILE

    # Enemies: which kinds each area has, one every 1100 pixels or so; now and
    # then two come as a group. Walkers and turrets stand on the ground;
    # flyers keep their heights, low enough to be shot, or high above for the
    # bomber and the dropper.
    kinds = [[4, 5, 10, 15, 23],
             [4, 5, 7, 11, 16, 24, 13],
             [3, 4, 7, 12, 17, 19, 22, 25, 30, 38],
             [3, 5, 7, 12, 21, 33, 34, 35, 36, 39, 40, 41, 42, 43, 45, 47, 49],
             [3, 4, 5, 7, 12, 27, 37, 50, 51, 53, 54, 55, 56]][a]
    flyer_tops = {7: 540, 11: 520, 13: 440, 16: 460, 17: 160, 21: 548, 25: 200, 27: 500,
                  40: 440, 42: 460, 49: 520, 56: 400}
    heights = {k: flyer_tops.get(k, FLOOR_TOP - ANIMATIONS[(2, k)][0]['box'][1])
               for k in set(kinds) | {4}}
    x = area['restart'][0] + SCREEN_W + 700
    n = 0
    group = 0
    while x < gate_x - 1400:
        subtype = kinds[n % len(kinds)]
        drops = 3 + n % 3
        x = lay.place(x, heights[subtype], ANIMATIONS[(2, subtype)][0]['box'])
        if n % 7 == 6:
            group += 1
            x2 = lay.place(x + 96, heights[4], ANIMATIONS[(2, 4)][0]['box'])
            lay.enemies.append((x, heights[subtype], subtype, 0, drops, group, 0))
            lay.enemies.append((x2, heights[4], 4, 0, drops, group, 0))
        else:
            lay.enemies.append((x, heights[subtype], subtype, 0, drops, 0, 0))
        x += 1100 + (n * 137) % 300
        n += 1

    # Items: chests whose keys unlock slot levels (flag indices 0 and 1 speed,
    # 2 and 3 jumps, 4 to 6 shots, 7 and 8 shot level, 9 the companion).
    flags = [[0, 1], [2, 3], [4, 5, 6], [7, 8], [9]][a]
    span = gate_x - 3000 - (area['restart'][0] + 3000)
    for i, flag in enumerate(flags):
        ix = area['restart'][0] + 3000 + span * (i + 1) // (len(flags) + 1)
        ix = lay.place(ix // TILE * TILE + 16, FLOOR_TOP - 32, ANIMATIONS[(5, 0)][0]['box'])
        lay.items.append((ix, FLOOR_TOP - 32, 0, 0, flag))
    return lay


def arena_layout(a):
    lay = Layout()
    s = ARENA_SCROLL
    floor_top = ARENA_FLOOR_TOPS[a]
    lay.floor((s - 128) // TILE * TILE, s + SCREEN_W + 128, T_ARENA_FLOOR + a, floor_top)
    # The walls reach down to the floor, leaving no gap to walk out under.
    lay.column(s - TILE, -256, floor_top, T_ARENA_WALL + a)
    lay.column(s + SCREEN_W, -256, floor_top, T_ARENA_WALL + a)
    return lay


def write_layout(root, area_index, lay):
    header = ['# demo data: area %d' % area_index]
    write_text(root, 'img/block/BlockPosition%02d.csv' % area_index,
               header + ['x,y,type,widthCells,heightCells,reserved,solid,reserved,belt,reserved',
                         '#'] +
               ['%d,%d,%d,%d,%d,0,1,0,%d,0' % b for b in lay.blocks])
    write_text(root, 'img/chara/enemy/EnemyPosition%02d.csv' % area_index,
               header + ['x,y,subtype,facing,drops,group,rearm', '#'] +
               ['%d,%d,%d,%d,%d,%d,%d' % e for e in lay.enemies])
    # The list ends at an item with x 0.
    write_text(root, 'img/item/ItemPosition%02d.csv' % area_index,
               header + ['x,y,subtype,facing,flag,reserved,reserved', '#'] +
               ['%d,%d,%d,%d,%d,0,0' % i for i in lay.items] + ['0,0,0,0,0,0,0'])


def write_tables(root):
    write_animations(root)
    write_block_anime(root)
    write_slots(root)
    for a in range(5):
        write_layout(root, a, field_layout(a))
        write_layout(root, a + 5, arena_layout(a))


# ---------------------------------------------------------------------------
# Images


def screen_images():
    """(path, canvas) of every picture that is not an actor frame or a block."""
    art = demo_art
    white, gold, red = art.WHITE, art.GOLD, (255, 90, 90)
    out = []
    for i, ch in enumerate('*DORA STUDIO'):
        out.append(('img/title/DORA/CampanyLogo_%02d.png' % (i + 1), art.logo_piece(ch)))
    bar = art.Canvas(55, 8, (250, 120, 40))
    bar.rect(0, 0, 55, 2, (255, 200, 120))
    out.append(('img/title/DORA/CampanyLogoBar.bmp', bar))
    star = art.Canvas(560, 150)
    star.ellipse(280, 75, 270, 60, (40, 30, 90))
    star.ellipse(280, 75, 262, 52, (70, 50, 140))
    out += [('img/title/TitleText0.png', star),
            ('img/title/TitleText1.png', art.fitted_text(430, 64, 'SEIREITAN', gold)),
            ('img/title/TitleText2.png', art.fitted_text(300, 36, 'ENDLESS', white)),
            ('img/title/TitleText3.png', art.fitted_text(420, 30, '-VANGUARD-', (180, 200, 255)))]
    for i, label in enumerate(['START', 'CONFIG', 'OPTION', 'SOUND TEST', 'EXIT', 'BACK']):
        out.append(('img/title/TitleItem%d.png' % i, art.fitted_text(240, 32, label, white)))
    actions = ['NONE', 'INSTALL & DECIDE', 'JUMP & CANCEL', 'SHOT', 'NONE', 'NONE', 'NONE', 'NONE',
               'PAUSE', 'DEFAULT', 'EXIT']
    for i, label in enumerate(actions):
        out.append(('img/title/config/ButtonAction%d.png' % i, art.fitted_text(300, 24, label, white)))
        out.append(('img/title/config/Button%d.png' % (i + 1), art.fitted_text(200, 24, 'BUTTON %d' % (i + 1), gold)))
        out.append(('img/title/config/Key%d.png' % (i + 1), art.fitted_text(160, 24, 'KEY %d' % (i + 1), gold)))
    cursor = art.triangle_icon(32, 32, gold)
    out.append(('img/title/TitleSelectIcon.tga', cursor))
    for a in range(5):
        out.append(('img/title/Erea/erea%dface.bmp' % a, art.area_face(a)))
    for i, colour in enumerate([gold, (255, 255, 255)]):
        frame = art.Canvas(144, 144)
        frame.frame(0, 0, 144, 144, colour, 6)
        out.append(('img/title/Erea/EreaSelect%02d.bmp' % i, frame))
    out.append(('img/title/Erea/EreaSelectTextBG.bmp', art.panel(400, 160)))
    stage = art.panel(352, 250, (30, 30, 70))
    art.centred_text(stage, 12, 'STAGE SELECT', gold, 3)
    out.append(('img/etc/StageSelect.bmp', stage))
    out.append(('img/title/Demo.bmp', demo_picture()))
    out.append(('img/title/player00_02_00.bmp', art.heroine_portrait(160)))

    texts = [('SoltSettingText00.png', 'SLOT SETTING'), ('SoltSettingText01.png', 'CHOOSE A SLOT'),
             ('Cursol00.png', '>'), ('Cursol01.png', '>>'), ('Cursol02.png', '*'),
             ('OK00.png', 'OK'), ('OK01.png', 'OK!')]
    for name, label in texts:
        out.append(('img/slotsetting/' + name, art.fitted_text(max(48, 24 * len(label)), 32, label, white)))
    names = ['SPD', 'JMP', 'SHT', 'LV', 'OPT', 'ATK']
    for r in range(6):
        for o in range(6):
            base = art.hue(r / 6.0 + o * 0.03, 0.7, 0.9)
            for lit in (0, 1):
                pic = art.Canvas(36, 36, art.shade(base, 1.0 if lit else 0.35))
                pic.frame(0, 0, 36, 36, white if lit else (90, 90, 90), 2)
                pic.text((36 - art.text_width(names[r])) // 2, 8, names[r], white if lit else (150, 150, 150))
                pic.text(15, 20, str(o), gold if lit else (120, 120, 120))
                out.append(('img/slotsetting/Slot/Slot%02d_%02d_%02d.bmp' % (r, o, lit), pic))

    overlay = art.panel(400, 170, (10, 10, 40), (150, 150, 255))
    out.append(('img/pause/PauseScreen.png', overlay))
    for n in range(1, 10):
        out.append(('img/pause/PauseScreenText%d.png' % n, art.pause_text(n)))

    out += [('img/end/EndText0.bmp', art.fitted_text(629, 64, 'AREA CLEAR', gold)),
            ('img/end/EndText1.bmp', art.fitted_text(541, 64, 'GAME OVER', red)),
            ('img/end/EndText2.bmp', art.fitted_text(280, 40, 'LEVEL UP!', gold)),
            ('img/end/EndText3.bmp', art.fitted_text(100, 32, 'LV', white)),
            ('img/end/EndText4.bmp', art.fitted_text(300, 32, 'SPHERES', white))]
    for i in range(5):
        out.append(('img/end/EndTri%d.png' % i, art.triangle_icon(32, 32, art.hue(i / 5.0))))
    for r in range(6):
        out.append(('img/end/Rank%d.bmp' % r, art.rank(r)))
    for a in range(5):
        out.append(('img/bg/EreaBG%d.png' % a, art.background(a)))
    splash = art.Canvas(64, 64)
    splash.circle(32, 32, 28, (220, 30, 30))
    splash.circle(32, 32, 16, (255, 120, 120))
    out.append(('img/DamageEffect.bmp', splash))
    out.append(('img/Tri.tga', art.triangle_icon(24, 24, (255, 60, 90))))
    dot = art.Canvas(4, 4, white)
    out.append(('img/etc/NumberPeriod.bmp', dot))
    for d in range(10):
        out.append(('img/etc/Number%d.bmp' % d, art.digit(str(d))))
    out += [('img/etc/EreaClear0.bmp', art.fitted_text(352, 40, 'NOT CLEARED', (160, 160, 160),
                                                        background=(20, 20, 40))),
            ('img/etc/EreaClear1.bmp', art.fitted_text(352, 40, 'CLEARED!', gold, background=(20, 20, 40)))]
    return out


def demo_picture():
    """The intro's picture: the heroine alone in a strange place."""
    art = demo_art
    cv = art.background(4, 320, 240)
    cv.rect(0, 0, 320, 24, art.BLACK)
    hero = art.heroine(64, 96, 0, 0, 7)
    cv.blit(hero, 128, 120)
    return cv


def sprite_images():
    """(path, canvas) of every actor frame and block frame the tables name."""
    out = []
    for (kind, ident), set_rows in sorted(ANIMATIONS.items()):
        pattern = ANIM_PATHS[kind][1]
        for r, row_def in enumerate(set_rows):
            if row_def is None:
                continue
            w, h = row_def['image']
            for f in range(row_def['frames']):
                if kind == 1:
                    cv = demo_art.heroine(w, h, r, f, row_def['frames'])
                elif kind == 2:
                    cv = demo_art.enemy(w, h, ident, r, f)
                elif kind == 3:
                    cv = demo_art.boss(w, h, ident, r, f)
                elif kind == 4:
                    cv = demo_art.effect(w, h, ident, r, f, row_def['hurts'])
                elif kind == 5:
                    cv = demo_art.item(w, h, ident, f)
                else:
                    cv = demo_art.system_effect(w, h, ident, r, f)
                out.append((pattern % (ident, r, f), cv))
    for t in range(BLOCK_TYPE_COUNT):
        row_def = BLOCK_TYPES[t]
        w, h = row_def['image']
        for f in range(row_def['frames']):
            out.append(('img/block/Block%02d_%02d.bmp' % (t, f), demo_art.block(w, h, row_def['look'], f)))
    return out


def write_images(root):
    sizes = []
    for relative, cv in screen_images() + sprite_images():
        path = os.path.join(root, *relative.split('/'))
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, 'wb') as f:
            f.write(encode(cv, relative))
        sizes.append('%s %d %d' % (relative, cv.w, cv.h))
    write_text(root, 'image-sizes.txt', sizes)


def main(argv):
    args = [a for a in argv[1:] if not a.startswith('--')]
    if len(args) != 1:
        sys.stderr.write('usage: make_demo_data.py [--no-sounds] OUT_DIR\n')
        return 2
    write_tables(args[0])
    write_images(args[0])
    if '--no-sounds' not in argv:
        import demo_sounds
        demo_sounds.write_sounds(args[0])
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))
