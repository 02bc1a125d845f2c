#!/usr/bin/env bash
# Starts Merivo under a virtual X server over a few invented contacts, walks
# through every window with real keyboard input and saves a picture of each
# in docs/, with a sample report as a PDF file. There is no printer here, so
# printing the card takes the "save it as a PDF file instead" path. A second
# run under a dark desktop colour scheme (qt6ct's "darker") adds the Add &
# Delete form and the card as printed from it.
# Needs the packages of scripts/install-deps.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh build test

data=$(mktemp -d)
out=$(mktemp -d)
dark=$(mktemp -d)
build=${1:-build-shots}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DMERIVO_BUILD_TESTS=OFF -DMERIVO_BUILD_BENCH=OFF \
      -DMERIVO_DATA_DIR="$data" >/dev/null
cmake --build "$build" --parallel "$(nproc)" >/dev/null

# Invented contacts, in the table's own order (the report sorts them by name).
sqlite3 "$data/db2.mdb" <<'SQL'
CREATE TABLE Table1 ("Name" TEXT NOT NULL DEFAULT '', "Address" TEXT NOT NULL DEFAULT '',
  "Phone Number" TEXT NOT NULL DEFAULT '', "Position" TEXT NOT NULL DEFAULT '',
  "Office address" TEXT NOT NULL DEFAULT '', "Office Phone Number" TEXT NOT NULL DEFAULT '',
  "Email Address" TEXT NOT NULL DEFAULT '', "Website Address" TEXT NOT NULL DEFAULT '');
INSERT INTO Table1 VALUES
 ('Marta Quist', '14 Lindqvist Road, Apt 3, Northfield 40231', '+1 555 0142', 'Head of Purchasing',
  'Orvant Inc., 200 Harbour Street, Northfield 40210', '+1 555 0100 ext 12', 'marta.quist@example.com', 'www.example.com/mq'),
 ('Émile Durand', '7 rue des Tilleuls, 69003 Lyon', '+33 4 00 00 00 01', 'Consultant',
  'Atelier Durand, 12 quai Perrache, 69002 Lyon', '+33 4 00 00 00 02', 'emile@example.fr', 'example.fr/durand'),
 ('bob Tanaka', '3-5-1 Kita, Sapporo', '+81 11 000 0000', 'Engineer', 'Tanaka Works, Sapporo', '+81 11 000 0001',
  'bob@example.jp', 'example.jp'),
 ('Ζωή Παππά', 'Οδός Ερμού 21, Αθήνα', '+30 21 0000 0000', 'Architect', 'Studio Pappa, Athens', '+30 21 0000 0001',
  'zoe@example.gr', 'example.gr'),
 ('Alice Byrne', '22 Quay Lane, Cork', '+353 21 000 0000', 'Accountant', 'Byrne & Co., 1 South Mall, Cork',
  '+353 21 000 0001', 'alice.byrne@example.ie', 'example.ie/byrne'),
 ('Дмитрий Орлов', 'ул. Лесная 5, Казань', '+7 843 000 00 00', 'Buyer', 'ООО Орлов, Казань', '+7 843 000 00 01',
  'dmitri@example.ru', 'example.ru'),
 ('Jonas Weiß', 'Straße des 17. Juni 4, 10623 Berlin', '+49 30 0000000', 'Project Lead',
  'Weiß GmbH, Friedrichstraße 100, 10117 Berlin', '+49 30 0000001', 'jonas.weiss@example.de', 'example.de/weiss'),
 ('alice Ng', '88 Orchard Road #05-01, Singapore 238839', '+65 6000 0000', 'Sales', 'Ng Trading, Singapore',
  '+65 6000 0001', 'alice.ng@example.sg', 'example.sg'),
 ('山田 太郎', '東京都千代田区丸の内1-1', '+81 3 0000 0000', 'Manager', '山田商事, 東京', '+81 3 0000 0001',
  'taro@example.jp', 'example.jp/yamada'),
 ('محمد العلي', 'شارع الملك فهد 12، الرياض', '+966 11 000 0000', 'Partner', 'العلي للتجارة، الرياض',
  '+966 11 000 0001', 'mohammed@example.sa', 'example.sa'),
 ('अनीता शर्मा', '12 मॉल रोड, शिमला', '+91 177 000 0000', 'Designer', 'शर्मा डिज़ाइन, शिमला', '+91 177 000 0001',
  'anita@example.in', 'example.in');
SQL

# A free display of our own.
for n in $(seq 90 119); do
  [ -e "/tmp/.X$n-lock" ] || { export DISPLAY=":$n"; break; }
done
Xvfb "$DISPLAY" -screen 0 1280x900x24 >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null; rm -rf "$data" "$out" "$dark"' EXIT
sleep 1
openbox >/dev/null 2>&1 &
sleep 1

