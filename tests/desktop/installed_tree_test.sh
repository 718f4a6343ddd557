#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks what landed there.
#   installed_tree_test.sh BUILD_DIR VERSION
set -uo pipefail
build=$1 version=$2
here=$(dirname "$0")
# shellcheck source=tree_checks.sh
source "$here/tree_checks.sh"

prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null || { echo "FAIL: cmake --install" >&2; exit 1; }
check_tree "$prefix" "$version"
exit $((failures > 0))
