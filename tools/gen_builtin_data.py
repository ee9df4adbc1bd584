#!/usr/bin/env python3
"""Builds the packed block of built-in fonts and palettes: gfx/core/builtin_packed_data.cpp.

Usage: gen_builtin_data.py CONSOLE_DATA_ROOT [OUTPUT.cpp]

CONSOLE_DATA_ROOT is an unpacked Debian console-data package; nothing is fetched here:

    cd /tmp && apt-get download console-data && dpkg -x console-data_*.deb cd
    tools/gen_builtin_data.py /tmp/cd

The output defaults to gfx/core/builtin_packed_data.cpp next to this script. It is committed, so
the build never needs the package; run this only to change the data.

The unpacked area (10742 bytes) holds, in order: the 8x8, 8x14 and 8x16 code page 437 fonts
(256 glyphs each, one byte a row, bit 0 the leftmost pixel) and the 2, 16, 64 and 256 colour
palettes as RGB triplets. It is packed with 12-bit LZW: two codes per three bytes, codes 0-255
single bytes, the dictionary growing from 256 by one entry per code up to 4094, 4095 the end.
"""
import gzip
import os
import struct
import sys

FONT_DIR = os.path.join("usr", "share", "consolefonts")
MAP_DIR = os.path.join("usr", "share", "consoletrans")
CHANGELOG = os.path.join("usr", "share", "doc", "console-data", "changelog.Debian.gz")

AREA_SIZE = 10742
GLYPHS = 256

# Code page 437 positions 0-31 and 127 as the IBM PC draws them (0 is a blank cell).
CP437_LOW = (
    "\u0000\u263a\u263b\u2665\u2666\u2663\u2660\u2022\u25d8\u25cb\u25d9\u2642\u2640\u266a\u266b\u263c"
    "\u25ba\u25c4\u2195\u203c\u00b6\u00a7\u25ac\u21a8\u2191\u2193\u2192\u2190\u221f\u2194\u25b2\u25bc"
)
CP437_DEL = "\u2302"

# Capital A, bit 0 leftmost, per cell height.
TELLING_A = {
    8: bytes([0x0C, 0x1E, 0x33, 0x33, 0x3F, 0x33, 0x33, 0x00]),
    14: bytes([0x00, 0x00, 0x08, 0x1C, 0x36, 0x63, 0x63, 0x7F, 0x63, 0x63, 0x63, 0x00, 0x00, 0x00]),
    16: bytes([0x00, 0x00, 0x08, 0x1C, 0x36, 0x63, 0x63, 0x7F, 0x63, 0x63, 0x63, 0x63,
               0x00, 0x00, 0x00, 0x00]),
}

# Characters that are empty cells: NUL, space and no-break space (code page 437 positions 0, 32
# and 255). Every other character has ink.
BLANK_CHARS = frozenset("\u0000 \u00a0")

# The 8x8 and 8x14 sets are assembled: each code page 437 position comes from the first source
# that has its character. alt-* fonts are in code page 866 order (437 for 0-127 and 176-223),
# lat1-* are found through their Unicode table, gr* are in code page 737 order and cp865-* in
# code page 865 order. The third field names the package's own map of the font's positions to
# characters (consoletrans/*.sfm), where it ships one; positions taken by code page are checked
# against it.
ASSEMBLED_SOURCES = {
    8: [("alt-8x8.psf.gz", "cp866", "alt.sfm.gz"), ("lat1-08.psf.gz", None, None),
        ("gr8x8.psf.gz", "cp737", None), ("cp865-8x8.psf.gz", "cp865", None)],
    14: [("alt-8x14.psf.gz", "cp866", "alt.sfm.gz"), ("lat1-14.psf.gz", None, None),
         ("gr8x14.psf.gz", "cp737", None), ("cp865-8x14.psf.gz", "cp865", None)],
}

# Positions where a source draws something other than its code page's character; they are not
# taken, so the next source supplies that character.
NOT_THE_CHARACTER = {
    # Its code page puts the no-break space at 255; the font draws a visible-space mark there
    # (an open box in the bottom rows), which would show wherever 255 is printed as a glyph.
    "alt-8x8.psf.gz": {255},
}
# The 8x16 set is taken whole: it is already in code page 437 order.
WHOLE_SOURCE_16 = "default8x16.psf.gz"

LZW_END = 4095
LZW_FIRST_FREE = 256
LZW_LAST_CODE = 4094


class GenError(Exception):
    pass


def check(condition, message):
    if not condition:
        raise GenError(message)


