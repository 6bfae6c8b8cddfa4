#!/usr/bin/env python3
"""Draws the application icon (a coin beside a ledger page) at the sizes the
window uses, as 32-bit PNG files. Run again only to change the design."""
import math
from pathlib import Path

from png_writer import png_bytes

GOLD = (232, 176, 32)
GOLD_DARK = (160, 110, 10)
PAGE = (250, 250, 245)
INK = (0, 0, 128)
RED = (200, 30, 30)


def pixel(size, x, y):
    # Coordinates in a 0..1 square, sampled at the pixel centre.
    u, v = (x + 0.5) / size, (y + 0.5) / size
    # Ledger page: a rounded rectangle on the right, ruled with ink lines.
    if 0.38 <= u <= 0.94 and 0.08 <= v <= 0.92:
        edge = min(u - 0.38, 0.94 - u, v - 0.08, 0.92 - v)
        if edge < max(1.0 / size, 0.02):
            return INK + (255,)
        for i, line in enumerate((0.28, 0.44, 0.60, 0.76)):
            if abs(v - line) < max(0.6 / size, 0.025) and 0.48 <= u <= 0.86:
                return (RED if i == 3 else INK) + (255,)
        return PAGE + (255,)
    # Coin: a gold disc with a darker rim, overlapping the page's left edge.
    d = math.hypot(u - 0.34, v - 0.62)
    if d <= 0.30:
        if d >= 0.30 - max(1.2 / size, 0.04):
            return GOLD_DARK + (255,)
        if abs(u - 0.34) < 0.05 and abs(v - 0.62) < 0.17:
            return GOLD_DARK + (255,)
        return GOLD + (255,)
    return (0, 0, 0, 0)


def png(size):
    return png_bytes([[pixel(size, x, y) for x in range(size)] for y in range(size)])


if __name__ == "__main__":
    folder = Path(__file__).parent / "icon"
    folder.mkdir(exist_ok=True)
    for size in (16, 32, 48, 64, 256):
        (folder / f"app-{size}.png").write_bytes(png(size))
