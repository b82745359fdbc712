#!/usr/bin/env bash
# Every test: installs what is missing, builds the three trees, runs their CTest suites (native,
# sanitizers, Windows under Wine with a virtual display) and prints one summary line.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/bootstrap.sh" || exit 1
bash "$root/scripts/build.sh" || exit 1

# Windows tests that open windows need a display: a private Xvfb for this run.
display=:$((90 + RANDOM % 400))
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
trap 'kill $xvfb_pid 2>/dev/null' EXIT
export DISPLAY=$display

status=0
total_passed=0
total_failed=0
for t in native asan win32 win64; do
  log="$root/build/$t/ctest.log"
  (cd "$root/build/$t" && ctest --output-on-failure -j "$(nproc)" --timeout 900) 2>&1 | tee "$log"
  [ "${PIPESTATUS[0]}" -eq 0 ] || status=1
  line=$(grep -E 'tests passed, [0-9]+ tests failed out of' "$log" | tail -n 1)
  p=$(sed -E 's/.* ([0-9]+) tests failed out of ([0-9]+).*/\2 \1/' <<<"$line")
  read -r all failed <<<"${p:-0 0}"
  total_passed=$((total_passed + all - failed))
  total_failed=$((total_failed + failed))
done
for prefix in "$root"/build/win*/wine/win64 "$root"/build/win*/wine/win32; do
  [ -d "$prefix" ] && WINEPREFIX=$prefix wineserver -k 2>/dev/null
done
echo "tests: $total_passed passed, $total_failed failed"
exit $status
