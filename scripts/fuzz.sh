#!/usr/bin/env bash
# Runs the fuzz targets, each for the given time, and prints executions, coverage and findings.
#
#   scripts/fuzz.sh [SECONDS] [TARGET...]      (default: 60 seconds, every target)
#
# Builds the preset `fuzz` (clang 14, libFuzzer, ASan and UBSan) in build/fuzz. Each target starts
# from its seed corpus in fuzz/corpus/<target> (left unchanged) and writes what it learns to
# build/fuzz/corpus/<target>; crashes, hangs (over 10 s), leaks and sanitizer reports land in
# build/fuzz/findings/<target>. Every finding is to become a file of fuzz/corpus/<target> (which the
# test suite replays) together with its fix. The exit status is 1 when any target found something.
#
# Inputs may grow to their full length from the start (-len_control=0): without it libFuzzer raises
# its length limit only while coverage stalls and never meets the long blank runs, attributes and
# texts that broke the readers. The workbook targets take inputs of up to 1 MiB; the text targets
# up to 64 KiB, past the 32,767 characters a comment may hold: with texts of 1 MiB sorted_chars ran
# 13 executions a second, with 64 KiB 1,350 to 2,900 (runs of 2026-12-09, not paired). The
# dictionaries in fuzz/dict hold such runs and the parts' own tokens.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
shift || true
all=(xlsx_file xlsx_parts comment_restore range_address text_conversions sorted_chars csv_text)
targets=("$@")
if ((${#targets[@]} == 0)); then targets=("${all[@]}"); fi

cmake --preset fuzz >/dev/null
for t in "${targets[@]}"; do
  cmake --build build/fuzz --target "fuzz_${t}" -j2 >/dev/null
done

printf '%-18s %12s %10s %10s %9s\n' target executions exec/s coverage findings
found=0
for t in "${targets[@]}"; do
  work=build/fuzz/corpus/${t}
  findings=build/fuzz/findings/${t}
  log=build/fuzz/${t}.log
  case "${t}" in
    xlsx_*) dict=fuzz/dict/xlsx.dict max_len=1048576 ;;
    *) dict=fuzz/dict/text.dict max_len=65536 ;;
  esac
  mkdir -p "${work}" "${findings}"
  status=0
  ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
    "build/fuzz/fuzz/fuzz_${t}" -max_total_time="${seconds}" -timeout=10 -rss_limit_mb=2048 \
    -max_len="${max_len}" -len_control=0 -dict="${dict}" \
    -print_final_stats=1 -artifact_prefix="${findings}/" "${work}" "fuzz/corpus/${t}" \
    >"${log}" 2>&1 || status=$?
  executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "${log}" | tail -1)
  speed=$(sed -n 's/^stat::average_exec_per_sec: *//p' "${log}" | tail -1)
  coverage=$(grep -o 'cov: [0-9]*' "${log}" | tail -1 | cut -d' ' -f2)
  count=$(find "${findings}" -type f | wc -l)
  if ((status != 0)) && ((count == 0)); then count="exit ${status}"; fi
  printf '%-18s %12s %10s %10s %9s\n' "${t}" "${executions:-?}" "${speed:-?}" "${coverage:-?}" \
    "${count}"
  if [[ "${count}" != 0 ]]; then found=1; fi
done
exit "${found}"
