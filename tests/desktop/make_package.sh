#!/usr/bin/env bash
# Packs the build into a fresh .deb in OUT_DIR, for the package tests.
#   make_package.sh BUILD_DIR OUT_DIR
set -euo pipefail
build=$1 out=$2
rm -rf "$out"
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$out" >/dev/null
ls "$out"/*.deb
