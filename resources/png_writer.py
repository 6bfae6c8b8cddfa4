"""Writes 32-bit RGBA pictures as PNG files with the standard library only."""
import struct
import zlib


def png_bytes(rows):
    """rows: a list of rows, each a list of (r, g, b, a) tuples, all the same length."""
    height = len(rows)
    width = len(rows[0]) if rows else 0
    data = b"".join(b"\x00" + b"".join(bytes(p) for p in row) for row in rows)

    def chunk(kind, body):
        payload = kind + body
        return struct.pack(">I", len(body)) + payload + struct.pack(">I", zlib.crc32(payload))

    header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
            chunk(b"IDAT", zlib.compress(data, 9)) + chunk(b"IEND", b""))
