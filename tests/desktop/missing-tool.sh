#!/usr/bin/env bash
# The shared helpers end a test whose tool is missing: a skip (77) on a
# machine without it, a failure under CI=true, where every tool is installed
# on purpose. The starting helpers ask for their own tools.
# missing-tool.sh
set -uo pipefail
helpers="$(cd "$(dirname "$0")/../../tools/lib" && pwd)/xvfb.sh"
bin=$(mktemp -d); trap 'rm -rf "$bin"' EXIT
for tool in mktemp rm seq id; do ln -s "$(command -v "$tool")" "$bin/$tool"; done
fail() { echo "FAIL: $*"; exit 1; }

# The status of a call after sourcing the helpers, with only $bin on PATH.
status() {
  local ci="$1"; shift
  env CI="$ci" PATH="$bin" "$BASH" -c '. "$0"; "$@"' "$helpers" "$@" >/dev/null 2>&1
  echo $?
}
for call in "require_tools rm no-such-tool" xvfb_start xorg_dummy_start wm_start; do
  # shellcheck disable=SC2086 # the call is words
  [ "$(status true $call)" = 1 ] || fail "$call: a missing tool under CI=true does not fail the test"
  # shellcheck disable=SC2086
  [ "$(status "" $call)" = 77 ] || fail "$call: a missing tool outside CI does not skip the test"
done
[ "$(status true require_tools rm seq)" = 0 ] || fail "tools that are there stop the test"
