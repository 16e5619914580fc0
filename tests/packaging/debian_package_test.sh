#!/usr/bin/env bash
# The Debian package of a build: made by CPack from the build's install rules, accepted by
# lintian without an error or a warning, holding the program and the files that make it a
# desktop program, with its library dependencies found and a program that runs.
#   debian_package_test.sh BUILD_DIR VERSION
set -uo pipefail
build=$1
version=$2
failed=0
fail() {
    echo "FAIL: $*" >&2
    failed=1
}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

if ! cpack --config "$build/CPackConfig.cmake" -B "$work" >"$work/cpack.log" 2>&1; then
    cat "$work/cpack.log" >&2
    echo "FAIL: cpack could not make the package" >&2
    exit 1
fi
deb=$work/kavrin32_${version}_$(dpkg --print-architecture).deb
[ -f "$deb" ] || { ls "$work" >&2; echo "FAIL: no $(basename "$deb")" >&2; exit 1; }

# Informational tags are shown for the reader of the log; they do not fail the package.
lintian --fail-on error,warning --display-info --tag-display-limit 0 "$deb" ||
    fail "lintian reports errors or warnings (above)"

files=$(dpkg-deb --fsys-tarfile "$deb" | tar -t | sed 's|^\./|/|')
for f in \
    /usr/bin/kavrin32 \
    /usr/share/applications/kavrin32.desktop \
    /usr/share/mime/packages/kavrin32.xml \
    /usr/share/icons/hicolor/scalable/apps/kavrin32.svg \
    /usr/share/doc/kavrin32/help/index.html \
    /usr/share/man/man1/kavrin32.1.gz \
    /usr/share/bash-completion/completions/kavrin32 \
    /usr/share/metainfo/io.github.kavrin32.Kavrin32.metainfo.xml \
    /usr/share/doc/kavrin32/copyright \
    /usr/share/doc/kavrin32/changelog.gz; do
    grep -qxF "$f" <<<"$files" || fail "the package lacks $f"
done

depends=$(dpkg-deb -f "$deb" Depends)
for lib in libc6 libqt6core6 libqt6widgets6 libqt6network6; do
    [[ $depends == *"$lib "* || $depends == *"$lib," || $depends == *"$lib" ]] ||
        fail "Depends does not name $lib: $depends"
done

dpkg-deb -x "$deb" "$work/root"
root=$work/root
share=$root/usr/share

# The menu entry starts the packaged program; the AppStream metadata names that entry, that
# program and the file type the entry opens, as the package defines it.
entry=$share/applications/kavrin32.desktop
grep -qxF 'Exec=/usr/bin/kavrin32 %f' "$entry" ||
    fail "the menu entry does not start /usr/bin/kavrin32: $(grep '^Exec' "$entry")"
metainfo=$share/metainfo/io.github.kavrin32.Kavrin32.metainfo.xml
launchable=$(sed -nE 's|.*<launchable type="desktop-id">([^<]+)</launchable>.*|\1|p' "$metainfo")
[ -f "$share/applications/${launchable:-none}" ] ||
    fail "the metadata launches '$launchable', which the package does not hold"
binary=$(sed -nE 's|.*<binary>([^<]+)</binary>.*|\1|p' "$metainfo")
[ -x "$root/usr/bin/${binary:-none}" ] || fail "the metadata provides the binary '$binary'"
mediatype=$(sed -nE 's|.*<mediatype>([^<]+)</mediatype>.*|\1|p' "$metainfo")
grep -qF "<mime-type type=\"$mediatype\">" "$share/mime/packages/kavrin32.xml" ||
    fail "the metadata provides '$mediatype', which the package's file type is not"
grep -qE "^MimeType=(.*;)?$mediatype;" "$entry" || fail "the menu entry does not open '$mediatype'"

# The packaged program is the stripped one the package installs.
got=$("$root/usr/bin/kavrin32" --version 2>&1) || fail "the packaged kavrin32 --version exited with $?"
[[ $got == "Kavrin/32 $version" ]] || fail "the packaged kavrin32 --version says '$got'"

exit $failed
