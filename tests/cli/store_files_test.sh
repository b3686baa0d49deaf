#!/bin/sh
# The store's files and the tool's file arguments, one row each: a folder, a missing file or a
# device as an argument, a disk that fills up (ulimit -f), a symbolic link, a folder others can
# write, a side file planted by another user, and a missing store. Each row gives the command's
# exit status, what it says, and the state the files must be in afterwards.
#   store_files_test.sh TOOL
tool=$1
work=$(mktemp -d)
chmod 755 "$work"
trap 'rm -rf "$work"' EXIT
status=0
s=$work/s.db
tool_on() { timeout 60 "$tool" --store "$@"; }

# row NAME STATUS PATTERN CHECK: runs the command in $cmd (sh syntax, output to $work/out),
# then expects its status, its output, and the shell test CHECK to hold.
row() {
  sh -c "$cmd" >"$work/out" 2>&1
  code=$?
  if [ "$code" -ne "$2" ] || ! grep -q -- "$3" "$work/out" || ! sh -c "$4"; then
    echo "FAIL: $1: exit $code (expected $2, '$3', and [$4]); output:"
    sed 's/^/    /' "$work/out"
    status=1
  else
    echo "ok: $1"
  fi
}
export tool work s
tool_on "$s" call Corvane.Registry SaveDword '&H80000001' 'Software\Demo' Count 42 >/dev/null
i=0; while [ $i -lt 400 ]; do printf '"v%d"="%0500d"\n' $i 0; i=$((i + 1)); done |
  { printf 'REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Big]\n'; cat; } >"$work/big.reg"
tool_on "$s" reg import "$work/big.reg" >/dev/null
echo "an old backup" >"$work/backup" && echo "an old export" >"$work/export.reg"
printf 'REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Esc]\n"\033[31mred"="\033]0;title\007"\n' >"$work/esc.reg"
mkdir -p "$work/ro" && tool_on "$s" reg dump "$work/ro/copy.db" >/dev/null && chmod 555 "$work/ro"

cmd='"$tool" --store "$s" reg import "$work"'
row "a folder to import" 1 "cannot read .*: it is a folder" true
cmd='"$tool" --store "$s" shell "$work"'
row "a folder as a session" 1 "cannot read .*: it is a folder" true
cmd='"$tool" --store "$s" reg restore "$work/none.db"'
row "a missing copy to restore" 1 "none.db: no such file" '"$tool" --store "$s" reg check >/dev/null'
cmd='"$tool" --store "$work" reg show'
row "a folder as the store" 1 "cannot be used: it is a folder" true
cmd='CORVANE_REGISTRY=/dev/null "$tool" call Corvane.Registry getdword 0 x y'
row "a device as the store" 1 "not a regular file" true
cmd='"$tool" --store "$work/missing.db" reg check'
row "check of a missing store" 1 "no store at .*missing.db" '[ ! -e "$work/missing.db" ]'
cmd='"$tool" --store "$work/missing.db" reg export HKCU "$work/x.reg"'
row "export of a missing store" 1 "no store at" '[ ! -e "$work/missing.db" ] && [ ! -e "$work/x.reg" ]'
cmd=': >"$work/empty.db" && "$tool" --store "$work/empty.db" reg check'
row "check of an empty file" 1 "no store at .*empty.db (the file is empty)" '[ ! -s "$work/empty.db" ]'
cmd='ulimit -f 100; "$tool" --store "$s" reg dump "$work/backup"'
row "a dump that fills the disk" 1 "backup is as it was" \
  'grep -qx "an old backup" "$work/backup" && ! ls "$work"/backup.new-* 2>/dev/null'
cmd='ulimit -f 100; "$tool" --store "$s" reg export HKCU "$work/export.reg"'
row "an export that fills the disk" 1 "it is as it was" 'grep -qx "an old export" "$work/export.reg"'
cmd='"$tool" --store "$s" reg dump "$work/backup" && "$tool" --store "$s" reg export HKCU "$work/export.reg"'
row "a dump and an export are private, one file each" 0 "exported" \
  '[ "$(stat -c %a "$work/backup" "$work/export.reg" | sort -u)" = 600 ] && [ ! -e "$work/backup-wal" ]'
cmd='"$tool" --store "$s" reg export "HKCU\Software\Demo" - 2>/dev/null | "$tool" --store "$work/piped.db" reg import -'
row "an export to standard output imported from standard input" 0 "imported 2 changes from standard input" \
  '[ ! -e ./- ] && "$tool" --store "$work/piped.db" call Corvane.Registry getdword "&H80000001" "Software\Demo" Count | grep -q "Long 42"'
