#!/usr/bin/env bash
# Wall time and peak resident memory of region_grow on one click that fills a 6000 x 4000
# picture: a uniform one (the click fills it all) and a photograph-like one (smooth shading and
# fine noise, made with ImageMagick), each plain, with --frames, and with --animation; then the
# photograph as a JPEG and as a 16-bit PNG, plain.
# Usage: bench/tool_memory.sh [REGION_GROW] [WORK-DIR]
set -euo pipefail
tool=${1:-build/default/region_grow/region_grow}
work=${2:-build/tool-memory}
mkdir -p "$work"
width=6000 height=4000 pixels=$((6000 * 4000))
[ -e "$work/uniform.png" ] || convert -size ${width}x${height} xc:'#808080' PNG24:"$work/uniform.png"
[ -e "$work/photo.png" ] ||
    convert -seed 7 -size 750x500 plasma:fractal -blur 0x2 -resize "${width}x${height}!" \
        -seed 3 -attenuate 0.2 +noise Uniform -depth 8 PNG24:"$work/photo.png"
[ -e "$work/photo.jpg" ] || convert "$work/photo.png" -quality 92 "$work/photo.jpg"
[ -e "$work/photo16.png" ] || convert "$work/photo.png" -depth 16 PNG48:"$work/photo16.png"
printf '%-12s %-10s %8s %9s %8s\n' picture outputs seconds "peak MB" "B/pixel"
for picture in uniform.png photo.png photo.jpg photo16.png; do
    kinds="plain frames animation"
    case $picture in photo.jpg | photo16.png) kinds=plain ;; esac
    for outputs in $kinds; do
        extra=()
        case $outputs in
        frames) extra=(--frames "$work/frames-${picture%.*}") ;;
        animation) extra=(--animation "$work/${picture%.*}.webp") ;;
        esac
        /usr/bin/time -f '%e %M' -o "$work/time.txt" "$tool" "$work/$picture" 3000 2000 \
            "${extra[@]}" -o "$work/result-${picture%.*}.png" >/dev/null
        read -r seconds kilobytes <"$work/time.txt"
        printf '%-12s %-10s %8s %9d %8.1f\n' $picture $outputs "$seconds" $((kilobytes / 1024)) \
            "$(echo "$kilobytes * 1024 / $pixels" | bc -l)"
    done
done
# What many clicks cost against one.
"$(dirname "$0")/tool_click_cost.sh" "$tool" "$work"
