#!/usr/bin/env bash
# Installs everything the build and the tests need, and creates the project's own Wine prefix.
# Idempotent: a second run finds everything in place and only checks.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/env.sh"

need=()
have_pkg() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }
packages=(wine wine32:i386 wine64 fonts-wine g++-mingw-w64-i686 g++-mingw-w64-x86-64 xvfb clang libclang-rt-14-dev
          locales cmake ninja-build googletest libcli11-dev xdotool imagemagick python3 osslsigncode)
for p in "${packages[@]}"; do have_pkg "$p" || need+=("$p"); done

sudo_=""
[ "$(id -u)" -eq 0 ] || sudo_="sudo"

if [ ${#need[@]} -gt 0 ]; then
  echo "bootstrap: installing ${need[*]}"
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $sudo_ dpkg --add-architecture i386
  fi
  # A package mirror in mid-sync can serve one index whose size disagrees with its signed release
  # file; apt then reports an error although every other index is fine, and a while later the
  # same update goes through. Try a few times; then go on with the indexes apt has (apt never
  # uses an index that failed its check) and let the installation say whether they suffice.
  updated=""
  for attempt in 1 2 3 4; do
    if $sudo_ apt-get update -qq; then updated=1; break; fi
    [ "$attempt" -lt 4 ] && { echo "bootstrap: apt-get update reported errors; trying again in 15 s"; sleep 15; }
  done
  [ -n "$updated" ] || echo "bootstrap: apt-get update still reports errors; installing from the indexes it has"
  install() { DEBIAN_FRONTEND=noninteractive $sudo_ apt-get install -y -qq --no-install-recommends "$@" >/dev/null; }
  if ! install "${need[@]}"; then
    # 32-bit Wine is the one part of this list that needs the i386 indexes, which the mirror
    # serves in step with the amd64 ones. Without it everything still builds, and the Windows
    # tests run on the 64-bit build (as on kernels that run no 32-bit programs).
    rest=()
    for p in "${need[@]}"; do [ "$p" = wine32:i386 ] || rest+=("$p"); done
    hint=""
    [ -n "$updated" ] || hint=" after apt-get update reported errors (a package mirror in mid-sync is a likely cause; try again later)"
    if [ ${#rest[@]} -eq ${#need[@]} ] || ! install "${rest[@]}"; then
      echo "bootstrap: installing ${need[*]} failed$hint" >&2
      exit 1
    fi
    echo "bootstrap: wine32:i386 could not be installed$hint; the Windows tests run on the 64-bit build"
  fi
fi

# Russian file names under Wine need the Linux locale itself.
if ! locale -a 2>/dev/null | grep -qi '^ru_RU\.utf-\?8$'; then
  echo "bootstrap: generating ru_RU.UTF-8"
  $sudo_ sed -i 's/^# *\(ru_RU.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  grep -q '^ru_RU.UTF-8 UTF-8' /etc/locale.gen || echo 'ru_RU.UTF-8 UTF-8' | $sudo_ tee -a /etc/locale.gen >/dev/null
  $sudo_ locale-gen >/dev/null
fi

# The project's own Wine prefix (never ~/.wine).
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "bootstrap: creating the Wine prefix $WINEPREFIX"
  mkdir -p "$WINEPREFIX"
  "$here/wine-run.sh" wineboot -i >/dev/null 2>&1 || true
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "bootstrap: Wine could not create its prefix in $WINEPREFIX" >&2
    exit 1
  fi
fi

# Wine's own fonts (fonts-wine: Tahoma, Marlett, whose letters are the title bar's buttons, and
# the bitmap fonts) lie in /usr/share/wine/fonts, where this Wine never looks: its build names
# "../fonts" beside its data folder instead, and fontconfig does not know the folder either. Wine
# then has no font but DejaVu: every "Tahoma" becomes DejaVu Sans, which is wider, and Marlett's
# "r" (the close button's cross) a plain letter r. Wine does read the prefix's own Fonts folder,
# as Windows does: the fonts go there, and again whenever the package brings changed ones, so
# an existing prefix gets them on its next bootstrap.
wine_fonts=/usr/share/wine/fonts
prefix_fonts="$WINEPREFIX/drive_c/windows/Fonts"
if [ -d "$wine_fonts" ]; then
  mkdir -p "$prefix_fonts"
  copied=0
  for font in "$wine_fonts"/*.ttf "$wine_fonts"/*.fon; do
    [ -f "$font" ] || continue
    if ! cmp -s "$font" "$prefix_fonts/${font##*/}"; then
      cp "$font" "$prefix_fonts/"
      copied=$((copied + 1))
    fi
  done
  [ "$copied" -eq 0 ] || echo "bootstrap: copied $copied of Wine's fonts into the prefix"
fi
echo "bootstrap: ready"
