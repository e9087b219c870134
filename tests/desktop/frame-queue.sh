#!/usr/bin/env bash
# The X server's frame queue, checked against a real server (a private Xvfb).
# frame-queue.sh CHECK-PROGRAM
set -euo pipefail
check="$1"
. "$(dirname "$0")/../../tools/lib/xvfb.sh"
xvfb_start
QT_QPA_PLATFORM=xcb "$check"
