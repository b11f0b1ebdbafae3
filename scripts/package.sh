#!/usr/bin/env bash
# Makes the release packages dist/tarvemonix-2.8-win32.zip and
# dist/tarvemonix-2.8-win64.zip: each holds the stripped program, the reference
# file processinfo.dat and the help page, ready to unzip and run on Windows.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"

VERSION=2.8
install_packages
build_windows

DIST="$ROOT/dist"
mkdir -p "$DIST"
for arch in 32 64; do
  use_arch "$arch"
  case "$arch" in 32) strip=i686-w64-mingw32-strip ;; 64) strip=x86_64-w64-mingw32-strip ;; esac
  stage="$(mktemp -d)"
  "$strip" -o "$stage/tarvemonix.exe" "$BUILD_WIN/tarvemonix.exe"
  cp "$ROOT/res/processinfo.dat" "$ROOT/res/tarvemonix_help.htm" "$stage/"
  zip="$DIST/tarvemonix-$VERSION-win$arch.zip"
  rm -f "$zip"
  (cd "$stage" && cmake -E tar cf "$zip" --format=zip tarvemonix.exe processinfo.dat tarvemonix_help.htm)
  rm -rf "$stage"
  echo "$zip"
done
