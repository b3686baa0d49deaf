#!/bin/sh
# The tool on hostile input (store files, .reg files, sessions and arguments), one row each,
# every command under a memory limit and a timeout: it ends with its exit status (an error exit
# at worst, never a signal), says what the row expects, and leaves a store that `reg check`
# finds sound and that can be shown and exported.
#   hostile_test.sh TOOL MEMORY_KB      (MEMORY_KB 0: no limit, as under AddressSanitizer)
tool=$1
memory=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0

# run STORE ARGS...: the tool on STORE, bounded; its output in $work/out, its status in $code.
run() {
  store=$1
  shift
  (
    [ "$memory" -gt 0 ] && ulimit -v "$memory"
    exec timeout 60 "$tool" --store "$store" "$@"
  ) >"$work/out" 2>&1
  code=$?
}
# row NAME STATUS PATTERN [unsound]: the last command's status and output, and the store sound
# after it (unless the row leaves it unsound on purpose).
row() {
  if [ "$code" -ne "$2" ] || ! grep -q -- "$3" "$work/out"; then
    echo "FAIL: $1: exit $code (expected $2), output:"; sed 's/^/    /' "$work/out"; status=1
    return
  fi
  case "$store$4" in *foreign* | *unsound) echo "ok: $1"; return ;; esac
  if ! "$tool" --store "$store" reg check >"$work/check" 2>&1 ||
     ! "$tool" --store "$store" reg show >/dev/null 2>>"$work/check" ||
     ! "$tool" --store "$store" reg export HKCU "$work/all.reg" >/dev/null 2>>"$work/check"; then
    echo "FAIL: $1: the store is not sound, or cannot be shown and exported, afterwards"
    sed 's/^/    /' "$work/check"; status=1
    return
  fi
  echo "ok: $1"
}

# A key 100 000 levels deep, made and then deleted whole; a key 500 levels deep with 20 000
# values (each value's edit once held a copy of the whole path).
{
  printf 'REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Deep'
  i=0; while [ $i -lt 100000 ]; do printf '\\d'; i=$((i + 1)); done
  printf ']\n"v"="x"\n'
} >"$work/deep.reg"
printf 'REGEDIT4\n\n[-HKEY_CURRENT_USER\\Software\\Deep]\n' >"$work/undeep.reg"
{
  printf 'REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Wide'
  i=0; while [ $i -lt 500 ]; do printf '\\w'; i=$((i + 1)); done
  printf ']\n'
  i=0; while [ $i -lt 20000 ]; do printf '"v%d"=dword:1\n' $i; i=$((i + 1)); done
} >"$work/wide.reg"
# Values at the bound of 32 MiB (a REG_SZ of 16M - 1 characters, a REG_BINARY in a file of
# 200 MB, as exported), imported under 200 MB of address space; under less, out of memory is
# said, the exit is 1 and the store is as it was. (Checked once they are deleted: an export of
# them would be as large.)
{ printf 'REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Bound]\n"v"="'
  head -c 16777215 /dev/zero | tr '\0' a; printf '"\n'; } >"$work/bound.reg"
run "$work/m.db" reg import "$work/bound.reg"; row "a REG_SZ at the bound" 0 "imported 2 changes" unsound
{ printf 'Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\Bound]\r\n"b"=hex:00,\\\r\n'
  yes '  ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,\' |
    head -n 1048575 | sed 's/$/\r/'; printf '  ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab\r\n'
} | iconv -f UTF-8 -t UTF-16LE | { printf '\377\376'; cat; } >"$work/bound16.reg"
run "$work/m.db" reg import "$work/bound16.reg"
row "a REG_BINARY at the bound, from UTF-16" 0 "imported 2 changes" unsound
if [ "$memory" -gt 0 ]; then
  ( ulimit -v 60000; exec "$tool" --store "$work/m.db" reg import "$work/bound.reg" ) >"$work/out" 2>&1
  code=$?
  row "out of memory is said" 1 "out of memory; nothing more was done" unsound
