#!/bin/sh
# Generated sessions of Registry and Declares calls, run twice: by the native tool over a fresh
# store, and by the Windows tool through COM over Wine's registry. Every answer and every
# write-back the two print must be the same.
#   differential_test.sh NATIVE_TOOL WINE WINDOWS_TOOL [FIRST LAST [LOCALE...]]
# The seeds FIRST..LAST (default 1..8) each make one session of 60 calls, under a key of its own
# below each root, reached also through the views (HKEY_CLASSES_ROOT, HKEY_CURRENT_CONFIG) and
# through the keys they stand for: names in several scripts and in mixed case,
# trailing blanks, long names, deep paths, missing keys and values, values read as the wrong
# type. A longer run: the same with 1 200. With LOCALEs, the sessions run under each locale, both
# sides in its ANSI code page, with random texts of that code page's letters (and a few it
# lacks) through the registry's text calls and Tarnel's.
native=$1
wine=$2
windows=$3
first=${4:-1}
last=${5:-8}
[ $# -gt 5 ] && shift 5 || set -- ""
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$wine" --can-run >/dev/null 2>&1 || exit 77

# Removes every session's keys from Wine's registry.
clean() {
  for key in 'HKCU\Software' 'HKLM\Software' 'HKCR' \
             'HKLM\System\CurrentControlSet\Hardware Profiles\Current\Software'; do
    "$wine" reg delete "$key\Corvane Differential" /f >/dev/null 2>&1
  done
}

# letters LOCALE: characters of the locale's ANSI code page, and two or three that it lacks.
letters() {
  case $1 in
    th_TH*) echo "ก|ข|ไ|ท|ย|฿|a|é|€" ;;
    ja_JP*) echo "日|本|語|ｱ|ｶ|ア|か|ー|¥|a|Б|é|€" ;;
    zh_CN*) echo "中|文|汉|字|。|a|é|€|ｱ" ;;
    ko_KR*) echo "한|국|어|가|a|é|€|ｱ" ;;
    zh_TW*) echo "中|文|繁|體|a|é|€|ｱ" ;;
    pl_PL*) echo "ą|ę|ł|ź|Ż|a|é|€|Б" ;;
    ru_RU*) echo "П|р|и|в|е|т|Ё|a|€|é" ;;
    el_GR*) echo "Σ|ο|φ|ί|α|a|€|é" ;;
    tr_TR*) echo "ğ|ş|İ|ı|a|€|Б" ;;
    he_IL*) echo "ש|ל|ו|ם|a|€|é" ;;
    ar_EG*) echo "س|ل|ا|م|a|€|é" ;;
    lt_LT*) echo "ą|č|ė|ū|a|€|é" ;;
    vi_VN*) echo "ư|ơ|đ|ạ|a|€|Б" ;;
    *) echo "é|ß|€|a|Ā|Б" ;;
  esac
}

failed=0 calls=0
for locale in "$@"; do
seed=$first
while [ "$seed" -le "$last" ]; do
  if [ -n "$locale" ]; then
    awk -v seed="$seed" -v letters="$(letters "$locale")" -f "$here/differential_session.awk"
  else
    awk -v seed="$seed" -f "$here/differential_session.awk"
  fi >"$work/session.txt"
  calls=$((calls + $(grep -c '^[RDT]\|Tarnel' "$work/session.txt")))
  LC_ALL=${locale:-C.UTF-8} CORVANE_CODEPAGE= CORVANE_REGISTRY="$work/store-$seed$locale.db" \
    "$native" shell <"$work/session.txt" >"$work/native.out" 2>"$work/native.err"
  echo "exit $?" >>"$work/native.out"
  clean
  CORVANE_WINE_LOCALE=$locale "$wine" "$windows" shell <"$work/session.txt" >"$work/windows.out" 2>"$work/windows.err"
  echo "exit $?" >>"$work/windows.out"
  for side in native windows; do
    tr -d '\r' <"$work/$side.out" >"$work/$side.all"
    tr -d '\r' <"$work/$side.err" | sed 's/^/stderr: /' >>"$work/$side.all"
  done
  if ! diff "$work/windows.all" "$work/native.all" >"$work/diff"; then
    echo "FAIL: seed $seed${locale:+ under $locale}: the native side answers unlike Wine (< Wine, > native):"
    head -n 20 "$work/diff"
    failed=$((failed + 1))
  fi
  seed=$((seed + 1))
done
done
clean
echo "seeds $first..$last${1:+ under $*}: $calls calls, $failed sessions differing"
[ "$failed" -eq 0 ]
