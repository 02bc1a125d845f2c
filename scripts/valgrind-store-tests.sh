#!/usr/bin/env bash
# Runs the contact store's tests under Valgrind's memcheck, in a Debug build
# without the sanitizers (build-valgrind). Fails on any memory error and on
# any leak Valgrind calls definite.
set -euo pipefail
cd "$(dirname "$0")/.."

command -v valgrind >/dev/null || { echo "valgrind is not installed" >&2; exit 1; }
build=build-valgrind
tests=(contactsearch contactdatabase recordset columntypes datacontrol)
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DMERIVO_SANITIZE=OFF -DMERIVO_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" --parallel "$(nproc)" --target "${tests[@]/#/tst_}" fuzz_find_replay

export QT_QPA_PLATFORM=offscreen
memcheck=(valgrind --quiet --leak-check=full --errors-for-leak-kinds=definite --error-exitcode=1
          --suppressions=scripts/valgrind.supp)
for t in "${tests[@]}"; do
  echo "== tst_$t"
  "${memcheck[@]}" "$build/tests/tst_$t" -silent
done
echo "== fuzz_find_replay"
"${memcheck[@]}" "$build/fuzz/fuzz_find_replay" fuzz/corpus fuzz/find.dict 300
echo "memcheck: no errors and no definite leaks"
