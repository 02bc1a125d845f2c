#!/usr/bin/env bash
# Makes the Debian package, has lintian look at it, installs it on this
# machine with apt-get, checks the installed programs and files as a user
# with a home of their own, and removes the package again. Needs root (or
# sudo) and a machine where Merivo is not installed otherwise, such as CI.
#   tests/check-package.sh
set -euo pipefail
cd "$(dirname "$0")/.."
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
fail() { echo "$*" >&2; exit 1; }

if dpkg-query -W -f='${Status}' merivo 2>/dev/null | grep -q "ok installed"; then
  fail "merivo is installed on this machine: this check installs and removes its own package"
fi

bash scripts/package.sh build-package
deb=$(echo "$PWD"/build-package/merivo_*.deb)
[ -f "$deb" ] || fail "no package made"
dpkg-deb --field "$deb" Depends
# What the programs link, as dpkg-shlibdeps found it; Qt SQL is not used.
for needed in libqt6widgets6 libsqlite3-0 libharfbuzz-subset0 libdeflate0; do
  dpkg-deb --field "$deb" Depends | grep -qE "(^|, )$needed( |,|$)" || fail "the package does not depend on $needed"
done
! dpkg-deb --field "$deb" Depends | grep -q libqt6sql6 || fail "the package depends on Qt SQL, which nothing uses"
if ! findings=$(lintian --fail-on error,warning "$deb" 2>&1); then
  echo "$findings" >&2
  fail "lintian finds errors or warnings"
fi

user=$(mktemp -d)
cleanup() {
  $sudo dpkg --purge merivo >/dev/null 2>&1 || true
  rm -rf "$user"
}
trap cleanup EXIT
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get install -y -qq --no-install-recommends "$deb" >/dev/null

# A user whose data folder is new: the installed commands work on theirs.
as_user() { env -i HOME="$user" PATH=/usr/bin:/bin LC_ALL=C.UTF-8 "$@"; }
[ "$(command -v merivo-tool)" = /usr/bin/merivo-tool ] || fail "merivo-tool is not /usr/bin/merivo-tool"
# Read whole first: grep -q would stop reading at its match, and the rest of
# a long help would meet a closed pipe.
help=$(as_user /usr/bin/merivo-tool --help)
grep -q "^$user/.local/share/merivo/db2.mdb unless --database" <<<"$help" ||
  fail "merivo-tool --help names another database than the user's own"
printf 'BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Ann Archer\r\nEND:VCARD\r\n' >"$user/card.vcf"
as_user /usr/bin/merivo-tool import "$user/card.vcf"
as_user /usr/bin/merivo-tool check | tee "$user/check.txt"
grep -q "^Contacts: 1 " "$user/check.txt" || fail "merivo-tool check does not find the imported contact"
as_user man -w merivo-tool | grep -qx /usr/share/man/man1/merivo-tool.1.gz || fail "man does not find merivo-tool(1)"

id=$(dpkg -L merivo | sed -n 's|^/usr/share/metainfo/\(.*\)\.metainfo\.xml$|\1|p')
bash tests/check-install.sh "$PWD" "$id" prefix /usr

$sudo dpkg --purge merivo >/dev/null
[ ! -e /usr/bin/merivo ] && [ ! -e /usr/bin/merivo-tool ] || fail "the programs stay after the package is removed"
! dpkg-query -W merivo >/dev/null 2>&1 || fail "dpkg still knows the package after it is purged"
echo "the package installs, works and goes again: $(basename "$deb")"
