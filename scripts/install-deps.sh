#!/usr/bin/env bash
# Installs the Debian 12 packages of the lists named, for
#   build    building and running Merivo (the default)
#   test     the test suite, the benchmarks and the screenshots
#   package  making the Debian package and checking it
# Safe to run again: packages already present are skipped without touching apt.
#   scripts/install-deps.sh [build] [test] [package]
set -euo pipefail

build=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev
  qt6-tools-dev qt6-l10n-tools  # lupdate: the catalogue of Merivo's texts
  qt6-translations-l10n         # Qt's own texts, such as standard buttons, in the desktop's language
  libsqlite3-dev
  libharfbuzz-dev libdeflate-dev  # font subsets and compressed pages of report PDF files
  qtkeychain-qt6-dev            # merivo-tool keeps sync passwords in the desktop's keyring
)
test=(
  libbenchmark-dev sqlite3
  xvfb xauth xdotool imagemagick openbox x11-utils
  qt6ct                         # a dark desktop colour scheme for the screenshots
  poppler-utils fonts-dejavu-core fonts-liberation2
  fonts-wqy-microhei fonts-lohit-deva  # Chinese, Japanese and Devanagari names on screen
  fonts-noto-cjk                # a collection of CID-keyed CFF faces, embedded in report PDF files
  cups printer-driver-cups-pdf  # the test's own print server
  desktop-file-utils appstream groff-base
  abook mdbtools python3-vobject
  radicale vdirsyncer dbus-daemon gnome-keyring openssl  # sync: a CardDAV server, a peer, a keyring, certificates
)
package=(
  dpkg-dev file lintian
  desktop-file-utils appstream python3 xvfb xauth x11-utils
)

lists=("$@")
((${#lists[@]})) || lists=(build)
missing=()
for list in "${lists[@]}"; do
  case $list in
    build | test | package) ;;
    *) echo "install-deps.sh: no list named '$list' (build, test, package)" >&2; exit 2 ;;
  esac
  declare -n packages=$list
  for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
done

if ((${#missing[@]})); then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -qq
  $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
