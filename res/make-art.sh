#!/usr/bin/env bash
# Draws the program's pictures: the icon res/tavrin.png (64x64), a lens over a small table, and the
# two looping animations of the About and dedication dialogs, res/about.gif (60x40, the lens
# sweeping over the table) and res/dedication.gif (90x130, a beating heart above a candle).
# Everything is drawn at four times the size and scaled down, so the round shapes come out smooth.
# The output carries no time stamps, so running the script again gives the same bytes.
set -euo pipefail

res=$(cd "$(dirname "$0")" && pwd)

sheet='#ffffff'
frame='#2c4a6b'
header='#3b7bbf'
rule='#b5c3d1'
glass='#d6ecff99'
rim='#e0892a'
handle='#3a3f47'

convert -size 256x256 xc:none \
  -fill "$sheet" -stroke "$frame" -strokewidth 10 \
  -draw 'roundrectangle 14,26 206,214 14,14' \
  -stroke none -fill "$header" \
  -draw 'roundrectangle 19,31 201,72 10,10' \
  -draw 'rectangle 19,58 201,72' \
  -stroke "$rule" -strokewidth 6 \
  -draw 'line 22,110 198,110' \
  -draw 'line 22,144 198,144' \
  -draw 'line 22,178 198,178' \
  -draw 'line 80,76 80,209' \
  -stroke "$handle" -strokewidth 26 -draw 'line 204,204 238,238' \
  -fill "$glass" -stroke "$rim" -strokewidth 16 -draw 'circle 160,160 160,108' \
  -stroke '#ffffffcc' -strokewidth 7 -fill none -draw 'arc 126,126 194,194 200,260' \
  -resize 64x64 \
  -strip -define png:exclude-chunks=date,time \
  "PNG32:$res/tavrin.png"

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# Positions along the loop come from awk: bash has no sine.
wave() {
  awk -v i="$1" -v n="$2" "BEGIN { t = 2 * 3.14159265358979 * i / n; $3 }"
}

# The lens follows a figure of eight that keeps it and its handle inside the table's frame.
frames=24
for ((i = 0; i < frames; i++)); do
  read -r cx cy < <(wave "$i" "$frames" 'printf "%d %d\n", 112 + 60 * sin(t), 78 + 18 * sin(2 * t)')
  convert -size 240x160 xc:"$sheet" \
    -fill "$sheet" -stroke "$frame" -strokewidth 8 \
    -draw 'roundrectangle 6,6 233,153 12,12' \
    -stroke none -fill "$header" \
    -draw 'roundrectangle 10,10 229,42 8,8' -draw 'rectangle 10,30 229,42' \
    -stroke "$rule" -strokewidth 5 \
    -draw 'line 12,72 228,72' -draw 'line 12,100 228,100' -draw 'line 12,128 228,128' \
    -draw 'line 64,44 64,150' -draw 'line 146,44 146,150' \
    -stroke "$handle" -strokewidth 16 \
    -draw "line $((cx + 24)),$((cy + 24)) $((cx + 42)),$((cy + 42))" \
    -fill "$glass" -stroke "$rim" -strokewidth 10 -draw "circle $cx,$cy $cx,$((cy - 32))" \
    -stroke '#ffffffcc' -strokewidth 5 -fill none \
    -draw "arc $((cx - 22)),$((cy - 22)) $((cx + 22)),$((cy + 22)) 200,260" \
    -resize 60x40 "$tmp/about-$(printf %02d "$i").png"
done
convert -delay 8 -loop 0 "$tmp"/about-*.png -dither None -colors 48 -layers Optimize \
  "$res/about.gif"

heart='M 0,-40 C -30,-110 -140,-80 -110,10 C -90,60 -30,90 0,130 C 30,90 90,60 110,10 C 140,-80 30,-110 0,-40 Z'
flame='M 0,-56 C 14,-34 20,-16 18,-4 C 16,8 8,12 0,12 C -8,12 -16,8 -18,-4 C -20,-16 -14,-34 0,-56 Z'
core='M 0,-30 C 8,-18 10,-8 9,-2 C 8,5 4,8 0,8 C -4,8 -8,5 -9,-2 C -10,-8 -8,-18 0,-30 Z'

# The heart swells by a tenth at most; the flame flickers at other rates so the two never march
# in step.
frames=20
for ((i = 0; i < frames; i++)); do
  read -r s fx fy < <(wave "$i" "$frames" \
    'printf "%.3f %.3f %.3f\n", 1 + 0.09 * sin(t), 1 + 0.06 * sin(3 * t), 1 + 0.12 * sin(2 * t + 1)')
  convert -size 360x520 xc:'#fff8ef' \
    -fill '#ffdede' -stroke none \
    -draw "translate 180,160 scale $s,$s circle 0,22 0,150" \
    -fill '#d6284b' -stroke '#9c1631' -strokewidth 8 \
    -draw "translate 180,160 scale $s,$s path '$heart'" \
    -stroke '#ffffffb0' -strokewidth 10 -fill none \
    -draw "translate 180,160 scale $s,$s path 'M -80,-40 C -78,-62 -56,-70 -40,-60'" \
    -stroke none -fill '#f2ead8' -draw 'roundrectangle 150,390 210,500 6,6' \
    -fill '#d9ceb6' -draw 'rectangle 196,394 206,496' \
    -fill '#8a7c66' -draw 'roundrectangle 110,494 250,512 8,8' \
    -stroke "$handle" -strokewidth 4 -draw 'line 180,392 180,378' \
    -stroke none -fill '#ffd54a' -draw "translate 180,380 scale $fx,$fy path '$flame'" \
    -fill '#ff8c1a' -draw "translate 180,380 scale $fx,$fy path '$core'" \
    -resize 90x130 "$tmp/dedication-$(printf %02d "$i").png"
done
convert -delay 10 -loop 0 "$tmp"/dedication-*.png -dither None -colors 64 -layers Optimize \
  "$res/dedication.gif"
