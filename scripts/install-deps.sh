#!/usr/bin/env bash
# Installs the Debian packages that the build, the tests and the program need.
# Idempotent: packages already installed are skipped; runs as root or through sudo.
set -euo pipefail

PACKAGES=(
  # build
  cmake g++ make pkg-config git
  qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins libgl-dev libxcb1-dev
  zlib1g-dev libmbedtls-dev libcurl4-openssl-dev libarchive-dev libb2-dev
  libcpp-httplib-dev libuchardet-dev libcli11-dev nlohmann-json3-dev
  libgtest-dev libgmock-dev libbenchmark-dev libespeak-ng-dev
  libavformat-dev libavcodec-dev libswresample-dev libavutil-dev
  clang libclang-rt-14-dev
  # run time
  mplayer 7zip unar espeak-ng espeak-ng-data fontconfig fonts-liberation xdg-utils shared-mime-info desktop-file-utils
  # tests
  ffmpeg xvfb xauth xdotool x11-utils openbox python3 libglib2.0-bin sox libexpat1-dev
  # a Wayland desktop for the window tests: the compositor, XWayland, Qt's wayland platform
  weston xwayland qt6-wayland
  # the Debian package and its check
  dpkg-dev fakeroot lintian
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  SUDO="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
