#!/usr/bin/env bash
# Draws the splash pictures with ImageMagick and the DejaVu fonts (scripts/setup installs both):
#   working.png  (resource 115)  updates are being installed, logo with its segmented arc
#   finished.png (resource 117)  installation finished, how to restart the unit
#   spinner-1..4.png (111..114)  the arc with its lit segments advancing, cut from working.png
# The spinner frames are cut out of the working picture at (323, 187), so they sit exactly on
# the logo's arc. Run from anywhere; writes beside this script.
set -euo pipefail
cd "$(dirname "$0")"

regular=/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf
bold=/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf
background='#5d636b'
text='#f4f5f6'
dim='#868d96'
lit='#f5a524'
slogan='Built for a day in the field'
# Spinner frame: 56 x 56 at (323, 187); the arc's centre is the frame's centre.
frame_x=323
frame_y=187
frame_size=56
segments=12
lit_per_frame=3

# write_png <output> <convert arguments...>
write_png() {
    local output=$1
    shift
    convert "$@" -strip -define png:exclude-chunks=date,time "PNG24:$output"
}

# ImageMagick draw commands for arc segments first..last around (cx, cy).
segment_paths() {
    local cx=$1 cy=$2 first=$3 last=$4
    awk -v cx="$cx" -v cy="$cy" -v first="$first" -v last="$last" -v n="$segments" 'BEGIN {
        pi = atan2(0, -1); outer = 26; inner = 17; step = 2 * pi / n; gap = 0.09
        for (s = first; s <= last; s++) {
            a0 = -pi / 2 + s * step + gap; a1 = -pi / 2 + (s + 1) * step - gap
            path = "path '\''M"
            for (k = 0; k <= 6; k++) { a = a0 + (a1 - a0) * k / 6
                path = path sprintf(" %.2f,%.2f", cx + outer * cos(a), cy + outer * sin(a)) }
            for (k = 6; k >= 0; k--) { a = a0 + (a1 - a0) * k / 6
                path = path sprintf(" %.2f,%.2f", cx + inner * cos(a), cy + inner * sin(a)) }
            printf "%s Z'\'' ", path
        }
    }'
}

centre_x=$((frame_x + frame_size / 2))
centre_y=$((frame_y + frame_size / 2))

write_png working.png -size 800x480 "xc:$background" \
    -font "$bold" -pointsize 30 -fill "$text" -gravity north -annotate +0+44 'Installing updates, please wait' \
    -font "$regular" -pointsize 22 -annotate +0+92 'Do not switch off or unplug the unit.' \
    -gravity northwest -fill "$dim" -draw "$(segment_paths $centre_x $centre_y 0 $((segments - 1)))" \
    -font "$bold" -pointsize 50 -fill "$text" -annotate +390+190 'KT9' \
    -font "$regular" -pointsize 14 -fill "$dim" -annotate +393+246 'P A R V E L' \
    -gravity south -font "$regular" -pointsize 18 -fill "$text" -annotate +0+30 "$slogan"

for frame in 1 2 3 4; do
    first=$(((frame - 1) * lit_per_frame))
    half=$((frame_size / 2))
    write_png "spinner-$frame.png" working.png -crop "${frame_size}x${frame_size}+${frame_x}+${frame_y}" +repage \
        -fill "$lit" -draw "$(segment_paths $half $half $first $((first + lit_per_frame - 1)))"
done

# The unit's keypad, seen from the front, with an arrow at the power key (top right).
keypad="roundrectangle 520,150 700,400 18,18"
keys=""
for row in 0 1 2 3; do
    for column in 0 1 2; do
        x=$((540 + column * 52)); y=$((230 + row * 40))
        keys+="roundrectangle $x,$y $((x + 40)),$((y + 28)) 6,6 "
    done
done
write_png finished.png -size 800x480 "xc:$background" \
    -font "$bold" -pointsize 28 -fill "$text" -gravity north -annotate +0+40 'The installation finished successfully.' \
    -gravity northwest -font "$regular" -pointsize 21 \
    -annotate +60+170 'Press and hold the POWER button' \
    -annotate +60+202 'for about 15 seconds' \
    -annotate +60+234 'to restart the unit.' \
    -fill '#3f444b' -stroke "$text" -strokewidth 3 -draw "$keypad" \
    -strokewidth 2 -fill "$dim" -draw "$keys" \
    -fill '#d8432f' -draw "circle 666,188 680,188" \
    -stroke "$text" -strokewidth 3 -fill none -draw "line 666,182 666,192" \
    -stroke "$lit" -strokewidth 6 -draw "line 470,120 640,172" \
    -stroke none -fill "$lit" -draw "polygon 656,177 628,181 636,157" \
    -gravity south -font "$regular" -pointsize 18 -fill "$text" -annotate +0+30 "$slogan"
