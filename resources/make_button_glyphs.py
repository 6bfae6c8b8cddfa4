#!/usr/bin/env python3
"""Draws the small pictures of the search dialog's buttons as 16x16 PNGs,
and the same shapes at 32x32 (name@2x.png) for screens at twice the
density, where Qt picks them itself. Run again only to change them."""
import math
from pathlib import Path

from png_writer import png_bytes

NAVY = (0, 0, 128, 255)
GREEN = (0, 128, 0, 255)
RED = (192, 0, 0, 255)
CLEAR = (0, 0, 0, 0)


def draw(test, scale=1):
    size = 16 * scale
    return [[test((x + 0.5) / scale, (y + 0.5) / scale) for x in range(size)]
            for y in range(size)]


def magnifier(x, y):
    d = math.hypot(x - 6.5, y - 6.5)
    if 3.2 <= d <= 5.0:
        return NAVY
    if x + y > 20 and abs(x - y) < 1.6 and x < 15:
        return NAVY
    return CLEAR


def cross(x, y):
    return RED if (abs(x - y) < 1.3 or abs(x + y - 16) < 1.3) and 2 < x < 14 else CLEAR


def tick(x, y):
    if 2 < x < 7 and abs(y - (x + 5)) < 1.3:
        return GREEN
    if 6 <= x < 14 and abs(y - (17 - x)) < 1.3:
        return GREEN
    return CLEAR


def door(x, y):
    if 3 <= x <= 11 and 1 <= y <= 15 and (x < 4 or x > 10 or y < 2 or y > 14):
        return NAVY
    if 6 <= x <= 14 and abs(y - 8) < 1 or (11 <= x <= 14 and abs(abs(y - 8) - (14 - x)) < 0.8):
        return RED
    return CLEAR


if __name__ == "__main__":
    folder = Path(__file__).parent / "buttons"
    folder.mkdir(exist_ok=True)
    for name, test in (("buscar", magnifier), ("limpiar", cross), ("escoger", tick),
                       ("salir", door)):
        (folder / f"{name}.png").write_bytes(png_bytes(draw(test)))
        (folder / f"{name}@2x.png").write_bytes(png_bytes(draw(test, 2)))
