#!/usr/bin/env bash
# tools/make-icons.sh OUTPUT_FOLDER: draws the 38 tree images (icon ids 1000-1037) as .ico files of
# 16 and 32 pixels. Every image is drawn here from simple shapes; the build runs this script, so
# the pictures live in the repository as text. Needs ImageMagick's convert (tools/setup.sh installs it).
set -euo pipefail
out=${1:?output folder}
convert=${CONVERT:-/usr/bin/convert}
[ -x "$convert" ] || convert=convert
mkdir -p "$out"

# Shared pieces, in 16-pixel coordinates.
ink="stroke #303030 stroke-width 1"
page="fill #ffffff $ink polygon 3,1 10,1 13,4 13,14 3,14 fill #d8d8d8 polygon 10,1 10,4 13,4"
lines="stroke #7090c0 line 5,7 11,7 line 5,9 11,9 line 5,11 9,11"
cross="stroke #d02020 stroke-width 2 line 9,9 14,14 line 14,9 9,14"
plus="stroke none fill #20a020 rectangle 10,8 12,14 rectangle 8,10 14,12"
cylinder() { # fill colour, top colour
  echo "fill $1 $ink rectangle 3,4 12,12 ellipse 7.5,12 4.5,2 0,180 stroke none rectangle 4,5 11,12 $ink fill $2 ellipse 7.5,4 4.5,2 0,360"
}
box="fill #f0a030 $ink polygon 2,5 8,2 14,5 14,11 8,14 2,11 fill #f8c870 polygon 2,5 8,2 14,5 8,8 fill #d08010 polygon 8,8 14,5 14,11 8,14"
gear="fill #8090a0 $ink circle 8,8 8,2 fill #8090a0 stroke none rectangle 7,1 9,15 rectangle 1,7 15,9 $ink fill #ffffff circle 8,8 8,6"
hexagon="fill #60a0d0 $ink polygon 5,2 11,2 14,8 11,14 5,14 2,8"
tree="$ink fill none line 4,4 4,12 line 4,8 9,8 line 4,12 9,12 fill #4080d0 rectangle 2,2 6,6 rectangle 9,6 13,10 rectangle 9,10 13,14"