def code_page_chars(codec):
    """The 256 characters of an IBM code page, with the PC's graphic symbols below 32 and at 127."""
    chars = list(CP437_LOW) + [chr(c) for c in range(32, 127)] + [CP437_DEL]
    chars += [bytes([c]).decode(codec) for c in range(128, 256)]
    return chars


CP437 = code_page_chars("cp437")


def read_psf1(path):
    """Returns (height, glyphs, unicode table or None) of an 8-pixel-wide PSF1 font."""
    with gzip.open(path, "rb") as f:
        data = f.read()
    check(len(data) >= 4 and data[0] == 0x36 and data[1] == 0x04, f"{path}: not a PSF1 font")
    mode, height = data[2], data[3]
    count = 512 if mode & 1 else 256
    end = 4 + count * height
    check(len(data) >= end, f"{path}: truncated glyphs")
    glyphs = [data[4 + g * height:4 + (g + 1) * height] for g in range(count)]
    table = None
    if mode & 2:
        table = []
        pos = end
        for _ in range(count):
            points = set()
            in_sequence = False
            while True:
                check(pos + 2 <= len(data), f"{path}: truncated Unicode table")
                (point,) = struct.unpack_from("<H", data, pos)
                pos += 2
                if point == 0xFFFF:
                    break
                if point == 0xFFFE:
                    in_sequence = True  # combining sequences are of no use here
                elif not in_sequence:
                    points.add(point)
            table.append(points)
    return height, glyphs, table


REVERSED = bytes(int(f"{b:08b}"[::-1], 2) for b in range(256))


def reverse_bits(rows):
    return bytes(REVERSED[b] for b in rows)


def read_sfm(path):
    """A screen font map: {position: set of characters}."""
    chars = {}
    with gzip.open(path, "rt", encoding="utf-8", errors="replace") as f:
        for line in f:
            fields = line.split("#", 1)[0].split()
            if len(fields) < 2 or not fields[0].startswith("0x"):
                continue
            position = int(fields[0], 16)
            for field in fields[1:]:
                if field.upper().startswith("U+"):
                    chars.setdefault(position, set()).add(chr(int(field[2:], 16)))
    return chars


def check_stands_for(name, position, char, glyph, package_map):
    """Fails unless the glyph at position of the named source can be char: a blank character
    needs an empty glyph and any other one ink, and where the package maps the font's positions
    that map must name char there. Below 128 the IBM code pages agree, and the package maps keep
    the control characters there, so only 128 to 255 are looked up."""
    check((char in BLANK_CHARS) == (not any(glyph)),
          f"{name}: position {position} is {'not ' if char in BLANK_CHARS else ''}empty, so it "
          f"is not U+{ord(char):04X}")
    if package_map is not None and position >= 128:
        check(char in package_map.get(position, ()),
              f"{name}: position {position} is not U+{ord(char):04X} in the package's map")


def glyph_finder(font_dir, map_dir, name, codec, map_name):
    """A function from a character to that font's glyph (PSF bit order), or None. Glyphs taken
    by code page position are checked to stand for the character asked for."""
    _, glyphs, table = read_psf1(os.path.join(font_dir, name))
    package_map = read_sfm(os.path.join(map_dir, map_name)) if map_name else None
    skipped = NOT_THE_CHARACTER.get(name, set())
    index = {}
    if codec is not None:
        for position, char in enumerate(code_page_chars(codec)):
            if position not in skipped:
                index.setdefault(char, position)
    else:
        check(table is not None, f"{name}: no Unicode table")
        for position, points in enumerate(table):
            for point in points:
                index.setdefault(chr(point), position)

    def find(char):
        if char not in index:
            return None
        position = index[char]
        check_stands_for(name, position, char, glyphs[position],
                         package_map if codec is not None else None)
        return glyphs[position]
    return find


def assembled_font(font_dir, map_dir, height):
    finders = [(name, glyph_finder(font_dir, map_dir, name, codec, map_name))
               for name, codec, map_name in ASSEMBLED_SOURCES[height]]
    counts = {name: 0 for name, _ in finders}
    out = bytearray()
    for position, char in enumerate(CP437):
        for name, find in finders:
            glyph = find(char)
            if glyph is not None:
                check(len(glyph) == height, f"{name}: glyph height is not {height}")
                counts[name] += 1
                out += reverse_bits(glyph)
                break
        else:
            raise GenError(f"8x{height}: no source has code page 437 position {position} "
                           f"(U+{ord(char):04X})")
    summary = ", ".join(f"{name} {n}" for name, n in counts.items())
    print(f"8x{height}: {summary}")
    return bytes(out)


