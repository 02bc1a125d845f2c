#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks that the program, its
# menu entry, icons and metadata land in their usual places and are valid.
set -euo pipefail
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT

cmake --install "$build" --prefix "$prefix" >/dev/null
for file in bin/merivo bin/merivo-tool share/applications/merivo.desktop share/metainfo/org.merivo.Merivo.metainfo.xml \
            share/icons/hicolor/256x256/apps/merivo.png share/icons/hicolor/48x48/apps/merivo.png; do
  [ -e "$prefix/$file" ] || { echo "missing after install: $file"; exit 1; }
done
desktop-file-validate "$prefix/share/applications/merivo.desktop"
appstreamcli validate --no-net --pedantic "$prefix/share/metainfo/org.merivo.Merivo.metainfo.xml" >/dev/null
echo "installation complete and valid"
