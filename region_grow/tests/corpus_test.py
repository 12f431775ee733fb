#!/usr/bin/env python3
"""region_grow reads every picture of the corpus (picture_io/tests/make_corpus.py) as it is: each
picture is clicked once with step tolerance -1, so that only the clicked pixel is painted, and the
result must be the picture as its generator made it, upright, but for that pixel: every sample at
the file's depth, alpha where it has alpha, grey where it is grey and the paint is too, its colour
chunks carried and no orientation tag. JPEGs are held to ImageMagick's decoding (libjpeg-turbo with
its default settings). JPEGs with an EXIF orientation are also clicked inside the block the viewer
sees at the top left: the fill must paint that block and nothing else.

usage: corpus_test.py REGION_GROW MAKE_CORPUS_DIR
"""
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import zlib

tool, corpus_dir = sys.argv[1], sys.argv[2]
sys.path.insert(0, corpus_dir)
import make_corpus  # noqa: E402

failures = []


def fail(name, message):
    failures.append(f"{name}: {message}")


def decode_all(paths, orient):
    """Each picture as ImageMagick reads it (turned upright by its EXIF orientation with `orient`):
    rows of (r, g, b, a) at 16 bits. One run of ImageMagick for all of them."""
    if not paths:
        return []
    work = tempfile.mkdtemp(prefix="corpus_decoded_")
    turn = ["-auto-orient"] if orient else []
    try:
        sizes = subprocess.run(["convert"] + paths + turn + ["-format", "%w %h\n", "info:"], check=True,
                               capture_output=True, text=True).stdout.split("\n")
        subprocess.run(["convert"] + paths + turn + ["-depth", "16", "+adjoin", os.path.join(work, "p-%03d.rgba")],
                       check=True, capture_output=True)
        pictures = []
        for i in range(len(paths)):
            w, h = map(int, sizes[i].split())
            with open(os.path.join(work, f"p-{i:03d}.rgba"), "rb") as f:
                values = struct.unpack(f"<{4 * w * h}H", f.read())
            pictures.append([[list(values[(y * w + x) * 4:(y * w + x) * 4 + 4]) for x in range(w)] for y in range(h)])
        return pictures
    finally:
        shutil.rmtree(work)


