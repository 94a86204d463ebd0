#!/usr/bin/env bash
# Builds the Debian package of the simulator, unpacks it into a temporary root (dpkg-deb -x, not
# installed on this machine) and runs the unpacked program from a folder outside the repository
# with a fresh HOME: what a user of the package meets. A package that works only beside its source
# fails here.
set -euo pipefail
cd "$(dirname "$0")/.."
preset=${1:-default}
cmake --build --preset "$preset" --target package >/dev/null
deb=$(ls build/"$preset"/orbitchat-sim_*.deb | head -n1)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
dpkg-deb -x "$deb" "$work/root"
mkdir -p "$work/home" "$work/cwd"
cd "$work/cwd"
export HOME="$work/home"
unset ORBITCHAT_SIM_DATA
sim="$work/root/usr/bin/orbitchat-sim"
share="$work/root/usr/share/orbitchat-sim"
fail() { status=0
"$sim" test "$share/tests" --junit report.xml > test.out || status=$?
[ "$status" -eq 0 ] || { cat test.out >&2; fail "the example UI tests did not pass (status $status)"; }
grep -q '<testsuite' report.xml || fail "the test runner wrote no JUnit report"
echo "check-package: $*" >&2; exit 1; }

"$sim" --version | grep -q '^orbitchat-sim [0-9]' || fail "--version printed no version"
"$sim" --help | grep -q '^  lint ' || fail "--help lists no subcommands"
printf 'open bundle Glow\nset Enabled off\nset "Glow Colour" #00FF88\ndump\n' > glow.script
"$sim" --headless --script glow.script > glow.out || fail "the script on the sample device failed"
grep -q '"title": "Glow"' glow.out || fail "the script did not open the sample tweak"
[ -f "$HOME/.local/state/orbitchat-sim/device/var/mobile/Library/Preferences/com.example.glow.plist" ] ||
  fail "the script stored nothing on the kept sample device"
status=0
"$sim" lint "$share/device/var/jb/Library/PreferenceBundles/GlowPrefs.bundle" > lint.out || status=$?
[ "$status" -le 1 ] || fail "lint could not run (status $status)"
grep -q 'warning' lint.out || fail "lint reported nothing on the sample bundle"
"$sim" shot "$share/device/Library/PreferenceBundles/DimmerPrefs.bundle" dimmer.png > /dev/null ||
  fail "shot failed"
[ "$(head -c 8 dimmer.png | od -An -tx1 | tr -d ' \n')" = "89504e470d0a1a0a" ] || fail "shot wrote no PNG"
status=0
"$sim" test "$share/tests" --junit report.xml > test.out || status=$?
[ "$status" -eq 0 ] || { cat test.out >&2; fail "the example UI tests did not pass (status $status)"; }
grep -q '<testsuite' report.xml || fail "the test runner wrote no JUnit report"
echo "check-package: $(basename "$deb") works unpacked, outside the repository"
