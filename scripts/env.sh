# Shared settings of the project's scripts; sourced, not run.
: "${SETUP_ROOT:=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}"
: "${WINEPREFIX:=${SETUP_WINEPREFIX:-$HOME/.cache/setup-wizard/wineprefix}}"
export SETUP_ROOT WINEPREFIX

# Whether this machine runs 32-bit Linux programs, and so 32-bit Windows programs under Wine.
# Some kernels have their 32-bit emulation switched off; Wine then runs 64-bit programs only.
wine_runs_32bit() { /usr/lib/wine/wine --version >/dev/null 2>&1; }

# The Windows build whose tests run here: "windows" (32-bit, the product's own) or "windows-x64".
wine_test_preset() { if wine_runs_32bit; then echo windows; else echo windows-x64; fi; }
