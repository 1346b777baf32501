#!/usr/bin/env bash
# Installs every Debian package the build, the program and the tests need.
# Idempotent: only missing packages are fetched.
set -euo pipefail
PKGS=(
  build-essential cmake ninja-build ccache pkg-config
  qtbase5-dev qtbase5-dev-tools libqt5sql5-sqlite libqt5serialport5-dev
  libqt5charts5-dev qtconnectivity5-dev qttools5-dev qttools5-dev-tools
  libqt5svg5-dev libsqlite3-dev libxlsxwriter-dev qttranslations5-l10n
  libqt5sql5-psql libpq-dev postgresql postgresql-client
  socat python3 python3-aiosmtpd python3-openpyxl python3-pymodbus python3-serial-asyncio poppler-utils
  dbus-daemon python3-dbus python3-gi
  xvfb xauth imagemagick xdg-utils fonts-noto-cjk
  libclang-rt-14-dev clang
)
missing=()
for p in "${PKGS[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  SUDO=""
  [[ $(id -u) -ne 0 ]] && SUDO="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
