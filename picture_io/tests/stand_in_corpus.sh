#!/usr/bin/env bash
# A small corpus of pictures for the tests that hold the hosts to the same pixels, made with
# ImageMagick and a few chunks and segments put in by hand (orientation, ICC profiles,
# transparency, damage): one of each kind picture_io reads differently.
#
#   stand_in_corpus.sh OUTDIR
#
# Writes the pictures into OUTDIR and OUTDIR/corpus.tsv, one line a picture:
# FILE<TAB>what it is. Every picture is at least 3 x 3 and asymmetric, so that a picture turned
# the wrong way does not match.
set -euo pipefail

out=$1
mkdir -p "$out"
cd "$out"
: >corpus.tsv

add() { # add FILE WHAT
    [ -s "$1" ] || { echo "stand_in_corpus: $1 was not made" >&2; exit 1; }
    printf '%s\t%s\n' "$1" "$2" >>corpus.tsv
}

# The base picture: smooth gradients and a few hard edges, 16-bit noise in the low bytes.
convert -size 37x23 -seed 7 plasma:red-blue -blur 0x1 \
    -fill '#20C040' -draw 'rectangle 3,2 11,15' -fill white -draw 'circle 27,8 30,10' \
    -depth 16 base.miff
convert base.miff -alpha set -channel A -fx '0.3+0.7*i/w' +channel -depth 16 base-alpha.miff

convert base.miff -depth 8 PNG24:rgb8.png && add rgb8.png "PNG colour, 8 bits"
convert base-alpha.miff -depth 8 PNG32:rgba8.png && add rgba8.png "PNG colour and alpha, 8 bits"
convert base.miff -depth 16 PNG48:rgb16.png && add rgb16.png "PNG colour, 16 bits"
convert base-alpha.miff -depth 16 PNG64:rgba16.png && add rgba16.png "PNG colour and alpha, 16 bits"
for depth in 1 2 4 8 16; do
    convert base.miff -colorspace gray -depth "$depth" -define png:color-type=0 \
        -define png:bit-depth="$depth" "grey$depth.png" && add "grey$depth.png" "PNG grey, $depth bits"
done
for depth in 8 16; do
    convert base-alpha.miff -colorspace gray -depth "$depth" -define png:color-type=4 \
        "greyalpha$depth.png" && add "greyalpha$depth.png" "PNG grey and alpha, $depth bits"
done
convert base.miff -colors 13 -define png:color-type=3 -define png:bit-depth=4 palette4.png &&
    add palette4.png "PNG palette, 4 bits"
convert base-alpha.miff -depth 8 -colors 60 PNG8:palette8-alpha.png &&
    add palette8-alpha.png "PNG palette, 8 bits, with transparency"
convert base.miff -depth 8 -interlace PNG PNG24:interlaced.png &&
    add interlaced.png "PNG colour, Adam7 interlaced"
convert base-alpha.miff -depth 16 -interlace PNG PNG64:interlaced16.png &&
    add interlaced16.png "PNG colour and alpha, 16 bits, Adam7 interlaced"

# Chunks put in by hand before the first IDAT, and damage, in Python.
python3 - <<'EOF'
import struct, zlib

def chunks(path):
    data = open(path, 'rb').read()
    at, out = 8, []
    while at < len(data):
        length = struct.unpack('>I', data[at:at + 4])[0]
        out.append((data[at + 4:at + 8], data[at + 8:at + 8 + length]))
        at += 12 + length
    return out

def chunk(kind, data):
    return struct.pack('>I', len(data)) + kind + data + struct.pack('>I', zlib.crc32(kind + data))

def write(path, items):
    open(path, 'wb').write(b'\x89PNG\r\n\x1a\n' + b''.join(chunk(k, d) for k, d in items))

def before_data(items, extra, drop=()):
    out, placed = [], False
    for kind, data in items:
        if kind in drop:
            continue
        if kind == b'IDAT' and not placed:
            out += extra
            placed = True
        out.append((kind, data))
    return out

def exif(orientation):  # a big-endian TIFF block with the orientation alone
    return (b'MM\x00\x2a\x00\x00\x00\x08\x00\x01' + b'\x01\x12\x00\x03\x00\x00\x00\x01' +
            struct.pack('>H', orientation) + b'\x00\x00' + b'\x00\x00\x00\x00')