declare -A draw
draw[1000]="$(cylinder '#3070c0' '#80b0f0') stroke #e0a000 stroke-width 2 line 10,13 14,9"
draw[1001]="fill #ffffff $ink rectangle 1,2 14,13 fill #4a7fc8 rectangle 1,2 14,5 stroke #9ab0d0 line 2,9 13,9 line 6,6 6,12 line 10,6 10,12"
draw[1002]="fill #ffffff $ink rectangle 2,2 13,14 fill #a0a0a0 rectangle 5,1 10,3 stroke #20a020 stroke-width 2 fill none polyline 4,8 7,11 12,5"
draw[1003]="fill #f4f4f4 stroke #909090 rectangle 1,2 14,13 fill #c8c8c8 rectangle 1,2 14,5"
draw[1004]="fill #ffffff $ink rectangle 1,2 14,13 fill #3a6fc0 rectangle 1,2 14,4 fill #d0d0d0 rectangle 7,10 10,12 rectangle 11,10 13,12"
draw[1005]="fill #ffffff $ink rectangle 8,3 14,12 stroke #20a020 stroke-width 2 line 2,8 8,8 fill #20a020 stroke none polygon 8,4 12,8 8,12"
draw[1006]="fill #ffffff $ink rectangle 1,3 7,12 stroke #3070d0 stroke-width 2 line 7,8 12,8 fill #3070d0 stroke none polygon 11,4 15,8 11,12"
draw[1007]="fill #ffffff $ink rectangle 1,1 6,6 rectangle 9,9 14,14 stroke #3070d0 fill none line 4,7 4,11 line 4,11 8,11 fill #3070d0 stroke none polygon 8,9 10,11 8,13"
draw[1008]="$box"
draw[1009]="fill #f0c020 $ink polygon 8,1 10,6 15,6 11,9 13,14 8,11 3,14 5,9 1,6 6,6"
draw[1010]="fill #e8dcf8 $ink rectangle 2,1 13,14 fill #8060c0 rectangle 2,1 13,4 stroke #8060c0 line 4,7 11,7 line 4,11 11,11 stroke #303030 line 2,9 13,9"
draw[1011]="fill none stroke #606060 stroke-width 2 arc 4,1 11,10 180,360 line 4,5 4,7 line 11,5 11,7 fill #e0b020 $ink stroke-width 1 rectangle 2,7 13,14 fill #303030 rectangle 7,9 8,12"
draw[1012]="$page stroke #c06020 line 5,6 5,12 line 5,6 6,6 line 5,12 6,12 $lines"
draw[1013]="$tree"
draw[1014]="fill none stroke #303030 stroke-width 2 polyline 2,14 7,2 8,2 13,14 line 4,10 11,10"
draw[1015]="$page $lines"
draw[1016]="$page fill #e06060 stroke #303030 rectangle 6,8 10,12"
draw[1017]="$page $lines $cross"
draw[1018]="$tree $cross"
draw[1019]="fill #ffffff $ink rectangle 1,1 14,14 stroke #2060d0 stroke-width 2 line 4,12 10,6 fill #2060d0 stroke none polygon 7,4 12,4 12,9"
draw[1020]="fill #f0c850 $ink polygon 1,4 6,4 7,5 14,5 14,13 1,13 $plus"
draw[1021]="$page stroke #c06020 line 5,6 5,12 line 5,6 6,6 line 5,12 6,12 $lines $cross"
draw[1022]="$(cylinder '#a0a0a0' '#d8d8d8') stroke #d02020 stroke-width 2 line 5,9 10,9"
draw[1023]="$gear"
draw[1024]="$gear $plus"
draw[1025]="fill #4070b0 $ink rectangle 2,1 13,14 fill #b0c8f0 rectangle 5,3 11,6 stroke #20406a line 4,1 4,14"
draw[1026]="fill none stroke #c03030 stroke-width 2 circle 6,8 6,4 stroke #3060c0 circle 10,8 10,4"
draw[1027]="fill #ffffff $ink rectangle 1,1 9,11 rectangle 5,4 13,14 $lines"
draw[1028]="fill none stroke #909090 stroke-dasharray 2,1 rectangle 0,0 15,15 $box"
draw[1029]="$page stroke #2060d0 stroke-width 2 line 5,9 10,9 fill #2060d0 stroke none polygon 9,6 12,9 9,12"
draw[1030]="$(cylinder '#30a060' '#90e0b0')"
draw[1031]="$(cylinder '#30a060' '#90e0b0') fill #e0b020 $ink rectangle 10,9 14,13"
draw[1032]="$(cylinder '#30a060' '#90e0b0') stroke #2060d0 stroke-width 2 line 5,9 10,9 fill #2060d0 stroke none polygon 9,7 12,9 9,11"
draw[1033]="$box fill none stroke #20a020 arc 10,0 16,6 270,360"
draw[1034]="fill #70b0f0 $ink circle 8,8 8,1 fill none stroke #2a7040 ellipse 8,8 3,7 0,360 line 1,8 15,8"
draw[1035]="$hexagon fill #ffffff $ink circle 8,8 8,5"
draw[1036]="$hexagon stroke #ffffff line 5,7 11,7 line 5,10 10,10"
draw[1037]="fill #e4e4e4 $ink rectangle 1,4 14,11 fill #ffffff rectangle 3,6 6,9 stroke #303030 line 8,8 12,8"

for id in $(seq 1000 1037); do
  mvg=${draw[$id]}
  "$convert" -size 16x16 xc:none +antialias -draw "$mvg" "png32:$out/tree$id-16.png"
  "$convert" -size 32x32 xc:none +antialias -draw "scale 2,2 $mvg" "png32:$out/tree$id-32.png"
  "$convert" "$out/tree$id-16.png" "$out/tree$id-32.png" "$out/tree$id.ico.tmp.ico"
  mv "$out/tree$id.ico.tmp.ico" "$out/tree$id.ico"
  rm -f "$out/tree$id-16.png" "$out/tree$id-32.png"
done
