#!/usr/bin/env bash
# make demo: runs the patch manager on samples/demo-patch under Wine and shows
# what it did. Options go to demo.py (--token, --press, --lang, --keep).
# A hard time limit keeps a stuck Wine from holding the terminal.
set -euo pipefail
cd "$(dirname "$0")/../.."
# Under emulation (cmake/wine-mode.sh) everything takes about four times as long.
scale=1
grep -qx 'mode=emulated' out/wine-mode 2>/dev/null && scale=4
timeout --kill-after=10 $((600 * scale)) python3 tests/wine/demo.py "$@"
# Then the driver patch on the stand-in service (demo_driverpatch.py).
echo
echo "===== the driver patch: TXLDriverPatch.exe /silent on the stand-in service"
timeout --kill-after=10 $((300 * scale)) python3 tests/wine/demo_driverpatch.py
# Last, the sample patch once more, the way a management tool runs it.
echo
echo "===== the sample patch once more through QZVRNDeploy.exe"
timeout --kill-after=10 $((300 * scale)) python3 tests/wine/demo.py --deploy-only
