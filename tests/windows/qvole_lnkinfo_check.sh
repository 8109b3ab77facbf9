#!/usr/bin/env bash
# Makes shortcuts with the real qvole.dll under Wine (through the test driver) and reads
# the saved .LNK files back with lnkinfo, a reader of the link format that shares no code
# with the shell that wrote them.
#   qvole_lnkinfo_check.sh <wine-run> <win_qvole_mklink.exe>
# Runs in the build's bin folder, with QV_WINEPREFIX and QV_WINEARCH set.
set -euo pipefail
wine_run=$1
mklink=$2

if ! command -v lnkinfo >/dev/null; then
  echo "lnkinfo is missing (package liblnk-utils)" >&2
  exit 1
fi

group="qvole lnkinfo $$-$RANDOM"
common=$("$wine_run" "$mklink" --folder common | tr -d '\r')
folder=$("$wine_run" winepath -u "$common\\$group" 2>/dev/null | tr -d '\r')
[ -n "$folder" ] || { echo "no Unix path for $common\\$group" >&2; exit 1; }
trap 'rm -rf "$folder"' EXIT

failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

make_link() {  # the driver's arguments
  "$wine_run" "$mklink" "$@" >/dev/null 2>&1 || fail "MakeShortCut $*"
}

# One field of lnkinfo's report, as "<field>: <value>"; empty when the field is absent.
field() {  # file, field name
  lnkinfo "$folder/$1" 2>/dev/null | sed -n "s/^\t$2[[:space:]]*: /$2: /p"
}

expect() {  # file, field name, expected value
  local actual
  actual=$(field "$1" "$2")
  [ "$actual" = "$2: $3" ] || fail "$1: expected '$2: $3', read '$actual'"
}

expect_absent() {  # file, field name
  local actual
  actual=$(field "$1" "$2")
  [ -z "$actual" ] || fail "$1: expected no $2, read '$actual'"
}

bin='C:\qv\bin\client\winx86'
long=$(printf 'Long shortcut name %.0s' $(seq 1 16))  # 304 characters

make_link 1 "$group" "Setup Workstation" "$bin\\qvcfg.exe" "$bin" ""
make_link 1 "$group" "Uninstall Workstation" "$bin\\qvcfg.exe" "" "-clean"
make_link 1 "$group" "Data Ferry" "$bin\\qvdft.exe" 'C:\dbclient\bin'
make_link 1 "$group" "$long" "$bin\\qvtrans" "$bin" ""

file="Setup Workstation.LNK"
[ -f "$folder/$file" ] || fail "$file was not made"
expect "$file" "Local path" "$bin\\qvcfg.exe"
expect "$file" "Description" "Setup Workstation"
expect "$file" "Working directory" "$bin"
expect "$file" "Command line arguments" ""

# An empty working directory gives the target's folder.
file="Uninstall Workstation.LNK"
expect "$file" "Working directory" "$bin"
expect "$file" "Command line arguments" "-clean"

# Null arguments leave the link without an arguments string.
file="Data Ferry.LNK"
expect "$file" "Working directory" 'C:\dbclient\bin'
expect_absent "$file" "Command line arguments"

# A name past the limit is cut in the file name and kept whole in the description.
windows_folder="$common\\$group\\"
cut=$((255 - ${#windows_folder}))
file="${long:0:$cut}.LNK"
if [ -f "$folder/$file" ]; then
  expect "$file" "Description" "$long"
else
  fail "no link named ${long:0:$cut}.LNK; found: $(ls "$folder")"
fi

[ "$(ls "$folder" | wc -l)" -eq 4 ] || fail "expected 4 links, found: $(ls "$folder")"

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed" >&2
  exit 1
fi
echo "lnkinfo read back every shortcut"
