# Shared set-up of the scripts: packages, builds, the Wine prefixes, the
# private display and the program's start. Sourced, not run.

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
          clang-format-14 clang-tidy-14 locales libxml2-utils)

# dpkg's lock and /etc/locale.gen belong to the machine, not to a checkout: one
# run at a time installs, and a second one waits for it (up to
# TVX_PACKAGE_LOCK_WAIT seconds) and then installs only what is still missing.
PACKAGE_LOCK="${TVX_PACKAGE_LOCK:-/tmp/tvx-packages.lock}"
install_packages() {
  local sudo="" status=0
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  find_missing_packages "$@"
  [ ${#MISSING_PACKAGES[@]} -eq 0 ] && wine_locales_present && return 0
  hold_lock "$PACKAGE_LOCK" "the installation of packages" "${TVX_PACKAGE_LOCK_WAIT:-1800}" || return 1
  find_missing_packages "$@"
  install_missing_packages "$sudo" && generate_wine_locale "$sudo" || status=1
  release_lock "$PACKAGE_LOCK"
  return $status
}

# The packages of PACKAGES and of the arguments not installed yet
# (MISSING_PACKAGES); wine32:i386 only where it is worth trying.
MISSING_PACKAGES=()
find_missing_packages() {
  local package
  MISSING_PACKAGES=()
  for package in "${PACKAGES[@]}" "$@"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "ok installed" && continue
    [ "$package" = "wine32:i386" ] && ! wine32_worth_trying && continue
    MISSING_PACKAGES+=("$package")
  done
}

install_missing_packages() {  # install_missing_packages SUDO
  local sudo="$1" update_errors log
  [ ${#MISSING_PACKAGES[@]} -gt 0 ] || return 0
  echo "== installing: ${MISSING_PACKAGES[*]}"
  if [[ " ${MISSING_PACKAGES[*]} " == *":i386 "* ]]; then $sudo dpkg --add-architecture i386 || return 1; fi
  update_errors="$(update_package_lists "$sudo")"
  if [ -n "$update_errors" ]; then
    echo "!! apt-get update could not fetch every package list; installing from the lists it has:" >&2
    printf '%s\n' "$update_errors" >&2
  fi
  log="$(mktemp)"
  # env carries the variable through sudo, which would drop it; -q (not -qq)
  # keeps the unmet dependencies in the log when the install fails.
  if ! $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -q "${MISSING_PACKAGES[@]}" >"$log" 2>&1; then
    echo "!! apt-get install of ${MISSING_PACKAGES[*]} failed:" >&2
    tail -n 30 "$log" >&2
    [ -z "$update_errors" ] || echo "   (apt-get update had failed to fetch some package lists: see above)" >&2
    if ! install_without_wine32 "$sudo" "$log" "${MISSING_PACKAGES[@]}"; then
      rm -f "$log"
      return 1
    fi
  fi
  rm -f "$log"
}

# Whether this machine's kernel runs 32-bit x86 programs: a 93-byte program
# that does nothing but exit with status 42 is run (TVX_KERNEL32_PROBE names
# another program to run instead). Where the kernel runs none, Wine's 32-bit
# half could start nothing.
kernel_runs_32bit() {
  local probe="${TVX_KERNEL32_PROBE:-}" made="" status=0
  if [ -z "$probe" ]; then
    # In build/ rather than a temporary folder, which may be mounted noexec.
    made="$(mkdir -p "$ROOT/build" && mktemp "$ROOT/build/.probe32.XXXXXX" 2>/dev/null || mktemp)" || return 1
    probe="$made"
    # ELF header, one loadable segment, then: xor ebx,ebx; mov bl,42; xor eax,eax; inc eax; int 0x80
    printf '\x7fELF\x01\x01\x01\0\0\0\0\0\0\0\0\0\x02\0\x03\0\x01\0\0\0\x54\x80\x04\x08\x34\0\0\0\0\0\0\0\0\0\0\0%b%b%b' \
      '\x34\0\x20\0\x01\0\0\0\0\0\0\0' \
      '\x01\0\0\0\0\0\0\0\0\x80\x04\x08\0\x80\x04\x08\x5d\0\0\0\x5d\0\0\0\x05\0\0\0\0\x10\0\0' \
      '\x31\xdb\xb3\x2a\x31\xc0\x40\xcd\x80' >"$probe" && chmod +x "$probe" || { rm -f "$made"; return 1; }
  fi
  "$probe" >/dev/null 2>&1 || status=$?
  [ -z "$made" ] || rm -f "$made"
  [ "$status" -eq 42 ]
}

# A failed install of wine32:i386 is remembered for a day (in WINE32_NOTE, for
# every checkout on the machine): each try costs about a minute of apt. Remove
# the note to try again sooner.
WINE32_NOTE="${TVX_WINE32_NOTE:-/var/tmp/tvx-wine32-unavailable}"
WINE32_RETRY_SECONDS=86400
wine32_worth_trying() {
  [ -z "$WINE32_UNAVAILABLE" ] || return 1
  if ! kernel_runs_32bit; then
    WINE32_UNAVAILABLE="this machine's kernel runs no 32-bit programs, so wine32:i386 is not installed"
    return 1
  fi
  local noted
  noted="$(stat -c %Y "$WINE32_NOTE" 2>/dev/null)" || return 0
  [ $(($(date +%s) - noted)) -ge "$WINE32_RETRY_SECONDS" ] && return 0
  WINE32_UNAVAILABLE="wine32:i386 could not be installed $(date -d "@$noted" '+%F %T') (remove $WINE32_NOTE to try again)"
  return 1
}

# Where only Wine's 32-bit part cannot be had from the package lists (their
# i386 half in the middle of a mirror's sync, say), the rest is installed and
# the runs go on with the 64-bit build alone, saying why (WINE32_UNAVAILABLE).
export WINE32_UNAVAILABLE="${WINE32_UNAVAILABLE:-}"
install_without_wine32() {  # install_without_wine32 SUDO LOG PACKAGE...
  local sudo="$1" log="$2" package rest=()
  shift 2
  for package in "$@"; do [ "$package" = "wine32:i386" ] || rest+=("$package"); done
  [ ${#rest[@]} -lt $# ] || return 1
  if [ ${#rest[@]} -gt 0 ] &&
     ! $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -q "${rest[@]}" >"$log" 2>&1; then
    return 1
  fi
  WINE32_UNAVAILABLE="wine32:i386 could not be installed from this machine's package lists"
  echo "!! $WINE32_UNAVAILABLE; everything else is installed, and the 32-bit Win32 tests cannot run" >&2
  echo "$WINE32_UNAVAILABLE" >"$WINE32_NOTE" 2>/dev/null || true
}

# apt-get update, tried again a few times while a mirror fails to give some
# package lists (a mirror in the middle of a sync, say). Prints the errors of
# the last try when they stay; the install that follows then says what it lacks.
update_package_lists() {  # update_package_lists SUDO
  local output attempt
  for attempt in 1 2 3; do
    output="$($1 apt-get update -qq 2>&1)" && ! grep -q '^E:' <<<"$output" && return 0
    [ "$attempt" -lt 3 ] || break
    echo "== apt-get update could not fetch every package list; again in ${TVX_APT_RETRY_PAUSE:-20} s" >&2
    sleep "${TVX_APT_RETRY_PAUSE:-20}"
  done
  grep '^[EW]:' <<<"$output" || printf '%s\n' "$output"
}

# Wine names the Unix side of every path in the character set of the locale it
# runs in: without the locale on the machine it can only spell ASCII names, and
# a folder named in any other letters cannot be opened. zh_CN.UTF-8 for every
# run, en_US.UTF-8 for the tests on another code page. Made where the package
# list holds locales (the scripts that run Wine).
WINE_LOCALES=(zh_CN en_US)
MISSING_LOCALES=()
wine_locales_present() {
  [[ " ${PACKAGES[*]} " == *" locales "* ]] || return 0
  local name
  MISSING_LOCALES=()
  for name in "${WINE_LOCALES[@]}"; do
    locale -a 2>/dev/null | grep -qix "$name\.utf-\?8" || MISSING_LOCALES+=("$name")
  done
  [ ${#MISSING_LOCALES[@]} -eq 0 ]
}
generate_wine_locale() {  # generate_wine_locale SUDO
  wine_locales_present && return 0
  local name missing=("${MISSING_LOCALES[@]}")
  echo "== generating the locales ${missing[*]/%/.UTF-8}"
  for name in "${missing[@]}"; do
    grep -qx "$name.UTF-8 UTF-8" /etc/locale.gen 2>/dev/null && continue
    $1 sed -i "s/^# *\($name\.UTF-8 UTF-8\)\$/\1/" /etc/locale.gen || return 1
    grep -qx "$name.UTF-8 UTF-8" /etc/locale.gen || echo "$name.UTF-8 UTF-8" | $1 tee -a /etc/locale.gen >/dev/null || return 1
  done
  $1 locale-gen >/dev/null || { echo "!! locale-gen could not make ${missing[*]/%/.UTF-8}" >&2; return 1; }
}

# The project's files matching the git patterns, committed or new and not
# ignored. Fails, saying why, when git lists none (a tree without .git, or a
# checkout git refuses as of "dubious ownership"): the format and lint checks
# would otherwise pass without checking anything.
project_files() {
  local listed
  listed="$(git -C "$ROOT" ls-files --cached --others --exclude-standard "$@" 2>/dev/null)" || listed=""
  if [ -z "$listed" ]; then
    echo "!! git lists no project files ($*) in $ROOT, so nothing can be checked. git says:" >&2
    git -C "$ROOT" ls-files >/dev/null || true
    echo "   In a checkout of another user: git config --global --add safe.directory $ROOT" >&2
    return 1
  fi
  printf '%s\n' "$listed"
}

# Whether this machine's kernel runs 32-bit programs, and so Wine's 32-bit
# loader; some kernels have that emulation switched off, and executing the
# loader then fails with ENOEXEC ("Exec format error"; bash's status 126).
# Returns 1 there, with the reason in WINE32_REASON; 2, saying so, when the
# loader fails in any other way (missing, broken): that is a fault to mend.
WINE32_REASON=""
machine_runs_32bit() {
  local answer status=0
  answer="$("$WINE32_LOADER" --version 2>&1)" || status=$?
  [ "$status" -eq 0 ] && return 0
  if [ -n "$WINE32_UNAVAILABLE" ]; then
    WINE32_REASON="$WINE32_UNAVAILABLE"
    return 1
  fi
  WINE32_REASON="$WINE32_LOADER --version: ${answer:-no output} (exit status $status)"
  [ "$status" -eq 126 ] && grep -q "Exec format error" <<<"$answer" && return 1
  echo "!! Wine's 32-bit loader fails: $WINE32_REASON" >&2
  return 2
}

# The Windows builds whose programs run on this machine: "32 64" or "64".
# Fails when the 32-bit loader fails for another reason than the kernel's.
RUNNABLE_ARCHES=()
find_runnable_arches() {
  local status=0
  machine_runs_32bit || status=$?
  case "$status" in
    0) RUNNABLE_ARCHES=(32 64) ;;
    1) RUNNABLE_ARCHES=(64) ;;
    *) RUNNABLE_ARCHES=(); return 1 ;;
  esac
}

# Takes LOCKFILE for the rest of this run (or until release_lock): the open
# file holds the lock, and the scripts this run starts inherit it, so they hold
# it too. While another run holds it, waits up to WAIT seconds (default 0),
# naming that run, then is refused, naming it again.
declare -A HELD_LOCKS=()
hold_lock() {  # hold_lock LOCKFILE WHAT [WAIT]
  local lock what="$2" wait="${3:-0}" fd link holder
  mkdir -p "$(dirname "$1")" || return 1
  lock="$(realpath -m "$1")"
  for link in "/proc/$$/fd/"*; do
    [ "$(readlink "$link")" = "$lock" ] && return 0
  done
  exec {fd}<>"$lock" || return 1
  if ! flock -n "$fd" && { [ "$wait" -eq 0 ] || ! wait_for_lock "$fd" "$lock" "$what" "$wait"; }; then
    exec {fd}>&-
    holder="$(cat "$lock" 2>/dev/null)"
    local pid="${holder#pid }"
    pid="${pid%%,*}"
    [ -n "$pid" ] && ! kill -0 "$pid" 2>/dev/null && holder+=", which has ended, but programs it started still run"
    echo "!! another run holds $what: ${holder:-a run that gave no name} ($lock)." >&2
    echo "   This run stops and leaves it alone; start it again once that run has ended." >&2
    return 1
  fi
  HELD_LOCKS["$lock"]="$fd"
  printf 'pid %s, %s, since %s\n' "$$" "${BASH_SOURCE[-1]#"$ROOT"/}" "$(date '+%F %T')" >"$lock"
}

wait_for_lock() {  # wait_for_lock FD LOCKFILE WHAT WAIT
  echo "== waiting up to $4 s for another run that holds $3: $(cat "$2" 2>/dev/null)" >&2
  flock -w "$4" "$1"
}

# Gives up one lock this shell took (not one it inherited).
release_lock() {  # release_lock LOCKFILE
  local lock fd
  lock="$(realpath -m "$1")"
  fd="${HELD_LOCKS[$lock]:-}"
  [ -n "$fd" ] || return 0
  exec {fd}>&-
  unset 'HELD_LOCKS[$lock]'
}

# Gives up the locks, before this shell becomes a program that outlives the run.
release_locks() {
  local fd
  for fd in "${HELD_LOCKS[@]}"; do exec {fd}>&-; done
  HELD_LOCKS=()
}

lock_build_folder() { hold_lock "$ROOT/build/tvx-build.lock" "the build folder ${ROOT}/build"; }
# Beside the prefix, not in it: the scripts may delete the prefix and make it again.
lock_prefix() { hold_lock "$(realpath -m "$WINEPREFIX").lock" "the Wine prefix $WINEPREFIX"; }

# Points the Wine variables at one architecture: its build folder, its loader
# and a prefix of that architecture. The runs the scripts start and end
# themselves (tests, screenshots, soak, benchmark) use the test prefix in build/
# (TVX_WINEPREFIX32 / TVX_WINEPREFIX64 choose another); the program run.sh leaves
# running for its user has one of its own in run/ ("use_arch 32 run"), so those
# runs neither meet it (one copy runs per prefix) nor end it.
use_arch() {  # use_arch 32|64 [test|run]
  local test_prefix
  case "$1" in
    32) BUILD_WIN="$BUILD_WIN32"; WINE="$WINE32_LOADER"; export WINEARCH=win32
        test_prefix="${TVX_WINEPREFIX32:-$ROOT/build/wineprefix32}" ;;
    64) BUILD_WIN="$BUILD_WIN64"; WINE="$WINE64_LOADER"; export WINEARCH=win64
        test_prefix="${TVX_WINEPREFIX64:-$ROOT/build/wineprefix64}" ;;
    *) echo "!! unknown architecture $1" >&2; return 1 ;;
  esac
  case "${2:-test}" in
    test) export WINEPREFIX="$test_prefix" ;;
    run) export WINEPREFIX="$ROOT/run/wineprefix$1" ;;
    *) echo "!! unknown kind of prefix $2" >&2; return 1 ;;
  esac
}

build_native() {
  lock_build_folder || return 1
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
  lock_build_folder || return 1
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
# Song-style font; Wine's Marlett font in its Fonts folder, where Wine looks for
# it (it draws the caption buttons with it; without it they show as letters);
# and windows not managed by the X window manager: without a window manager on
# Xvfb every hidden or destroyed managed window would cost a two-second wait.
#
# The scripts delete no folder they did not make. They write PREFIX_OWNED_MARK
# into the empty folder before making a prefix there, and PREFIX_MARK once it
# is ready (earlier versions wrote only a ".tvx-ready*" mark, and only into
# prefixes they had made). A prefix of theirs that is not ready, or was made by
# an earlier version, is made again; a folder that is not empty and carries
# neither mark is refused and left as it is.
PREFIX_MARK=".tvx-ready-4"
PREFIX_OWNED_MARK=".tvx-made"
MARLETT_FONT=/usr/share/wine/fonts/marlett.ttf
prepare_prefix() {
  [ -f "$WINEPREFIX/$PREFIX_MARK" ] && return 0
  local shown="${WINEPREFIX#"$ROOT"/}"
  if prefix_made_by_scripts; then
    if ! prefix_idle; then
      echo "!! the Wine prefix $shown is made again for this version, but Wine programs still run in it: end them first" >&2
      return 1
    fi
    rm -rf "$WINEPREFIX"
  elif [ -e "$WINEPREFIX" ] && { [ ! -d "$WINEPREFIX" ] || [ -n "$(ls -A "$WINEPREFIX")" ]; }; then
    echo "!! $WINEPREFIX is not empty and has no $PREFIX_OWNED_MARK: these scripts did not make it, so they" >&2
    echo "   neither use nor delete it. Point TVX_WINEPREFIX${WINEARCH#win} at a new or empty folder, or move it away." >&2
    return 1
  fi
  if [ ! -f "$MARLETT_FONT" ]; then
    echo "!! Wine's Marlett font $MARLETT_FONT is missing (package fonts-wine)" >&2
    return 1
  fi
  echo "== preparing the $WINEARCH Wine prefix $shown"
  # Each step is checked: set -e does not apply in a function called as
  # "prepare_prefix || ...", and a step that failed must not mark it ready.
  mkdir -p "$WINEPREFIX" && touch "$WINEPREFIX/$PREFIX_OWNED_MARK" || return 1
  local log="$WINEPREFIX/tvx-prepare.log"
  # Its status says little; whether it made the prefix is checked below.
  "${WINE_LOCALE[@]}" "$WINE" wineboot -i >"$log" 2>&1 || true
  wait_for_wine_server || return 1
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "!! wineboot made no prefix in $WINEPREFIX; its output:" >&2
    tail -n 30 "$log" >&2
    return 1
  fi
  cp "$MARLETT_FONT" "$WINEPREFIX/drive_c/windows/Fonts/" || return 1
  local reg="$WINEPREFIX/tvx-settings.reg"
  printf '%s\r\n' 'Windows Registry Editor Version 5.00' '' \
    '[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]' \
    '"宋体"="AR PL UMing CN"' '"SimSun"="AR PL UMing CN"' '"MS Shell Dlg"="AR PL UMing CN"' '' \
    '[HKEY_CURRENT_USER\Control Panel\Desktop]' \
    '"FontSmoothing"="2"' '"FontSmoothingType"=dword:00000001' '"FontSmoothingGamma"=dword:00000578' \
    '"FontSmoothingOrientation"=dword:00000001' '' \
    '[HKEY_CURRENT_USER\Software\Wine\X11 Driver]' '"Managed"="N"' '' \
    | iconv -f UTF-8 -t UTF-16LE | { printf '\xff\xfe'; cat; } >"$reg" || return 1
  if ! "${WINE_LOCALE[@]}" "$WINE" regedit /S "$reg" >>"$log" 2>&1; then
    echo "!! regedit could not import $reg; its output:" >&2
    tail -n 30 "$log" >&2
    return 1
  fi
  wait_for_wine_server || return 1
  touch "$WINEPREFIX/$PREFIX_MARK"
}

# The quoted part of the pattern is taken literally: a glob character in the
# prefix's path must not match a sibling folder's mark.
prefix_made_by_scripts() {
  local mark
  [ -f "$WINEPREFIX/$PREFIX_OWNED_MARK" ] && return 0
  for mark in "$WINEPREFIX"/.tvx-ready*; do
    [ -f "$mark" ] && return 0
  done
  return 1
}

# Waits for the prefix's Wine server to end after wineboot or regedit.
wait_for_wine_server() {
  timeout 120 wineserver -w && return 0
  echo "!! Wine's server in ${WINEPREFIX#"$ROOT"/} did not end within 120 s" >&2
  return 1
}

# Whether no Wine program runs in the current prefix: waits up to 15 s for its
# server to end (a server stays a few seconds after its last program).
prefix_idle() { timeout 15 wineserver -w >/dev/null 2>&1; }

# The prefixes this run took: its clean-up ends the programs in these alone.
CLAIMED_PREFIXES=()

# Takes the current prefix for this run (locked for the run's life), prepares
# it, and lets this run's clean-up end the Wine programs left in it; refused
# while another run holds it or another run's programs are in it.
claim_prefix() {
  lock_prefix || return 1
  prepare_prefix || return 1
  if ! prefix_idle; then
    echo "!! Wine programs of another run are in the prefix ${WINEPREFIX#"$ROOT"/}: this run leaves them alone and" >&2
    echo "   stops. Let that run end, or end them yourself: WINEPREFIX=$WINEPREFIX wineserver -k" >&2
    return 1
  fi
  CLAIMED_PREFIXES+=("$WINEPREFIX")
}

# The program's settings (window place, column widths, the list's order) in
# the current prefix, removed before a run that starts the program: one run's
# clean exit would otherwise change what the next run shows. Refused for the
# prefixes in run/, which run.sh keeps for its user's own settings.
PROGRAM_SETTINGS_KEY='HKCU\Software\tarvemonix'
clear_program_settings() {
  case "$(realpath -m "$WINEPREFIX")/" in
    "$(realpath -m "$ROOT")"/run/*)
      echo "!! ${WINEPREFIX#"$ROOT"/} is the user's own prefix: its settings stay as they are" >&2
      return 1 ;;
  esac
  # Fails where the key is missing already: what counts is that it is gone.
  "$WINE" reg delete "$PROGRAM_SETTINGS_KEY" /f >/dev/null 2>&1 || true
  if "$WINE" reg query "$PROGRAM_SETTINGS_KEY" >/dev/null 2>&1; then
    echo "!! the program's settings $PROGRAM_SETTINGS_KEY could not be removed from ${WINEPREFIX#"$ROOT"/}" >&2
    return 1
  fi
}

# Ends the Wine programs a hung or crashed test left in the current prefix
# (one this run holds), so that the checks after it find the prefix idle.
end_leftover_programs() {
  prefix_idle && return 0
  echo "!! Wine programs were left in the prefix ${WINEPREFIX#"$ROOT"/}: ending them" >&2
  wineserver -k >/dev/null 2>&1 || true
  prefix_idle
}

# Starts a private Xvfb and points DISPLAY at it; says why when it fails.
XVFB_PID=""
start_xvfb() {
  local scratch display=""
  scratch="$(mktemp -d)"
  mkfifo "$scratch/display"
  Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$scratch/display" >"$scratch/output" 2>&1 &
  XVFB_PID=$!
  # Xvfb writes its display number once it is ready; one that fails closes the pipe.
  read -r -t 30 display <"$scratch/display" || true
  if [ -z "$display" ]; then
    echo "!! Xvfb did not start; its output:" >&2
    tail -n 20 "$scratch/output" >&2
    kill "$XVFB_PID" 2>/dev/null || true
    XVFB_PID=""
    rm -rf "$scratch"
    return 1
  fi
  rm -rf "$scratch"
  export DISPLAY=":$display"
}

# Ends the Wine programs left in the prefixes this run took, then its Xvfb.
stop_wine_and_xvfb() {
  local prefix
  # A prefix whose server has already ended answers with a failure: that is fine.
  for prefix in "${CLAIMED_PREFIXES[@]}"; do
    WINEPREFIX="$prefix" wineserver -k >/dev/null 2>&1 || true
  done
  CLAIMED_PREFIXES=()
  if [ -n "$XVFB_PID" ]; then kill "$XVFB_PID" 2>/dev/null || true; fi
  XVFB_PID=""
  return 0
}

# Starts tarvemonix.exe of the current folder under Wine on $DISPLAY and waits
# up to 30 s for its main window (PROGRAM_PID, PROGRAM_WINDOW); says what
# failed when the program ends first or shows no window.
PROGRAM_PID=""
PROGRAM_WINDOW=""
start_program() {
  local output status=0
  output="$(mktemp)"
  "${WINE_LOCALE[@]}" "$WINE" tarvemonix.exe >"$output" 2>&1 &
  PROGRAM_PID=$!
  PROGRAM_WINDOW=""
  for _ in {1..60}; do
    PROGRAM_WINDOW="$(xdotool search --name 'V2\.8' 2>/dev/null | head -n 1)" || true
    if [ -n "$PROGRAM_WINDOW" ] || ! kill -0 "$PROGRAM_PID" 2>/dev/null; then break; fi
    sleep 0.5
  done
  if [ -n "$PROGRAM_WINDOW" ] && kill -0 "$PROGRAM_PID" 2>/dev/null; then
    rm -f "$output"
    return 0
  fi
  if kill -0 "$PROGRAM_PID" 2>/dev/null; then
    echo "!! the program showed no window within 30 s; Wine's output:" >&2
  else
    wait "$PROGRAM_PID" || status=$?
    echo "!! the program ended (exit status $status) without a window; Wine's output:" >&2
  fi
  tail -n 20 "$output" >&2
  rm -f "$output"
  return 1
}

# Where a window is on the screen, as an ImageMagick crop geometry (WxH+X+Y).
window_area() {
  local X Y WIDTH HEIGHT WINDOW SCREEN
  eval "$(xdotool getwindowgeometry --shell "$1")"
  echo "${WIDTH}x${HEIGHT}+${X}+${Y}"
}

# Whether the program start_program started still runs and has its window.
program_running() {
  kill -0 "$PROGRAM_PID" 2>/dev/null && xdotool getwindowname "$PROGRAM_WINDOW" >/dev/null 2>&1
}

# ---- Runs of the real program driven from outside (soak.sh, hostile.sh) -----

# The 64-bit program, the sleeper and the driver built, and the prefix ready.
prepare_driven_runs() {
  install_packages
  configure_windows 64
  cmake --build "$BUILD_WIN" -j "$(build_jobs)" --target tarvemonix tvx_sleeper tvx_soak_driver
  claim_prefix
  clear_program_settings
}

# A Unix path as the programs under Wine name it (Z: is the Unix root).
windows_path() { printf 'Z:%s' "${1//\//\\}"; }

# Lets the prefix's Wine processes end by themselves once the driver has ended
# what it started, then ends those that did not and stops the Xvfb.
finish_driven_run() {
  timeout 60 wineserver -w >/dev/null 2>&1 || true
  stop_wine_and_xvfb
}

# ---- Stages of a long run (test.sh) -------------------------------------------

# Runs COMMAND as a stage: under `timeout` (which gives it a process group of
# its own) and in the background, so that this shell's TERM/INT trap
# (end_run_on_signal) can end it and all it started; a stage that passes its
# limit of SECONDS is ended. Its time is kept for print_stage_times.
STAGE_GROUP=""
STAGE_NAME=""
STAGE_BEGAN=0
STAGE_TIMES=()
STAGES_BEGAN="$SECONDS"
run_stage() {  # run_stage NAME SECONDS COMMAND...
  local name="$1" limit="$2" status=0 outcome
  shift 2
  echo "== $name"
  STAGE_NAME="$name"
  STAGE_BEGAN="$SECONDS"
  timeout --kill-after=20 "$limit" "$@" </dev/null &
  STAGE_GROUP=$!
  wait "$STAGE_GROUP" || status=$?
  STAGE_GROUP=""
  case "$status" in
    0) outcome="passed" ;;
    124 | 137) outcome="ENDED at its limit of $limit s"
       echo "!! the stage \"$name\" did not end within its limit of $limit s and was ended" >&2 ;;
    *) outcome="FAILED (exit status $status)" ;;
  esac
  note_stage_time "$outcome"
  return "$status"
}

note_stage_time() {  # note_stage_time OUTCOME
  STAGE_TIMES+=("$(printf '%6d s  %-50s %s' $((SECONDS - STAGE_BEGAN)) "$STAGE_NAME" "$1")")
}

# The stages' times and outcomes, and the run's total.
print_stage_times() {
  local line
  echo "== time of each stage"
  for line in "${STAGE_TIMES[@]}"; do echo "$line"; done
  printf '%6d s  %s\n' $((SECONDS - STAGES_BEGAN)) "in all"
}

# Ends the running stage's process group: TERM, and KILL for what is left
# after 10 s.
end_running_stage() {
  local group="$STAGE_GROUP"
  [ -n "$group" ] || return 0
  STAGE_GROUP=""
  # Before timeout has made its group, the group does not exist yet.
  kill -TERM -- "-$group" 2>/dev/null || kill -TERM "$group" 2>/dev/null || true
  for _ in {1..100}; do
    kill -0 -- "-$group" 2>/dev/null || return 0
    sleep 0.1
  done
  kill -KILL -- "-$group" 2>/dev/null || true
}

# The TERM/INT trap of a run made of stages: bash would only run the EXIT trap
# and leave the stage running, holding the inherited locks.
end_run_on_signal() {  # end_run_on_signal SIGNAL
  echo "!! the run got SIG$1: ending its running stage" >&2
  if [ -n "$STAGE_GROUP" ]; then
    end_running_stage
    note_stage_time "CANCELLED"
  fi
  trap - "$1"
  [ "$1" = INT ] && exit 130
  exit 143
}
trap_stage_signals() {
  trap 'end_run_on_signal TERM' TERM
  trap 'end_run_on_signal INT' INT
}

# "${SETUP_SHELL[@]}" CODE ARGUMENTS...: runs bash code in a new shell that has
# sourced this file, the arguments as $1...; run_stage runs programs, not this
# shell's functions.
SETUP_SHELL=(bash -c 'set -euo pipefail; source "$0"; code="$1"; shift; eval "$code"' "$ROOT/scripts/setup.sh")
