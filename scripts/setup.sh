# Shared set-up of run.sh and test.sh: packages, builds and the Wine prefix.
# Sourced, not run.

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD_NATIVE="$ROOT/build/native"
BUILD_WIN="$ROOT/build/win"
export WINEPREFIX="${TVX_WINEPREFIX:-$ROOT/build/wineprefix}"
export WINEARCH=win32
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=d;winemenubuilder.exe=d;winebrowser.exe=d"
# Code page 936 for the program under Wine, whether or not the locale exists here
# (given to Wine alone: the shell would warn about a locale it does not have).
WINE_LOCALE=(env LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8)

PACKAGES=(cmake make g++ googletest libgtest-dev g++-mingw-w64-i686 mingw-w64-i686-dev
          wine wine64 wine32:i386 fonts-wine xvfb xauth xdotool imagemagick fonts-wqy-zenhei)

install_packages() {
  local missing=()
  for package in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "ok installed" || missing+=("$package")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "== installing: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo dpkg --add-architecture i386
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
}

build_all() {
  local jobs
  jobs="$(nproc)"
  cmake -S "$ROOT" -B "$BUILD_NATIVE" -DCMAKE_BUILD_TYPE=Debug \
        -DCMAKE_CXX_FLAGS="-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer" >/dev/null
  cmake --build "$BUILD_NATIVE" -j "$jobs"
  cmake -S "$ROOT" -B "$BUILD_WIN" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-i686.cmake" \
        -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$BUILD_WIN" -j "$jobs"
}

# A 32-bit prefix with "宋体" mapped to an installed CJK font, and windows not
# managed by the X window manager: without a window manager on Xvfb every
# hidden or destroyed managed window would cost a two-second wait.
PREFIX_MARK=".tvx-ready-2"
prepare_prefix() {
  if [ ! -f "$WINEPREFIX/$PREFIX_MARK" ]; then
    echo "== preparing Wine prefix $WINEPREFIX"
    rm -rf "$WINEPREFIX"
    mkdir -p "$(dirname "$WINEPREFIX")"
    "${WINE_LOCALE[@]}" wineboot -i >/dev/null 2>&1 || true
    wineserver -w
    local reg="$WINEPREFIX/fonts.reg"
    printf 'Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]\r\n"宋体"="WenQuanYi Zen Hei"\r\n"SimSun"="WenQuanYi Zen Hei"\r\n"MS Shell Dlg"="WenQuanYi Zen Hei"\r\n\r\n[HKEY_CURRENT_USER\\Software\\Wine\\X11 Driver]\r\n"Managed"="N"\r\n' \
      | iconv -f UTF-8 -t UTF-16LE | { printf '\xff\xfe'; cat; } > "$reg"
    "${WINE_LOCALE[@]}" wine regedit /S "$reg" >/dev/null 2>&1 || true
    wineserver -w
    touch "$WINEPREFIX/$PREFIX_MARK"
  fi
}

XVFB_PID=""
start_xvfb() {
  local fifo
  fifo="$(mktemp -u)"
  mkfifo "$fifo"
  Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
  XVFB_PID=$!
  local display
  read -r display <"$fifo"
  rm -f "$fifo"
  export DISPLAY=":$display"
}

stop_xvfb() {
  wineserver -k >/dev/null 2>&1 || true
  [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null || true
  XVFB_PID=""
}
