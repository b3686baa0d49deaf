#!/bin/sh
# registry/fold_table.inc is what registry/fold_table.awk makes of this machine's UnicodeData.txt,
# when that is the Unicode version the table names:  fold_table_test.sh SOURCE_DIR
src=$1
data=/usr/share/unicode/UnicodeData.txt
[ -r "$data" ] || { echo "skipped: no $data (Debian's unicode-data)"; exit 77; }
version=$(sed -n '1s/^# DerivedAge-\([0-9.]*\)\.txt.*/\1/p' /usr/share/unicode/DerivedAge.txt 2>/dev/null)
if ! grep -q "(Unicode ${version:-?})" "$src/registry/fold_table.inc"; then
  echo "skipped: this machine has Unicode ${version:-of an unknown version}; the table another"
  exit 77
fi
awk -v version="$version" -f "$src/registry/fold_table.awk" "$data" | cmp - "$src/registry/fold_table.inc" ||
  { echo "FAIL: registry/fold_table.inc is not what registry/fold_table.awk makes; run it again"; exit 1; }
echo "the fold table is what its generator makes"
