#!/usr/bin/env bash
# The X server's frame queue, checked against a real server (a private Xvfb).
# frame-queue.sh CHECK-PROGRAM
set -euo pipefail
check="$1"
command -v Xvfb >/dev/null || { echo "SKIP: Xvfb is not installed"; exit 77; }
. "$(dirname "$0")/../../tools/lib/xvfb.sh"
xvfb_start
QT_QPA_PLATFORM=xcb "$check"
