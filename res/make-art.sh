#!/usr/bin/env bash
# Draws the program icon, res/tavrin.png (64x64): a lens over a small table.
# Drawn at four times the size and scaled down, so the round shapes come out smooth at 64 pixels.
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
