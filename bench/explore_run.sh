#!/usr/bin/env bash
# Wall time and peak resident memory of a whole `region_grow --explore` run (decode, the map,
# the four files) against the plain run (decode, fill, result), on one click that fills a
# 6000 x 4000 picture: a uniform one and a photograph-like one (the pictures of tool_memory.sh).
# The goal: the explore run at most twice the plain run's time. Each run is timed twice and the
# faster kept, so that a busy moment of the machine weighs less.
# Usage: bench/explore_run.sh [REGION_GROW] [WORK-DIR]
set -euo pipefail
tool=${1:-build/default/region_grow/region_grow}
work=${2:-build/explore-run}
mkdir -p "$work"
width=6000 height=4000
[ -e "$work/uniform.png" ] || convert -size ${width}x${height} xc:'#808080' PNG24:"$work/uniform.png"
[ -e "$work/photo.png" ] ||
    convert -seed 7 -size 750x500 plasma:fractal -blur 0x2 -resize "${width}x${height}!" \
        -seed 3 -attenuate 0.2 +noise Uniform -depth 8 PNG24:"$work/photo.png"

best() { # prints "SECONDS KILOBYTES", the faster of two runs of the command
    local best_s="" best_kb=""
    for _ in 1 2; do
        /usr/bin/time -f '%e %M' -o "$work/time.txt" "$@" >/dev/null
        read -r s kb <"$work/time.txt"
        if [ -z "$best_s" ] || [ "$(echo "$s < $best_s" | bc)" = 1 ]; then best_s=$s best_kb=$kb; fi
    done
    echo "$best_s $best_kb"
}

printf '%-8s %-16s %8s %9s %7s\n' picture run seconds "peak MB" ratio
for picture in uniform photo; do
    read -r plain plain_kb < <(best "$tool" "$work/$picture.png" 3000 2000 -o "$work/result.png")
    printf '%-8s %-16s %8s %9d %7s\n' $picture plain "$plain" $((plain_kb / 1024)) 1.00
    read -r explore explore_kb < <(best "$tool" "$work/$picture.png" 3000 2000 \
        --explore "$work/explore-$picture")
    printf '%-8s %-16s %8s %9d %7.2f\n' $picture "--explore" "$explore" $((explore_kb / 1024)) \
        "$(echo "$explore / $plain" | bc -l)"
    read -r both both_kb < <(best "$tool" "$work/$picture.png" 3000 2000 \
        --explore "$work/explore-$picture" -o "$work/result.png")
    printf '%-8s %-16s %8s %9d %7.2f\n' $picture "--explore -o" "$both" $((both_kb / 1024)) \
        "$(echo "$both / $plain" | bc -l)"
done