fi
printf 'REGEDIT4\n\n[-HKEY_CURRENT_USER\\Software\\Bound]\n' >"$work/bound.reg"
run "$work/m.db" reg import "$work/bound.reg"; row "and the store sound after them" 0 "imported 1 changes"
rm -f "$work"/bound*.reg
run "$work/a.db" reg import "$work/deep.reg"; row "a key 100000 levels deep is refused" 1 "deep.reg:3: a key deeper than 512 levels"
run "$work/a.db" reg import "$work/wide.reg"; row "20000 values of a key 500 levels deep" 0 "imported 20001 changes"
# Trees made deeper before the limit, written into the file directly: found, shown, refused by
# export with a reason, and deleted whole.
# chain NAME LEVELS FIRST_ID: a chain of keys "d" LEVELS deep below HKCU\Software\NAME.
chain() {
  printf 'REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\%s]\n' "$1" >"$work/chain.reg"
  "$tool" --store "$work/a.db" reg import "$work/chain.reg" >/dev/null
  sqlite3 "$work/a.db" "WITH RECURSIVE c(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM c WHERE i < $2)
    INSERT INTO keys(id, parent, name, fold) SELECT $3 + i, CASE i WHEN 1 THEN
    (SELECT id FROM keys WHERE fold = upper('$1')) ELSE $3 + i - 1 END, 'd', 'D' FROM c"
}
chain Deep 100000 1000000
chain Tall 5000 2000000
run "$work/a.db" reg check; row "keys deeper than 512 levels in the file are found" 1 "103980 keys deeper than 512" unsound
run "$work/a.db" reg show 'HKCU\Software\Tall'; row "a key 5000 levels deep is shown" 0 "^ *d$" unsound
run "$work/a.db" reg export 'HKCU\Software\Tall' "$work/tall.reg"; row "and refused by export" 1 "deeper than 512 levels" unsound
printf 'REGEDIT4\n\n[-HKEY_CURRENT_USER\\Software\\Tall]\n' >"$work/untall.reg"
run "$work/a.db" reg import "$work/untall.reg"; row "and deleted whole" 0 "imported 1 changes" unsound
run "$work/a.db" reg import "$work/undeep.reg"; row "a key 100000 levels deep is deleted whole" 0 "imported 1 changes"

# Names the store cannot keep: refused at import; one written into the file directly is found,
# and its key can still be shown, exported and deleted.
printf 'REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Poison\\a\000b]\n' >"$work/poison.reg"
run "$work/a.db" reg import "$work/poison.reg"; row "a NUL in a key name is refused" 1 "poison.reg:3: a key name holding a NUL"
printf 'REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Poison]\n"v"="x"\n' >"$work/poison1.reg"
printf 'REGEDIT4\n\n[-HKEY_CURRENT_USER\\Software\\Poison]\n' >"$work/unpoison.reg"
"$tool" --store "$work/a.db" reg import "$work/poison1.reg" >/dev/null
sqlite3 "$work/a.db" "INSERT INTO keys(parent, name, fold) SELECT id, 'a' || char(0) || 'b',
  'A' || char(0) || 'B' FROM keys WHERE fold = 'POISON'"
run "$work/a.db" reg check; row "a NUL in a name in the file is found" 1 "holding a backslash or a NUL" unsound
run "$work/a.db" reg show 'HKCU\Software\Poison'; row "and shown" 0 "v *REG_SZ *x" unsound
run "$work/a.db" reg export 'HKCU\Software\Poison' "$work/poison.out"; row "and exported" 0 "exported 2 keys" unsound
run "$work/a.db" reg import "$work/unpoison.reg"; row "and deleted" 0 "imported 1 changes"

