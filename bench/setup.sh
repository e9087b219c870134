# The whole-program benchmarks' common start, sourced with their arguments
# ([SECONDS] [ZINTARA]): from the project's root, `seconds` to measure
# (default 30) after `warmup` seconds, the program at `zintara`, and conky
# installed beside it as the peer.
cd "$(dirname "${BASH_SOURCE[0]}")/.."
seconds="${1:-30}"
zintara="${2:-build/zintara}"
warmup=5

[ -x "$zintara" ] || { echo "no program at $zintara (build it first: tools/build)" >&2; exit 1; }
. bench/conky.sh
conky_install
