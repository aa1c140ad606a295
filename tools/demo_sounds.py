"""Synthesised sounds of the demo data set: a short music loop per scene,
distinct effects and voice-like clips, written as 16-bit mono WAVE and turned
into MP3 by `lame` (Debian package lame), several encodes at once."""
import math
import os
import random
import struct
import subprocess
import tempfile
import wave

RATE = 22050
NOTES = {n: i for i, n in enumerate(['C', 'C#', 'D', 'D#', 'E', 'F', 'F#', 'G', 'G#', 'A', 'A#', 'B'])}
MAJOR, MINOR = [0, 2, 4, 5, 7, 9, 11], [0, 2, 3, 5, 7, 8, 10]


def freq(midi):
    return 440.0 * 2 ** ((midi - 69) / 12.0)


def tone(buf, start, length, f, volume, kind='square', decay=3.0):
    """Adds a note to the float buffer."""
    n0, n = int(start * RATE), int(length * RATE)
    period = RATE / f
    for i in range(n):
        if n0 + i >= len(buf):
            break
        t = i / float(RATE)
        env = math.exp(-decay * t) * min(1.0, i / 80.0) * min(1.0, (n - i) / 200.0)
        phase = (i % period) / period
        if kind == 'square':
            v = 1.0 if phase < 0.5 else -1.0
        elif kind == 'triangle':
            v = 4 * abs(phase - 0.5) - 1
        elif kind == 'saw':
            v = 2 * phase - 1
        else:
            v = math.sin(2 * math.pi * phase)
        buf[n0 + i] += v * env * volume


# The music: per track a key, a mode, a tempo and a seed for its melody.
# Tracks by use: 0 to 4 the areas, 5 the boss arenas, 7 the title menu, 8 the
# logo and intro, 9 the area select, 12 the game over, 13 before the start
# line; the others (area clear, ending, spares) get their own tunes too.
TRACKS = [
    ('G', MAJOR, 140), ('D', MAJOR, 150), ('A', MINOR, 160), ('E', MINOR, 120), ('C', MINOR, 170),
    ('D', MINOR, 180), ('F', MAJOR, 110), ('C', MAJOR, 120), ('A', MAJOR, 100), ('E', MAJOR, 130),
    ('B', MINOR, 140), ('F', MAJOR, 125), ('A', MINOR, 80), ('G', MINOR, 110), ('D', MAJOR, 135),
    ('C', MAJOR, 95),
]


