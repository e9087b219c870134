# Tools a test script needs, checked the same way everywhere. Source it.

# Ends a test that needs these programs when one is missing: a skip (status
# 77) on a machine without it, a failure under CI (CI=true), where
# tools/install-deps has installed them all, so that no check of the real
# program on a display goes missing unseen.
require_tools() {
  local tool
  for tool in "$@"; do
    command -v "$tool" >/dev/null || skip_or_fail "$tool is not installed"
  done
}

# Ends a test that cannot run here, for the reason given: a skip, or under
# CI a failure.
skip_or_fail() {
  if [ "${CI:-}" = true ]; then
    echo "FAIL: $1; under CI (CI=true), set up by tools/install-deps, no test is skipped" >&2
    exit 1
  fi
  echo "SKIP: $1"
  exit 77
}

# True when TOOL is there for a check a test can do without; under CI,
# where tools/install-deps installs it, a missing one fails the test.
have_tool() {
  command -v "$1" >/dev/null && return 0
  if [ "${CI:-}" = true ]; then
    echo "FAIL: $1 is not installed, though tools/install-deps installs it for CI" >&2
    exit 1
  fi
  return 1
}