cmd='"$tool" --version'
row "the version" 0 "^corvane [0-9]*\.[0-9]*\.[0-9]*$" true
cmd='cp "$s" "$work/d.db" && truncate -s 12288 "$work/d.db" && cp "$work/d.db" "$work/d.orig" &&
     ulimit -f 80 && "$tool" --store "$work/d.db" reg restore "$work/backup"'
row "a restore of a damaged store that fills the disk" 1 "the store .*d.db is as it was" \
  'cmp -s "$work/d.db" "$work/d.orig" && [ ! -e "$work/d.db.damaged" ]'
cmd='"$tool" --store "$work/d.db" reg restore "$work/backup"'
row "and with room" 0 "damaged store is kept as .*d.db.damaged" \
  'cmp -s "$work/d.db.damaged" "$work/d.orig" && "$tool" --store "$work/d.db" reg check'
cmd='"$tool" --store "$work/r.db" reg restore "$work/ro/copy.db" &&
     "$tool" --store "$work/r.db" call Corvane.Registry getdword "&H80000001" "Software\\Demo" Count'
row "a restore from a folder that cannot be written" 0 "Long 42" '[ ! -e "$work/ro/copy.db-wal" ]'
cmd='echo keep >"$work/other" && chmod 644 "$work/other" && ln -s "$work/other" "$work/link.db" &&
     "$tool" --store "$work/link.db" call Corvane.Registry SaveDword "&H80000001" x y 1'
row "a symbolic link as the store" 1 "link.db is a symbolic link" \
  'grep -qx keep "$work/other" && [ "$(stat -c %a "$work/other")" = 644 ]'
cmd='mkdir -m 777 "$work/shared" && chmod 777 "$work/shared" &&
     "$tool" --store "$work/shared/s.db" call Corvane.Registry SaveDword "&H80000001" x y 1'
row "a folder that others can write" 1 "shared can be written by other users" \
  '[ ! -e "$work/shared/s.db" ]'
cmd='"$tool" --store "$s" reg import "$work/esc.reg" && "$tool" --store "$s" reg show "HKCU\\Software\\Esc"'
row "control characters in a name and in data are written out" 0 '\\x1B\[31mred.*\\x1B\]0;title\\x07' \
  '! grep -q "$(printf "\033")" "$work/out"'
cmd='"$tool" --store "$s" reg add "HKCU\\Software\\$(printf "\377")"'
row "reg add: a name that is not UTF-8 is refused, not changed" 1 "must be UTF-8" true
cmd='"$tool" --store "$s" reg add "HKCU\\Software\\Demo" --value "$(printf "%016384d" 0)" --data x'
row "reg add: a value name past the limit" 1 "cannot set .* (result 87)" true
printf 'Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\T]\n"odd"=hex(1):41,00,42\n' >"$work/odd.reg"
cmd='"$tool" --store "$s" reg import "$work/odd.reg" && "$tool" --store "$s" reg query "HKCU\\Software\\T" --value odd --json'
row "reg query --json: a text of odd length keeps its last byte" 0 '"data": "AB"' true
cmd='"$tool" --store "$s" reg add "HKCU\\Software\\T" --value m --type REG_MULTI_SZ --data "" &&
     "$tool" --store "$s" reg query "HKCU\\Software\\T" --value m --json'
row "reg query --json: an empty REG_MULTI_SZ is an empty list" 0 '"data": \[\]' true
for data in 'a\0' '\0a' 'a\0\0b'; do
  cmd="\"\$tool\" --store \"\$s\" reg add 'HKCU\\Software\\T' --value m --type REG_MULTI_SZ --data '$data'"
  row "reg add: an empty text in REG_MULTI_SZ ($data)" 1 "is not REG_MULTI_SZ data" true
done
# A store from before the current fold, with two values of one key that are one name now: each
# is listed with its own data, the check's advice works as written, and deleting the one that
# calls reach makes the other reachable.
o=$work/o.db
"$tool" --store "$o" reg add 'HKCU\Software\P' --value 'Łódź' --type REG_DWORD --data 1 >/dev/null
sqlite3 "$o" "UPDATE vals SET fold = name; INSERT INTO vals(key, name, fold, type, data, seq)
  SELECT key, 'łódź', 'łódź', 4, x'02000000', 2 FROM vals; PRAGMA user_version = 2;"
export o
cmd='"$tool" --store "$o" reg query "HKCU\\Software\\P" --json'
row "reg query: each of a pair with its own data" 0 \
  '"name": "Łódź", "type": "REG_DWORD", "data": 1}, {"name": "łódź", "type": "REG_DWORD", "data": 2}' true
