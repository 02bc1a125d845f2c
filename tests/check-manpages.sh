#!/usr/bin/env bash
# The manual pages render without a warning, and merivo-tool(1) lists what
# `merivo-tool --help` lists: the same commands with the same synopses, the
# same options, and no option that the other leaves out.
#   check-manpages.sh MERIVO_TOOL PAGES_DIR
set -euo pipefail
tool=$1 pages=$2
export LC_ALL=C.UTF-8
status=0

for page in "$pages"/*.1; do
  warnings=$(groff -man -t -ww -z "$page" 2>&1)
  [ -z "$warnings" ] || { echo "$(basename "$page") renders with warnings:"; echo "$warnings"; status=1; }
done

help=$(XDG_DATA_HOME=/home/user/.local/share "$tool" --help)
# The page as text, one line per paragraph, without hyphenation.
render() { groff -man -Tascii -rLL=2000n -rHY=0 -P-cbou "$@"; }
page=$(render "$pages/merivo-tool.1")

# The entries of a section of the help: its lines indented by two blanks, up
# to where a description starts (two blanks or more).
help_entries() { # heading
  awk -v heading="$1" '
    /^[^ ]/ { inside = ($0 == heading) }
    inside && /^  [-a-z]/ { entry = substr($0, 3); sub(/  .*/, "", entry); print entry }' <<<"$help" | sort
}
# The entries of a section of the page: the tags of its .TP paragraphs, as text.
page_entries() { # heading
  awk -v heading=".SH $1" '
    /^\.SH/ { inside = ($0 == heading) }
    inside && previous == ".TP" { print ".PP"; print }
    { previous = $0 }' "$pages/merivo-tool.1" | { echo ".TH ENTRIES 1"; cat; } | render | awk '/^       [^ ]/ { sub(/^ +/, ""); print }' | sort
}
# Every option named anywhere.
options() {
  grep -oE -- '(^|[^[:alnum:]-])--?[[:alpha:]][[:alnum:]-]*' <<<"$1" | sed -E 's/^[^-]+//' | sort -u
}

compare() { # what help page
  if ! difference=$(diff <(echo "$2") <(echo "$3")); then
    echo "$1 differ between merivo-tool --help (<) and merivo-tool(1) (>):"
    echo "$difference"
    status=1
  fi
}
compare "commands" "$(help_entries "Commands:")" "$(page_entries COMMANDS)"
compare "options" "$(help_entries "Options:")" "$(page_entries OPTIONS)"
compare "options named" "$(options "$help")" "$(options "$page")"

[ "$status" -eq 0 ] && echo "the manual pages agree with merivo-tool --help"
exit "$status"
