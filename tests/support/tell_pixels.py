#!/usr/bin/env python3
# Reads the game's screenshots (.bmp or .png, 640 by 480) for tell_window.sh:
#   same A B                    the two pictures are equal pixel for pixel
#   labels SHOT CLASSIC SOURCE  every worm seen in CLASSIC (its start dash, in its colour,
#                               inside the arena) has a label box in SHOT near it: a
#                               straight edge of at least 30 pixels in its colour (a
#                               person's label) or its quieter half (a computer's)
#   text SHOT SOURCE Y PIECES   a line of the game's own letters, centred on the view at
#                               row Y, scale 2, reads PIECES: "text|R,G,B" arguments in order
# SOURCE is the repository: the letter table is read from src/display/text.cpp.
import re
import sys

from screenshot import read

# The slots' colours as the match keeps them ($00BBGGRR).
SLOT_COLOURS = [0x00FF00, 0x0000FF, 0xFF0000, 0xFFFF00, 0x00FFFF, 0xFF00FF,
                0x80FF00, 0xFF8000, 0x808080, 0x0080FF, 0x8000FF, 0xFF0080]
# The same as the normal palette draws them: spring green and violet are mended there.
SHOWN_COLOURS = SLOT_COLOURS[:6] + [0xBBEEAA] + SLOT_COLOURS[7:11] + [0xAA5588]


def rgb_of(bgr):
    return (bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF)


def glyphs(source):
    text = open(source + '/src/display/text.cpp').read()
    table = {}
    for ch, rows in re.findall(r"\{'(\\'|.)', \{([0-9A-Fa-fx, ]+)\}\}", text):
        table[ch.replace("\\'", "'")] = [int(v, 16) for v in rows.split(',')]
    return table


def same(a, b):
    pa, pb = read(a), read(b)
    if len(pa) != len(pb) or len(pa[0]) != len(pb[0]):
        sys.exit('sizes differ')
    diff = [(x, y) for y in range(len(pa)) for x in range(len(pa[0])) if pa[y][x] != pb[y][x]]
    if diff:
        sys.exit('%d pixels differ, the first at %s' % (len(diff), diff[0]))
    print('equal')


def labels(shot, classic):
    ps, pc = read(shot), read(classic)
    missing = []
    seen = 0
    for slot, bgr in enumerate(SLOT_COLOURS):
        worm_colour = rgb_of(bgr)
        colour = rgb_of(SHOWN_COLOURS[slot])
        quiet = tuple(v >> 1 for v in colour)
        worm = [(x, y) for y in range(58, 463) for x in range(18, 623) if pc[y][x] == worm_colour]
        if not worm:
            continue
        seen += 1
        wx = sum(p[0] for p in worm) / len(worm)
        wy = sum(p[1] for p in worm) / len(worm)
        edges = []
        for y in range(57, 464):
            run = 0
            for x in range(17, 624):
                run = run + 1 if ps[y][x] in (colour, quiet) else 0
                if run == 30:
                    edges.append((x - 15, y))
        near = min((((ex - wx) ** 2 + (ey - wy) ** 2) ** 0.5 for ex, ey in edges), default=None)
        print('slot %d: worm at (%d, %d), nearest label edge %s' %
              (slot, wx, wy, 'none' if near is None else '%d px away' % near))
        if near is None or near > 200:
            missing.append(slot)
    if seen == 0:
        sys.exit('no worm seen')
    if missing:
        sys.exit('no label beside the worms of slots %s' % missing)


def text(shot, source, y, pieces):
    px, table = read(shot), glyphs(source)
    parts = []
    for piece in pieces:
        words, colour = piece.rsplit('|', 1)
        parts.append((words, tuple(int(v) for v in colour.split(','))))
    line = ''.join(p[0] for p in parts)
    scale = 2
    width = (len(line) * 6 - 1) * scale
    x = 320 - width // 2
    wrong = 0
    lit = 0
    for words, colour in parts:
        for ch in words:
            rows = table.get(ch)
            if rows is None:
                sys.exit('no letter %r in the table' % ch)
            for r in range(len(rows)):
                for c in range(5):
                    on = rows[r] & (0x10 >> c)
                    got = px[y + r * scale][x + c * scale]
                    hit = all(abs(got[i] - colour[i]) <= 8 for i in range(3))
                    lit += 1 if on else 0
                    if bool(on) != hit:
                        wrong += 1
            x += 6 * scale
    print('%r: %d of %d dots differ' % (line, wrong, 40 * len(line)))
    if lit == 0 or wrong > 0:
        sys.exit('the view does not read %r at row %d' % (line, y))


if __name__ == '__main__':
    cmd = sys.argv[1]
    if cmd == 'same':
        same(sys.argv[2], sys.argv[3])
    elif cmd == 'labels':
        labels(sys.argv[2], sys.argv[3])
    elif cmd == 'text':
        text(sys.argv[2], sys.argv[3], int(sys.argv[4]), sys.argv[5:])
    else:
        sys.exit('unknown command ' + cmd)
