#!/usr/bin/env bash
# Installs the library's components from the build folder $1 into a fresh prefix and builds
# and runs the consumer in $2 against it, once through pkg-config and once through CMake.
set -euo pipefail
build=$1 consumer=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
for component in runtime dev; do
    cmake --install "$build" --prefix "$prefix" --component "$component" > /dev/null
done

echo "== pkg-config"
pc_dir=$(dirname "$(find "$prefix" -name velmo.pc)")
flags=$(PKG_CONFIG_PATH=$pc_dir pkg-config --cflags --libs velmo)
cc -Wall -Werror -o "$work/consumer" "$consumer/consumer.c" $flags
LD_LIBRARY_PATH=$(dirname "$(find "$prefix" -name 'libvelmo.so.1')") "$work/consumer"

echo "== CMake"
cmake -S "$consumer" -B "$work/build" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" \
    -DCMAKE_C_FLAGS="-Wall -Werror" > /dev/null
cmake --build "$work/build" > /dev/null
# The imported target carries the library's path, and CMake's build tree the RUNPATH to it.
"$work/build/consumer"
"$work/build/consumer_static"
! ldd "$work/build/consumer_static" | grep -q libvelmo || { echo "static consumer uses libvelmo.so" >&2; exit 1; }
