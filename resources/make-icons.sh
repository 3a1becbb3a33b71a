#!/bin/sh
# SPDX-License-Identifier: MIT
# Rebuilds the program's icon files from two sources kept in this directory:
#   - the pixel art below (16 and 32 px), drawn by hand so that the outline,
#     the button split and the face survive at tiny sizes, and
#   - ponpira.svg, rendered for everything from 48 px up.
# Outputs: icons/ponpira-{16,32,48,64,128,256}.png and ponpira.ico.
# Needs python3 and rsvg-convert. The outputs are committed, so the build
# itself never runs this.
set -eu
cd "$(dirname "$0")"
mkdir -p icons

for size in 48 64 128 256; do
    rsvg-convert -w "$size" -h "$size" ponpira.svg -o "icons/ponpira-$size.png"
done

python3 - <<'PY'
import struct
import zlib

# . transparent, K black, G grey, S silver, W white: four of the sixteen
# standard Windows colours, so the small images fit a 4-bit icon exactly.
ART16 = [
    ".K..............",
    ".K....KKK.......",
    "..K..K...K......",
    "...KK.....K.....",
    "........KKKKK...",
    ".......KWWKWSK..",
    "......KWWWKWWSK.",
    "......KKKKKKKKK.",
    "......KWWWWWWSK.",
    "......KWKWWWKSK.",
    "......KWKWWWKGK.",
    "......KWWWWWWGK.",
    "......KWKWWWKGK.",
    "......KWWKKKWGK.",
    ".......KWSSSGK..",
    "........KKKKK...",
]

ART32 = [
    "................................",
    "..KK............................",
    "...KK...........................",
    "...KKK..........................",
    "....KK........KKKK..............",
    "....KK......KKKKKKKK............",
    ".....KK....KK......KK...........",
    ".....KK....KK.......KK..........",
    "......KK..KK........KK..........",
    "......KKKKK......KKKKKKK........",
    ".......KKK.....KKWWWKWWWKK......",
    "..............KWWWWWKWWWWSK.....",
    ".............KWWWWWWKWWWWWSK....",
    "............KWWWWWWWKWWWWWWSK...",
    "............KWWWWWWWKWWWWWWSK...",
    "...........KWWWWWWWWKWWWWWWWSK..",
    "...........KKKKKKKKKKKKKKKKKKK..",
    "...........KWWWWWWWWWWWWWWWSSK..",
    "...........KWWWWWWWWWWWWWWWSSK..",
    "...........KWWWWKKWWWWWKKWWSSK..",
    "...........KWWWWKKWWWWWKKWWSGK..",
    "...........KWWWWKKWWWWWKKWWSGK..",
    "...........KWWWWWWWWWWWWWWWSGK..",
    "...........KWWWKWWWWWWWWWKWSGK..",
    "...........KWWWWKWWWWWWWKWWSGK..",
    "...........KWWWWWKKKKKKKWWWSGK..",
    "...........KWWWWWWWWWWWWWWWSGK..",
    "............KWWWWWWWWSSSSSSGK...",
    ".............KWWSSSSSSSSSGGK....",
    "..............KKSSSSSSSGGKK.....",
    "................KKKKKKKKK.......",
    "................................",
]

# The standard 16-colour palette in its usual order (RGB).
PALETTE = [
    (0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
    (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0),
    (0x80, 0x80, 0x80), (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF),
]
# Transparent pixels get index 0 (black) under a set mask bit: the screen is
# AND-ed with 1s and XOR-ed with 0, which leaves it untouched.
INDEX = {".": 0, "K": 0, "S": 7, "G": 8, "W": 15}


def check(art):
    n = len(art)
    assert all(len(row) == n for row in art), "pixel art must be square"
    assert all(c in INDEX for row in art for c in row), "unknown colour letter"
    return n


def rgba_rows(art):
    rows = []
    for line in art:
        row = []
        for c in line:
            row.append((0, 0, 0, 0) if c == "." else PALETTE[INDEX[c]] + (255,))
        rows.append(row)
    return rows


def write_png(path, rows):
    h, w = len(rows), len(rows[0])
    raw = b"".join(b"\0" + b"".join(bytes(p) for p in row) for row in rows)

    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data
                + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))

    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n"
                + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 6, 0, 0, 0))
                + chunk(b"IDAT", zlib.compress(raw, 9))
                + chunk(b"IEND", b""))


