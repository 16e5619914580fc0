#!/usr/bin/env bash
# The bash completion, loaded the way bash-completion loads it, completes the options, project
# files, settings exports and the names of the servers the program itself stored.
#   bash_completion_test.sh PROGRAM COMPLETION_SCRIPT
set -uo pipefail
program=$1
script=$2
failed=0
fail() {
    echo "FAIL: $*" >&2
    failed=1
}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# shellcheck disable=SC1091
source /usr/share/bash-completion/bash_completion || { echo "bash-completion is missing" >&2; exit 1; }
# shellcheck disable=SC1090
source "$script" || exit 1

# What pressing Tab at the end of LINE offers, sorted, separated by blanks.
complete_line() {
    local line=$1
    COMP_LINE=$line
    COMP_POINT=${#line}
    read -ra COMP_WORDS <<<"$line"
    [[ $line == *' ' ]] && COMP_WORDS+=('')
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMPREPLY=()
    _kavrin32 kavrin32 "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}" 2>/dev/null
    printf '%s\n' "${COMPREPLY[@]}" | LC_ALL=C sort | paste -sd' '
}

expect() {
    local line=$1 want=$2 got
    got=$(complete_line "$line")
    [[ $got == "$want" ]] || fail "'$line<Tab>' offers '$got', expected '$want'"
}

# Files and folders to complete.
mkdir -p "$work/files/posts"
touch "$work/files/weekly.kv32" "$work/files/OLD.KV32" "$work/files/notes.txt" "$work/files/weekly.nzb" \
    "$work/files/backup.reg" "$work/files/windows.REG"
cd "$work/files" || exit 1

expect 'kavrin32 --' '--export --get-newsgroups --help --import-settings --post --update-newsgroups --version'
expect 'kavrin32 --up' '--update-newsgroups'
expect 'kavrin32 ' 'OLD.KV32 posts weekly.kv32'
expect 'kavrin32 --post ' 'OLD.KV32 posts weekly.kv32'
expect 'kavrin32 --post -' '--nzb --yes'
expect 'kavrin32 --post weekly.kv32 ' '--nzb --yes'
expect 'kavrin32 --post --yes ' 'OLD.KV32 posts weekly.kv32'
expect 'kavrin32 --post weekly.kv32 --yes ' '--nzb'
expect 'kavrin32 --post weekly.kv32 --nzb ' 'posts weekly.nzb'
expect 'kavrin32 --post --nzb weekly.nzb ' 'OLD.KV32 posts weekly.kv32'
expect 'kavrin32 --post weekly.kv32 --nzb weekly.nzb --yes ' ''
expect 'kavrin32 --export ' 'posts'
expect 'kavrin32 --export posts ' 'OLD.KV32 posts weekly.kv32'
expect 'kavrin32 --export posts weekly.kv32 ' ''
expect 'kavrin32 --export posts weekly.kv32 -' '--replace'
expect 'kavrin32 --export --replace ' 'posts'
expect 'kavrin32 --export --replace posts ' 'OLD.KV32 posts weekly.kv32'
expect 'kavrin32 --export posts --replace weekly.kv32 -' ''
expect 'kavrin32 --import-settings ' 'backup.reg posts windows.REG'
expect 'kavrin32 --import-settings backup.reg ' ''

# Servers stored by the program itself, in each of the places it keeps its settings. The export
# spells the key in capitals, as registry key names may be, and holds a project named like the
# servers' key and a text that looks like a server's key header.
cat >"$work/servers.reg" <<'REG'
REGEDIT4

[HKEY_CURRENT_USER\Software\Pellido Software\Kavrin/32\SERVERS\news.example.com]
"Port Number"=dword:00000077
"Number of Newsgroups"=dword:00000000

[HKEY_CURRENT_USER\Software\Pellido Software\Kavrin/32\SERVERS\Secure.Example.NET]
"Port Number"=dword:00000233
"Number of Newsgroups"=dword:00000000

[HKEY_CURRENT_USER\Software\Pellido Software\Kavrin/32\Projects\Servers]
"Subject"="\n[HKEY_CURRENT_USER\\Software\\Pellido Software\\Kavrin/32\\Servers\\not.a.server]"
REG

# KAVRIN32_CONFIG_DIR, XDG_CONFIG_HOME and HOME as the program and the completion see them.
servers_in() {
    (
        failed=0
        export KAVRIN32_CONFIG_DIR=$1 XDG_CONFIG_HOME=$2 HOME=$3
        "$program" --import-settings "$work/servers.reg" >/dev/null 2>&1 ||
            fail "kavrin32 --import-settings failed"
        expect 'kavrin32 --get-newsgroups ' 'Secure.Example.NET news.example.com'
        expect 'kavrin32 --update-newsgroups ' 'Secure.Example.NET news.example.com'
        expect 'kavrin32 --get-newsgroups SEC' 'Secure.Example.NET'
        expect 'kavrin32 --update-newsgroups news.example.com ' '--yes'
        expect 'kavrin32 --get-newsgroups --yes n' 'news.example.com'
        exit $failed
    ) || {
        failed=1
        echo "  with KAVRIN32_CONFIG_DIR='$1' XDG_CONFIG_HOME='$2' HOME='$3'" >&2
    }
}
servers_in "$work/own" "$work/unused" "$work/unused"
servers_in "" "$work/xdg" "$work/unused"
servers_in "" "" "$work/home"

# No settings file yet: nothing to offer, and no complaint.
(
    failed=0
    export KAVRIN32_CONFIG_DIR=$work/empty
    expect 'kavrin32 --get-newsgroups ' ''
    exit $failed
) || failed=1

exit $failed
