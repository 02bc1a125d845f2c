#!/usr/bin/env bash
# Redraws every picture Merivo ships: the logo, the command button icons,
# the button cursor and the window icon. Needs ImageMagick 6 `convert` and
# the Liberation Sans fonts. Run it from anywhere; the PNGs are written next
# to this script and are committed, so the build never runs it.
#
# Everything is drawn at four times its final size and then averaged down
# (box filter), which gives clean, even anti-aliasing on the small icons.
# Shapes are described in final-size pixel units; the `affine` prefix in
# render() does the enlarging.
set -euo pipefail
cd "$(dirname "$0")"

# One palette for every picture: a red accent, a dark red, a charcoal for
# outlines and neutral shapes, greys for secondary detail, pale tints for
# fills.
RED='#D0312D'
DARK='#8B1A1A'
CHAR='#3B3E44'
GREY='#8C939C'
LIGHT='#E4E7EB'
PINK='#FBE4E2'
CREAM='#F6DDB8'
WHITE='#FFFFFF'

SS=4 # supersampling factor
# ImageMagick lets a shape edge at x spread half a pixel past it; moving the
# enlarged drawing back by that half keeps edges on whole-number coordinates
# sharp after averaging down.
OFS=-0.5

# No timestamps or other metadata, so that rerunning the script reproduces
# the committed files byte for byte.
STRIP=(-strip -define png:exclude-chunks=date,time)

# render OUTPUT WIDTH HEIGHT BACKGROUND MVG
# Draws MVG (in final-size units) on a WIDTH x HEIGHT canvas and writes a
# 32-bit RGBA PNG.
render() {
    local out=$1 w=$2 h=$3 bg=$4 mvg=$5
    convert -size $((w * SS))x$((h * SS)) "xc:$bg" \
        -draw "affine $SS,0,0,$SS,$OFS,$OFS $mvg" \
        -filter Box -resize "${w}x${h}!" \
        "${STRIP[@]}" "PNG32:$out"
}

# ---------------------------------------------------------------------------
# Shared shapes

# person X Y SCALE COLOUR: a head-and-shoulders silhouette whose head centre
# is at (X, Y); at SCALE 1 it is 20 units wide and 25 high.
person() {
    local x=$1 y=$2 s=$3 c=$4
    echo "push graphic-context
          translate $x,$y scale $s,$s
          fill $c stroke none
          circle 0,0 0,6
          path 'M -10,18 C -10,10.5 -5,7.5 0,7.5 C 5,7.5 10,10.5 10,18 Z'
          pop graphic-context"
}

# magnifier X Y R: a lens of radius R centred at (X, Y) with its handle
# running down to the right.
magnifier() {
    local x=$1 y=$2 r=$3
    local hx hy ex ey
    hx=$(echo "$x + $r * 0.72" | bc -l)
    hy=$(echo "$y + $r * 0.72" | bc -l)
    ex=$(echo "$x + $r * 1.75" | bc -l)
    ey=$(echo "$y + $r * 1.75" | bc -l)
    echo "stroke $DARK stroke-width $(echo "$r * 0.6" | bc -l) stroke-linecap round
          line $hx,$hy $ex,$ey
          fill $PINK stroke $CHAR stroke-width $(echo "$r * 0.3" | bc -l)
          circle $x,$y $x,$(echo "$y - $r" | bc -l)
          fill none stroke $WHITE stroke-width $(echo "$r * 0.18" | bc -l)
          arc $(echo "$x - $r * 0.6" | bc -l),$(echo "$y - $r * 0.6" | bc -l) $(echo "$x + $r * 0.6" | bc -l),$(echo "$y + $r * 0.6" | bc -l) 190,260"
}

# book COVER: the open address book of the logo and the window icon, in a
# 180 x 150 box whose top left corner is at the origin: a cover in COVER,
# a person on the left page and entry lines on the right page.
book() {
    echo "push graphic-context
          fill $1 stroke none
          path 'M 90,150 C 66,138 34,134 0,140 L 0,16 C 34,10 66,14 90,26 C 114,14 146,10 180,16 L 180,140 C 146,134 114,138 90,150 Z'
          fill $WHITE stroke $DARK stroke-width 3 stroke-linejoin round
          path 'M 88,28 C 66,14 36,8 10,12 L 10,128 C 36,124 66,128 88,140 Z'
          path 'M 92,28 C 114,14 144,8 170,12 L 170,128 C 144,124 114,128 92,140 Z'
          fill none stroke $LIGHT stroke-width 4
          line 90,30 90,138
          pop graphic-context
          $(person 48 54 2.2 "$RED")
          push graphic-context
          fill none stroke-linecap round stroke-width 7
          stroke $RED   line 108,42 154,38
          stroke $GREY  line 108,64 154,60
          stroke $GREY  line 108,84 154,80
          stroke $GREY  line 108,104 140,101
          pop graphic-context"
}

