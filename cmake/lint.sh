#!/usr/bin/env bash
# make lint: every C++ file of the project against .clang-format, and the
# checks of .clang-tidy over every source of the native tree, from a
# compile database of its own (no sanitizers, so nothing but the code is
# read). Prints what fails and exits non-zero.
#   usage: lint.sh TREE JOBS
set -euo pipefail
cd "$(dirname "$0")/.."
tree=$1
jobs=$2

mapfile -t files < <(git ls-files '*.cpp' '*.h')
echo "lint: layout of ${#files[@]} files (.clang-format)"
clang-format --dry-run --Werror "${files[@]}"

cmake -S . -B "$tree" -DQZ_SANITIZE=OFF -DCMAKE_BUILD_TYPE=Debug \
    -DCMAKE_EXPORT_COMPILE_COMMANDS=ON >/dev/null
mapfile -t sources < <(python3 -c '
import json, os, sys
root = os.getcwd() + "/"
for e in json.load(open(sys.argv[1])):
    f = os.path.normpath(os.path.join(e["directory"], e["file"]))
    if f.startswith(root) and "/out/" not in f[len(root) - 1:]:
        print(f)' "$tree/compile_commands.json" | sort -u)
echo "lint: clang-tidy over ${#sources[@]} sources (.clang-tidy)"
printf '%s\n' "${sources[@]}" |
  xargs -P "$jobs" -n 4 clang-tidy -p "$tree" --quiet --warnings-as-errors='*' 2>/dev/null
echo "lint: passed"
