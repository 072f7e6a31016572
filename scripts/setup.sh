#!/usr/bin/env bash
# Installs the Debian 12 packages the program and its tests need (sudo when not root).
set -euo pipefail
# clang and its sanitizer runtime: the sanitizer build uses the second compiler, so both
# compilers see every file. The URW fonts are the tests' second font set (scripts/test.sh).
pkgs=(build-essential cmake ninja-build pkg-config clang libclang-rt-14-dev
      qt6-base-dev qt6-serialport-dev qt6-translations-l10n libgl-dev
      libgtest-dev libgmock-dev libbenchmark-dev fonts-urw-base35)
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  # Through env: sudo resets the environment, and a package's question would stop the
  # install.
  $SUDO env DEBIAN_FRONTEND=noninteractive apt-get update -qq
  $SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}"
fi