# ---------------------------------------------------------------------------
# Button icons, 32 x 32 with transparency

# Proceed (login): a key pointing right, the way in.
render icon-proceed.png 32 32 none "
    push graphic-context
    translate 1.5,0
    stroke $DARK stroke-width 6 stroke-linecap round fill none
    line 13,16 26.5,16
    line 20.5,16 20.5,22
    line 25,16 25,21
    circle 8.5,16 8.5,9.75
    stroke $RED stroke-width 3
    line 13,16 26.5,16
    line 20.5,16 20.5,22
    line 25,16 25,21
    stroke-width 3.5
    circle 8.5,16 8.5,10.5
    fill $WHITE stroke none
    circle 8.5,16 8.5,18.6
    pop graphic-context"

# Exit: an open door with an arrow leaving through it.
render icon-exit.png 32 32 none "
    fill $LIGHT stroke $CHAR stroke-width 2 stroke-linejoin round
    rectangle 4,3 19,29
    fill $CHAR stroke none
    polygon 4,3 12,6.5 12,31.5 4,29
    fill $WHITE
    circle 10,18.5 10,19.8
    stroke $RED stroke-width 4 stroke-linecap round fill none
    line 15,16 24,16
    fill $RED stroke none
    polygon 22,9.5 30,16 22,22.5"

# Add: a person with a plus badge.
render icon-add.png 32 32 none "
    $(person 13 9 1.05 "$CHAR")
    fill $RED stroke $WHITE stroke-width 2
    circle 23.5,22.5 23.5,14.5
    stroke $WHITE stroke-width 2.6 stroke-linecap butt
    line 19.5,22.5 27.5,22.5
    line 23.5,18.5 23.5,26.5"

# Delete: a person with a cross badge.
render icon-delete.png 32 32 none "
    $(person 13 9 1.05 "$CHAR")
    fill $DARK stroke $WHITE stroke-width 2
    circle 23.5,22.5 23.5,14.5
    stroke $WHITE stroke-width 2.6 stroke-linecap round
    line 20.7,19.7 26.3,25.3
    line 26.3,19.7 20.7,25.3"

# Find: a magnifying glass.
render icon-find.png 32 32 none "$(magnifier 13 13 9)"

# Save: a disk with a label.
render icon-save.png 32 32 none "
    fill $DARK stroke none
    path 'M 4,6 Q 4,4 6,4 L 24,4 L 28,8 L 28,26 Q 28,28 26,28 L 6,28 Q 4,28 4,26 Z'
    fill $LIGHT
    rectangle 9,4 22,12
    fill $DARK
    rectangle 17.5,5.5 20,10.5
    fill $WHITE
    rectangle 8,16 24,28
    stroke $GREY stroke-width 1.5
    line 11,20 21,20
    line 11,24 21,24"

# Cancel: a bold cross.
render icon-cancel.png 32 32 none "
    stroke-linecap round fill none
    stroke $DARK stroke-width 8
    line 8,8 24,24
    line 24,8 8,24
    stroke $RED stroke-width 4.5
    line 8,8 24,24
    line 24,8 8,24"

# Edit: a pencil writing on a line.
render icon-edit.png 32 32 none "
    stroke $GREY stroke-width 2 stroke-linecap round
    line 4,29.5 27,29.5
    push graphic-context
    translate 17,15 rotate -45
    stroke $CHAR stroke-width 1.2 stroke-linejoin round
    fill $CREAM
    polygon -8,-4 -15,0 -8,4
    fill $RED
    rectangle -8,-4 7,4
    fill $LIGHT
    rectangle 7,-4 10,4
    fill $GREY
    path 'M 10,-4 L 12,-4 Q 14,-4 14,-2 L 14,2 Q 14,4 12,4 L 10,4 Z'
    fill $CHAR stroke none
    polygon -12.4,-1.5 -15.2,0 -12.4,1.5
    stroke $DARK stroke-width 1.2
    line -7,0 6,0
    pop graphic-context"

