#!/usr/bin/env bash
# tools/build.sh ARCH BUILD_TYPE DIR [cmake options...]: configures and builds one architecture.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
arch=$1 type=$2 dir=$3; shift 3
cmake -S "$here" -B "$dir" -DCMAKE_TOOLCHAIN_FILE="$here/cmake/toolchain-$arch.cmake" -DCMAKE_BUILD_TYPE="$type" "$@" >/dev/null
cmake --build "$dir" -j "$(nproc)"
