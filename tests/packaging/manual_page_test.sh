#!/usr/bin/env bash
# The manual page names exactly the options `kavrin32 --help` names, gives each its own entry,
# and man renders it without a warning.
#   manual_page_test.sh PROGRAM PAGE
set -uo pipefail
program=$1
page=$2
failed=0
fail() {
    echo "FAIL: $*" >&2
    failed=1
}

# Options are "-x" or "--word-word" standing after a blank, a bracket, a bar or a comma.
options() {
    grep -oE '(^|[][ |,(])--?[a-z][a-z0-9-]*' | sed -E 's/^[][ |,(]//' | sort -u
}

help=$("$program" --help) || fail "kavrin32 --help exited with $?"
help_options=$(options <<<"$help")
[ -n "$help_options" ] || fail "no option found in --help"

# The page's source with roff's escapes for hyphens and fonts taken out.
text=$(sed -E 's/\\-/-/g; s/\\f[BIRP]//g; s/\\&//g; s/\\%//g' "$page")
page_options=$(options <<<"$text")
# The options an entry of the OPTIONS section is about: the line after each ".TP".
entry_options=$(awk '/^\.SH/ { inside = ($2 == "OPTIONS") } inside && after_tp { print; after_tp = 0 }
                     /^\.TP/ { after_tp = 1 }' <<<"$text" | options)

for o in $help_options; do
    grep -qxF -- "$o" <<<"$entry_options" || fail "$o is in --help but has no entry in the manual page"
done
for o in $page_options; do
    grep -qxF -- "$o" <<<"$help_options" || fail "$o is in the manual page but not in --help"
done

# What lintian runs on every manual page of a package.
warnings=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 \
    man --warnings -E UTF-8 -l -Tutf8 -Z "$page" 2>&1 >/dev/null)
[ -z "$warnings" ] || fail "man warns about the page:"$'\n'"$warnings"

exit $failed