wait_for() { # window title (a regular expression)
  for _ in $(seq 150); do
    xdotool search --onlyvisible --name "$1" >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  echo "no window titled '$1'" >&2; return 1
}
activate() { # window title (a regular expression)
  local id; id=$(xdotool search --onlyvisible --name "$1" | head -n1)
  xdotool windowactivate --sync "$id" >/dev/null 2>&1 || true
  sleep 0.5
  echo "$id"
}
shot() { # window title, file: the window with its frame
  local id; id=$(activate "$1")
  import -window root -crop "$(xwininfo -id "$id" -frame | awk '/Width:/{w=$2}/Height:/{h=$2}/Absolute upper-left X:/{x=$4}/Absolute upper-left Y:/{y=$4}END{print w+8"x"h+40"+"x-4"+"y-32}')" "docs/$2"
}
key() { sleep 0.3; xdotool key "$@"; }
save_pdf() { # dialog title, path
  wait_for "$1"
  sleep 0.5
  key ctrl+a
  xdotool type --delay 10 "$2"
  key Return
}
log_in() {
  wait_for '^Login$'
  xdotool type --delay 20 "alice"
  key Tab
  xdotool type --delay 20 "qard"
}

# A dark desktop colour scheme, as qt6ct gives it to every Qt program.
mkdir -p "$dark/qt6ct"
printf '[Appearance]\ncolor_scheme_path=/usr/share/qt6ct/colors/darker.conf\ncustom_palette=true\nstyle=Fusion\n' \
  > "$dark/qt6ct/qt6ct.conf"

"$build/src/merivo" &
app=$!

mkdir -p docs
# The login's notice for an empty name stands in its title bar.
wait_for '^Login$'
key Return
wait_for '^Please enter login name$'
shot '^Please enter login name$' login-empty-name.png
key Return
log_in
shot '^Login$' login.png
key Return
wait_for '^Merivo$'

# The main window with its Address Book menu open.
activate '^Merivo$' >/dev/null
key alt+b
sleep 0.5
id=$(xdotool search --onlyvisible --name '^Merivo$' | head -n1)
import -window root -crop "$(xwininfo -id "$id" -frame | awk '/Width:/{w=$2}/Height:/{h=$2}/Absolute upper-left X:/{x=$4}/Absolute upper-left Y:/{y=$4}END{print w+8"x"h+40"+"x-4"+"y-32}')" docs/main-window.png
key Escape; key Escape

key alt+a
wait_for '^About$'
shot '^About$' about.png
key Return

# The three record forms.
activate '^Merivo$' >/dev/null
key alt+b; key a
wait_for '^Add & Delete Record$'
key Page_Down
shot '^Add & Delete Record$' add-delete-record.png
key alt+x; wait_for '^Exit$'; key Return

activate '^Merivo$' >/dev/null
key alt+b; key u
wait_for '^Find & Edit Record$'
key Return                        # Find
wait_for '^Find$'
xdotool type --delay 20 "jonas weiß"
key Return
sleep 0.5
shot '^Find & Edit Record$' find-edit-record.png
key alt+x; wait_for '^Exit$'; key Return

# Print Record, then its default button: the print preview of the first contact.
activate '^Merivo$' >/dev/null
key alt+b; key p
wait_for '^PrintRecord$'
shot '^PrintRecord$' print-record.png
key Return
wait_for ' - Print$'
shot ' - Print$' print-preview.png

# Print: no printer here, so the card goes to a PDF file instead.
key Return
wait_for '^Print$'
key Return                        # Yes: save it as a PDF file
save_pdf 'Save the card as PDF' "$out/card.pdf"
wait_for '^Print$'
key Return                        # the card was saved
sleep 0.5
key alt+c                         # Cancel: back to the Print Record form
wait_for '^PrintRecord$'

# The report, from the main window's menu.
activate '^Merivo$' >/dev/null
key alt+r
wait_for ' - Report$'
sleep 1
shot ' - Report$' report-window.png
key alt+d                         # Save as PDF
save_pdf 'Save the report as PDF' "$out/sample-report.pdf"
wait_for '^Report$'
key Return

cp "$out/sample-report.pdf" docs/sample-report.pdf
test -s "$out/card.pdf" && echo "card saved as a PDF file: $(stat -c %s "$out/card.pdf") bytes"
kill "$app" 2>/dev/null || true
wait "$app" 2>/dev/null || true

# The same program under the dark colour scheme: the Add & Delete form, and
# the card as printed, which stays dark on white.
XDG_CONFIG_HOME="$dark" QT_QPA_PLATFORMTHEME=qt6ct "$build/src/merivo" &
app=$!
log_in
key Return
wait_for '^Merivo$'
activate '^Merivo$' >/dev/null
key alt+b; key a
wait_for '^Add & Delete Record$'
key Page_Down
shot '^Add & Delete Record$' add-delete-record-dark.png
key alt+x; wait_for '^Exit$'; key Return
activate '^Merivo$' >/dev/null
key alt+b; key p
wait_for '^PrintRecord$'
key Page_Down; key Page_Down; key Page_Down
key Return
wait_for ' - Print$'
sleep 0.5
key Return
wait_for '^Print$'
key Return
save_pdf 'Save the card as PDF' "$out/card-dark.pdf"
wait_for '^Print$'
key Return
sleep 0.5
pdftoppm -png -r 96 -singlefile "$out/card-dark.pdf" "$out/card-dark"
convert "$out/card-dark.png" -trim +repage -bordercolor white -border 24 -bordercolor '#c0c0c0' -border 1 \
  docs/card-dark.png
kill "$app" 2>/dev/null || true
echo "saved: $(cd docs && ls)"
