#!/usr/bin/env bash
# install_test.sh BUILD_DIR APP_ID: installs the build into a temporary prefix
# and checks that the desktop files are in place and pass their validators.
# A validator that is not installed is reported and skipped (scripts/setup.sh
# installs them all).
set -uo pipefail
build=$1
app_id=$2
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}
have() {
    command -v "$1" >/dev/null 2>&1 && return 0
    echo "skipped: $1 is not installed"
    return 1
}

cmake --install "$build" --prefix "$prefix" >/dev/null || fail "cmake --install"

share=$prefix/share
desktop=$share/applications/kolvo.desktop
metainfo=$share/metainfo/$app_id.metainfo.xml
mime=$share/mime/packages/kolvo.xml
icon=$share/icons/hicolor/scalable/apps/kolvo.svg
manpage=$share/man/man1/kolvo-cli.1
guipage=$share/man/man1/kolvo.1
for f in "$prefix/bin/kolvo" "$prefix/bin/kolvo-cli" "$desktop" "$metainfo" "$mime" "$icon" \
    "$manpage" "$guipage"; do
    [[ -s $f ]] || fail "not installed: ${f#"$prefix"/}"
done

# The desktop entry names the installed icon and the MIME type the MIME file
# defines; the metainfo names the desktop entry and the MIME type.
grep -qx 'Icon=kolvo' "$desktop" || fail "the desktop entry does not name the icon 'kolvo'"
grep -qx 'MimeType=application/x-kolvo;' "$desktop" || fail "the desktop entry lacks the MIME type"
grep -q '<launchable type="desktop-id">kolvo.desktop</launchable>' "$metainfo" ||
    fail "the metainfo does not launch kolvo.desktop"
grep -q '<mediatype>application/x-kolvo</mediatype>' "$metainfo" ||
    fail "the metainfo does not provide application/x-kolvo"

if have desktop-file-validate; then
    desktop-file-validate "$desktop" || fail "desktop-file-validate $desktop"
fi
if have appstreamcli; then
    appstreamcli validate --no-net "$metainfo" || fail "appstreamcli validate $metainfo"
fi
if have xmllint; then
    for f in "$mime" "$icon"; do
        xmllint --noout "$f" || fail "xmllint $f"
    done
fi
# The MIME database accepts the file and knows .kolvo files by name.
if have update-mime-database; then
    if update-mime-database "$share/mime" >/dev/null 2>&1; then
        grep -q 'application/x-kolvo:\*\.kolvo' "$share/mime/globs2" ||
            fail "the MIME database does not map *.kolvo"
    else
        fail "update-mime-database rejects $mime"
    fi
fi

# The manual page formats without warnings and names every command the
# program's own help lists.
if have man; then
    for page in "$manpage" "$guipage"; do
        warnings=$(MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)
        [[ -z $warnings ]] || fail "the manual page ${page##*/} has warnings: $warnings"
    done
fi
# The program's own help and the page name the same options, and the help
# needs no display.
options=$(env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb "$prefix/bin/kolvo" --help |
    grep -o -- '--[a-z-]*' | sort -u)
[[ -n $options ]] || fail "kolvo --help printed no options"
for o in $options; do
    [[ $o == --help-all ]] && continue
    sed 's/\\//g' "$guipage" | grep -q -- "$o" || fail "kolvo(1) does not describe '$o'"
done
commands=$("$prefix/bin/kolvo-cli" --help |
    awk '/^Commands:/ {on = 1; next} on && !NF {exit} on && /^  [^ ]/ {print $1}')
[[ -n $commands ]] || fail "kolvo-cli --help lists no commands"
page=$(sed 's/\\//g' "$manpage") # roff escapes out: "\-\-help" is "--help"
for c in $commands; do
    grep -q -- "^\.B $c" <<<"$page" || fail "the manual page does not describe '$c'"
done

((failures == 0)) || exit 1
echo "installed and valid"
