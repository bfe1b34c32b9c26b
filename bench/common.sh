# Shared by the benchmark scripts: a release build, a scratch folder that is
# removed afterwards, a demo registry, and timing with peak memory.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/build >/dev/null
if [ ! -x /usr/bin/time ]; then
  echo "bench: installing GNU time for peak-memory figures"
  apt-get install -y -qq time >/dev/null
fi
bin=$PWD/build/release/bin

work=$(mktemp -d "${TMPDIR:-/tmp}/quillmark-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
export QUILLMARK_REGISTRY_DIR="$work/registry" XDG_RUNTIME_DIR="$work"

# measure NAME COMMAND...: runs the command, sets SECONDS_TAKEN and PEAK_MB.
measure() {
  local name=$1; shift
  /usr/bin/time -f '%e %M' -o "$work/time.$name" "$@" >/dev/null
  read -r SECONDS_TAKEN peak_kb < "$work/time.$name"
  PEAK_MB=$(( peak_kb / 1024 ))
}

# mb_per_s BYTES SECONDS
mb_per_s() { awk -v b="$1" -v s="$2" 'BEGIN { printf "%.0f", (s > 0 ? b / s / 1e6 : 0) }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }'; }
