#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks that the program, its
# menu entry, icons and metadata land in their usual places and are valid.
set -euo pipefail
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT

cmake --install "$build" --prefix "$prefix" >/dev/null
for file in bin/merivo bin/merivo-tool share/applications/merivo.desktop share/metainfo/org.merivo.Merivo.metainfo.xml \
            share/icons/hicolor/256x256/apps/merivo.png share/icons/hicolor/48x48/apps/merivo.png \
            lib/systemd/user/merivo-sync.service lib/systemd/user/merivo-sync.timer; do
  [ -e "$prefix/$file" ] || { echo "missing after install: $file"; exit 1; }
done
desktop-file-validate "$prefix/share/applications/merivo.desktop"
appstreamcli validate --no-net --pedantic "$prefix/share/metainfo/org.merivo.Merivo.metainfo.xml" >/dev/null
# The scheduled sync: the service runs the installed merivo-tool, and both
# units pass systemd's own check where systemd is there.
grep -qx "ExecStart=$prefix/bin/merivo-tool sync" "$prefix/lib/systemd/user/merivo-sync.service" \
  || { echo "merivo-sync.service does not run $prefix/bin/merivo-tool"; exit 1; }
if command -v systemd-analyze >/dev/null; then
  XDG_RUNTIME_DIR="$prefix" systemd-analyze verify --user "$prefix/lib/systemd/user/merivo-sync.timer" \
    "$prefix/lib/systemd/user/merivo-sync.service"
fi
echo "installation complete and valid"
