#!/bin/sh
# Runs the examples of a Markdown reference and compares their output with the ```text block
# that follows each one.
#   doc_examples.sh scripts WINE DOC      every ```vbscript and ```jscript example, by cscript
#                                         (one marked "ja_JP" under a Japanese locale, where
#                                         Wine's ANSI code page is 932)
#   doc_examples.sh cpp-source DOC OUT    one C++ program holding every ```cpp example (after the
#                                         ```cpp preamble block) as a function
#   doc_examples.sh cpp EXE DOC           runs each C++ example of that program (one marked
#                                         "ja_JP" under a Japanese locale: code page 932)
#   doc_examples.sh program-source DOC OUT   the first ```cpp example of DOC, a whole program
#   doc_examples.sh program EXE DOC [WINE]   runs that program (by WINE when given) on a fresh
#                                            registry
# A skip of the Wine wrapper (77) passes through.
mode=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Splits DOC into $work/NNN.<lang> and $work/NNN.want.
extract() {
  awk -v dir="$work" '
    /^```(vbscript|jscript|cpp|text)/ {
      lang = substr($0, 4); sub(/[ \t].*/, "", lang)
      if (lang == "text") { if (last == "") { skip = 1; next } ; file = dir "/" last ".want"; last = "" }
      else if ($0 ~ /preamble/) { file = dir "/preamble.cpp"; last = "" }
      else {
        n++; last = sprintf("%03d", n); file = dir "/" last "." lang
        if ($0 ~ / ja_JP/) print "ja_JP.UTF-8" > (dir "/" last ".locale")
      }
      printf "" > file; inblock = 1; next
    }
    /^```$/ && (inblock || skip) { if (inblock) close(file); inblock = 0; skip = 0; next }
    inblock { print >> file; next }
    skip { next }
    /[^ \t]/ { last = "" }
  ' "$1"
}

compare() {  # compare NAME GOT-FILE
  if [ ! -f "$work/$1.want" ]; then
    echo "FAIL: example $1 has no output block"; failed=1; return
  fi
  if ! diff -u "$work/$1.want" "$2" >"$work/diff"; then
    echo "FAIL: example $1"; cat "$work/diff"; failed=1
  fi
}

failed=0
count=0
case "$mode" in
  scripts)
    wine=$2
    extract "$3"
    "$wine" --can-run >/dev/null 2>&1 || exit 77
    for script in "$work"/[0-9]*.*script; do
      [ -f "$script" ] || continue
      name=$(basename "$script"); name=${name%%.*}
      case "$script" in
        *.vbscript) run="$work/$name.vbs" ;;
        *) run="$work/$name.js" ;;
      esac
      cp "$script" "$run"
      locale=
      [ -f "$work/$name.locale" ] && locale=$(cat "$work/$name.locale")
      CORVANE_WINE_LOCALE=$locale "$wine" cscript //nologo "$("$wine" winepath -w "$run" 2>/dev/null)" 2>&1 | tr -d '\r' |
        grep -v '^[0-9a-f]*:err:\|^wine: \|Unhandled page fault' >"$work/$name.got"
      compare "$name" "$work/$name.got"
      count=$((count + 1))
    done
    ;;
  cpp-source)
    extract "$2"
    out=$3
    {
      cat "$work/preamble.cpp"
      for example in "$work"/*.cpp; do
        [ "$example" = "$work/preamble.cpp" ] && continue
        name=$(basename "$example" .cpp)
        echo "static void Example$name() {"
        cat "$example"
        echo "}"
      done
      echo "int main(int argc, char** argv) {"
      echo "  const std::string which = argc > 1 ? argv[1] : \"\";"
      for example in "$work"/*.cpp; do
        [ "$example" = "$work/preamble.cpp" ] && continue
        name=$(basename "$example" .cpp)
        echo "  if (which == \"$name\") Example$name();"
      done
      echo "  return 0;"
      echo "}"
    } >"$out.tmp"
    cmp -s "$out.tmp" "$out" 2>/dev/null && rm -f "$out.tmp" || mv "$out.tmp" "$out"
    exit 0
    ;;
  cpp)
    exe=$2
    extract "$3"
    export CORVANE_REGISTRY="$work/registry.db"
    for example in "$work"/*.cpp; do
      [ "$example" = "$work/preamble.cpp" ] && continue
      name=$(basename "$example" .cpp)
      locale=C.UTF-8
      [ -f "$work/$name.locale" ] && locale=$(cat "$work/$name.locale")
      LC_ALL=$locale CORVANE_CODEPAGE= "$exe" "$name" >"$work/$name.got" 2>&1
      compare "$name" "$work/$name.got"
      count=$((count + 1))
    done
    ;;
  program-source)
    extract "$2"
    cmp -s "$work/001.cpp" "$3" 2>/dev/null || cp "$work/001.cpp" "$3"
    exit 0
    ;;
  program)
    extract "$3"
    export CORVANE_REGISTRY="$work/registry.db"
    if [ -n "$4" ]; then
      "$4" --can-run >/dev/null 2>&1 || exit 77
      "$4" "$2" 2>&1 | tr -d '\r' | grep -v '^[0-9a-f]*:err:\|^wine: ' >"$work/001.got"
    else
      "$2" >"$work/001.got" 2>&1
    fi
    compare 001 "$work/001.got"
    count=1
    ;;
  *) echo "usage: doc_examples.sh scripts|cpp-source|cpp|program-source|program ..."; exit 2 ;;
esac
[ "$count" -gt 0 ] || { echo "FAIL: no examples"; exit 1; }
[ $failed -eq 0 ] && echo "ALL PASSED ($count examples)"
exit $failed
