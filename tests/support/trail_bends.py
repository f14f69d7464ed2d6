#!/usr/bin/env python3
# Whether one worm's trail in a screenshot bends: the worm's pixels (its colour within a
# tolerance, inside the arena) must lie more than 6 pixels off the straight line through
# the trail's two ends. Usage: trail_bends.py SCREENSHOT.bmp R G B TOLERANCE
import math
import struct
import sys

path, r0, g0, b0, tol = sys.argv[1], *map(int, sys.argv[2:6])
data = open(path, 'rb').read()
off, = struct.unpack_from('<I', data, 10)
w, h = struct.unpack_from('<ii', data, 18)
bpp, = struct.unpack_from('<H', data, 28)
step = bpp // 8
row = (w * step + 3) & ~3
pts = []
for y in range(abs(h)):
    src = y if h < 0 else abs(h) - 1 - y
    base = off + src * row
    for x in range(w):
        b, g, r = data[base + x * step: base + x * step + 3]
        near = abs(r - r0) <= tol and abs(g - g0) <= tol and abs(b - b0) <= tol
        if near and 16 <= x < 624 and 56 <= y < 464:
            pts.append((x, y))
if len(pts) < 20:
    sys.exit("only %d trail pixels" % len(pts))
xs = sorted(pts)
(x0, y0), (x1, y1) = xs[0], xs[-1]
length = math.hypot(x1 - x0, y1 - y0) or 1
far = max(abs((x1 - x0) * (y0 - y) - (x0 - x) * (y1 - y0)) / length for x, y in pts)
print("trail pixels", len(pts), "farthest from the chord", round(far, 1))
sys.exit(0 if far > 6 else "the trail is straight")
