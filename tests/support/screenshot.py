#!/usr/bin/env python3
# Reads a screenshot of the game (.bmp as the game writes it, or .png) into rows of
# (R, G, B) pixels, top row first.
import struct
import zlib


def read_bmp(data):
    off, = struct.unpack_from('<I', data, 10)
    w, h = struct.unpack_from('<ii', data, 18)
    bpp, = struct.unpack_from('<H', data, 28)
    step = bpp // 8
    row = (w * step + 3) & ~3
    px = []
    for y in range(abs(h)):
        src = y if h < 0 else abs(h) - 1 - y
        base = off + src * row
        line = data[base:base + w * step]
        px.append([(line[x * step + 2], line[x * step + 1], line[x * step]) for x in range(w)])
    return px


def read_png(data):
    assert data[:8] == b'\x89PNG\r\n\x1a\n', 'not a PNG'
    pos, idat, w = 8, b'', 0
    while pos < len(data):
        n, kind = struct.unpack_from('>I4s', data, pos)
        body = data[pos + 8:pos + 8 + n]
        if kind == b'IHDR':
            w, h, depth, ctype, _, _, interlace = struct.unpack('>IIBBBBB', body)
            assert depth == 8 and ctype in (2, 6) and interlace == 0, 'an unexpected PNG kind'
            step = 3 if ctype == 2 else 4
        elif kind == b'IDAT':
            idat += body
        pos += 12 + n
    raw = zlib.decompress(idat)
    stride = w * step
    prev = bytearray(stride)
    px, i = [], 0
    for _ in range(h):
        f = raw[i]
        line = bytearray(raw[i + 1:i + 1 + stride])
        i += 1 + stride
        for x in range(stride):
            a = line[x - step] if x >= step else 0
            b = prev[x]
            c = prev[x - step] if x >= step else 0
            if f == 1:
                line[x] = (line[x] + a) & 0xFF
            elif f == 2:
                line[x] = (line[x] + b) & 0xFF
            elif f == 3:
                line[x] = (line[x] + (a + b) // 2) & 0xFF
            elif f == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                pred = a if pa <= pb and pa <= pc else (b if pb <= pc else c)
                line[x] = (line[x] + pred) & 0xFF
        px.append([tuple(line[x * step:x * step + 3]) for x in range(w)])
        prev = line
    return px


def read(path):
    data = open(path, 'rb').read()
    return read_png(data) if data[:4] == b'\x89PNG' else read_bmp(data)
