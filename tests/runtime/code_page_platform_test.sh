#!/bin/sh
# The ANSI code pages against the platform's, exhaustively: under one locale for each supported
# code page, the native probe and the Windows probe under Wine must print the same code page and
# the same conversions, byte for byte; under a few more locales, the same code page.
#   code_page_platform_test.sh NATIVE_PROBE WINE WINDOWS_PROBE
native=$1
wine=$2
windows=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$wine" --can-run >/dev/null 2>&1 || exit 77
status=0
for locale in th_TH ja_JP zh_CN ko_KR zh_TW pl_PL ru_RU en_US el_GR tr_TR he_IL ar_EG lt_LT vi_VN \
              C: sr_RS@latin: sr_RS: uz_UZ@cyrillic: zh_HK: de_AT: hi_IN:65001; do
  utf8=${locale#*:} only=
  case $locale in *:*) locale=${locale%%:*} only=--number ;; esac
  name=${locale%@*}.UTF-8
  [ "$name" = "${locale}.UTF-8" ] || name=$name@${locale#*@}
  [ "$locale" = C ] && name=C
  LC_ALL=$name LC_CTYPE= LANG= CORVANE_CODEPAGE= "$native" $only >"$work/native" ||
    { echo "FAIL: the native probe under $name"; status=1; continue; }
  CORVANE_WINE_LOCALE=$name "$wine" "$windows" $only | tr -d '\r' >"$work/platform" ||
    { echo "FAIL: the probe under Wine, $name"; status=1; continue; }
  if [ -n "$utf8" ] && grep -qx "code page $utf8" "$work/platform"; then
    echo "code page 1252" >"$work/platform"
  fi
  if cmp -s "$work/platform" "$work/native"; then
    echo "ok: $name: $(head -n 1 "$work/native")${only:+ (the number only)}"
  else
    echo "FAIL: $name: the native conversions differ from the platform's (< platform, > native):"
    diff "$work/platform" "$work/native" | head -n 20
    status=1
  fi
done
exit $status
