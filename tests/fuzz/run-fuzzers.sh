#!/usr/bin/env bash
# Builds the libFuzzer targets in a clang tree of their own (build-fuzz/, configured with
# CORVANE_FUZZ: coverage, AddressSanitizer and UndefinedBehaviorSanitizer on the whole tree) and
# runs each for a bounded time on a copy of its seed corpus. Fails on any crash, leak or report;
# what broke a target is left in build-fuzz/fuzz/ (crash-*, leak-*, timeout-*, oom-*), and goes
# with its fix into tests/fuzz/regressions/<name>/, which every test run replays.
#   tests/fuzz/run-fuzzers.sh [SECONDS_PER_TARGET] [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/../.."
seconds=${1:-45}
shift || true
all=(rtf_reader_fuzz font_settings_fuzz body_flow_fuzz dispatch_fuzz pdf_writer_fuzz pdf_copies_fuzz
     metafile_data_fuzz picture_decoding_fuzz)
only=("$@")
targets=()
for target in "${only[@]}"; do
  [[ " ${all[*]} " =~ " $target " ]] || { echo "no fuzz target $target (there are: ${all[*]})" >&2; exit 2; }
done
for target in "${all[@]}"; do
  if [ ${#only[@]} -eq 0 ] || [[ " ${only[*]} " =~ " $target " ]]; then targets+=("$target"); fi
done
tree=build-fuzz
out=$tree/fuzz
mkdir -p "$out"

if [ ! -f "$tree/build.ninja" ]; then
  cmake -S . -B "$tree" -G Ninja -DCORVANE_FUZZ=ON -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo >"$out/configure.log" 2>&1 || { tail -n 40 "$out/configure.log" >&2; exit 1; }
fi
cmake --build "$tree" --target "${targets[@]}" >"$out/build.log" 2>&1 || { tail -n 60 "$out/build.log" >&2; exit 1; }

for target in "${targets[@]}"; do
  name=${target%_fuzz}
  [ "$name" != rtf_reader ] || name=rtf
  work=$(mktemp -d)
  cp -r tests/fuzz/corpus/"$name"/. "$work"/
  echo "fuzzing $target for ${seconds}s"
  UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
    "$tree/bin/$target" -max_total_time="$seconds" -max_len=65536 -timeout=10 -rss_limit_mb=2048 \
      -print_final_stats=1 -artifact_prefix="$out/" "$work" 2>"$out/$target.log" || { tail -n 40 "$out/$target.log"; rm -rf "$work"; exit 1; }
  grep -E 'stat::number_of_executed_units|stat::peak_rss_mb' "$out/$target.log" | sed "s/^/  $target /"
  rm -rf "$work"
done
