# Checks shared by the installed-tree and the package tests. Source it, then
# call check_tree PREFIX VERSION; every failed check is printed and counted in
# $failures.

failures=0

fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

check_tree() {
    local prefix=$1 version=$2
    local p
    for p in bin/sonabank bin/sonabank-cli; do
        [ -f "$prefix/$p" ] && [ -x "$prefix/$p" ] || fail "$p is missing or not executable"
    done

    local entry=$prefix/share/applications/sonabank.desktop
    if [ -f "$entry" ]; then
        desktop-file-validate "$entry" || fail "desktop-file-validate rejects $entry"
        # The entry must start a program and show an icon that this tree provides.
        local exec icon
        exec=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$entry")
        icon=$(sed -n 's/^Icon=//p' "$entry")
        [ -x "$prefix/bin/$exec" ] || fail "Exec names '$exec', which is not in bin/"
        [ "$icon" = sonabank ] || fail "Icon is '$icon', the installed icons are named sonabank"
    else
        fail "share/applications/sonabank.desktop is missing"
    fi

    local svg=$prefix/share/icons/hicolor/scalable/apps/sonabank.svg
    local png=$prefix/share/icons/hicolor/48x48/apps/sonabank.png
    [ -f "$svg" ] && file -b "$svg" | grep -q '^SVG' || fail "no SVG icon at $svg"
    [ -f "$png" ] && file -b "$png" | grep -q '^PNG image data, 48 x 48,' ||
        fail "no 48 x 48 PNG icon at $png"

    local man=$prefix/share/man/man1/sonabank-cli.1
    if [ -f "$man" ]; then
        local warnings
        warnings=$(MANWIDTH=80 man --warnings -E UTF-8 -l "$man" 2>&1 >/dev/null) ||
            fail "man cannot render $man"
        [ -z "$warnings" ] || fail "man page warnings: $warnings"
    else
        fail "share/man/man1/sonabank-cli.1 is missing"
    fi

    if [ -x "$prefix/bin/sonabank" ]; then
        local shown
        shown=$(QT_QPA_PLATFORM=offscreen "$prefix/bin/sonabank" --version 2>/dev/null) ||
            fail "sonabank --version failed"
        [ "$shown" = "Sonabank $version" ] || fail "sonabank --version says '$shown'"
    fi

    local cli=$prefix/bin/sonabank-cli
    if [ -x "$cli" ]; then
        local out
        out=$("$cli" --version 2>&1) || fail "sonabank-cli --version failed: $out"
        [[ $out == *"$version"* ]] || fail "sonabank-cli --version says '$out', expected $version"

        # The manual documents exactly the commands the program knows.
        if [ -f "$man" ]; then
            local known documented
            known=$("$cli" --help | sed -n '/^Commands:/,/^$/s/^  \([a-z]\+\) .*/\1/p' | sort)
            documented=$(sed -n '/^\.SH COMMANDS/,/^\.SH OPTIONS/s/^\.BI "\([a-z]\+\) .*/\1/p' "$man" |
                sort)
            [ -n "$known" ] || fail "sonabank-cli --help lists no commands"
            [ "$known" = "$documented" ] || fail "the manual's commands differ from --help:
$(diff <(echo "$known") <(echo "$documented"))"
        fi
    fi
}
