#!/usr/bin/env bash
# Installs what building and testing need, from Debian's archive and the npm
# registry, only when something is missing. Safe to run again.
set -euo pipefail
cd "$(dirname "$0")/.."

debian_packages=(
  cmake g++ make ccache pkg-config lld
  libcli11-dev nlohmann-json3-dev libre2-dev libboost1.74-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  hyperfine valgrind wrk librsvg2-bin libxml2-utils
  kicad-footprints chromium
  fonts-symbola  # the page's symbol glyphs (⌖, ⧉, 🌉) in the headless browser's screenshots
)

missing=()
for pkg in "${debian_packages[@]}"; do
  dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" || missing+=("$pkg")
done
# Node.js may come from elsewhere than Debian (with its own npm); only a
# machine without it gets Debian's.
command -v node >/dev/null && command -v npm >/dev/null || missing+=(nodejs npm)
if ((${#missing[@]})); then
  echo "installing: ${missing[*]}" >&2
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >&2
fi

# Playwright drives Debian's Chromium; it never downloads a browser of its own.
if [ ! -d tests/browser/node_modules/playwright-core ]; then
  (cd tests/browser && PLAYWRIGHT_SKIP_BROWSER_DOWNLOAD=1 npm ci --no-audit --no-fund --loglevel=error >&2)
fi
