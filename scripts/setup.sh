# Shared set-up of run.sh, test.sh and package.sh: packages, builds and the
# Wine prefixes. Sourced, not run.

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD_NATIVE="$ROOT/build/native"
BUILD_WIN32="$ROOT/build/win"
BUILD_WIN64="$ROOT/build/win64"
WINE32_LOADER="${TVX_WINE32_LOADER:-/usr/lib/wine/wine}"
WINE64_LOADER=/usr/lib/wine/wine64
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="mscoree,mshtml=d;winemenubuilder.exe=d;winebrowser.exe=d"
# Code page 936 for the program under Wine, whether or not the locale exists here
# (given to Wine alone: the shell would warn about a locale it does not have).
WINE_LOCALE=(env LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8)

PACKAGES=(cmake make g++ googletest libgtest-dev
          g++-mingw-w64-i686 mingw-w64-i686-dev g++-mingw-w64-x86-64 mingw-w64-x86-64-dev
          wine wine64 wine32:i386 fonts-wine xvfb xauth xdotool imagemagick fonts-arphic-uming
          clang-format-14 clang-tidy-14)

install_packages() {
  local missing=()
  for package in "${PACKAGES[@]}" "$@"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "ok installed" || missing+=("$package")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "== installing: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo dpkg --add-architecture i386
  $sudo apt-get update -qq
  local log
  log="$(mktemp)"
  if ! DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >"$log" 2>&1; then
    echo "!! apt-get install failed:" >&2
    tail -n 30 "$log" >&2
    rm -f "$log"
    return 1
  fi
  rm -f "$log"
}

# Whether this machine's kernel runs 32-bit programs, and so Wine's 32-bit
# loader; some kernels have that emulation switched off.
WINE32_REASON=""
machine_runs_32bit() {
  local answer
  if answer="$("$WINE32_LOADER" --version 2>&1)"; then
    return 0
  fi
  WINE32_REASON="$WINE32_LOADER --version: ${answer:-exit status $?}"
  return 1
}

# The Windows builds whose programs run on this machine: "32 64" or "64".
RUNNABLE_ARCHES=()
find_runnable_arches() {
  if machine_runs_32bit; then
    RUNNABLE_ARCHES=(32 64)
  else
    RUNNABLE_ARCHES=(64)
  fi
}

# Points the Wine variables at one architecture: its build folder, its own
# prefix and its loader.
use_arch() {
  case "$1" in
    32) BUILD_WIN="$BUILD_WIN32"; WINE="$WINE32_LOADER"; export WINEARCH=win32
        export WINEPREFIX="${TVX_WINEPREFIX32:-$ROOT/build/wineprefix32}" ;;
    64) BUILD_WIN="$BUILD_WIN64"; WINE="$WINE64_LOADER"; export WINEARCH=win64
        export WINEPREFIX="${TVX_WINEPREFIX64:-$ROOT/build/wineprefix64}" ;;
    *) echo "!! unknown architecture $1" >&2; return 1 ;;
  esac
}

build_native() {
  cmake -S "$ROOT" -B "$BUILD_NATIVE" -DCMAKE_BUILD_TYPE=Debug -DCMAKE_EXPORT_COMPILE_COMMANDS=ON \
        -DCMAKE_CXX_FLAGS="-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer" >/dev/null
  cmake --build "$BUILD_NATIVE" -j "$(build_jobs)"
}

# Configures the Windows build of one architecture (32 or 64), with any further
# cmake arguments, and points the Wine variables at it.
configure_windows() {
  local arch="$1" toolchain
  shift
  case "$arch" in 32) toolchain=mingw-i686 ;; 64) toolchain=mingw-x86_64 ;; esac
  use_arch "$arch"
  echo "== building the ${arch}-bit Windows program in ${BUILD_WIN#"$ROOT"/}"
  cmake -S "$ROOT" -B "$BUILD_WIN" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/$toolchain.cmake" \
        -DCMAKE_BUILD_TYPE=Release -DCMAKE_EXPORT_COMPILE_COMMANDS=ON "$@" >/dev/null
}