profile = bytes((i * 37 + i // 256) % 256 for i in range(3000))
iccp = (b'iCCP', b'stand-in\x00\x00' + zlib.compress(profile))
colour = [(b'sRGB', b'\x00'), (b'pHYs', struct.pack('>IIB', 3780, 3780, 1)), iccp]
for orientation in (3, 6, 8):
    write('orientation%d.png' % orientation,
          before_data(chunks('rgb8.png'), [(b'eXIf', exif(orientation))]))
write('colour-chunks.png', before_data(chunks('rgb16.png'), colour + [(b'eXIf', exif(5))]))
rgb = chunks('rgb8.png')
# tRNS on a colour that occurs: the pixel's own colour at the click, read from nothing but the
# picture itself is too much here; a grey level that occurs in every grey picture will do.
write('grey8-trns.png', before_data(chunks('grey8.png'), [(b'tRNS', struct.pack('>H', 0))]))
write('rgb16-trns.png', before_data(chunks('rgb16.png'), [(b'tRNS', struct.pack('>HHH', 0, 0, 0))]))
data = b''.join(d for k, d in rgb if k == b'IDAT')
rows = zlib.decompress(data)
write('damaged-extra-rows.png', [(k, d) for k, d in rgb if k != b'IDAT' and k != b'IEND'] +
      [(b'IDAT', zlib.compress(rows + rows[:40])), (b'IEND', b'')])
whole = open('rgb8.png', 'rb').read()
broken = bytearray(whole)
broken[-20] ^= 0x55  # inside the last IDAT's data or checksum
open('damaged-checksum.png', 'wb').write(bytes(broken))
open('damaged-cut.png', 'wb').write(whole[:len(whole) * 2 // 3])
EOF
for orientation in 3 6 8; do add "orientation$orientation.png" "PNG with eXIf orientation $orientation"; done
add colour-chunks.png "PNG 16 bits with sRGB, pHYs, iCCP and eXIf orientation 5 (and ImageMagick's gAMA, cHRM)"
add grey8-trns.png "PNG grey with a transparent grey level"
add rgb16-trns.png "PNG colour 16 bits with a transparent colour"
add damaged-extra-rows.png "damaged: PNG pixel data longer than the picture"
add damaged-checksum.png "damaged: PNG with a wrong checksum"
add damaged-cut.png "damaged: PNG cut short"

convert base.miff -depth 8 -quality 90 -sampling-factor 2x2 photo420.jpg &&
    add photo420.jpg "JPEG colour, 4:2:0"
convert base.miff -depth 8 -quality 95 -sampling-factor 1x1 photo444.jpg &&
    add photo444.jpg "JPEG colour, 4:4:4"
convert base.miff -depth 8 -colorspace gray -quality 90 grey.jpg && add grey.jpg "JPEG grey"
convert base.miff -depth 8 -quality 85 -interlace JPEG progressive.jpg &&
    add progressive.jpg "JPEG progressive"
convert base.miff -depth 8 -colorspace CMYK -quality 95 cmyk.jpg && add cmyk.jpg "JPEG CMYK (Adobe)"

python3 - <<'EOF'
import struct

def segment(marker, data):
    return bytes([0xFF, marker]) + struct.pack('>H', len(data) + 2) + data

def exif(orientation):  # little-endian this time
    return (b'Exif\x00\x00II\x2a\x00\x08\x00\x00\x00\x01\x00' + b'\x12\x01\x03\x00\x01\x00\x00\x00' +
            struct.pack('<H', orientation) + b'\x00\x00' + b'\x00\x00\x00\x00')

jpeg = open('photo420.jpg', 'rb').read()
for orientation in (6, 7):
    open('orientation%d.jpg' % orientation, 'wb').write(
        jpeg[:2] + segment(0xE1, exif(orientation)) + jpeg[2:])
profile = bytes((i * 11 + i // 300) % 256 for i in range(150000))
parts = [profile[i:i + 65000] for i in range(0, len(profile), 65000)]
icc = [segment(0xE2, b'ICC_PROFILE\x00' + bytes([n + 1, len(parts)]) + p) for n, p in enumerate(parts)]
open('icc-profile.jpg', 'wb').write(jpeg[:2] + icc[2] + icc[0] + icc[1] + jpeg[2:])
open('damaged-cut.jpg', 'wb').write(jpeg[:len(jpeg) * 2 // 3])
EOF
add orientation6.jpg "JPEG with EXIF orientation 6"
add orientation7.jpg "JPEG with EXIF orientation 7"
add icc-profile.jpg "JPEG with a 150 kB ICC profile in three segments, stored out of order"
add damaged-cut.jpg "damaged: JPEG cut short"

convert base.miff -depth 8 BMP3:rgb24.bmp && add rgb24.bmp "BMP 24 bits"
convert base-alpha.miff -depth 8 -define bmp:format=bmp4 BMP:rgba32.bmp && add rgba32.bmp "BMP 32 bits with alpha"
convert base.miff -depth 8 -colors 200 -type Palette -compress None BMP3:palette8.bmp && add palette8.bmp "BMP palette, 8 bits"
rm -f base.miff base-alpha.miff
