#!/usr/bin/env bash
# The scripts' package installation, with stand-ins for dpkg, apt-get and
# locale: wine32:i386 is tried only where the kernel runs 32-bit programs and
# no failed try is remembered from the last day; a run installs under the
# machine's package lock, waits while another run holds it and then installs
# only what that run left missing. And the program's settings are cleared in
# the tests' prefixes, never in the user's own.
set -uo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
source "$here/checks.sh"

bin="$scratch/bin"
mkdir -p "$bin"
# Installed: the packages named in $scratch/installed. apt-get logs its
# arguments and fails for wine32:i386 when FAIL_WINE32 is set.
cat >"$bin/dpkg-query" <<'EOF'
#!/bin/sh
for name; do :; done
grep -qxF "$name" "$SCRATCH/installed" && printf 'install ok installed'
EOF
cat >"$bin/apt-get" <<'EOF'
#!/bin/sh
echo "apt-get $*" >>"$SCRATCH/apt.log"
case " $* " in *" wine32:i386 "*) [ -z "$FAIL_WINE32" ] || exit 100 ;; esac
exit 0
EOF
printf '#!/bin/sh\necho "dpkg $*" >>"$SCRATCH/apt.log"\n' >"$bin/dpkg"
printf '#!/bin/sh\nprintf "zh_CN.utf8\\nen_US.utf8\\n"\n' >"$bin/locale"
printf '#!/bin/sh\nexec "$@"\n' >"$bin/sudo"
printf '#!/bin/sh\nexit 42\n' >"$scratch/runs32"
# What executing a 32-bit program gives where the kernel runs none.
printf '\x7fELF\x01\x01\x01garbage' >"$scratch/refused32"
chmod +x "$bin"/* "$scratch/runs32" "$scratch/refused32"

# install_packages with everything installed but the packages given;
# prints status|output.
install_with_missing() {  # install_with_missing KERNEL_PROBE CODE_AFTER PACKAGE...
  local probe="$1" after="$2" output status=0
  shift 2
  grep -vxF -f <(printf '%s\n' "$@") <(printf '%s\n' cmake make g++ googletest libgtest-dev g++-mingw-w64-i686 \
    mingw-w64-i686-dev g++-mingw-w64-x86-64 mingw-w64-x86-64-dev wine wine64 wine32:i386 fonts-wine xvfb xauth \
    xdotool imagemagick fonts-arphic-uming clang-format-14 clang-tidy-14 locales libxml2-utils) >"$scratch/installed"
  : >"$scratch/apt.log"
  # As on a machine where nothing has been found uninstallable yet in this run.
  output="$(WINE32_UNAVAILABLE="" PATH="$bin:$PATH" SCRATCH="$scratch" TVX_KERNEL32_PROBE="$probe" TVX_APT_RETRY_PAUSE=0 \
    TVX_PACKAGE_LOCK="$scratch/packages.lock" TVX_WINE32_NOTE="$scratch/wine32-note" \
    timeout 60 bash -c 'set -euo pipefail; source "$0/../../scripts/setup.sh"; install_packages; eval "$1"' \
    "$here" "$after" 2>&1)" || status=$?
  printf '%s|%s' "$status" "$output"
}
installed_args() { grep '^apt-get install' "$scratch/apt.log" | sed 's/^apt-get install -y -q //'; }

result="$(install_with_missing "$scratch/refused32" 'echo "reason: $WINE32_UNAVAILABLE"' wine32:i386 xvfb)"
check "where the kernel runs no 32-bit programs, wine32:i386 is not tried (got '$(installed_args)')" \
  test "$(installed_args)" = "xvfb"
check "and no i386 architecture is added ($(tr '\n' '/' <"$scratch/apt.log"))" \
  bash -c '! grep -q "add-architecture" "$0"' "$scratch/apt.log"
check "the reason names the kernel (got '$result')" grep -q "reason: .*kernel runs no 32-bit programs" <<<"$result"

result="$(install_with_missing /bin/true 'true' wine32:i386)"
check "a probe that merely succeeds does not count as a 32-bit program run (got '$(installed_args)')" \
  test -z "$(installed_args)"

rm -f "$scratch/wine32-note"
result="$(install_with_missing "$scratch/runs32" 'true' wine32:i386 xvfb)"
check "where it runs them, wine32:i386 is tried (got '$(installed_args)')" test "$(installed_args)" = "wine32:i386 xvfb"
check "after adding the i386 architecture" grep -q "^dpkg --add-architecture i386$" "$scratch/apt.log"

result="$(FAIL_WINE32=1 install_with_missing "$scratch/runs32" 'echo "reason: $WINE32_UNAVAILABLE"' wine32:i386 xvfb)"
check "a failed wine32:i386 still installs the rest (got '$result')" test "${result%%|*}" = 0
check "and is remembered" test -s "$scratch/wine32-note"
result="$(install_with_missing "$scratch/runs32" 'echo "reason: $WINE32_UNAVAILABLE"' wine32:i386 xvfb)"
check "within a day it is not tried again (got '$(installed_args)')" test "$(installed_args)" = "xvfb"
check "saying when it failed and how to try again (got '$result')" \
  grep -q "reason: wine32:i386 could not be installed .*remove .*wine32-note to try again" <<<"$result"
touch -d '25 hours ago' "$scratch/wine32-note"
result="$(install_with_missing "$scratch/runs32" 'true' wine32:i386 xvfb)"
check "a day later it is tried again (got '$(installed_args)')" test "$(installed_args)" = "wine32:i386 xvfb"

# The probe's own 32-bit program, where the system has another to compare
# with (the i386 C library's loader).
if [ -x /lib/ld-linux.so.2 ]; then
  expected=no
  /lib/ld-linux.so.2 --help >/dev/null 2>&1 && expected=yes
  answer="$(bash -c 'source "$0/../../scripts/setup.sh"; kernel_runs_32bit && echo yes || echo no' "$here")"
  check "the probe finds what running the i386 loader finds ($expected; got $answer)" test "$answer" = "$expected"
  check "and leaves no file behind" test -z "$(ls -A "$here/../../build/" 2>/dev/null | grep '^\.probe32\.' || true)"
fi

# Another run holds the package lock, and installs xvfb before it lets go.
hold_packages_lock() {  # hold_packages_lock SECONDS: in the background; returns once held
  rm -f "$scratch/holding"
  SCRATCH="$scratch" TVX_PACKAGE_LOCK="$scratch/packages.lock" timeout 60 bash -c \
    'source "$0/../../scripts/setup.sh"; hold_lock "$PACKAGE_LOCK" "the installation of packages"
     touch "$SCRATCH/holding"; sleep "$1"; echo xvfb >>"$SCRATCH/installed"' "$here" "$1" &
  for _ in {1..100}; do [ -e "$scratch/holding" ] && break; sleep 0.1; done
}
hold_packages_lock 1
result="$(TVX_PACKAGE_LOCK_WAIT=30 install_with_missing "$scratch/runs32" 'true' xvfb clang-tidy-14)"
wait
check "a run waits for the run that holds the package lock, naming it (got '$result')" \
  grep -q "waiting up to 30 s for another run that holds the installation of packages: pid [0-9]*" <<<"$result"
check "then installs only what that run left missing (got '$(installed_args)')" test "$(installed_args)" = "clang-tidy-14"

hold_packages_lock 10
result="$(TVX_PACKAGE_LOCK_WAIT=1 install_with_missing "$scratch/runs32" 'true' xvfb)"
wait
check "past its wait it is refused, naming that run (got '$result')" \
  grep -q "another run holds the installation of packages: pid [0-9]*" <<<"$result"
check "and installs nothing" test -z "$(installed_args)"

rm -f "$scratch/packages.lock"
result="$(install_with_missing "$scratch/runs32" 'true')"
check "with nothing missing, no lock is taken" test ! -e "$scratch/packages.lock"

# The program's settings: a stand-in Wine logs its arguments; "reg query"
# finds the key while KEY_STAYS is set.
printf '#!/bin/sh\nprintf "%%s\\n" "$*" >>"$SCRATCH/wine.log"\n[ "$1 $2" = "reg query" ] && [ -z "$KEY_STAYS" ] && exit 1\nexit 0\n' \
  >"$scratch/wine"
chmod +x "$scratch/wine"
clear_in() {  # clear_in test|run: prints status|output
  local output status=0
  : >"$scratch/wine.log"
  output="$(SCRATCH="$scratch" TVX_WINE32_LOADER="$scratch/wine" TVX_WINEPREFIX32="$scratch/prefix" \
    bash -c 'source "$0/../../scripts/setup.sh"; use_arch 32 "$1"; clear_program_settings' "$here" "$1" 2>&1)" ||
    status=$?
  printf '%s|%s' "$status" "$output"
}
result="$(clear_in test)"
check "the tests' prefix loses the program's settings (got '$result')" \
  grep -qxF 'reg delete HKCU\Software\tarvemonix /f' "$scratch/wine.log"
check "and that counts as done once the key is gone (got '$result')" test "${result%%|*}" = 0
result="$(KEY_STAYS=1 clear_in test)"
check "a key that stays fails, saying so (got '$result')" \
  bash -c '[ "${0%%|*}" != 0 ] && grep -q "could not be removed" <<<"$0"' "$result"
result="$(clear_in run)"
check "the user's own prefix of run.sh keeps them (wine ran: '$(cat "$scratch/wine.log")')" test ! -s "$scratch/wine.log"
check "and the refusal says why (got '$result')" grep -q "is the user's own prefix" <<<"$result"

finish_checks
