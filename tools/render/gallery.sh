#!/usr/bin/env bash
# Renders a set of telling gauge and label states into a folder, one .bmp file each: the states
# are written into one batch file that render.exe runs under the project's Wine wrapper.
#   gallery.sh PATH/render.exe OUT_DIR
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
render=$1
out=$(mkdir -p "$2" && cd "$2" && pwd)
batch=$out/gallery.txt
: >"$batch"

count=0
draw() {  # draw NAME gauge|label OPTIONS...: one command of the batch, one argument a line
  local name=$1
  shift
  printf '%s\n' "$1" "Z:$out/$name.bmp" "${@:2}" "" >>"$batch"
  count=$((count + 1))
}

# The wizard's gauge: 333 × 20, no border, white to $FF8080, Tahoma 11 black.
wizard=(--width 333 --height 20 --border none --fore1 clWhite --fore2 '$FF8080' --font Tahoma
        --font-height 11 --font-color clBlack)
draw gauge-wizard-000 gauge "${wizard[@]}" --position 0
draw gauge-wizard-060 gauge "${wizard[@]}" --position 60
draw gauge-wizard-100 gauge "${wizard[@]}" --position 100
draw gauge-fresh gauge
draw gauge-default-ramp-full gauge --width 256 --position 100
draw gauge-half-to-even-12 gauge --max 8 --position 1
draw gauge-half-to-even-38 gauge --max 8 --position 3
draw gauge-byte-counts gauge --width 256 --max 4194304 --position 3000000
draw gauge-solid-system-colour gauge --style solid --fore1 clBtnShadow --position 70
draw gauge-ramp-system-colour-bytes gauge --fore1 clBtnShadow --fore2 clWhite --position 100
draw gauge-plain-words gauge --text 'Установка' --position 40
draw gauge-wide-text gauge --width 60 --text 'Установка программы %d%%' --position 50
draw gauge-flat-panel gauge --flat --position 50

# The wizard's caption label: 297 × 25, Tahoma 21 bold $FFCC99 on white.
caption='Среда Fendaro Korvu ®'
draw label-wizard label --caption "$caption" --font-height 21 --bold --font-color '$FFCC99' \
  --panel clWhite
draw label-raised label --caption "$caption" --font-height 21 --bold --font-color clBlack \
  --text-style raised
draw label-recessed label --caption "$caption" --font-height 21 --bold --font-color clBlack \
  --text-style recessed
draw label-shadow label --caption "$caption" --font-height 21 --bold --font-color '$FFCC99' \
  --text-style shadow --shadow-width 3 --panel clWhite
draw label-border label --caption "$caption" --font-height 21 --bold --font-color clWhite \
  --text-style border --border-width 2 --border-color '$804000' --panel clWhite
draw label-disabled label --caption "$caption" --font-height 21 --bold --text-style raised \
  --disabled
draw label-opaque label --caption "$caption" --font-height 21 --bold --opaque --color '$C0FFFF'
draw label-right label --caption "$caption" --font-height 21 --bold --align right --opaque \
  --color clWhite
draw label-accelerator label --caption $'&Далее\tи &&' --font-height 13
draw label-auto-size label --caption 'Установка программы' --font-height 13 --auto-size

bash "$here/../../scripts/wine-run.sh" "$render" batch "Z:$batch"
echo "gallery: $count images in $out"