def whole_font_16(font_dir):
    height, glyphs, table = read_psf1(os.path.join(font_dir, WHOLE_SOURCE_16))
    check(height == 16 and len(glyphs) == GLYPHS, f"{WHOLE_SOURCE_16}: not 256 glyphs of 16 rows")
    check(table is not None, f"{WHOLE_SOURCE_16}: no Unicode table")
    # Position 0 is a blank cell with no character of its own; every other position must carry
    # its code page 437 character.
    for position in range(1, GLYPHS):
        check(ord(CP437[position]) in table[position],
              f"{WHOLE_SOURCE_16}: position {position} is not U+{ord(CP437[position]):04X}")
    check(not any(glyphs[0]), f"{WHOLE_SOURCE_16}: glyph 0 is not blank")
    print(f"8x16: {WHOLE_SOURCE_16} {GLYPHS}")
    return b"".join(reverse_bits(g) for g in glyphs), b"".join(glyphs)


VGA_LEVELS = frozenset(v * 255 // 63 for v in range(64))

PALETTE_16 = [
    (0, 0, 0), (0, 0, 170), (0, 170, 0), (0, 170, 170), (170, 0, 0), (170, 0, 170), (170, 85, 0),
    (170, 170, 170), (85, 85, 85), (85, 85, 255), (85, 255, 85), (85, 255, 255), (255, 85, 85),
    (255, 85, 255), (255, 255, 85), (255, 255, 255),
]

GREYS = [0, 20, 32, 44, 56, 68, 80, 97, 113, 129, 145, 161, 182, 202, 226, 255]

# Levels (L, Q1, Q2, Q3, H) of the nine hue circles: three brightnesses at three saturations.
HUE_RUNS = [
    (0, 64, 125, 190, 255), (125, 157, 190, 222, 255), (182, 198, 218, 234, 255),
    (0, 28, 56, 85, 113), (56, 68, 85, 97, 113), (80, 89, 97, 105, 113),
    (0, 16, 32, 48, 64), (32, 40, 48, 56, 64), (44, 48, 52, 60, 64),
]

# One hue circle as indices into the levels: blue to magenta to red to yellow to green to cyan.
HUE_CIRCLE = [
    (0, 0, 4), (1, 0, 4), (2, 0, 4), (3, 0, 4), (4, 0, 4), (4, 0, 3), (4, 0, 2), (4, 0, 1),
    (4, 0, 0), (4, 1, 0), (4, 2, 0), (4, 3, 0), (4, 4, 0), (3, 4, 0), (2, 4, 0), (1, 4, 0),
    (0, 4, 0), (0, 4, 1), (0, 4, 2), (0, 4, 3), (0, 4, 4), (0, 3, 4), (0, 2, 4), (0, 1, 4),
]


def palettes():
    p2 = [(0, 0, 0), (255, 255, 255)]
    p64 = []
    for i in range(64):
        def level(low_bit, high_bit):
            return 170 * ((i >> low_bit) & 1) + 85 * ((i >> high_bit) & 1)
        p64.append((level(2, 5), level(1, 4), level(0, 3)))
    p256 = list(PALETTE_16) + [(g, g, g) for g in GREYS]
    for levels in HUE_RUNS:
        check(all(a < b for a, b in zip(levels, levels[1:])), f"levels {levels} not increasing")
        p256 += [tuple(levels[k] for k in entry) for entry in HUE_CIRCLE]
    p256 += [(0, 0, 0)] * 8
    check(len(p256) == 256, "256-colour palette has the wrong length")
    for index, colour in enumerate(p256):
        check(all(c in VGA_LEVELS for c in colour),
              f"256-colour entry {index} {colour} is not 6-bit VGA levels")
    return [bytes(c for colour in p for c in colour) for p in (p2, PALETTE_16, p64, p256)]


def lzw_pack(data):
    """12-bit LZW codes for data, ended by 4095, packed two codes to three bytes."""
    dictionary = {bytes([b]): b for b in range(256)}
    next_code = LZW_FIRST_FREE
    codes = []
    current = b""
    for b in data:
        extended = current + bytes([b])
        if extended in dictionary:
            current = extended
            continue
        codes.append(dictionary[current])
        # The decoder defines one entry for every code after the first, so this one is
        # defined on its side when it reads the next code.
        if next_code <= LZW_LAST_CODE:
            dictionary[extended] = next_code
            next_code += 1
        current = bytes([b])
    if current:
        codes.append(dictionary[current])
    codes.append(LZW_END)

    out = bytearray()
    for i in range(0, len(codes), 2):
        first = codes[i]
        if i + 1 < len(codes):
            second = codes[i + 1]
            out += bytes([first & 0xFF, (first >> 8) | ((second & 0x0F) << 4), second >> 4])
        else:
            # A lone last code needs only the first two bytes of its triple.
            out += bytes([first & 0xFF, first >> 8])
    return bytes(out)


def lzw_unpack(block, capacity):
    """Decodes like the C++ decoder; returns (ended on the end code, bytes)."""
    def codes():
        pos = 0
        while pos + 2 <= len(block):
            yield block[pos] | (block[pos + 1] & 0x0F) << 8
            if pos + 3 > len(block):
                return
            yield block[pos + 2] << 4 | block[pos + 1] >> 4
            pos += 3

    strings = {}
    out = bytearray()
    reader = codes()
    previous = None
    for code in reader:
        if code == LZW_END:
            return True, bytes(out)
        next_code = LZW_FIRST_FREE + len(strings)
        if code < 256:
            string = bytes([code])
        elif code in strings:
            string = strings[code]
        elif code == next_code and previous is not None:
            string = previous + previous[:1]
        else:
            return False, bytes(out)
        if previous is not None and next_code <= LZW_LAST_CODE:
            strings[next_code] = previous + string[:1]
        if len(out) + len(string) > capacity:
            return False, bytes(out)
        out += string
        previous = string
    return False, bytes(out)


def package_version(root):
    try:
        with gzip.open(os.path.join(root, CHANGELOG), "rt", encoding="utf-8") as f:
            first = f.readline()
        return first.split("(", 1)[1].split(")", 1)[0]
    except (OSError, IndexError):
        return "unknown"


def write_source(path, block, version):
    lines = [
        "// Generated by tools/gen_builtin_data.py from Debian's console-data " + version + ".",
        "// Do not edit; run the generator instead. The glyphs' origin and licence are in NOTICE.md.",
        "// " + f"{len(block)} bytes of 12-bit LZW codes that unpack to the {AREA_SIZE}-byte area of",
        "// built-in fonts and palettes.",
        "#include \"gfx/core/builtin_data.h\"",
        "",
        "#include <iterator>",
        "",
        "namespace zered {",
        "",
        "const std::uint8_t builtin_packed_block[] = {",
    ]
    for i in range(0, len(block), 16):
        lines.append("    " + " ".join(f"0x{b:02X}," for b in block[i:i + 16]))
    lines += [
        "};",
        "const std::size_t builtin_packed_size = std::size(builtin_packed_block);",
        "",
        "} // namespace zered",
        "",
    ]
    with open(path, "w", encoding="ascii", newline="\n") as f:
        f.write("\n".join(lines))


def main(argv):
    if len(argv) not in (2, 3):
        print(__doc__.split("\n\n")[1], file=sys.stderr)
        return 2
    root = argv[1]
    output = argv[2] if len(argv) == 3 else os.path.join(
        os.path.dirname(os.path.abspath(__file__)), "..", "gfx", "core", "builtin_packed_data.cpp")
    font_dir = os.path.join(root, FONT_DIR)
    map_dir = os.path.join(root, MAP_DIR)
    try:
        check(os.path.isdir(font_dir), f"{font_dir}: no such folder (unpack console-data there)")
        font8 = assembled_font(font_dir, map_dir, 8)
        font14 = assembled_font(font_dir, map_dir, 14)
        font16, source16 = whole_font_16(font_dir)
        area = font8 + font14 + font16 + b"".join(palettes())
        check(len(area) == AREA_SIZE, f"area is {len(area)} bytes, not {AREA_SIZE}")

        block = lzw_pack(area)
        ended, decoded = lzw_unpack(block, AREA_SIZE)
        check(ended and decoded == area, "packed block does not decode to the area")

        # The checks run on the decoded area, so they cover the packing as well.
        offset = 0
        for height, source in ((8, None), (14, None), (16, source16)):
            font = decoded[offset:offset + GLYPHS * height]
            glyph = lambda g: font[g * height:(g + 1) * height]  # noqa: E731
            check(glyph(65) == TELLING_A[height], f"8x{height}: glyph 65 is not capital A")
            check(glyph(219) == b"\xff" * height, f"8x{height}: glyph 219 is not a full block")
            check(any(glyph(1)), f"8x{height}: glyph 1 is empty")
            for blank in (0, 32, 255):
                check(not any(glyph(blank)), f"8x{height}: glyph {blank} is not empty")
            if source is not None:
                check(reverse_bits(font) == source, f"8x{height}: differs from {WHOLE_SOURCE_16}")
            offset += len(font)
    except (GenError, OSError) as e:
        print(f"gen_builtin_data: {e}", file=sys.stderr)
        return 1

    write_source(output, block, package_version(root))
    print(f"area {AREA_SIZE} bytes, packed {len(block)} bytes -> {os.path.normpath(output)}")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
