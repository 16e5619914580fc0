#!/usr/bin/env bash
# The AppStream metadata passes the validator software centres rely on, with nothing but
# pedantic hints, and shows only screenshots the repository holds.
#   appstream_test.sh METAINFO SCREENSHOTS_FOLDER
set -uo pipefail
metainfo=$1
screenshots=$2
failed=0
fail() {
    echo "FAIL: $*" >&2
    failed=1
}

appstreamcli validate --no-net --strict --explain "$metainfo" || fail "appstreamcli validate refused $metainfo"

# The pictures are published from the screenshots folder under their own names.
if [ -d "$screenshots" ]; then
    for image in $(sed -nE 's|.*<image[^>]*>[^<]*/([^/<]+)</image>.*|\1|p' "$metainfo"); do
        [ -f "$screenshots/$image" ] || fail "the screenshot $image is not in $screenshots"
    done
fi

exit $failed
