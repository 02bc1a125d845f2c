#!/usr/bin/env bash
# Drives the real program under Xvfb with real X input, as a user would:
# log in, add three contacts, browse, find, edit, delete, print a card
# (on a stopped printer, then for real), print the report and save it as a
# PDF file, and exit; then checks the database with the sqlite3 shell and
# what the print server printed. The printer is a print server of the
# test's own (scratch-cups.sh). A failure leaves a screenshot in the output
# folder.
#   run-e2e.sh PROGRAM DATA_DIR OUTPUT_DIR
set -uo pipefail
program=$1 data=$2 output=$3
rm -rf "$data" "$output"
mkdir -p "$output"
export ASAN_OPTIONS=detect_leaks=0 QT_QPA_PLATFORM=xcb

step_name="start"
step() { step_name="$*"; echo "== $step_name"; }

screenshot() { import -window root "$output/$1" 2>/dev/null || true; }

source "$(dirname "$0")/scratch-cups.sh"

cleanup() {
  cups_stop
  [ -n "${app:-}" ] && kill "$app" 2>/dev/null
  [ -n "${wm:-}" ] && kill "$wm" 2>/dev/null
  [ -n "${xvfb:-}" ] && kill "$xvfb" 2>/dev/null
  wait 2>/dev/null
}
trap cleanup EXIT

fail() {
  echo "FAILED at '$step_name': $*" >&2
  echo "windows on screen:" >&2
  xdotool search --onlyvisible --name '.' getwindowname %@ 2>/dev/null | sed 's/^/  /' >&2
  screenshot e2e-failure.png
  echo "screenshot: $output/e2e-failure.png" >&2
  exit 1
}

# A free display of our own.
for n in $(seq 70 99); do
  [ -e "/tmp/.X$n-lock" ] || { display=":$n"; break; }
done
export DISPLAY=$display
Xvfb "$DISPLAY" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
openbox >/dev/null 2>&1 &
wm=$!
sleep 0.5

window_id() { xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n1; }

# Waits for a window with exactly this title and gives it the keyboard.
expect_window() {
  local id=""
  for _ in $(seq 100); do
    id=$(window_id "$1")
    [ -n "$id" ] && break
    sleep 0.1
  done
  [ -n "$id" ] || fail "no window titled '$1'"
  xdotool windowactivate --sync "$id" >/dev/null 2>&1 || xdotool windowfocus --sync "$id" >/dev/null 2>&1
  sleep 0.2
}

expect_no_window() {
  for _ in $(seq 50); do
    [ -z "$(window_id "$1")" ] && return 0
    sleep 0.1
  done
  fail "window '$1' is still open"
}

press() { xdotool key --clearmodifiers "$@"; sleep 0.25; }
typed() { xdotool type --delay 25 "$1"; sleep 0.1; }

# Answers the message box with this title by pressing its default button.
answer() {
  expect_window "$1"
  press Return
  expect_no_window "$1"
}

cups_start "$output/cups" || fail "the print server did not start"

# Waits until the print server has made N PDF files and has no job left.
wait_for_printed() {
  for _ in $(seq 300); do
    [ "$(cups_pdfs | wc -l)" -ge "$1" ] && [ -z "$(lpstat -o 2>/dev/null)" ] && return 0
    sleep 0.2
  done
  fail "the print server made $(cups_pdfs | wc -l) PDF files, not $1"
}

"$program" &
app=$!

step "splash, then login"
expect_window "Login"
typed "tester"
press Tab
typed "qard"
press Return
expect_no_window "Login"
expect_window "Merivo"

step "open the Add & Delete form from the menu"
press alt+b
press a
expect_window "Add & Delete Record"

add_contact() { # name address phone
  press alt+a
  answer "Add"
  typed "$1"; press Tab
  typed "$2"; press Tab
  typed "$3"
  press Return # Save
  sleep 0.3
}
step "add three contacts"
add_contact "Ann Archer" "1 Apple Road" "111"
add_contact "Bob Baker" "2 Bread Street" "222"
add_contact "Cy Cooper" "3 Cask Lane" "333"

step "browse to the last contact and back"
press Page_Down
press Page_Down
press Page_Up

step "find a contact by name"
press alt+f
expect_window "Find"
typed "cy cooper"
press Return
expect_no_window "Find"
expect_window "Add & Delete Record"

