#!/usr/bin/env bash
# How much of the code is tests: non-blank lines of the program (src/) and
# of its tests (tests/, and bench/ and fuzz/ beside them), with and without
# comment lines, in C++ sources, shell scripts and CMake files.
#   scripts/code-share.sh          the files as they are now
#   scripts/code-share.sh REV      the files of a commit, such as HEAD~3
set -euo pipefail
cd "$(dirname "$0")/.."
rev=${1:-}

files() { # folder
  if [ -n "$rev" ]; then git ls-tree -r --name-only "$rev" -- "$1"; else git ls-files -- "$1"; fi |
    grep -E '\.(cpp|h|sh|cmake|in)$|CMakeLists\.txt$' || true
}
content() { # file
  if [ -n "$rev" ]; then git show "$rev:$1"; else cat "$1"; fi
}
count() { # folder -> "lines code_lines"
  local f
  for f in $(files "$1"); do content "$f"; echo; done |
    awk 'NF { all++; if ($0 !~ /^[ \t]*(\/\/|\/\*|\*|#[^a-z])/ && $0 !~ /^[ \t]*#$/) code++ }
         END { printf "%d %d\n", all, code }'
}

read -r src src_code < <(count src)
read -r tests tests_code < <(count tests)
read -r bench bench_code < <(count bench)
read -r fuzz fuzz_code < <(count fuzz)
share() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.1f %%", 100 * a / b }'; }

printf '%-7s %6d non-blank lines, %6d without comments\n' src "$src" "$src_code" tests "$tests" "$tests_code" \
  bench "$bench" "$bench_code" fuzz "$fuzz" "$fuzz_code"
echo "tests / (src + tests):                $(share "$tests" $((src + tests))), without comments $(share "$tests_code" $((src_code + tests_code)))"
all=$((src + tests + bench + fuzz)) all_code=$((src_code + tests_code + bench_code + fuzz_code))
echo "tests, bench and fuzz / everything:   $(share $((tests + bench + fuzz)) "$all"), without comments $(share $((tests_code + bench_code + fuzz_code)) "$all_code")"
