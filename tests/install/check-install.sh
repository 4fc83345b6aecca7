#!/usr/bin/env bash
# Installs a build into a staging folder and checks the port-I/O helper and its polkit action, and
# that the installed programs reach the installed paths, never the stand-ins of a test build;
# where the build makes packages, installs each package's part on its own and checks its file
# list (what cpack puts in the .deb): r550ctl with its manual page, completion, the helper and
# policy; r550tool (where the window was built) with the window's manual page, desktop entry and
# metainfo; each its own copyright file.
#   check-install.sh BUILD_DIR HELPER_PATH POLICY_PATH ACTION_ID [STAND_INS]
set -euo pipefail
build=$1 helper=$2 policy=$3 action=$4 standins=${5:-}
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
fail() { echo "check-install: $*" >&2; exit 1; }

DESTDIR="$stage/root" cmake --install "$build" >/dev/null
[ -x "$stage/root$helper" ] || fail "helper not installed at $helper"
file="$stage/root$policy"
[ -f "$file" ] || fail "policy not installed at $policy"

# Valid for polkit: against polkit's own DTD where it is installed, well-formed in any case.
dtd=/usr/share/polkit-1/policyconfig-1.dtd
if [ -f "$dtd" ]; then
    xmllint --noout --dtdvalid "$dtd" "$file" || fail "policy does not match $dtd"
else
    xmllint --noout "$file" || fail "policy is not well-formed XML"
fi
value() { xmllint --xpath "string($1)" "$file"; }
[ "$(value /policyconfig/action/@id)" = "$action" ] || fail "action id is not $action"
[ "$(value "/policyconfig/action/annotate[@key='org.freedesktop.policykit.exec.path']")" = "$helper" ] ||
    fail "policy does not name $helper"
[ "$(value /policyconfig/action/defaults/allow_active)" = auth_admin_keep ] ||
    fail "allow_active is not auth_admin_keep"
for key in allow_any allow_inactive; do
    [ "$(value "/policyconfig/action/defaults/$key")" = auth_admin ] || fail "$key is not auth_admin"
done

# The programs installed (and so packed) are the real ones: none names the stand-ins' folder,
# which only the tests' copies of the programs run.
if [ -n "$standins" ]; then
    for program in "$stage"/root/usr/bin/* "$stage/root$helper"; do
        if grep -qF "$standins" "$program"; then fail "$program names the stand-ins in $standins"; fi
    done
fi

[ -f "$build/CPackConfig.cmake" ] || exit 0
# Each package's files, as cpack installs them for it: one component into a folder of its own.
part() {
    DESTDIR="$stage/$1" cmake --install "$build" --component "$1" >/dev/null
    (cd "$stage/$1" && find . ! -type d)
}
ctl=$(part r550ctl)
has() { grep -qx "\.$2" <<<"$1"; }
# r550ctl: the command line, the helper and its action, without the window's files.
for path in /usr/bin/r550ctl /usr/share/man/man1/r550ctl.1.gz \
            /usr/share/bash-completion/completions/r550ctl "$helper" "$policy" \
            /usr/share/doc/r550ctl/copyright; do
    has "$ctl" "$path" || fail "$path is missing from r550ctl"
done
for path in /usr/bin/r550tool /usr/share/applications/org.r550tool.r550tool.desktop \
            /usr/share/metainfo/org.r550tool.r550tool.metainfo.xml; do
    if has "$ctl" "$path"; then fail "$path is in r550ctl"; fi
done
# The helper is run through pkexec only: never set-user-ID.
[ "$(stat -c %A "$stage/r550ctl$helper")" = -rwxr-xr-x ] || fail "helper has unexpected mode"
# r550tool: the window and what belongs to it, where the build has the window.
if [ -x "$build/r550tool" ]; then
    tool=$(part r550tool)
    for path in /usr/bin/r550tool /usr/share/man/man1/r550tool.1.gz \
                /usr/share/applications/org.r550tool.r550tool.desktop \
                /usr/share/metainfo/org.r550tool.r550tool.metainfo.xml \
                /usr/share/doc/r550tool/copyright; do
        has "$tool" "$path" || fail "$path is missing from r550tool"
    done
    if has "$tool" /usr/bin/r550ctl; then fail "r550ctl is in r550tool"; fi
fi
echo "check-install: helper, policy, the real programs and the file lists of both packages as expected"