def music(index, bars=4):
    key, mode, bpm = TRACKS[index]
    rng = random.Random(1000 + index)
    beat = 60.0 / bpm
    total = bars * 4 * beat
    buf = [0.0] * int(total * RATE + RATE * 0.05)
    root = 60 + NOTES[key]
    chords = [0, 5, 3, 4] if mode is MAJOR else [0, 5, 6, 4]
    degree = 0
    for bar in range(bars):
        chord = chords[bar % 4]
        bass = root - 24 + mode[chord % 7]
        for b in range(4):
            tone(buf, (bar * 4 + b) * beat, beat * 0.9, freq(bass), 0.22, 'triangle', 2.0)
        t = bar * 4 * beat
        while t < (bar + 1) * 4 * beat - 1e-6:
            length = beat * rng.choice([0.5, 0.5, 1.0, 1.0, 2.0])
            degree = max(-3, min(9, degree + rng.choice([-2, -1, -1, 0, 1, 1, 2])))
            if rng.random() < 0.3:
                degree = chord + rng.choice([0, 2, 4])
            note = root + 12 * (degree // 7) + mode[degree % 7]
            tone(buf, t, length * 0.95, freq(note), 0.16, 'square' if index % 2 else 'saw', 2.5)
            t += length
        if index not in (12, 8):
            for b in range(8):
                start = int((t - 4 * beat + b * beat / 2) * RATE)
                for i in range(600):
                    if 0 <= start + i < len(buf):
                        buf[start + i] += rng.uniform(-1, 1) * 0.06 * (1 - i / 600.0)
    return buf


def sweep(length, f0, f1, kind='square', volume=0.4, decay=4.0, noise=0.0, seed=0):
    rng = random.Random(seed)
    n = int(length * RATE)
    buf = []
    phase = 0.0
    for i in range(n):
        t = i / float(n)
        f = f0 * (f1 / f0) ** t
        phase = (phase + f / RATE) % 1.0
        if kind == 'square':
            v = 1.0 if phase < 0.5 else -1.0
        elif kind == 'noise':
            v = rng.uniform(-1, 1)
        else:
            v = math.sin(2 * math.pi * phase)
        v = v * (1 - noise) + rng.uniform(-1, 1) * noise
        buf.append(v * volume * math.exp(-decay * t * length) * min(1.0, i / 60.0))
    return buf


def effect(index):
    """Effect n: a recipe chosen by n, so that each effect sounds its own."""
    recipes = [
        lambda: sweep(0.10, 900, 1400, volume=0.3),                    # 0 shot
        lambda: sweep(0.25, 300, 60, 'noise', 0.5, 6, seed=1),         # 1 hit
        lambda: sweep(0.12, 660, 990, 'sine', 0.5, 2),                 # 2 decide
        lambda: sweep(0.30, 200, 800, 'square', 0.3, 2),               # 3 jump
        lambda: sweep(0.40, 120, 40, 'noise', 0.6, 3, seed=2),         # 4 explosion
        lambda: sweep(0.15, 700, 350, 'sine', 0.5, 4),                 # 5 cancel
        lambda: sweep(0.08, 1800, 2600, 'sine', 0.4, 5),               # 6 sphere
        lambda: sweep(0.50, 400, 1600, 'square', 0.25, 1),             # 7 power-up
    ]
    if index < len(recipes):
        return recipes[index]()
    rng = random.Random(index)
    kind = ['square', 'sine', 'noise'][index % 3]
    f0 = rng.choice([200, 330, 440, 550, 880, 1200])
    f1 = f0 * rng.choice([0.25, 0.5, 2.0, 3.0])
    return sweep(0.1 + 0.05 * (index % 6), f0, f1, kind, 0.35, 3, noise=0.1 * (index % 3), seed=index)


def voice(index):
    """A short sung phrase with a vowel-like timbre, per clip its own."""
    rng = random.Random(50 + index)
    buf = []
    for syllable in range(3 + index % 2):
        f = 300 + rng.choice([0, 40, 80, 120]) + 20 * index
        n = int(0.12 * RATE)
        for i in range(n):
            t = i / float(RATE)
            env = math.sin(math.pi * i / n)
            v = (math.sin(2 * math.pi * f * t) + 0.5 * math.sin(2 * math.pi * 2 * f * t) +
                 0.3 * math.sin(2 * math.pi * (700 + 200 * syllable) * t))
            buf.append(0.25 * v * env)
        buf.extend([0.0] * int(0.03 * RATE))
    return buf


def jingle():
    buf = [0.0] * int(0.35 * RATE)
    for k, note in enumerate([72, 76, 79, 84]):
        tone(buf, 0.06 * k, 0.2, freq(note), 0.2, 'sine', 6)
    return buf


def write_wave(path, samples):
    peak = max(1e-6, max(abs(s) for s in samples))
    scale = 30000.0 / peak if peak > 1.0 else 30000.0
    data = struct.pack('<%dh' % len(samples), *(int(max(-1.0, min(1.0, s * scale / 30000.0)) * 30000)
                                                 for s in samples))
    with wave.open(path, 'wb') as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(RATE)
        w.writeframes(data)


def all_sounds():
    """(relative path, samples) of every sound the game loads."""
    out = [('sound/bgm%02d.mp3' % i, music(i)) for i in range(16)]
    out += [('sound/se%02d.mp3' % i, effect(i)) for i in range(32)]
    out += [('sound/cv%d.mp3' % i, voice(i)) for i in range(6)]
    out.append(('img/title/DORA/Sound.mp3', jingle()))
    return out


def write_sounds(root):
    with tempfile.TemporaryDirectory() as tmp:
        jobs = []
        for relative, samples in all_sounds():
            wav = os.path.join(tmp, relative.replace('/', '_') + '.wav')
            write_wave(wav, samples)
            target = os.path.join(root, *relative.split('/'))
            os.makedirs(os.path.dirname(target), exist_ok=True)
            jobs.append(subprocess.Popen(['lame', '--quiet', '-t', '--cbr', '-b', '48', wav, target]))
        for job in jobs:
            if job.wait() != 0:
                raise SystemExit('lame failed')
