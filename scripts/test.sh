#!/usr/bin/env bash
# Installs what is needed, then builds and runs every test twice: a normal build (g++) and
# one with AddressSanitizer and UndefinedBehaviorSanitizer (clang++), so that both compilers
# see every file. The normal build's tests run once more with a second font set, the URW
# fonts alone, so that no window layout holds only for the fonts of one machine. Fails on
# any failure.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
jobs=$(nproc)
for variant in normal sanitize; do
  dir=build-test-$variant
  flags=(-DCMAKE_BUILD_TYPE=Debug)
  [ "$variant" = sanitize ] && flags+=(-DORVID_SANITIZE=ON -DORVID_BENCH=OFF
                                       -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang)
  echo "== $variant build =="
  cmake -S . -B "$dir" -G Ninja "${flags[@]}"
  cmake --build "$dir" -j "$jobs"
  echo "== $variant tests =="
  # A test that hangs (a modal loop nobody closes) fails after two minutes instead of
  # holding up the whole run.
  ctest --test-dir "$dir" --output-on-failure -j "$jobs" --timeout 120
  if [ "$variant" = normal ]; then
    echo "== normal tests with the URW fonts only =="
    fonts=$(mktemp -d)
    cat > "$fonts/fonts.conf" <<CONF
<?xml version="1.0"?>
<!DOCTYPE fontconfig SYSTEM "fonts.dtd">
<fontconfig>
  <dir>/usr/share/fonts/opentype/urw-base35</dir>
  <cachedir>$fonts/cache</cachedir>
  <include ignore_missing="yes">/etc/fonts/conf.d</include>
</fontconfig>
CONF
    status=0
    FONTCONFIG_FILE="$fonts/fonts.conf" ctest --test-dir "$dir" --output-on-failure -j "$jobs" --timeout 120 ||
      status=$?
    rm -rf "$fonts"
    [ "$status" -eq 0 ] || exit "$status"
  fi
done
