#!/usr/bin/env python3
# Whether one worm's trail in a screenshot bends: the worm's pixels (its colour within a
# tolerance, inside the arena) must lie more than 6 pixels off the straight line through
# the trail's two ends. Usage: trail_bends.py SCREENSHOT.bmp R G B TOLERANCE
import math
import sys

from screenshot import read

path, r0, g0, b0, tol = sys.argv[1], *map(int, sys.argv[2:6])
pts = []
for y, line in enumerate(read(path)):
    for x, (r, g, b) in enumerate(line):
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