# Sessions and arguments: nesting past the parser's limit is refused with its line; a text that
# outgrows memory is runtime error 7, and the session goes on.
# repeat N TEXT: TEXT written N times.
repeat() { n=$1; shift; seq "$n" | sed "s/.*/$1/" | tr -d '\n'; }
{ printf 'x = '; repeat 30000 'ChrW('; printf '65'; repeat 30000 ')'; echo; } >"$work/nested.txt"
run "$work/a.db" shell "$work/nested.txt"; row "30000 nested ChrW( in a session" 1 "line 1: ChrW( and Array( nested deeper than 64"
run "$work/a.db" call Corvane.Tarnel scramb "$(repeat 18000 'Array(')$(repeat 18000 ')')"
row "18000 nested Array( in an argument" 2 "argument 1: ChrW( and Array( nested deeper than 64"
{ echo 'a = "ab"'; i=0; while [ $i -lt 40 ]; do echo 'a = a & a'; i=$((i + 1)); done; echo 'print "on"'; } >"$work/double.txt"
if [ "$memory" -gt 0 ]; then
  run "$work/a.db" shell "$work/double.txt"; row "a text doubled 40 times" 1 "Out of memory (runtime error 7)"
  grep -q 'String "on"' "$work/out" || { echo "FAIL: the session did not go on after running out of memory"; status=1; }
else
  echo "skipped: a text doubled 40 times (no memory limit here)"
fi

# Another program's database is refused and left byte for byte as it was.
sqlite3 "$work/foreign.db" 'CREATE TABLE notes(t TEXT); INSERT INTO notes VALUES ("mine")'
cp "$work/foreign.db" "$work/foreign.copy"
run "$work/foreign.db" reg show; row "another program's database is refused" 1 "not a registry store"
cmp -s "$work/foreign.db" "$work/foreign.copy" && [ ! -e "$work/foreign.db-wal" ] ||
  { echo "FAIL: another program's database was changed"; status=1; }

# A damaged store is replaced by a sound copy, and kept beside it.
"$tool" --store "$work/b.db" call Corvane.Registry SaveDword '&H80000001' 'Software\Demo' Count 42 >/dev/null
"$tool" --store "$work/b.db" reg dump "$work/b.copy" >/dev/null
i=0; while [ $i -lt 300 ]; do printf '"v%d"="%0500d"\n' $i 0; i=$((i + 1)); done |
  { printf 'REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Big]\n'; cat; } >"$work/big.reg"
"$tool" --store "$work/b.db" reg import "$work/big.reg" >/dev/null
truncate -s 12288 "$work/b.db"
cp "$work/b.db" "$work/b.damaged.copy"
run "$work/b.db" reg restore "$work/b.copy"; row "a damaged store is restored" 0 "kept as $work/b.db.damaged"
cmp -s "$work/b.db.damaged" "$work/b.damaged.copy" || { echo "FAIL: the damaged store was not kept"; status=1; }
run "$work/b.db" call Corvane.Registry getdword '&H80000001' 'Software\Demo' Count
row "and reads as the copy" 0 "Long 42"

# Another user's store is refused (5), for reading and for writing, naming its owner.
as_other() { setpriv --reuid=65534 --regid=65534 --clear-groups "$@"; }
if [ "$(id -u)" -ne 0 ] || ! command -v setpriv >/dev/null; then
  echo "skipped: a store that cannot be written (needs root, to run as another user)"
elif ! as_other test -x "$tool"; then
  echo "skipped: a store that cannot be written (another user cannot run $tool from here)"
else
  chmod 755 "$work"
  chmod 644 "$work/b.db" "$work/wide.reg"
  run_other() { store=$1; shift; as_other timeout 60 "$tool" --store "$store" "$@" >"$work/out" 2>&1; code=$?; }
  run_other "$work/b.db" call Corvane.Registry getdword '&H80000001' 'Software\Demo' Count
  row "another user's store is refused, naming its owner" 1 "b.db belongs to user root"
  run_other "$work/b.db" reg import "$work/wide.reg"
  row "and refuses writes" 1 "result 5"
fi

[ $status -eq 0 ] && echo "ALL PASSED"
exit $status
