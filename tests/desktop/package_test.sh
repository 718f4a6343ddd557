#!/usr/bin/env bash
# Checks the .deb that make_package.sh built.
#   package_test.sh contents|roundtrip DEB_DIR VERSION
set -uo pipefail
mode=$1 dir=$2 version=$3
here=$(dirname "$0")
# shellcheck source=tree_checks.sh
source "$here/tree_checks.sh"

arch=$(dpkg --print-architecture)
deb=$dir/sonabank_${version}_${arch}.deb
[ -f "$deb" ] || { echo "FAIL: no $deb (found: $(ls "$dir"))" >&2; exit 1; }
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root" || { echo "FAIL: dpkg-deb -x" >&2; exit 1; }

check_contents() {
    local field expected
    while IFS='=' read -r field expected; do
        local value
        value=$(dpkg-deb -f "$deb" "$field")
        [ "$value" = "$expected" ] || fail "$field is '$value', expected '$expected'"
    done <<FIELDS
Package=sonabank
Version=$version
Architecture=$arch
Section=sound
FIELDS
    # Depends comes from the binaries' libraries, and by hand for the libraries
    # opened with dlopen: sound output on the first Play, the speech synthesizer,
    # the audio file libraries.
    local depends
    depends=$(dpkg-deb -f "$deb" Depends)
    local lib
    for lib in libc6 libstdc++6 libqt6widgets6 libpulse0 libasound2 libespeak-ng1 libsndfile1 \
        libsoxr0 libebur128-1; do
        [[ $depends == *"$lib "* || $depends == *"$lib" || $depends == *"$lib,"* ]] ||
            fail "Depends lacks $lib: $depends"
    done
    [[ $depends != *multimedia* ]] || fail "Depends still names Qt Multimedia: $depends"
    # The sound libraries are loaded by playing only, and the command-line
    # tool needs no Qt at all.
    local needed
    needed=$(readelf -d "$root/usr/bin/sonabank" "$root/usr/bin/sonabank-cli" | grep NEEDED)
    [[ $needed != *libpulse* && $needed != *libasound* && $needed != *Multimedia* ]] ||
        fail "a program links a sound library: $needed"
    needed=$(readelf -d "$root/usr/bin/sonabank-cli" | grep NEEDED)
    [[ $needed != *libQt* ]] || fail "sonabank-cli links Qt: $needed"
    [[ $needed != *libsndfile* && $needed != *libsoxr* ]] ||
        fail "sonabank-cli links the audio file libraries: $needed"

    [ -n "$(dpkg-deb -f "$deb" Maintainer)" ] || fail "no Maintainer"

    # Exactly the installed tree, nothing of the build or the tests.
    local files expected_files
    files=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $NF}' | sort)
    expected_files=$(sort <<LIST
./usr/bin/sonabank
./usr/bin/sonabank-cli
./usr/share/applications/sonabank.desktop
./usr/share/icons/hicolor/48x48/apps/sonabank.png
./usr/share/icons/hicolor/scalable/apps/sonabank.svg
./usr/share/man/man1/sonabank-cli.1
LIST
)
    [ "$files" = "$expected_files" ] || fail "package files differ:
$(diff <(echo "$expected_files") <(echo "$files"))"

    check_tree "$root/usr" "$version"
}

# The packaged tool on its own: a bank made, filled and listed from the
# unpacked tree, with a Cyrillic description stored in code page 1251.
check_roundtrip() {
    local cli=$root/usr/bin/sonabank-cli work=$root/work
    mkdir -p "$work"
    # 1056 samples at the 8-bit zero level: 1056 PCM bytes, 528 ADPCM bytes.
    head -c 1056 /dev/zero | tr '\0' '\200' >"$work/silence.raw"
    "$cli" new "$work/bank.bin" || fail "new"
    "$cli" add "$work/bank.bin" "$work/silence.raw" --format adpcm --description "Тишина" || fail "add adpcm"
    "$cli" add "$work/bank.bin" "$work/silence.raw" --description "pcm" || fail "add pcm"
    local listed expected
    listed=$("$cli" list "$work/bank.bin") || fail "list"
    expected=$(printf '0\tТишина\tADPCM 11025 Hz\t528\t5\n1\tpcm\tPCM 22050 Hz\t1056\t6')
    [ "$listed" = "$expected" ] || fail "list printed:
$listed
expected:
$expected"
    [ "$(stat -c %s "$work/bank.bin")" = 2162688 ] || fail "the bank is not a whole image"
    "$cli" check "$work/bank.bin" >/dev/null || fail "check finds faults in the bank"
}

case $mode in
    contents) check_contents ;;
    roundtrip) check_roundtrip ;;
    *) echo "unknown mode $mode" >&2; exit 2 ;;
esac
exit $((failures > 0))