cmd='"$tool" --store "$o" reg check && "$tool" --store "$o" reg export "HKCU\\Software\\P" "$work/p.reg" &&
     "$tool" --store "$o" reg import "$work/p.reg" && iconv -f UTF-16 -t UTF-8 "$work/p.reg" | sed -e "s/^\"łódź\"=/\"łódź 2\"=/" \
       -e "0,/^\[/s/^\[/[-HKEY_USERS\\\\S-1-5-21-0-0-0-$(id -u)\\\\Software\\\\P]\n\n[/" >"$work/q.reg" &&
     "$tool" --store "$o" reg import "$work/q.reg" && "$tool" --store "$o" reg query "HKCU\\Software\\P"'
row "reg check: the advice on a pair, followed as written" 0 'calls reach "Łódź"' \
  '"$tool" --store "$o" reg query "HKCU\\Software\\P" | grep -q "Łódź    REG_DWORD    0x1" &&
   "$tool" --store "$o" reg query "HKCU\\Software\\P" | grep -q "łódź 2    REG_DWORD    0x2"'
sqlite3 "$o" "DELETE FROM vals; INSERT INTO vals(key, name, fold, type, data, seq) SELECT id, 'Ωmega', 'ΩMEGA', 4,
  x'01000000', 1 FROM keys WHERE name = 'P'; INSERT INTO vals(key, name, fold, type, data, seq)
  SELECT id, 'ωmega', 'ΩMEGA' || x'FF' || '2', 4, x'02000000', 2 FROM keys WHERE name = 'P';"
cmd='"$tool" --store "$o" reg delete "HKCU\\Software\\P" --value Ωmega &&
     "$tool" --store "$o" reg query "HKCU\\Software\\P" --value ωmega &&
     "$tool" --store "$o" reg delete "HKCU\\Software\\P" --value ωmega'
row "reg delete: the one reached, then the other of its name" 0 "ωmega    REG_DWORD    0x2" \
  '"$tool" --store "$o" reg query "HKCU\\Software\\P" --json | grep -q "\"values\": \[\]"'
sqlite3 "$o" "INSERT INTO vals(key, name, fold, type, data, seq) SELECT id, CAST(x'61FF62' AS TEXT),
  CAST(x'41FF42' AS TEXT), 4, x'02000000', 9 FROM keys WHERE name = 'P';"
cmd='"$tool" --store "$o" reg query "HKCU\\Software\\P"'
row "reg query: a name that is not UTF-8, shown escaped" 0 'a\\xFFb    REG_DWORD    0x2' true
# Binary as hex digits in pairs, as they are or as the export writes them; a number needs data.
for data in deadbeef "'de ad be ef'" de,ad,be,ef; do
  cmd="\"\$tool\" --store \"\$s\" reg add 'HKCU\\Software\\N' --value b --type REG_BINARY --data $data &&
       \"\$tool\" --store \"\$s\" reg query 'HKCU\\Software\\N' --value b"
  row "reg add: binary as $data" 0 "REG_BINARY    DEADBEEF\$" true
done
for data in dead,b "',de'" 'd,e' 'xy'; do
  cmd="\"\$tool\" --store \"\$s\" reg add 'HKCU\\Software\\N' --value b --type REG_BINARY --data $data"
  row "reg add: $data is no binary" 1 "is not REG_BINARY data: give hex digits in pairs: deadbeef, de ad be ef or de,ad,be,ef" true
done
cmd='"$tool" --store "$s" reg add "HKCU\\Software\\N" --value d --type REG_DWORD'
row "reg add: a number without --data" 1 "a REG_DWORD value needs --data (decimal digits, or 0x and hex digits)" true
cmd='"$tool" reg add "HKCU\\Software\\After" --store "$work/after.db" && "$tool" reg query "HKCU\\Software\\After" --store "$work/after.db"'
row "--store after the subcommand" 0 "^HKEY_CURRENT_USER\\\\Software\\\\After$" '[ -s "$work/after.db" ]'
# A REGEDIT4 file saved as UTF-8 is read in the code page, as regedit writes it, and says so;
# with a UTF-8 mark it is read as UTF-8.
printf 'REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\U]\n"v"="Gr\303\274\303\237e"\n' >"$work/u8.reg"
cmd='"$tool" --store "$s" reg import "$work/u8.reg"'
row "REGEDIT4 in UTF-8: read in the code page, and said" 0 "is REGEDIT4, so it was read in the ANSI code page 1252, though it is also UTF-8; to read it as UTF-8, start it with a UTF-8 byte-order mark" true
cmd='{ printf "\357\273\277"; cat "$work/u8.reg"; } | "$tool" --store "$s" reg import - && "$tool" --store "$s" reg query "HKCU\\Software\\U" --value v'
row "and with a UTF-8 mark, as UTF-8" 0 "v    REG_SZ    Grüße$" true
cmd='"$tool" --store "$s" call Corvane.Registry SaveDword HKCU "Software\\R" n 5 &&
     "$tool" --store "$s" call Corvane.Registry getdword hkey_current_user "Software\\R" n'
