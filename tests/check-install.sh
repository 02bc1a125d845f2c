#!/usr/bin/env bash
# Checks an installation of Merivo: the programs, the menu entry, icons,
# AppStream metadata, manual pages, completion and documents are in their
# usual places and valid; they all carry the one application id, and the
# menu finds the entry by it; the installed program starts, keeps its data
# in the running user's folder and gives its windows the class that the
# entry names.
#   check-install.sh SOURCE_DIR APP_ID build BUILD_DIR   installs the build into a temporary prefix first
#   check-install.sh SOURCE_DIR APP_ID prefix PREFIX     an installation made otherwise (the package)
set -euo pipefail
source_dir=$1 id=$2 kind=$3
scratch=$(mktemp -d)
cleanup() {
  [ -n "${app:-}" ] && kill "$app" 2>/dev/null
  [ -n "${xvfb:-}" ] && kill "$xvfb" 2>/dev/null
  wait 2>/dev/null
  rm -rf "$scratch"
}
trap cleanup EXIT
fail() { echo "$*" >&2; exit 1; }

if [ "$kind" = build ]; then
  prefix=$scratch/prefix
  cmake --install "$4" --prefix "$prefix" >/dev/null
else
  prefix=$4
fi
share=$prefix/share
desktop=$share/applications/$id.desktop
metainfo=$share/metainfo/$id.metainfo.xml

for file in bin/merivo bin/merivo-tool "share/applications/$id.desktop" "share/metainfo/$id.metainfo.xml" \
            "share/icons/hicolor/48x48/apps/$id.png" "share/icons/hicolor/256x256/apps/$id.png" \
            share/man/man1/merivo.1.gz share/man/man1/merivo-tool.1.gz share/bash-completion/completions/merivo-tool \
            share/doc/merivo/copyright share/doc/merivo/changelog.gz; do
  [ -e "$prefix/$file" ] || fail "missing after install: $file"
done

# Valid, without so much as a hint.
problems=$(desktop-file-validate "$desktop" 2>&1) || true
[ -z "$problems" ] || fail "desktop-file-validate: $problems"
problems=$(appstreamcli validate --no-net --pedantic "$metainfo" 2>&1 | grep -E '^[EWIP]: ') || true
[ -z "$problems" ] || fail "appstreamcli validate --pedantic: $problems"

# One id: the entry's icon and the metadata's component and launchable.
grep -qx "Icon=$id" "$desktop" || fail "the menu entry's icon is not $id"
grep -q "<id>$id</id>" "$metainfo" || fail "the AppStream id is not $id"
grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$metainfo" || fail "the AppStream launchable is not $id.desktop"
# The screenshots are those of docs/.
for image in $(sed -n 's|.*<image>\(.*\)</image>.*|\1|p' "$metainfo"); do
  [ -f "$source_dir/docs/$(basename "$image")" ] || fail "no docs/$(basename "$image") for the screenshot $image"
done

# One licence: the LICENSE file, the copyright file and the metadata.
licence=$(sed -n 's/^License: //p' "$share/doc/merivo/copyright" | head -n1)
case $licence in
  GPL-3+) spdx=GPL-3.0-or-later; grep -q '^ *Version 3, 29 June 2007$' "$source_dir/LICENSE" || fail "LICENSE is not the GPL version 3" ;;
  *) fail "the copyright file names a licence this check does not know: $licence" ;;
esac
grep -q "<project_license>$spdx</project_license>" "$metainfo" || fail "the AppStream project_license is not $spdx"

# One version: the program's, the changelog's and the metadata's latest release.
version=$("$prefix/bin/merivo-tool" --version | sed 's/^merivo-tool //')
changelog_version=$(gzip -dc "$share/doc/merivo/changelog.gz" | sed -n '1s/^merivo (\(.*\)) .*/\1/p')
release_version=$(grep -o '<release version="[^"]*"' "$metainfo" | head -n1 | cut -d'"' -f2)
[ "$version" = "$changelog_version" ] && [ "$version" = "$release_version" ] ||
  fail "versions differ: program $version, changelog $changelog_version, AppStream release $release_version"

# The menu finds the entry by its id where it looks for entries, the way GLib
# (and with it GNOME's application menu) does, and shows it.
found=$(XDG_DATA_HOME=$scratch/nothing XDG_DATA_DIRS=$share PATH="$prefix/bin:$PATH" python3 - "$id.desktop" <<'PY'
import ctypes, sys
gio = ctypes.CDLL("libgio-2.0.so.0")
gio.g_desktop_app_info_new.restype = ctypes.c_void_p
gio.g_desktop_app_info_new.argtypes = [ctypes.c_char_p]
gio.g_app_info_should_show.argtypes = gio.g_app_info_get_name.argtypes = [ctypes.c_void_p]
gio.g_desktop_app_info_get_categories.argtypes = [ctypes.c_void_p]
gio.g_app_info_get_name.restype = gio.g_desktop_app_info_get_categories.restype = ctypes.c_char_p
info = gio.g_desktop_app_info_new(sys.argv[1].encode())
if not info or not gio.g_app_info_should_show(info):
    sys.exit("not found")
print(gio.g_app_info_get_name(info).decode(), gio.g_desktop_app_info_get_categories(info).decode())
PY
) || fail "the application menu does not find $id.desktop"
[ "$found" = "Merivo Office;ContactManagement;Qt;" ] || fail "the application menu shows $id.desktop as: $found"

# The installed program under a virtual X server, as a user with a data
# folder of their own: its windows' class is the entry's StartupWMClass, by
# which X11 desktops match them to the entry.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$scratch/display" >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 100); do [ -s "$scratch/display" ] && break; sleep 0.1; done
export DISPLAY=:$(cat "$scratch/display")
XDG_DATA_HOME=$scratch/data QT_QPA_PLATFORM=xcb ASAN_OPTIONS=detect_leaks=0 "$prefix/bin/merivo" >/dev/null 2>&1 &
app=$!
class=""
for _ in $(seq 100); do
  class=$(xwininfo -root -children | sed -n 's/^ *0x[0-9a-f]* "[^"]*": ("[^"]*" "\([^"]*\)").*/\1/p' | head -n1)
  [ -n "$class" ] && [ -e "$scratch/data/merivo/plimo.rpt" ] && break
  sleep 0.1
done
[ -e "$scratch/data/merivo/plimo.rpt" ] || fail "the installed program wrote no plimo.rpt into the user's folder"
grep -qx "StartupWMClass=$class" "$desktop" || fail "the windows' class '$class' is not the menu entry's StartupWMClass"

echo "installation complete and valid, with one id: $id"
