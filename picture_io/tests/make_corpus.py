#!/usr/bin/env python3
"""Writes the pictures every host is held to: PNG of every colour type, depth and interlacing, with
transparency, colour chunks and EXIF orientations; JPEG baseline, progressive, 4:2:0, grey, CMYK, with
restart markers, an ICC profile and EXIF orientations 1 to 8; BMP of every kind people have.

usage: make_corpus.py OUTDIR

OUTDIR gets the pictures and corpus.tsv, one line a picture: FILE<TAB>what it is<TAB>X<TAB>Y, where X Y
is a pixel of the upright picture for a host to click. PNGs and BMPs are written here byte by byte;
JPEGs by ImageMagick's convert (from PNGs written here), with the EXIF and ICC segments put in here.
Nothing depends on the time or the machine: the same bytes every run.
"""
import os
import struct
import subprocess
import sys
import zlib

# ---- Pictures as rows of (r, g, b, a) samples, 8 or 16 bits ------------------------------------


def varied(w, h, top=255, seed=1):
    """Smooth ramps with noise: every pixel differs from its neighbours, and a swapped channel, a
    shifted row or a mirrored picture shows."""
    state = seed
    rows = []
    for y in range(h):
        row = []
        for x in range(w):
            state = (state * 1103515245 + 12345) & 0xFFFFFFFF
            noise = (state >> 16) % 23
            r = (x * top // max(w - 1, 1) + noise) % (top + 1)
            g = (y * top // max(h - 1, 1) + 2 * noise) % (top + 1)
            b = ((x + y) * top // max(w + h - 2, 1) + 3 * noise) % (top + 1)
            row.append([r, g, b, top])
        rows.append(row)
    return rows


def marked(w, h):
    """Flat areas JPEG keeps: dark grey, a red block at the top left, a blue column at the right.
    Turned the wrong way, the red block lands elsewhere."""
    rows = []
    for y in range(h):
        row = []
        for x in range(w):
            if x < w // 3 and y < h // 3:
                row.append([220, 30, 30, 255])
            elif x >= w - w // 5:
                row.append([30, 40, 200, 255])
            else:
                row.append([60, 60, 60, 255])
        rows.append(row)
    return rows


def stored_for(upright, orientation):
    """The picture as a file with this EXIF orientation stores it, so that a viewer turning it by
    the tag shows `upright`. Upright pixel (u, v) comes from stored (x, y)."""
    uh, uw = len(upright), len(upright[0])
    turns = orientation >= 5
    w, h = (uh, uw) if turns else (uw, uh)
    stored = [[None] * w for _ in range(h)]
    for v in range(uh):
        for u in range(uw):
            x, y = {
                1: (u, v),
                2: (w - 1 - u, v),
                3: (w - 1 - u, h - 1 - v),
                4: (u, h - 1 - v),
                5: (v, u),
                6: (v, h - 1 - u),
                7: (w - 1 - v, h - 1 - u),
                8: (w - 1 - v, u),
            }[orientation]
            stored[y][x] = upright[v][u]
    return stored


# ---- PNG -----------------------------------------------------------------------------------------


def chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)


ADAM7 = [(0, 0, 8, 8), (4, 0, 8, 8), (0, 4, 4, 8), (2, 0, 4, 4), (0, 2, 2, 4), (1, 0, 2, 2), (0, 1, 1, 2)]


def pack_row(samples, depth):
    """Samples of one row (already in the colour type's order) into bytes at `depth` bits."""
    if depth == 16:
        return b"".join(struct.pack(">H", s) for s in samples)
    if depth == 8:
        return bytes(samples)
    out, bits, used = bytearray(), 0, 0
    for s in samples:
        bits = (bits << depth) | s
        used += depth
        if used == 8:
            out.append(bits)
            bits, used = 0, 0
    if used:
        out.append(bits << (8 - used))
    return bytes(out)


def png(rows, colour_type, depth, interlaced=False, palette=None, trns=None, extra=b"", after=b""):
    """A PNG of `rows` (samples already at `depth`; palette pictures hold indices in sample 0)."""
    h, w = len(rows), len(rows[0])
    take = {0: [0], 2: [0, 1, 2], 3: [0], 4: [0, 3], 6: [0, 1, 2, 3]}[colour_type]

    def raw_rows(pixels):
        data = b""
        for row in pixels:
            data += b"\0" + pack_row([p[c] for p in row for c in take], depth)
        return data

    if interlaced:
        data = b""
        for x0, y0, dx, dy in ADAM7:
            sub = [[rows[y][x] for x in range(x0, w, dx)] for y in range(y0, h, dy)]
            if sub and sub[0]:
                data += raw_rows(sub)
    else:
        data = raw_rows(rows)
    header = struct.pack(">IIBBBBB", w, h, depth, colour_type, 0, 0, 1 if interlaced else 0)
    out = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + extra
    if palette is not None:
        out += chunk(b"PLTE", b"".join(bytes(c) for c in palette))
    if trns is not None:
        out += chunk(b"tRNS", trns)
    return out + chunk(b"IDAT", zlib.compress(data, 9)) + after + chunk(b"IEND", b"")


def with_depth(rows, depth):
    """8-bit samples scaled to `depth` bits (16: spread over the low byte too, so that a reader
    that keeps only the high byte shows)."""
    if depth == 16:
        return [[[s * 257 ^ (x * 7 + y * 13) % 256 for s in p] for x, p in enumerate(row)] for y, row in enumerate(rows)]
    top = (1 << depth) - 1
    return [[[s * top // 255 for s in p] for p in row] for row in rows]


def grey(rows):
    return [[[(p[0] * 3 + p[1] * 5 + p[2] * 2) // 10] * 3 + [p[3]] for p in row] for row in rows]


def with_alpha(rows, top=255):
    h, w = len(rows), len(rows[0])
    return [[p[:3] + [(x * top // max(w - 1, 1) + y) % (top + 1)] for x, p in enumerate(row)] for y, row in enumerate(rows)]


def indexed(rows, depth):
    """Palette indices and the palette: the colours reduced to 2^depth entries."""
    entries = 1 << depth
    palette = [[(i * 97) % 256, (i * 57 + 30) % 256, (i * 31 + 200) % 256] for i in range(entries)]
    out = [[[((p[0] + 2 * p[1] + 3 * p[2]) // 7) % entries, 0, 0, 255] for p in row] for row in rows]
    return out, palette


def tiff_orientation(orientation, little=True):
    """A TIFF structure whose first directory gives the orientation, as EXIF blocks start."""
    e = "<" if little else ">"
    head = (b"II" if little else b"MM") + struct.pack(e + "HI", 42, 8)
    # Two entries: a resolution unit first, so that the tag is not always the first one.
    entries = struct.pack(e + "HHI", 0x0128, 3, 1) + struct.pack(e + "HH", 2, 0)
    entries += struct.pack(e + "HHI", 0x0112, 3, 1) + struct.pack(e + "HH", orientation, 0)
    return head + struct.pack(e + "H", 2) + entries + struct.pack(e + "I", 0)


def icc_profile():
    """A small ICC profile: a header that says what it is, and one description tag."""
    desc = b"desc" + b"\0" * 4 + struct.pack(">I", 12) + b"corpus test\0" + b"\0" * 67
    tags = struct.pack(">I", 1) + b"desc" + struct.pack(">II", 132, len(desc))
    size = 128 + len(tags) + len(desc)
    head = struct.pack(">I", size) + b"none" + bytes([2, 0x10, 0, 0]) + b"mntrRGB XYZ "
    head += struct.pack(">6H", 2026, 1, 1, 0, 0, 0) + b"acsp" + b"\0" * (128 - 40)
    head = head[:68] + struct.pack(">iii", 63190, 65536, 54061) + head[80:]
    return (head + tags + desc)[:size]


def colour_chunks():
    profile = icc_profile()
    return (chunk(b"iCCP", b"corpus profile\0\0" + zlib.compress(profile)) +
            chunk(b"cHRM", struct.pack(">8I", 31270, 32900, 64000, 33000, 30000, 60000, 15000, 6000)) +
            chunk(b"gAMA", struct.pack(">I", 45455)) + chunk(b"pHYs", struct.pack(">IIB", 2835, 2835, 1)))


class Picture:
    """One picture of the corpus: its file's bytes, and what a reader must make of it: the upright
    picture's rows of (r, g, b, a) at 16 bits (8-bit samples times 257), whether it has alpha, is
    grey and is 16-bit, and the chunks a PNG written from it carries. `rows` None: a JPEG, which only
    a JPEG decoder can tell."""

    def __init__(self, name, what, data, rows=None, alpha=False, grey=False, deep=False, chunks=(),
                 orientation=1):
        self.name, self.what, self.data, self.rows = name, what, data, rows
        self.alpha, self.grey, self.deep, self.chunks = alpha, grey, deep, list(chunks)
        self.orientation = orientation


def to16(value, depth):
    """A sample at `depth` bits as a reader gives it at 16: below 8 bits scaled to 8 first."""
    if depth == 16:
        return value
    return (value * 255 // ((1 << depth) - 1)) * 257


def png_picture(name, what, rows, colour_type, depth, interlaced=False, palette=None, trns=None, extra=b"",
                upright=None, orientation=1):
    """The PNG of `rows` and what reading it must give (`upright`: the rows as a viewer shows
    them, when the file carries an orientation)."""
    data = png(rows, colour_type, depth, interlaced, palette, trns, extra)
    key = None
    if trns is not None and colour_type in (0, 2):
        key = list(struct.unpack(">" + "H" * (len(trns) // 2), trns))
    alphas = list(trns) if trns is not None and colour_type == 3 else None
    expected = []
    for row in (upright or rows):
        out = []
        for p in row:
            if colour_type == 3:
                c = palette[p[0]]
                a = 65535 if alphas is None or p[0] >= len(alphas) else alphas[p[0]] * 257
                out.append([c[0] * 257, c[1] * 257, c[2] * 257, a])
                continue
            colour = [p[0]] * 3 if colour_type in (0, 4) else p[:3]
            a = to16(p[3], depth) if colour_type in (4, 6) else 65535
            if key is not None and (p[:1] if colour_type == 0 else p[:3]) == key:
                a = 0
            out.append([to16(v, depth) for v in colour] + [a])
        expected.append(out)
    kept = [c for c in split_chunks(extra) if c[0] in (b"iCCP", b"sRGB", b"gAMA", b"cHRM", b"pHYs")]
    return Picture(name, what, data, expected, alpha=colour_type in (4, 6) or trns is not None,
                   grey=colour_type in (0, 4), deep=depth == 16, chunks=kept, orientation=orientation)


def split_chunks(data):
    """The (type, data) of each chunk in a run of PNG chunks."""
    chunks, at = [], 0
    while at + 12 <= len(data):
        length = struct.unpack(">I", data[at:at + 4])[0]
        chunks.append((data[at + 4:at + 8], data[at + 8:at + 8 + length]))
        at += 12 + length
    return chunks


def png_corpus():
    base = varied(37, 23)
    pictures = []
    for depth in (1, 2, 4, 8, 16):
        g = with_depth(grey(base), depth)
        pictures.append(png_picture(f"grey{depth}.png", f"PNG grey, {depth}-bit", g, 0, depth))
        pictures.append(png_picture(f"grey{depth}-interlaced.png", f"PNG grey, {depth}-bit, interlaced", g, 0, depth,
                                    True))
    for depth in (8, 16):
        g = with_depth(grey(base), depth)
        pictures.append(png_picture(f"grey{depth}-trns.png", f"PNG grey, {depth}-bit, a transparent grey", g, 0,
                                    depth, trns=struct.pack(">H", g[3][5][0])))
        ga = with_depth(with_alpha(grey(base)), depth)
        pictures.append(png_picture(f"grey-alpha{depth}.png", f"PNG grey and alpha, {depth}-bit", ga, 4, depth))
        pictures.append(png_picture(f"grey-alpha{depth}-interlaced.png",
                                    f"PNG grey and alpha, {depth}-bit, interlaced", ga, 4, depth, True))
        c = with_depth(base, depth)
        pictures.append(png_picture(f"rgb{depth}.png", f"PNG colour, {depth}-bit", c, 2, depth))
        pictures.append(png_picture(f"rgb{depth}-interlaced.png", f"PNG colour, {depth}-bit, interlaced", c, 2,
                                    depth, True))
        pictures.append(png_picture(f"rgb{depth}-trns.png", f"PNG colour, {depth}-bit, a transparent colour", c, 2,
                                    depth, trns=struct.pack(">HHH", *c[4][6][:3])))
        ca = with_depth(with_alpha(base), depth)
        pictures.append(png_picture(f"rgba{depth}.png", f"PNG colour and alpha, {depth}-bit", ca, 6, depth))
        pictures.append(png_picture(f"rgba{depth}-interlaced.png", f"PNG colour and alpha, {depth}-bit, interlaced",
                                    ca, 6, depth, True))
    # Colour under alpha 0 must survive: a premultiplying canvas would zero it.
    clear = [[p[:3] + [0 if (x + y) % 3 == 0 else 255] for x, p in enumerate(row)] for y, row in enumerate(base)]
    pictures.append(png_picture("rgba8-colour-under-clear.png", "PNG colour and alpha, colours under alpha 0",
                                clear, 6, 8))
    for depth in (1, 2, 4, 8):
        ix, palette = indexed(base, depth)
        pictures.append(png_picture(f"palette{depth}.png", f"PNG palette, {depth}-bit", ix, 3, depth,
                                    palette=palette))
        pictures.append(png_picture(f"palette{depth}-interlaced.png", f"PNG palette, {depth}-bit, interlaced", ix,
                                    3, depth, True, palette=palette))
    ix, palette = indexed(base, 8)
    pictures.append(png_picture("palette8-trns.png", "PNG palette, 8-bit, transparency for 200 entries", ix, 3, 8,
                                palette=palette, trns=bytes((i * 37) % 256 for i in range(200))))
    pictures.append(png_picture("rgb8-colour-chunks.png", "PNG colour, 8-bit, iCCP, cHRM, gAMA, pHYs", base, 2, 8,
                                extra=colour_chunks()))
    pictures.append(png_picture("rgb16-srgb.png", "PNG colour, 16-bit, sRGB and pHYs", with_depth(base, 16), 2,
                                16, extra=chunk(b"sRGB", b"\0") + chunk(b"pHYs", struct.pack(">IIB", 3780, 3780, 1))))
    upright = varied(29, 17, seed=5)
    for orientation in (2, 6, 8):
        exif = chunk(b"eXIf", tiff_orientation(orientation, orientation != 6))
        pictures.append(png_picture(f"rgb8-exif{orientation}.png", f"PNG colour, 8-bit, EXIF orientation {orientation}",
                                    stored_for(upright, orientation), 2, 8, extra=exif, upright=upright,
                                    orientation=orientation))
    return pictures


# ---- BMP -----------------------------------------------------------------------------------------


def bmp(rows, bits, header=40, top_down=False, palette=None, masks=None, compression=0, pixels=None):
    """A BMP: `rows` as palette indices (bits <= 8) or colours; `pixels` replaces the pixel data
    (run-length data); `masks` are the bit fields (3 after a 40-byte header, in the header above)."""
    h, w = len(rows), len(rows[0])
    os2 = header in (12, 64)
    entry = 3 if header == 12 else 4
    if pixels is None:
        stride = (w * bits + 31) // 32 * 4
        data = b""
        for y in (range(h) if top_down else range(h - 1, -1, -1)):
            row = rows[y]
            if bits <= 8:
                line = pack_row([p[0] for p in row], bits)
            elif bits == 24:
                line = b"".join(bytes([p[2], p[1], p[0]]) for p in row)
            else:
                line = b"".join(struct.pack("<H" if bits == 16 else "<I", p[4]) for p in row)
            data += line + b"\0" * (stride - len(line))
    else:
        data = pixels
    table = b"".join(bytes([c[2], c[1], c[0]] + ([0] if entry == 4 else [])) for c in (palette or []))
    fields = b""
    if header == 12:
        info = struct.pack("<IHHHH", 12, w, h, 1, bits)
    else:
        info = struct.pack("<IiiHHIIiiII", header, w, -h if top_down else h, 1, bits, compression, len(data),
                           2835, 2835, len(palette or []), 0)
        if masks and header == 40:
            fields = b"".join(struct.pack("<I", m) for m in masks)
        elif header > 40:
            extra = b"".join(struct.pack("<I", m) for m in (masks or [])) if not os2 else b""
            info += (extra + b"\0" * header)[: header - 40]
    offset = 14 + len(info) + len(fields) + len(table)
    return b"BM" + struct.pack("<IHHI", offset + len(data), 0, 0, offset) + info + fields + table + data


def rle(rows, four):
    """Run-length data as a BMP writer makes it: a run for three or more equal indices, the rest
    as literal runs (runs of one where too short for one), the end of each row and of the picture."""
    out = b""
    for row in reversed(rows):
        line = [p[0] for p in row]
        x = 0
        while x < len(line):
            run = 1
            while x + run < len(line) and run < 255 and line[x + run] == line[x]:
                run += 1
            if run >= 3:
                out += bytes([run, (line[x] << 4 | line[x]) if four else line[x]])
                x += run
                continue
            n = 0
            while x + n < len(line) and n < 255:
                if x + n + 2 < len(line) and line[x + n] == line[x + n + 1] == line[x + n + 2]:
                    break
                n += 1
            literal = line[x:x + n]
            x += n
            if n < 3:
                out += b"".join(bytes([1, (v << 4 | v) if four else v]) for v in literal)
                continue
            if four:
                packed = bytes(literal[i] << 4 | (literal[i + 1] if i + 1 < n else 0) for i in range(0, n, 2))
            else:
                packed = bytes(literal)
            out += bytes([0, n]) + packed + (b"\0" if len(packed) % 2 else b"")
        out += b"\0\0"
    return out + b"\0\1"


def rle_with_skips(rows):
    """RLE8 data that moves past pixels, and the index each pixel gets from it (None: skipped), rows
    from the top. From the bottom: the first half of each row, then its end; in the second row a
    run of 4, then a move 5 pixels on and a row up, where a run of 6 follows."""
    h, w = len(rows), len(rows[0])
    got = [[None] * w for _ in range(h)]
    out = b""

    def run(count, y, x):
        index = rows[h - 1 - y][x][0]
        for i in range(count):
            got[h - 1 - y][x + i] = index
        return bytes([count, index])

    y = 0
    while y < h:
        if y == 1:
            out += run(4, 1, 0) + b"\0\2" + bytes([5, 1]) + run(6, 2, 9) + b"\0\0"
            y = 3
            continue
        out += run(w // 2, y, 0) + b"\0\0"
        y += 1
    return out + b"\0\1", got


def bmp_picture(name, what, data, expected, alpha=False):
    """A BMP and the 8-bit (r, g, b, a) rows reading it must give."""
    rows = [[[v * 257 for v in p[:3]] + [p[3] * 257 if alpha else 65535] for p in row] for row in expected]
    return Picture(name, what, data, rows, alpha=alpha)


def scaled(value, bits):
    """A bit field's value at 8 bits: fewer bits scaled with rounding, more cut to their top 8."""
    top = (1 << bits) - 1
    return value >> (bits - 8) if bits >= 8 else (value * 255 + top // 2) // top


def bmp_corpus(out_dir):
    base = varied(37, 23, seed=3)
    pictures = []

    def colours(ix, palette):
        return [[palette[p[0]] + [255] for p in row] for row in ix]

    for bits in (1, 4, 8):
        ix, palette = indexed(base, bits)
        pictures.append(bmp_picture(f"palette{bits}.bmp", f"BMP palette, {bits}-bit", bmp(ix, bits, palette=palette),
                                    colours(ix, palette)))
        pictures.append(bmp_picture(f"palette{bits}-os2.bmp", f"BMP palette, {bits}-bit, OS/2 1.x header",
                                    bmp(ix, bits, header=12, palette=palette), colours(ix, palette)))
    ix, palette = indexed(base, 8)
    short = [[[p[0] % 20, 0, 0, 255] for p in row] for row in ix]
    pictures.append(bmp_picture("palette8-short.bmp", "BMP palette, 8-bit, 20 colours",
                                bmp(short, 8, palette=palette[:20]), colours(short, palette)))
    pictures.append(bmp_picture("palette8-top-down.bmp", "BMP palette, 8-bit, rows from the top",
                                bmp(ix, 8, top_down=True, palette=palette), colours(ix, palette)))
    pictures.append(bmp_picture("rle8.bmp", "BMP RLE8",
                                bmp(short, 8, palette=palette[:20], compression=1, pixels=rle(short, False)),
                                colours(short, palette)))
    # The pixels the run-length data moves past are transparent; the rest opaque.
    data, got = rle_with_skips(short)
    skips = [[palette[i] + [255] if i is not None else [0, 0, 0, 0] for i in row] for row in got]
    pictures.append(bmp_picture("rle8-skips.bmp", "BMP RLE8 that skips pixels (they are transparent)",
                                bmp(short, 8, palette=palette[:20], compression=1, pixels=data), skips, alpha=True))
    # ImageMagick writes RLE8 for rows padded to 4 bytes: runs go past the picture's last column.
    pictures.append(bmp_picture("rle8-imagemagick.bmp", "BMP RLE8 as ImageMagick writes it (rows of 37 pixels)",
                                convert(png(colours(short, palette), 2, 8), ["-type", "Palette", "-compress", "RLE"], out_dir,
                                        "bmp3"),
                                colours(short, palette)))
    ix4, palette4 = indexed(base, 4)
    pictures.append(bmp_picture("rle4.bmp", "BMP RLE4",
                                bmp(ix4, 4, palette=palette4, compression=2, pixels=rle(ix4, True)),
                                colours(ix4, palette4)))
    for name, what, options in [("rgb24.bmp", "BMP 24-bit", {}),
                                ("rgb24-top-down.bmp", "BMP 24-bit, rows from the top", {"top_down": True}),
                                ("rgb24-os2.bmp", "BMP 24-bit, OS/2 1.x header", {"header": 12}),
                                ("rgb24-os2v2.bmp", "BMP 24-bit, OS/2 2.x header", {"header": 64}),
                                ("rgb24-v5.bmp", "BMP 24-bit, 124-byte header", {"header": 124})]:
        pictures.append(bmp_picture(name, what, bmp(base, 24, **options), base))

    def words(rows, make):
        return [[p + [make(p)] for p in row] for row in rows]

    def fields(rows, widths):
        """Each pixel's channels cut to `widths` bits, and what a reader makes of them."""
        cut = [[[c >> (8 - n) for c, n in zip(p[:3], widths)] + [255] for p in row] for row in rows]
        return cut, [[[scaled(c, n) for c, n in zip(p[:3], widths)] + [255] for p in row] for row in cut]

    c555, e555 = fields(base, (5, 5, 5))
    pictures.append(bmp_picture("rgb16-555.bmp", "BMP 16-bit, 5-5-5",
                                bmp(words(c555, lambda p: p[0] << 10 | p[1] << 5 | p[2]), 16), e555))
    c565, e565 = fields(base, (5, 6, 5))
    pictures.append(bmp_picture("rgb16-565.bmp", "BMP 16-bit, 5-6-5 bit fields",
                                bmp(words(c565, lambda p: p[0] << 11 | p[1] << 5 | p[2]), 16,
                                    masks=[0xF800, 0x07E0, 0x001F], compression=3), e565))
    pictures.append(bmp_picture("rgb32.bmp", "BMP 32-bit, fourth byte 0",
                                bmp(words(base, lambda p: p[0] << 16 | p[1] << 8 | p[2]), 32), base))
    alpha = with_alpha(base)
    pictures.append(bmp_picture("rgba32-v5.bmp", "BMP 32-bit with alpha, bit fields in a 124-byte header",
                                bmp(words(alpha, lambda p: p[3] << 24 | p[0] << 16 | p[1] << 8 | p[2]), 32,
                                    header=124, masks=[0xFF0000, 0xFF00, 0xFF, 0xFF000000], compression=3),
                                alpha, alpha=True))
    pictures.append(bmp_picture("rgba32-bi-rgb.bmp", "BMP 32-bit, alpha in the fourth byte",
                                bmp(words(alpha, lambda p: p[3] << 24 | p[0] << 16 | p[1] << 8 | p[2]), 32),
                                alpha, alpha=True))
    tens = [[[c * 4 + (x + y) % 4 for c in p[:3]] + [255] for x, p in enumerate(row)] for y, row in enumerate(base)]
    pictures.append(bmp_picture("rgb32-10bit.bmp", "BMP 32-bit, 10-10-10 bit fields",
                                bmp(words(tens, lambda p: p[0] << 20 | p[1] << 10 | p[2]), 32,
                                    masks=[0x3FF00000, 0xFFC00, 0x3FF], compression=3),
                                [[[scaled(c, 10) for c in p[:3]] + [255] for p in row] for row in tens]))
    return pictures


# ---- JPEG ----------------------------------------------------------------------------------------


def with_segment(jpeg, marker, payload):
    """The JPEG with a segment put in right after its start-of-image marker."""
    return jpeg[:2] + bytes([0xFF, marker]) + struct.pack(">H", len(payload) + 2) + payload + jpeg[2:]


def convert(png_bytes, options, out_dir, target_kind="jpg"):
    """The picture ImageMagick's convert makes of a PNG, `target_kind` naming what it writes."""
    source = os.path.join(out_dir, ".source.png")
    with open(source, "wb") as f:
        f.write(png_bytes)
    target = (target_kind + ":" if ":" not in target_kind else target_kind) + os.path.join(out_dir, ".target")
    target_file = target.split(":", 1)[1]
    subprocess.run(["convert", source] + options + ["-strip", target], check=True)
    with open(target_file, "rb") as f:
        data = f.read()
    os.remove(source)
    os.remove(target_file)
    return data


def jpeg_corpus(out_dir):
    base = varied(61, 45, seed=9)
    colour, grey_source = png(base, 2, 8), png(grey(base), 0, 8)
    made = {}
    for name, what, source, options in [
        ("baseline444.jpg", "JPEG baseline, 4:4:4", colour, ["-quality", "92", "-sampling-factor", "1x1"]),
        ("baseline420.jpg", "JPEG baseline, 4:2:0", colour, ["-quality", "85", "-sampling-factor", "2x2"]),
        ("baseline422.jpg", "JPEG baseline, 4:2:2", colour, ["-quality", "85", "-sampling-factor", "2x1"]),
        ("progressive.jpg", "JPEG progressive, 4:2:0", colour,
         ["-quality", "85", "-sampling-factor", "2x2", "-interlace", "Plane"]),
        ("grey.jpg", "JPEG grey", grey_source, ["-quality", "90", "-colorspace", "Gray"]),
        ("cmyk.jpg", "JPEG CMYK (Adobe's inverted CMYK)", colour, ["-quality", "90", "-colorspace", "CMYK"]),
        ("restarts.jpg", "JPEG baseline, a restart marker after every block row", colour,
         ["-quality", "85", "-define", "jpeg:restart-interval=1"]),
    ]:
        made[name] = Picture(name, what, convert(source, options, out_dir), grey=name == "grey.jpg")
    pictures = list(made.values())
    icc = b"ICC_PROFILE\0" + bytes([1, 1]) + icc_profile()
    pictures.append(Picture("icc.jpg", "JPEG baseline, 4:2:0, with an ICC profile",
                            with_segment(made["baseline420.jpg"].data, 0xE2, icc)))
    upright = marked(48, 32)
    for orientation in range(1, 9):
        stored = convert(png(stored_for(upright, orientation), 2, 8), ["-quality", "95", "-sampling-factor", "1x1"],
                         out_dir)
        exif = b"Exif\0\0" + tiff_orientation(orientation, orientation % 2 == 0)
        pictures.append(Picture(f"exif{orientation}.jpg", f"JPEG with EXIF orientation {orientation}",
                                with_segment(stored, 0xE1, exif), orientation=orientation))
    return pictures


def corpus(out_dir):
    """Every picture of the corpus (JPEGs are made in `out_dir`, which must exist)."""
    return png_corpus() + bmp_corpus(out_dir) + jpeg_corpus(out_dir)


# The pixel of every upright picture that a host clicks, inside it whatever its size.
CLICK = (3, 2)


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    out_dir = sys.argv[1]
    os.makedirs(out_dir, exist_ok=True)
    lines = []
    for picture in corpus(out_dir):
        with open(os.path.join(out_dir, picture.name), "wb") as f:
            f.write(picture.data)
        lines.append(f"{picture.name}\t{picture.what}\t{CLICK[0]}\t{CLICK[1]}\n")
    with open(os.path.join(out_dir, "corpus.tsv"), "w") as f:
        f.writelines(lines)


if __name__ == "__main__":
    main()
