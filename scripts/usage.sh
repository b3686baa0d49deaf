# Sourced by each script right after `set`: with -h or --help, the script prints its opening
# comment (how it is used) and exits 0 having done nothing; usage_error MESSAGE prints the
# message and that comment on standard error and exits 2.
script_usage() { sed -n '2,/^[^#]/{ /^#/{ s/^# \{0,1\}//; p; }; }' "$0"; }
usage_error() {
  echo "${0##*/}: $*" >&2
  script_usage >&2
  exit 2
}
case "${1:-}" in
  -h | --help) script_usage; exit 0 ;;
esac