step "delete the contact on show"
press alt+d
answer "Plimo"

step "leave the Add & Delete form"
press alt+x
answer "Exit"
expect_no_window "Add & Delete Record"
expect_window "Merivo"

# The window manager's order of the windows, back to front.
stacking() {
  for id in $(xprop -root _NET_CLIENT_LIST_STACKING | grep -o '0x[0-9a-f]*'); do xdotool getwindowname "$id"; done
}

step "Find Rrecord: the find form in front, the main window right behind it"
press alt+a
expect_window "About"
expect_window "Merivo"
press alt+b
press f
expect_window "Find & Edit Record"
order=$(stacking | paste -sd '|' -)
[ "$order" = "About|Merivo|Find & Edit Record" ] || fail "windows back to front: $order"
expect_window "About"
press Return
expect_no_window "About"

step "find and edit a contact"
expect_window "Find & Edit Record"
press alt+f
expect_window "Find"
typed "BOB BAKER"
press Return
expect_window "Find & Edit Record"
press Return # Edit is the default button after a search
answer "Edit"
press ctrl+a
typed "Robert Baker"
press Return # Update
sleep 0.3
press alt+x
answer "Exit"
expect_no_window "Find & Edit Record"

# Saves through the file dialog with this title, under this path.
save_as() {
  expect_window "$1"
  press ctrl+a
  typed "$2"
  press Return
  expect_no_window "$1"
}

step "print a card on a stopped printer: told, and saved as a PDF file instead"
press alt+b
press p
expect_window "PrintRecord"
press Return # Print Preview
expect_no_window "PrintRecord"
expect_window "Ann Archer - Print"
cupsdisable PDF
press Return # Print
answer "Print" # the printer is stopped: save it as a PDF file instead?
save_as "Save the card as PDF" "$output/card.pdf"
answer "Print" # saved as ...
expect_window "Ann Archer - Print"
[ -z "$(lpstat -o)" ] || fail "a job went to the stopped printer"
pdfinfo "$output/card.pdf" | grep -Eq '^Pages: +1$' || fail "the card's PDF is not one page"
pdftotext "$output/card.pdf" - | grep -q "Ann Archer" || fail "the card's PDF does not hold the name"

step "print the card on the print server"
cupsenable PDF
press Return # Print
expect_no_window "Ann Archer - Print"
expect_window "PrintRecord"
wait_for_printed 1
card=$(cups_pdfs | sed -n 1p)
pdfinfo "$card" | grep -Eq '^Pages: +1$' || fail "the printed card is not one page"
pdftotext "$card" - | grep -q "Ann Archer" || fail "the printed card does not hold the name"
press alt+x
answer "Exit"

step "print the report on the print server"
expect_window "Merivo"
press alt+r
expect_window "Contacts - Report"
press alt+p
wait_for_printed 2
pdftotext "$(cups_pdfs | sed -n 2p)" - | grep -q "Robert Baker" || fail "the printed report does not hold the contacts"

step "save the report as a PDF file"
expect_window "Contacts - Report"
press alt+d
save_as "Save the report as PDF" "$output/report.pdf"
answer "Report"
pdftotext "$output/report.pdf" - | grep -q "Robert Baker" || fail "the report's PDF does not hold the contacts"
expect_window "Contacts - Report"
press alt+F4
expect_no_window "Contacts - Report"

step "exit"
expect_window "Merivo"
press alt+x
for _ in $(seq 50); do kill -0 "$app" 2>/dev/null || break; sleep 0.1; done
kill -0 "$app" 2>/dev/null && fail "the program is still running after Exit"
wait "$app"; status=$?
app=""
[ "$status" -eq 0 ] || fail "the program ended with status $status"

step "check the stored contacts"
stored=$(sqlite3 "$data/db2.mdb" 'SELECT "Name" || "|" || "Address" || "|" || "Phone Number" FROM Table1 ORDER BY rowid;')
expected=$'Ann Archer|1 Apple Road|111\nRobert Baker|2 Bread Street|222'
if [ "$stored" != "$expected" ]; then
  fail "stored contacts differ:
$stored"
fi
[ "$(sqlite3 "$data/db2.mdb" 'PRAGMA integrity_check;')" = "ok" ] || fail "integrity check"
echo "end-to-end run passed"
