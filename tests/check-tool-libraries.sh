#!/usr/bin/env bash
# merivo-tool needs no graphical Qt: it loads Qt Core, and neither Qt Gui
# nor Qt Widgets nor Qt PrintSupport.
#   tests/check-tool-libraries.sh MERIVO_TOOL
set -euo pipefail
loaded=$(ldd "$1")
grep -q 'libQt6Core\.so' <<<"$loaded" || { echo "ldd does not list Qt Core for $1:" >&2; echo "$loaded" >&2; exit 1; }
if graphical=$(grep -E 'libQt6(Gui|Widgets|PrintSupport)\.so' <<<"$loaded"); then
  echo "$1 loads graphical Qt libraries:" >&2
  echo "$graphical" >&2
  exit 1
fi
