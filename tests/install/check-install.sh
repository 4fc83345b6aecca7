#!/usr/bin/env bash
# Installs a build into a staging folder and checks the port-I/O helper and its polkit action;
# where the build makes a .deb, builds it and checks the package's file list: both programs (the
# window only where it was built), r550ctl's manual page and completion, the helper and policy.
#   check-install.sh BUILD_DIR HELPER_PATH POLICY_PATH ACTION_ID
set -euo pipefail
build=$1 helper=$2 policy=$3 action=$4
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

[ -f "$build/CPackConfig.cmake" ] || exit 0
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$stage/package" >/dev/null
deb=$(echo "$stage"/package/*.deb)
[ -f "$deb" ] || fail "no .deb was built"
list=$(dpkg-deb -c "$deb")
expected=(/usr/bin/r550ctl /usr/share/man/man1/r550ctl.1.gz
          /usr/share/bash-completion/completions/r550ctl "$helper" "$policy")
# The window is in the package when the build has it.
[ -x "$build/r550tool" ] && expected+=(/usr/bin/r550tool)
for path in "${expected[@]}"; do
    grep -q " \.$path\$" <<<"$list" || fail "$path is missing from the package"
done
# The helper is run through pkexec only: never set-user-ID in the package.
grep " \.$helper\$" <<<"$list" | grep -q '^-rwxr-xr-x ' || fail "helper has unexpected mode"
dpkg-deb -f "$deb" Recommends | grep -q pkexec || fail "package does not recommend pkexec"
echo "check-install: helper, policy and package file list as expected"