# Parallel build jobs: every processor unless TVX_BUILD_JOBS says otherwise.
build_jobs() { echo "${TVX_BUILD_JOBS:-$(nproc)}"; }

build_windows() {
  for arch in 32 64; do
    configure_windows "$arch" "$@"
    cmake --build "$BUILD_WIN" -j "$(build_jobs)"
  done
}

build_all() {
  build_native
  build_windows
}

# A prefix of the current architecture with "宋体" mapped to an installed
# Song-style font, and windows not managed by the X window manager: without a
# window manager on Xvfb every hidden or destroyed managed window would cost a
# two-second wait.
PREFIX_MARK=".tvx-ready-3"
prepare_prefix() {
  [ -f "$WINEPREFIX/$PREFIX_MARK" ] && return 0
  echo "== preparing the $WINEARCH Wine prefix ${WINEPREFIX#"$ROOT"/}"
  rm -rf "$WINEPREFIX"
  mkdir -p "$(dirname "$WINEPREFIX")"
  local log="$WINEPREFIX.log"
  "${WINE_LOCALE[@]}" "$WINE" wineboot -i >"$log" 2>&1 || true
  wineserver -w
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "!! wineboot made no prefix in $WINEPREFIX; its output:" >&2
    tail -n 30 "$log" >&2
    return 1
  fi
  local reg="$WINEPREFIX/tvx-settings.reg"
  printf '%s\r\n' 'Windows Registry Editor Version 5.00' '' \
    '[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]' \
    '"宋体"="AR PL UMing CN"' '"SimSun"="AR PL UMing CN"' '"MS Shell Dlg"="AR PL UMing CN"' '' \
    '[HKEY_CURRENT_USER\Control Panel\Desktop]' \
    '"FontSmoothing"="2"' '"FontSmoothingType"=dword:00000001' '"FontSmoothingGamma"=dword:00000578' \
    '"FontSmoothingOrientation"=dword:00000001' '' \
    '[HKEY_CURRENT_USER\Software\Wine\X11 Driver]' '"Managed"="N"' '' \
    | iconv -f UTF-8 -t UTF-16LE | { printf '\xff\xfe'; cat; } >"$reg"
  if ! "${WINE_LOCALE[@]}" "$WINE" regedit /S "$reg" >>"$log" 2>&1; then
    echo "!! regedit could not import $reg; its output:" >&2
    tail -n 30 "$log" >&2
    return 1
  fi
  wineserver -w
  touch "$WINEPREFIX/$PREFIX_MARK"
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

# Ends the Wine processes of every prefix this run used, then the Xvfb.
stop_wine_and_xvfb() {
  local prefix
  # A prefix whose server has already ended answers with a failure: that is fine.
  for prefix in "${TVX_WINEPREFIX32:-$ROOT/build/wineprefix32}" "${TVX_WINEPREFIX64:-$ROOT/build/wineprefix64}"; do
    if [ -d "$prefix" ]; then WINEPREFIX="$prefix" wineserver -k >/dev/null 2>&1 || true; fi
  done
  if [ -n "$XVFB_PID" ]; then kill "$XVFB_PID" 2>/dev/null || true; fi
  XVFB_PID=""
  return 0
}

# ---- Runs of the real program driven from outside (soak.sh, hostile.sh) -----

# The 64-bit program, the sleeper and the driver built, and the prefix ready.
prepare_driven_runs() {
  install_packages
  configure_windows 64
  cmake --build "$BUILD_WIN" -j "$(build_jobs)" --target tarvemonix tvx_sleeper tvx_soak_driver
  prepare_prefix
}

# A Unix path as the programs under Wine name it (Z: is the Unix root).
windows_path() { printf 'Z:%s' "${1//\//\\}"; }

# Lets the prefix's Wine processes end by themselves once the driver has ended
# what it started, ends them if they do not, then stops the Xvfb.
finish_driven_run() {
  timeout 60 wineserver -w >/dev/null 2>&1 || wineserver -k >/dev/null 2>&1 || true
  if [ -n "$XVFB_PID" ]; then kill "$XVFB_PID" 2>/dev/null || true; fi
  XVFB_PID=""
  return 0
}
