#!/usr/bin/env bash
# Debian's own checks on the package the build makes, each printing what it found:
#   lintian (no error, no warning), appstreamcli validate on the AppStream metainfo (its id that
#   of the desktop entry), desktop-file-validate (silent), hardening-check on every program, the
#   folders 0755, and apt-get resolving every dependency of the package.
#   check-package.sh PACKAGE.deb
set -euo pipefail
deb=$(realpath "$1")
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
fail() { echo "check-package: $*" >&2; exit 1; }

echo "-- lintian $(basename "$deb")"
lintian --info --fail-on error,warning "$deb" || fail "lintian reports errors or warnings"

dpkg-deb -x "$deb" "$stage"
metainfo=("$stage"/usr/share/metainfo/*.metainfo.xml)
desktop=("$stage"/usr/share/applications/*.desktop)
[ -f "${metainfo[0]}" ] && [ -f "${desktop[0]}" ] || fail "no metainfo or desktop entry"
echo "-- appstreamcli validate --no-net ${metainfo[0]#"$stage"}"
appstreamcli validate --no-net "${metainfo[0]}" || fail "the metainfo does not validate"
id=$(xmllint --xpath 'string(/component/id)' "${metainfo[0]}")
[ "$(basename "${metainfo[0]}")" = "$id.metainfo.xml" ] || fail "metainfo file is not named $id"
[ "$(basename "${desktop[0]}")" = "$id.desktop" ] || fail "desktop entry is not $id.desktop"

echo "-- desktop-file-validate ${desktop[0]#"$stage"}"
report=$(desktop-file-validate "${desktop[0]}" 2>&1) || true
[ -z "$report" ] || fail "desktop-file-validate: $report"
echo "(no output)"

programs=()
while IFS= read -r -d '' program; do
    programs+=("$program")
done < <(find "$stage/usr/bin" "$stage/usr/libexec" -type f -perm -u+x -print0)
# Control-flow protection is not among the flags Debian 12's dpkg-buildflags gives on amd64.
echo "-- hardening-check --nocfprotection ${programs[*]#"$stage"}"
hardening-check --nocfprotection "${programs[@]}" | sed "s|$stage||" ||
    fail "a program misses a hardening flag"

echo "-- folder modes"
bad=$(dpkg-deb -c "$deb" | awk '/^d/ && $1 != "drwxr-xr-x" { print $1, $6 }')
[ -z "$bad" ] || fail "folders not 0755: $bad"
echo "every folder drwxr-xr-x"

echo "-- apt-get install --simulate $(basename "$deb")"
apt-get install --simulate -q "$deb" >"$stage/apt.out" 2>&1 || { cat "$stage/apt.out"; fail "apt-get cannot install it"; }
grep -E '^(Inst|Conf) r550tool' "$stage/apt.out" | head -2
echo "check-package: lintian, appstream, desktop entry, hardening, folders and dependencies as expected"
