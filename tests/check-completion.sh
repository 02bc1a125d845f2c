#!/usr/bin/env bash
# The bash completion of merivo-tool offers the commands, options and values
# that the program's --help lists, and files where a file goes.
#   check-completion.sh MERIVO_TOOL COMPLETION_SCRIPT
set -uo pipefail
tool=$(realpath "$1")
source "$2"
cd "$(mktemp -d)" || exit 1
trap 'rm -rf "$PWD"' EXIT
touch contacts.vcf copy.mdb
status=0

# What completing the last word offers, sorted, on one line.
offers() {
  COMP_WORDS=("$tool" "$@")
  COMP_CWORD=$#
  COMPREPLY=()
  _merivo_tool
  printf '%s\n' "${COMPREPLY[@]}" | sort | paste -sd' '
}
expect() { # what offered... -- words
  local what=$1 wanted=() words
  shift
  while [ "$1" != -- ]; do wanted+=("$1"); shift; done
  shift
  words=$(offers "$@")
  case $what in
    exactly) [ "$words" = "${wanted[*]}" ] ;;
    including) for w in "${wanted[@]}"; do [[ " $words " == *" $w "* ]] || false; done ;;
    excluding) for w in "${wanted[@]}"; do [[ " $words " != *" $w "* ]] || false; done ;;
  esac || { echo "merivo-tool $* offers '$words', not $what '${wanted[*]}'"; status=1; }
}

expect including backup check export import restore -- ""
expect exactly export -- ex
expect exactly csv vcard -- export --format ""
expect exactly csv mdb vcard -- import --format ""
expect exactly 3.0 4.0 -- export --format vcard --vcard-version ""
expect exactly --vcard-version -- export --format csv --vc
expect including --database --help --version -- check --
expect excluding --format --vcard-version -- check --
expect exactly contacts.vcf copy.mdb -- --database ""
expect exactly import -- --database copy.mdb im
expect exactly contacts.vcf -- import --format vcard con

[ "$status" -eq 0 ] && echo "completion offers what merivo-tool --help lists"
exit "$status"