def read_png(path):
    """Decodes the 8-bit RGBA, non-interlaced PNGs that rsvg-convert writes."""
    data = open(path, "rb").read()
    assert data[:8] == b"\x89PNG\r\n\x1a\n"
    pos, idat = 8, b""
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            w, h, depth, ctype, _, _, interlace = struct.unpack(">IIBBBBB", body)
            assert (depth, ctype, interlace) == (8, 6, 0), path
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
    raw = zlib.decompress(idat)
    bpp, stride = 4, w * 4
    prev = bytearray(stride)
    rows = []
    for y in range(h):
        ftype = raw[y * (stride + 1)]
        line = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            a = line[i - bpp] if i >= bpp else 0
            b = prev[i]
            c = prev[i - bpp] if i >= bpp else 0
            if ftype == 1:
                line[i] = (line[i] + a) & 0xFF
            elif ftype == 2:
                line[i] = (line[i] + b) & 0xFF
            elif ftype == 3:
                line[i] = (line[i] + (a + b) // 2) & 0xFF
            elif ftype == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                pred = a if pa <= pb and pa <= pc else (b if pb <= pc else c)
                line[i] = (line[i] + pred) & 0xFF
        rows.append([tuple(line[x * 4:x * 4 + 4]) for x in range(w)])
        prev = line
    return rows


def padded(row_bytes):
    return row_bytes + b"\0" * (-len(row_bytes) % 4)


def and_mask(transparent_rows):
    out = b""
    for row in reversed(transparent_rows):  # bitmaps are stored bottom-up
        bits = bytearray((len(row) + 7) // 8)
        for x, clear in enumerate(row):
            if clear:
                bits[x // 8] |= 0x80 >> (x % 8)
        out += padded(bytes(bits))
    return out


def bitmap_header(n, bits, image_size, colours):
    # Height is doubled: the colour bitmap and the mask are stacked.
    return struct.pack("<IiiHHIIiiII", 40, n, 2 * n, 1, bits, 0, image_size, 0, 0, colours, 0)


def ico_4bit(art):
    n = check(art)
    pixels = b""
    for line in reversed(art):
        idx = [INDEX[c] for c in line]
        pixels += padded(bytes((idx[x] << 4) | idx[x + 1] for x in range(0, n, 2)))
    mask = and_mask([[c == "." for c in line] for line in art])
    palette = b"".join(bytes((b, g, r, 0)) for r, g, b in PALETTE)
    data = bitmap_header(n, 4, len(pixels) + len(mask), 16) + palette + pixels + mask
    return (n, 16, 4, data)


def ico_32bit(rows):
    n = len(rows)
    pixels = b"".join(bytes((b, g, r, a)) for row in reversed(rows) for r, g, b, a in row)
    mask = and_mask([[p[3] == 0 for p in row] for row in rows])
    data = bitmap_header(n, 32, len(pixels) + len(mask), 0) + pixels + mask
    return (n, 0, 32, data)


def ico_png(path):
    # Large entries are stored as PNG, as Windows has accepted since Vista.
    data = open(path, "rb").read()
    n = struct.unpack(">I", data[16:20])[0]
    return (n, 0, 32, data)


def write_ico(path, images):
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for n, colours, bits, data in images:
        out += struct.pack("<BBBBHHII", n % 256, n % 256, colours, 0, 1, bits, len(data), offset)
        offset += len(data)
    with open(path, "wb") as f:
        f.write(out + b"".join(data for _, _, _, data in images))


write_png("icons/ponpira-16.png", rgba_rows(ART16))
write_png("icons/ponpira-32.png", rgba_rows(ART32))
check(ART16)
check(ART32)

# The two 16-colour images come first: they are what old shells pick.
write_ico("ponpira.ico", [
    ico_4bit(ART16),
    ico_4bit(ART32),
    ico_32bit(read_png("icons/ponpira-48.png")),
    ico_png("icons/ponpira-256.png"),
])
PY