row "call: a root's name where a handle is expected" 0 "getdword = Long 5" true
cmd='printf "Tarnel.scramb abc\nTarnel.scramb abc\n" | "$tool" --store "$s" shell'
row "shell: a bare word passed before it is set is said, once" 0 \
  'line 1: abc has not been set, so it is Empty here (a text needs quotes: "abc")' \
  '[ "$(grep -c "has not been set" "$work/out")" -eq 1 ]'
cmd='echo "print 7" | "$tool" --store "$s" shell -'
row "shell -: standard input" 0 "^Integer 7$" '[ ! -e ./- ]'
for action in dump restore; do
  cmd="\"\$tool\" --store \"\$s\" reg $action -"
  row "reg $action -: refused, naming why" 1 "$action takes a file: a store's copy is a database, not a stream" '[ ! -e ./- ]'
done
cmd='"$tool" --store "$work/none.db" call Corvane.Tarnel scramb abc && echo "print 1" | "$tool" --store "$work/none.db" shell'
row "Tarnel and a session that never touch the registry make no store" 0 'scramb = String "bac"' '[ ! -e "$work/none.db" ]'
cmd='"$tool" --json --store "$work/after.db" reg query "HKCU\\Software\\After"'
row "--json before the subcommand" 0 '^{"key": "HKEY_CURRENT_USER\\\\Software\\\\After"' true
cmd='"$tool" --json --store "$work/after.db" reg check'
row "--json where a command prints none" 2 "--json is for call and reg query" true
# Numbers: decimal, or 0x hex; no octal, sign or blank.
for data in 010:0xa 0X1F:0x1f 18446744073709551615:0xffffffffffffffff; do
  cmd="\"\$tool\" --store \"\$s\" reg add 'HKCU\\Software\\N' --value n --type REG_QWORD --data ${data%%:*} &&
       \"\$tool\" --store \"\$s\" reg query 'HKCU\\Software\\N' --value n"
  row "reg add: the number ${data%%:*}" 0 "REG_QWORD    ${data#*:}\$" true
done
cmd='"$tool" --store "$s" reg query "HKCU\\Software\\N" --value n --json'
row "reg query --json: a QWORD exact, as a string" 0 '"type": "REG_QWORD", "data": "18446744073709551615"}' true
for data in +42 "' 42'" "' -1'" -1 0x 0x-1 "'4 2'"; do
  cmd="\"\$tool\" --store \"\$s\" reg add 'HKCU\\Software\\N' --value n --type REG_QWORD --data $data"
  row "reg add: $data is no number" 1 "is not REG_QWORD data" true
done
cmd='"$tool" --store "$s" reg query "HKCU\\Software\\$(printf "%0257d" 0)" --json'
row "reg query: a key name past the limit" 1 "cannot open .* (result 87)" true

# Another local user plants the side files of a store in a folder that both can write.
other=corvane-other
if [ "$(id -u)" -ne 0 ]; then
  echo "skipped: a second user's planted files (creating a user needs root)"
elif ! id "$other" >/dev/null 2>&1 && ! useradd -M -r -s /usr/sbin/nologin "$other" 2>/dev/null; then
  echo "skipped: a second user's planted files (useradd could not create $other)"
else
  mkdir -m 1777 "$work/tmp" && chmod 1777 "$work/tmp"
  for side in wal shm; do
    rm -f "$work/tmp/"*
    setpriv --reuid="$other" --regid="$other" --clear-groups sh -c "umask 0; : >'$work/tmp/p.db-$side'"
    cmd='"$tool" --store "$work/tmp/p.db" call Corvane.Registry SaveDword "&H80000001" x y 1'
    row "a planted -$side beside a store in a sticky shared folder" 1 \
      "p.db-$side belongs to user $other" '[ ! -s "$work/tmp/p.db" ]'
  done
  rm -f "$work/tmp/"*
  cmd='"$tool" --store "$work/tmp/p.db" call Corvane.Registry SaveDword "&H80000001" x y 1'
  row "and the same folder with only the user's own files" 0 "SaveDword = Empty" \
    '[ "$(stat -c %a "$work/tmp/p.db")" = 600 ]'
fi
[ $status -eq 0 ] && echo "ALL PASSED"
exit $status
