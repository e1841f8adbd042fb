#!/usr/bin/env bash
# Builds the fuzz targets (fuzz/, with clang) and runs every target once over each input of
# its corpus, fuzz/corpus/<name> for fuzz/fuzz_<name>.cpp, so that an input that once crashed
# a target and was kept there fails the run for as long as the fault is back.
#   scripts/replay-fuzz-corpora.sh [BUILD_DIR]     (default build-fuzz)
# Fails when a target crashes or reports a fault, when a target has no corpus (or an empty
# one), or when not every input was run.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-fuzz}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
if ! { cmake -S fuzz -B "$build" -DCMAKE_CXX_COMPILER=clang++ && cmake --build "$build" -j2; } >"$work/build.log" 2>&1; then
  cat "$work/build.log"
  echo "The fuzz targets do not build"
  exit 1
fi

start=$SECONDS
failed=()
for source in fuzz/fuzz_*.cpp; do
  target=$(basename "$source" .cpp)
  name=${target#fuzz_}
  corpus=fuzz/corpus/$name
  binary=$build/$target
  if [ ! -x "$binary" ]; then
    echo "$target: not built (is it in fuzz/CMakeLists.txt?)"
    failed+=("$target")
    continue
  fi
  mapfile -t inputs < <(find "$corpus" -type f 2>/dev/null | sort)
  if [ ${#inputs[@]} -eq 0 ]; then
    echo "$target: no corpus in $corpus"
    failed+=("$target")
    continue
  fi
  # Inputs named one by one are each run once, whatever their size, and nothing is fuzzed; the
  # input of a crash is written to the scratch folder, not into the checkout.
  log=$work/$target.log
  if "$binary" -timeout=20 -artifact_prefix="$work/$target-" "${inputs[@]}" >"$log" 2>&1; then
    ran=$(grep -c '^Executed ' "$log" || true)
    if [ "$ran" -ne ${#inputs[@]} ]; then
      cat "$log"
      echo "$target: ran $ran of ${#inputs[@]} inputs"
      failed+=("$target")
    else
      echo "$target: ${#inputs[@]} inputs"
    fi
  else
    cat "$log"
    echo "$target: FAILED on its corpus $corpus"
    failed+=("$target")
  fi
done
echo "Fuzz corpora replayed in $((SECONDS - start)) s"
if [ ${#failed[@]} -ne 0 ]; then
  echo "Failed: ${failed[*]}"
  exit 1
fi
