#!/bin/sh
# Runs the examples of a Markdown file and compares what they print with what the file says:
#   readme_examples.sh TOOL FILE
# An example block is indented by four spaces and starts with "$ "; each "$ " line is a command
# (run by sh, with `corvane` standing for TOOL), the lines after it are its output (standard
# output and error together). The examples of one file run in order in one scratch folder, on
# one fresh store.
tool=$1
file=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export CORVANE_REGISTRY="$work/registry.db"

# Pull out the blocks: "C<command>" and "O<output line>" records.
awk '
  /^    \$ / { inblock = 1; print "C" substr($0, 7); next }
  inblock && /^    / { print "O" substr($0, 5); next }
  inblock && /^$/ { print "O"; next }
  { inblock = 0 }
' "$file" >"$work/examples"

failed=0
count=0
check() {
  [ -z "$command" ] && return
  count=$((count + 1))
  # Blank lines that only separate the block from the text after it are not output.
  printf '%s' "$expected" | sed -e :a -e '/^\n*$/{$d;N;ba' -e '}' >"$work/want"
  (cd "$work" && corvane() { "$tool" "$@"; } && eval "$command") 2>&1 | tr -d '\r' |
    sed -e :a -e '/^\n*$/{$d;N;ba' -e '}' >"$work/got"
  if ! diff -u "$work/want" "$work/got" >"$work/diff"; then
    echo "FAIL: $command"
    cat "$work/diff"
    failed=1
  fi
}
command=
expected=
nl='
'
while IFS= read -r record; do
  case "$record" in
    C*) check; command=${record#C}; expected= ;;
    O*) expected="$expected${record#O}$nl" ;;
  esac
done <"$work/examples"
check
[ "$count" -gt 0 ] || { echo "FAIL: no examples found in $file"; exit 1; }
[ $failed -eq 0 ] && echo "ALL PASSED ($count examples)"
exit $failed
