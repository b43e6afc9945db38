#!/bin/sh
# Fails when a C++ source of the project is not as clang-format leaves it.
set -eu
cd "${1:?usage: format_test.sh SOURCE_DIR}"
find text toolkit store rules ui game tests bench fuzz -name '*.cpp' -o -name '*.h' |
    xargs clang-format --dry-run --Werror
