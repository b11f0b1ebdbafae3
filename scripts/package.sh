#!/usr/bin/env bash
# Makes the release packages dist/tarvemonix-2.8-win32.zip and
# dist/tarvemonix-2.8-win64.zip: each holds the stripped program, the reference
# file processinfo.dat, the help page and a short word for the user, 说明.txt,
# ready to unzip and run on Windows, and under policy/ the Group Policy
# template (tarvemonix.admx with its zh-CN and en-US tarvemonix.adml) for
# administrators. 说明.txt is kept as UTF-8 in res/ and packed as code page 936
# with CR LF line ends, as Notepad on a Chinese Windows reads it.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"

VERSION=2.8
install_packages
build_windows

DIST="$ROOT/dist"
mkdir -p "$DIST"
stage=""
trap 'rm -rf "$stage"' EXIT
for arch in 32 64; do
  use_arch "$arch"
  case "$arch" in 32) strip=i686-w64-mingw32-strip ;; 64) strip=x86_64-w64-mingw32-strip ;; esac
  stage="$(mktemp -d)"
  "$strip" -o "$stage/tarvemonix.exe" "$BUILD_WIN/tarvemonix.exe"
  cp "$ROOT/res/processinfo.dat" "$ROOT/res/tarvemonix_help.htm" "$stage/"
  iconv -f UTF-8 -t CP936 "$ROOT/res/说明.txt" | sed 's/\r*$/\r/' >"$stage/说明.txt"
  cp -r "$ROOT/res/policy" "$stage/policy"
  zip="$DIST/tarvemonix-$VERSION-win$arch.zip"
  rm -f "$zip"
  # A UTF-8 locale, in which the archiver reads the Chinese file name (and marks it UTF-8 in the zip).
  (cd "$stage" && LC_ALL=C.UTF-8 cmake -E tar cf "$zip" --format=zip tarvemonix.exe processinfo.dat tarvemonix_help.htm 说明.txt \
    policy/tarvemonix.admx policy/zh-CN/tarvemonix.adml policy/en-US/tarvemonix.adml)
  rm -rf "$stage"
  echo "$zip"
done
