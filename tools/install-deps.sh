#!/usr/bin/env bash
# Installs every Debian package that the build, the tests and the benchmarks need.
# Idempotent and quick when everything is present.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev libgl-dev qt6-translations-l10n
  fonts-ipafont-gothic
  libqscintilla2-qt6-dev
  liblua5.1-0-dev
  libjpeg62-turbo-dev
  libarchive-dev zlib1g-dev
  libpng-dev libgif-dev libwebp-dev libtiff-dev libavif-dev libheif-dev libjxl-dev
  libicu-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  libpixman-1-dev
  clang libfuzzer-14-dev
  xvfb xauth openbox
  python3-markdown librsvg2-bin
  desktop-file-utils appstream
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  if command -v sudo >/dev/null 2>&1; then
    SUDO=sudo
  else
    echo "install-deps: these packages are missing and I am not root: ${missing[*]}" >&2
    echo "install-deps: run 'sudo tools/install-deps.sh' or install them by hand." >&2
    exit 1
  fi
else
  SUDO=
fi

echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