def cmyk_as_browsers_show_it(path):
    """A CMYK JPEG's pixels as RGB: ImageMagick gives the ink (0 none); the file stores Adobe's
    inverted values, and each channel is the inverted ink times the inverted black over 255."""
    out = subprocess.run(["convert", path, "-format", "%w", "info:"], check=True, capture_output=True, text=True)
    w = int(out.stdout)
    ink = subprocess.run(["convert", path, "-depth", "8", "cmyk:-"], check=True, capture_output=True).stdout
    pixels = [ink[i:i + 4] for i in range(0, len(ink), 4)]
    rows = [pixels[i:i + w] for i in range(0, len(pixels), w)]
    return [[[(255 - c) * (255 - p[3]) // 255 * 257 for c in p[:3]] + [65535] for p in row] for row in rows]


def chunks_of(path):
    with open(path, "rb") as f:
        data = f.read()
    return make_corpus.split_chunks(data[8:])


def run(*args):
    return subprocess.run([tool] + [str(a) for a in args], capture_output=True, text=True)


def check_result(picture, expected, result, chunks, seed, grey_paint):
    name = picture.name
    h, w = len(expected), len(expected[0])
    if len(result) != h or len(result[0]) != w:
        fail(name, f"{len(result[0])} x {len(result)} pixels where {w} x {h} were meant")
        return
    x0, y0 = make_corpus.CLICK
    wrong = 0
    for y in range(h):
        for x in range(w):
            want = list(expected[y][x])
            if (x, y) == (x0, y0):
                want = seed + [65535]
            if not picture.alpha:
                want[3] = 65535
            if result[y][x] != want:
                if wrong == 0:
                    fail(name, f"pixel {x} {y} is {result[y][x]}, not {want}")
                wrong += 1
    if wrong > 1:
        fail(name, f"{wrong} of {w * h} pixels differ")
    header = dict(chunks)[b"IHDR"]
    depth, colour_type = header[8], header[9]
    if depth != (16 if picture.deep else 8):
        fail(name, f"written at {depth} bits a sample")
    stays_grey = picture.grey and grey_paint
    want_type = (0 if stays_grey else 2) + (4 if picture.alpha else 0)
    if colour_type != want_type:
        fail(name, f"written as PNG colour type {colour_type}, not {want_type}")
    carried = [c for c in chunks if c[0] in (b"iCCP", b"sRGB", b"gAMA", b"cHRM", b"pHYs", b"eXIf")]
    if picture.name == "icc.jpg":
        profile = [zlib.decompress(data[data.index(b"\0") + 2:]) for kind, data in carried if kind == b"iCCP"]
        if profile != [make_corpus.icc_profile()]:
            fail(name, "the JPEG's ICC profile is not in the result's iCCP chunk")
    elif carried != picture.chunks:
        fail(name, f"carries {[c[0] for c in carried]}, not {[c[0] for c in picture.chunks]}")


def main():
    work = tempfile.mkdtemp(prefix="corpus_test_")
    try:
        pictures = make_corpus.corpus(work)
        for picture in pictures:
            with open(os.path.join(work, picture.name), "wb") as f:
                f.write(picture.data)
        x, y = make_corpus.CLICK
        results = []  # (picture, result path, seed colour, grey paint)
        for picture in pictures:
            runs = [("FF00FF", [65535, 0, 65535], False)]
            if picture.grey:
                runs.append(("404040", [0x4040] * 3, True))
            for paint, seed, grey_paint in runs:
                out = os.path.join(work, f"out-{paint}-{picture.name}.png")
                r = run(os.path.join(work, picture.name), x, y, "--step", "-1", "--paint", paint, "-o", out)
                if r.returncode != 0:
                    fail(picture.name, f"refused: {r.stderr.strip()}")
                    continue
                said = f"turned upright (EXIF orientation {picture.orientation})"
                if (said in r.stdout) != (picture.orientation != 1):
                    fail(picture.name, f"the summary says: {r.stdout.strip()}")
                results.append((picture, out, seed, grey_paint))
        jpegs = [p for p in pictures if p.rows is None]
        references = dict(zip([p.name for p in jpegs],
                              decode_all([os.path.join(work, p.name) for p in jpegs], orient=True)))
        references["cmyk.jpg"] = cmyk_as_browsers_show_it(os.path.join(work, "cmyk.jpg"))
        decoded = decode_all([out for _, out, _, _ in results], orient=False)
        for (picture, out, seed, grey_paint), result in zip(results, decoded):
            expected = picture.rows if picture.rows is not None else references[picture.name]
            check_result(picture, expected, result, chunks_of(out), seed, grey_paint)

        # Clicked where the viewer sees the red block: the fill paints it, upright, and no more.
        for picture in [p for p in pictures if p.name.startswith("exif")]:
            out = os.path.join(work, f"block-{picture.name}.png")
            r = run(os.path.join(work, picture.name), 4, 4, "--step", "12", "--seed-tolerance", "40", "-o", out)
            if r.returncode != 0:
                fail(picture.name, f"refused: {r.stderr.strip()}")
                continue
            (result,) = decode_all([out], orient=False)
            painted = [(x, y) for y, row in enumerate(result) for x, p in enumerate(row) if p[:3] == [65535, 0, 65535]]
            outside = [p for p in painted if p[0] >= 16 or p[1] >= 10]
            if outside or len(painted) < 150:
                fail(picture.name, f"a click in the block painted {len(painted)} pixels, {len(outside)} outside it")
        print(f"{len(pictures)} pictures, {len(results)} results checked")
    finally:
        if not failures:
            shutil.rmtree(work)
        else:
            print(f"kept for a look: {work}")
    for line in failures:
        print("FAILED", line)
    sys.exit(1 if failures else 0)


main()