# Update: a check mark on a red disc.
render icon-update.png 32 32 none "
    fill $RED stroke $DARK stroke-width 1.5
    circle 16,16 16,2.5
    fill none stroke $WHITE stroke-width 3.6 stroke-linecap round stroke-linejoin round
    polyline 9.5,16.5 14,21 22.5,11.5"

# Print preview: a page under a magnifying glass.
render icon-preview.png 32 32 none "
    fill $WHITE stroke $CHAR stroke-width 1.5 stroke-linejoin round
    polygon 5,2.5 18,2.5 23,7.5 23,29 5,29
    fill $LIGHT
    polygon 18,2.5 18,7.5 23,7.5
    stroke $GREY stroke-width 1.5 stroke-linecap round
    line 8.5,10 15,10
    line 8.5,13.5 19,13.5
    line 8.5,17 13,17
    $(magnifier 18 19 6)"

# Print: a printer with a page coming out.
render icon-print.png 32 32 none "
    fill $WHITE stroke $CHAR stroke-width 1.5 stroke-linejoin round
    rectangle 9,3 23,13
    fill $CHAR stroke none
    roundrectangle 3,11 29,24 3,3
    fill $RED
    circle 24.5,15 24.5,16.4
    fill #22252A
    rectangle 7,19 25,21
    fill $WHITE stroke $CHAR stroke-width 1.5
    rectangle 9,20 23,29.5
    stroke $GREY stroke-linecap round
    line 12,23.5 20,23.5
    line 12,26.5 17,26.5"

# ---------------------------------------------------------------------------
# Button cursor, 32 x 32: a pointing hand whose fingertip is the hot spot
# (16, 14). Every shape is drawn twice, first with a wide dark stroke and
# then filled light without a stroke, so only the outer outline remains.

HAND_SHAPES="
    roundrectangle 14,15 19,27 2.5,2.5
    roundrectangle 19,20 22.4,27 1.7,1.7
    roundrectangle 22.4,21 25.6,27.5 1.6,1.6
    roundrectangle 25.6,22.2 28,28 1.2,1.2
    roundrectangle 13,23 28,30 3,3
    path 'M 15.5,29 L 10.6,24.4 Q 9.2,23 10.6,21.9 Q 12,21 13.4,22.2 L 16,24.5 Z'"

render cursor.png 32 32 none "
    fill $CHAR stroke $CHAR stroke-width 2 stroke-linejoin round
    $HAND_SHAPES
    fill $WHITE stroke none
    $HAND_SHAPES
    stroke $GREY stroke-width 1 stroke-linecap butt fill none
    line 19.5,24 19.5,27
    line 22.5,25 22.5,27.5
    line 25.5,25.5 25.5,27.5"

# ---------------------------------------------------------------------------
# Window icon: the book on a dark red rounded tile, without the text. The
# cover is the lighter red here so that the book stands out from the tile.

ICON_MVG="
    fill #6A1313 stroke none
    roundrectangle 8,8 248,248 44,44
    fill $DARK
    roundrectangle 8,8 248,238 44,44
    push graphic-context
    translate 38,50 scale 1,1.05
    $(book "$RED")
    pop graphic-context"

render merivo.png 256 256 none "$ICON_MVG"
render merivo-48.png 48 48 none "scale 0.1875,0.1875 $ICON_MVG"

# ---------------------------------------------------------------------------
# Logo, 381 x 238, 16 colours: the book above the program's name. It is
# shown stretched down to about a quarter of its size, so the name is large
# and heavy and there is no small print.

LOGO_TMP=$(mktemp --suffix=.png)
trap 'rm -f "$LOGO_TMP"' EXIT
render "$LOGO_TMP" 381 238 "$WHITE" "
    push graphic-context
    translate 109.5,10 scale 0.9,0.9
    $(book "$DARK")
    pop graphic-context
    fill $DARK stroke none
    font Liberation-Sans-Bold font-size 76 text-anchor middle
    text 190.5,220 'Merivo'"
convert "$LOGO_TMP" +dither -colors 16 -type Palette "${STRIP[@]}" PNG8:logo.png
