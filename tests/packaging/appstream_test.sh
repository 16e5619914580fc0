#!/usr/bin/env bash
# The AppStream metadata passes the validator software centres rely on with nothing above a
# pedantic hint, and its screenshots are pictures the repository holds, so that renaming one
# cannot leave the software centre without it.
#   appstream_test.sh METAINFO SCREENSHOTS_FOLDER
set -uo pipefail
metainfo=$1
screenshots=$2
failed=0
fail() {
    echo "FAIL: $*" >&2
    failed=1
}

appstreamcli validate --no-net --strict --explain "$metainfo" || fail "appstreamcli refuses $metainfo"

images=$(sed -nE 's|.*<image>[^<]*/([^/<]+)</image>.*|\1|p' "$metainfo")
[ -n "$images" ] || fail "no screenshot in $metainfo"
for image in $images; do
    [ -f "$screenshots/$image" ] || fail "the screenshot $image is not in $screenshots"
done

exit $failed
