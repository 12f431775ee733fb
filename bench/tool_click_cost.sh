#!/usr/bin/env bash
# What many clicks cost region_grow against one: a click should cost what it paints, not what
# the picture holds or what earlier clicks did.
#   time:   10,000 one-pixel clicks (--step -1) on 6000 x 4000 against one such click, wall time
#           of the whole run (best of 3 each); the goal is at most 3 times.
#   memory: 200 clicks that each fill a 2000 x 2000 picture against one, peak resident memory,
#           no frames, animation or record; the goal is at most 1.2 times.
# The machine's load average is printed before and after: the time ratio means little on a
# machine busy with other work.
# Usage: bench/tool_click_cost.sh [REGION_GROW] [WORK-DIR]
set -euo pipefail
tool=${1:-build/default/region_grow/region_grow}
work=${2:-build/tool-click-cost}
mkdir -p "$work"
[ -e "$work/grey-6000x4000.png" ] || convert -size 6000x4000 xc:'#808080' PNG24:"$work/grey-6000x4000.png"
[ -e "$work/grey-2000x2000.png" ] || convert -size 2000x2000 xc:'#808080' PNG24:"$work/grey-2000x2000.png"

# Prints "SECONDS KILOBYTES" of one run of the tool with the given arguments.
measure() {
    /usr/bin/time -f '%e %M' -o "$work/time.txt" "$tool" "$@" -o "$work/result.png" >/dev/null
    cat "$work/time.txt"
}

# The best wall time of three runs.
best_seconds() {
    local best=""
    for _ in 1 2 3; do
        read -r seconds _ < <(measure "$@")
        if [ -z "$best" ] || [ "$(echo "$seconds < $best" | bc -l)" = 1 ]; then best=$seconds; fi
    done
    echo "$best"
}

echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg) ($(nproc) cores)"

# 10,000 clicks on a 100 x 100 grid spread over the picture, each painting its own pixel.
mapfile -t grid < <(awk 'BEGIN { for (i = 0; i < 10000; ++i) print (i % 100) * 60 + 7 "\n" int(i / 100) * 40 + 3 }')
one=$(best_seconds "$work/grey-6000x4000.png" 7 3 --step -1)
many=$(best_seconds "$work/grey-6000x4000.png" "${grid[@]}" --step -1)
printf 'time:   1 click %6.2f s, 10000 one-pixel clicks %6.2f s on 6000 x 4000: ratio %.2f (goal <= 3)\n' \
    "$one" "$many" "$(echo "$many / $one" | bc -l)"

# 200 clicks, each filling the whole picture (it is uniform, and paint is within tolerance).
mapfile -t spread < <(awk 'BEGIN { for (i = 0; i < 200; ++i) print (i * 37) % 2000 "\n" (i * 91) % 2000 }')
read -r _ oneKb < <(measure "$work/grey-2000x2000.png" 5 5)
read -r manySeconds manyKb < <(measure "$work/grey-2000x2000.png" "${spread[@]}")
printf 'memory: 1 click %6d MB, 200 whole-picture clicks %6d MB on 2000 x 2000 (%s s): ratio %.2f (goal <= 1.2)\n' \
    $((oneKb / 1024)) $((manyKb / 1024)) "$manySeconds" "$(echo "$manyKb / $oneKb" | bc -l)"

echo "load average after:  $(cut -d' ' -f1-3 /proc/loadavg)"
