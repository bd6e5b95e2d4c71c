#!/usr/bin/env bash
# Runs every fuzz target of fuzz/ for a fixed time each, one after the other (20 seconds
# unless given: scripts/fuzz.sh 300). Each starts from its seed corpus in
# fuzz/corpus/<name>/ and keeps what it learns in build/fuzz/corpus/<name>/; a finding is
# written to build/fuzz/findings/ and ends the script with a non-zero status. Builds the
# targets first (clang and libFuzzer, under AddressSanitizer and UndefinedBehaviorSanitizer)
# and installs what is missing.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
repo="$(dirname "$here")"
cd "$repo"
seconds="${1:-20}"
jobs=$(nproc)

"$here/install-deps.sh"

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j"$jobs"

work=build/fuzz
mkdir -p "$work/findings" "$work/logs"
targets=("$work"/fuzz-targets/fuzz_*)
[ -x "${targets[0]}" ] || { echo "No fuzz targets were built." >&2; exit 1; }

for target in "${targets[@]}"; do
  name="${target##*/fuzz_}"
  corpus="$work/corpus/$name"
  log="$work/logs/$name.log"
  seeds=()
  [ -d "fuzz/corpus/$name" ] && seeds=("fuzz/corpus/$name")
  # The targets that write files write them below a folder of their own.
  scratch="$work/tmp/$name"
  mkdir -p "$corpus" "$scratch"
  printf 'fuzz_%s, %s s: ' "$name" "$seconds"
  if ! TMPDIR="$scratch" "$target" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
      -artifact_prefix="$work/findings/$name-" "$corpus" "${seeds[@]}" >"$log" 2>&1; then
    echo "FINDING"
    tail -n 40 "$log"
    echo "fuzz_$name found a fault: the input is in $work/findings/, the whole log in $log." >&2
    exit 1
  fi
  rm -rf "$scratch"
  grep -o 'stat::number_of_executed_units: [0-9]*' "$log" | awk '{print $2 " inputs, no finding"}'
done
