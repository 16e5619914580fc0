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

# The packaged program is the stripped one the package installs.
dpkg-deb -x "$deb" "$work/root"
got=$("$work/root/usr/bin/kavrin32" --version 2>&1) || fail "the packaged kavrin32 --version exited with $?"
[[ $got == "Kavrin/32 $version" ]] || fail "the packaged kavrin32 --version says '$got'"

exit $failed
