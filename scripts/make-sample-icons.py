#!/usr/bin/env python3
"""Draws the sample device's app icons (rounded squares with a simple mark) as PNG files.

Run from the repository root; writes into examples/device. The icons are this project's own
drawings, made with nothing but the standard library.
"""
import math
import os
import struct
import zlib


def png(path, width, height, pixels):
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    raw = b"".join(b"\x00" + bytes(pixels[y * width * 4:(y + 1) * width * 4]) for y in range(height))
    data = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0))
    data += chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def icon(size, top, bottom, mark):
    """A rounded square with a vertical gradient and a white mark ('bubble', 'ring', 'plane', 'box')."""
    px = bytearray(size * size * 4)
    r = size * 0.225
    for y in range(size):
        for x in range(size):
            cx, cy = x + 0.5, y + 0.5
            # Coverage of the rounded square, antialiased over one pixel.
            dx = max(r - cx, cx - (size - r), 0)
            dy = max(r - cy, cy - (size - r), 0)
            d = math.hypot(dx, dy) - r if dx and dy else -min(cx, cy, size - cx, size - cy)
            a = max(0.0, min(1.0, 0.5 - d))
            t = cy / size
            col = [top[i] + (bottom[i] - top[i]) * t for i in range(3)]
            u, v = cx / size - 0.5, cy / size - 0.5
            m = 0.0
            if mark == "bubble":
                m = 1.0 if (u * u / 0.11 + v * v / 0.07) < 1 or (0.05 < u < 0.22 and 0.12 < v < 0.3 and v - 0.12 < (0.22 - u)) else 0.0
            elif mark == "ring":
                m = 1.0 if 0.2 < math.hypot(u, v) < 0.31 else 0.0
            elif mark == "plane":
                m = 1.0 if (v > -0.25 and v < 0.25 - abs(u) * 0.0 and abs(u) < 0.3 - (v + 0.25) * 0.6 and v > u * 0.5 - 0.2) else 0.0
            elif mark == "box":
                m = 1.0 if abs(u) < 0.22 and abs(v) < 0.22 and not (abs(u) < 0.1 and abs(v) < 0.1) else 0.0
            col = [c + (255 - c) * m for c in col]
            i = (y * size + x) * 4
            px[i:i + 4] = bytes([int(col[0]), int(col[1]), int(col[2]), int(255 * a)])
    return px


APPS = {
    # folder: (top colour, bottom colour, mark)
    "Applications/MobileSMS.app": ((110, 230, 110), (40, 190, 60), "bubble"),
    "Applications/Sileo.app": ((90, 120, 255), (50, 60, 200), "box"),
    "var/containers/Bundle/Application/5C1D8E2A-7F3B-4E6A-9B0C-1D2E3F4A5B6C/WhatsApp.app": ((80, 220, 120), (20, 160, 90), "ring"),
    "var/containers/Bundle/Application/9A8B7C6D-5E4F-4A3B-8C2D-1E0F9A8B7C6D/Telegram.app": ((80, 180, 240), (30, 130, 210), "plane"),
}

if __name__ == "__main__":
    root = os.path.join("examples", "device")
    for folder, (top, bottom, mark) in APPS.items():
        for scale, suffix in ((1, ""), (2, "@2x"), (3, "@3x")):
            size = 29 * scale
            png(os.path.join(root, folder, "Icon-Small%s.png" % suffix), size, size, icon(size, top, bottom, mark))
