#!/bin/sh
# Installs the independent npm parsers the contest tests read Vexa's Cabrillo and ADIF 3 files
# back with, outside the source tree. The tests look in $VEXA_NPM_DIR (default
# ~/.cache/vexa-npm) and skip with a message when the packages are not there.
set -e
dir="${VEXA_NPM_DIR:-$HOME/.cache/vexa-npm}"
mkdir -p "$dir"
cd "$dir"
if [ -d node_modules/cabrillo ] && [ -d node_modules/adif-parser-ts ]; then exit 0; fi
npm install --no-audit --no-fund cabrillo adif-parser-ts
