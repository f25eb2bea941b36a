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
  $sudo_ apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo_ apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
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
echo "bootstrap: ready"
