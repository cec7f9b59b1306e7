#!/usr/bin/env bash
# Builds the libFuzzer targets with clang, AddressSanitizer and UndefinedBehaviorSanitizer, and
# runs each for a bounded time on a copy of its seed corpus. Fails on any crash, leak or report.
#   tests/fuzz/run-fuzzers.sh [SECONDS_PER_TARGET] [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/../.."
seconds=${1:-45}
shift || true
only=("$@")
out=build/fuzz
mkdir -p "$out"
flags=(-std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all
       -Icomponent/include -Icomponent/src)

build() { # name sources...
  local name=$1; shift
  local files=() f
  for f in "$@"; do [ -e "$f" ] && files+=("$f"); done
  if [ ! -x "$out/$name" ] || [ -n "$(find "${files[@]}" -newer "$out/$name" 2>/dev/null)" ]; then
    clang++ "${flags[@]}" "$@" -o "$out/$name"
  fi
}
build rtf_reader_fuzz tests/fuzz/RtfReaderFuzz.cpp component/src/richtext/RtfReader.cpp \
  component/src/richtext/Bitmaps.cpp component/src/richtext/CodePages.cpp component/src/core/UString.cpp

build font_settings_fuzz tests/fuzz/FontSettingsFuzz.cpp component/src/core/FontSettings.cpp \
  component/src/core/Variant.cpp component/src/core/Errors.cpp component/src/core/UString.cpp
build body_flow_fuzz tests/fuzz/BodyFlowFuzz.cpp component/src/platform/fake/RecordingSurface.cpp \
  component/src/core/*.cpp component/src/ports/*.cpp component/src/text/*.cpp component/src/richtext/*.cpp component/src/web/*.cpp component/src/jobs/*.cpp component/src/object/*.cpp
build pdf_writer_fuzz tests/fuzz/PdfWriterFuzz.cpp component/src/pdf/PdfTextWriter.cpp component/src/pdf/TrueTypeFont.cpp -lz
build pdf_copies_fuzz tests/fuzz/PdfCopiesFuzz.cpp component/src/pdf/PdfCopies.cpp
build metafile_data_fuzz tests/fuzz/MetafileDataFuzz.cpp component/src/platform/qt/picture/MetafileData.cpp

# Late binding: the automation adapter over the recording platform, with Qt Core for the
# meta-object (Qt itself is not instrumented; the adapter, the dispatcher and the core are).
moc=$(pkg-config --variable=libexecdir Qt6Core 2>/dev/null || echo /usr/lib/qt6/libexec)/moc
[ -x "$moc" ] || moc=/usr/lib/qt6/libexec/moc
if [ ! -f "$out/moc_CorvaneObject.cpp" ] || [ component/include/corvane/CorvaneObject.h -nt "$out/moc_CorvaneObject.cpp" ]; then
  "$moc" component/include/corvane/CorvaneObject.h -o "$out/moc_CorvaneObject.cpp"
fi
flags+=(-fPIC $(pkg-config --cflags Qt6Core))
build dispatch_fuzz tests/fuzz/DispatchFuzz.cpp component/src/automation/CorvaneObject.cpp \
  component/src/automation/Dispatch.cpp "$out/moc_CorvaneObject.cpp" \
  component/src/platform/fake/RecordingSurface.cpp component/src/core/*.cpp component/src/ports/*.cpp \
  component/src/text/*.cpp component/src/richtext/*.cpp component/src/web/*.cpp component/src/jobs/*.cpp \
  component/src/object/*.cpp $(pkg-config --libs Qt6Core)

for target in rtf_reader_fuzz font_settings_fuzz body_flow_fuzz dispatch_fuzz pdf_writer_fuzz pdf_copies_fuzz \
    metafile_data_fuzz; do
  if [ ${#only[@]} -gt 0 ] && [[ ! " ${only[*]} " =~ " $target " ]]; then continue; fi
  seeds=tests/fuzz/corpus/${target%_fuzz}
  work=$(mktemp -d)
  cp -r "$seeds"/. "$work"/ 2>/dev/null || true
  echo "fuzzing $target for ${seconds}s"
  UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
    "$out/$target" -max_total_time="$seconds" -max_len=65536 -timeout=10 -rss_limit_mb=2048 \
      -print_final_stats=1 -artifact_prefix="$out/" "$work" 2>"$out/$target.log" || { tail -n 40 "$out/$target.log"; rm -rf "$work"; exit 1; }
  grep -E 'stat::number_of_executed_units|stat::peak_rss_mb' "$out/$target.log" | sed "s/^/  $target /"
  rm -rf "$work"
done
