#!/usr/bin/env bash
# The catalogue of Merivo's texts holds whole sentences: a stored value goes
# into its sentence as %1, never between two translated pieces.
#   check-catalogue.sh merivo.ts
set -euo pipefail
ts=$1
for sentence in 'Do you want to edit %1 ?' 'Do you want to delete?%1?' '%1 - Print' 'WELCOME %1' \
                'Save the card as PDF' 'The report was saved as %1.'; do
  grep -qF "<source>$sentence</source>" "$ts" || { echo "not in the catalogue as one text: $sentence"; exit 1; }
done
# A text that begins with a blank is the rest of a sentence spliced after a value.
if grep -n '<source> ' "$ts"; then
  echo "texts above begin with a blank"
  exit 1
fi
echo "catalogue: $(grep -c '<source>' "$ts") texts, whole sentences"
