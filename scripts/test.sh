#!/usr/bin/env bash
# Every test: installs what is missing, builds the four trees, runs their CTest suites (native,
# sanitizers, the 32-bit programs that ship in the 32-bit lane, the 64-bit build under wine64, with
# a virtual display) and prints the time of each tree and one summary line. A test that cannot run
# on this machine (32-bit programs where no lane works) is counted as skipped, never as passed.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
start=$SECONDS
bash "$root/scripts/bootstrap.sh" || exit 1
bash "$root/scripts/build.sh" || exit 1
built=$SECONDS

# Windows tests that open windows need a display: a private Xvfb for this run.
display=:$((90 + RANDOM % 400))
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
trap 'kill $xvfb_pid 2>/dev/null' EXIT
export DISPLAY=$display

status=0
total_passed=0
total_failed=0
total_skipped=0
times=()
for t in native asan win32 win64; do
  log="$root/build/$t/ctest.log"
  tree_start=$SECONDS
  (cd "$root/build/$t" && ctest --output-on-failure -j "$(nproc)" --timeout 900) 2>&1 | tee "$log"
  [ "${PIPESTATUS[0]}" -eq 0 ] || status=1
  times+=("$t $((SECONDS - tree_start)) s")
  line=$(grep -E 'tests passed, [0-9]+ tests failed out of' "$log" | tail -n 1)
  p=$(sed -E 's/.* ([0-9]+) tests failed out of ([0-9]+).*/\2 \1/' <<<"$line")
  read -r all failed <<<"${p:-0 0}"
  # CTest counts a skipped test among the passed ones; its list of tests that did not run names
  # them.
  skipped=$(grep -cE '^[[:space:]]+[0-9]+ - .* \(Skipped\)$' "$log")
  total_passed=$((total_passed + all - failed - skipped))
  total_failed=$((total_failed + failed))
  total_skipped=$((total_skipped + skipped))
done
for prefix in "$root"/build/win*/wine/win64 "$root"/build/win*/wine/wow64; do
  [ -d "$prefix" ] && WINEPREFIX=$prefix wineserver -k 2>/dev/null
done
lane=$(cat "$root/build/win32/wine/wow64.lane/kind" 2>/dev/null)
case ${QEV_LANE:-$lane} in
  native) lane="run natively (32-bit Wine)" ;;
  private) lane="emulated (qemu-i386 through a private binfmt_misc)" ;;
  global) lane="emulated (qemu-i386 through the machine-wide binfmt_misc)" ;;
  *) lane="not run: this machine cannot execute them (skipped)" ;;
esac
echo "time: build $((built - start)) s; tests ${times[*]/%/,} total $((SECONDS - start)) s"
echo "32-bit programs: $lane"
echo "tests: $total_passed passed, $total_failed failed, $total_skipped skipped"
exit $status
