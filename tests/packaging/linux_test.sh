#!/bin/sh
# The native library as it ships. Usage: linux_test.sh BUILD DIST
#   - installed from the build tree BUILD into a scratch prefix: each public header compiles on
#     its own from there, the consumer project builds against it through its CMake package and
#     through pkg-config and runs on a store of its own, the man page shows every command, and
#     the library exports the public API and nothing of SQLite or the store's internals;
#   - the Debian packages in DIST: their contents, lintian without errors, and the tool unpacked
#     from them running the README's examples on a fresh store.
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$1
dist=$2
here=$root/tests/packaging
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0
fail() { echo "FAIL: $*"; status=1; }
packages=""
# ok WHAT: says that the checks since the last ok passed, when they did.
ok() { [ $status -eq $reported ] && echo "ok: $*"; reported=$status; }
reported=0

prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >"$work/install.log" || { cat "$work/install.log"; fail "cmake --install"; exit 1; }
ok "installed into a scratch prefix"

for header in "$prefix"/include/corvane/*.h; do
  name=corvane/$(basename "$header")
  printf '#include <%s>\n' "$name" |
    c++ -std=c++20 -fsyntax-only -I"$prefix/include" -x c++ - 2>"$work/header.log" ||
    { cat "$work/header.log"; fail "$name does not compile from the installed headers alone"; }
done
ok "each public header compiles on its own"

# run_consumer HOW EXE: runs the consumer on a fresh store of its own and compares its output.
run_consumer() {
  "$2" "$work/$1.db" >"$work/$1.out" 2>&1
  if diff -u "$here/consumer/expected.txt" "$work/$1.out" && [ -s "$work/$1.db" ]; then
    :
  else
    fail "consumer built with $1"
  fi
  ok "consumer built with $1 runs"
}
if cmake -S "$here/consumer" -B "$work/by-cmake" -DCMAKE_PREFIX_PATH="$prefix" >"$work/cmake.log" 2>&1 &&
   cmake --build "$work/by-cmake" >>"$work/cmake.log" 2>&1; then
  run_consumer find_package "$work/by-cmake/consumer"
else
  cat "$work/cmake.log"; fail "consumer by find_package(Corvane 1.1) does not build"
fi
# The same package straight from the build tree.
if cmake -S "$here/consumer" -B "$work/by-build-tree" -DCorvane_DIR="$build/packaging" >"$work/cmake.log" 2>&1 &&
   cmake --build "$work/by-build-tree" >>"$work/cmake.log" 2>&1; then
  run_consumer the-build-tree "$work/by-build-tree/consumer"
else
  cat "$work/cmake.log"; fail "consumer by find_package(Corvane) from the build tree does not build"
fi
pc_dir=$(dirname "$(find "$prefix" -name corvane.pc)")
pc_cflags=$(PKG_CONFIG_PATH=$pc_dir pkg-config --cflags corvane)
# The consumer's standard stands: a newer one is not lowered, an older one is told what is needed.
printf '#include <corvane/corvane.h>\nstatic_assert(__cplusplus > 202002L);\n' |
  c++ -std=c++23 $pc_cflags -fsyntax-only -x c++ - || fail "corvane.pc lowers -std=c++23"
printf '#include <corvane/corvane.h>\n' | c++ -std=c++17 $pc_cflags -fsyntax-only -x c++ - 2>&1 |
  grep -q "Corvane's headers need C++20 or newer" || fail "under C++17 the headers do not say what they need"
ok "corvane.pc keeps the consumer's standard"
# shellcheck disable=SC2046
if c++ -std=c++20 -o "$work/by-pkg-config" "$here/consumer/consumer.cc" \
     $(PKG_CONFIG_PATH=$pc_dir pkg-config --cflags --libs corvane) \
     -Wl,-rpath,"$(PKG_CONFIG_PATH=$pc_dir pkg-config --variable=libdir corvane)"; then
  run_consumer pkg-config "$work/by-pkg-config"
else
  fail "consumer by pkg-config does not build"
fi

man_page=$(find "$prefix" -name corvane.1.gz)
MANWIDTH=100 man -l "$man_page" 2>"$work/man.err" >"$work/man.txt"
[ -s "$work/man.err" ] && { cat "$work/man.err"; fail "man reports problems with corvane(1)"; }
for command in "call PROGID METHOD" "shell" "reg show" "reg export" "reg import" "reg dump" \
               "reg restore" "reg check" "--store" "VALUE SYNTAX" "Array()" "&H80000001"; do
  grep -qF -- "$command" "$work/man.txt" || fail "corvane(1) does not show '$command'"
done
ok "man page"

library=$(find "$prefix" -name 'libcorvane.so.1')
objdump -p "$library" | grep -q 'SONAME *libcorvane\.so\.1$' || fail "libcorvane.so.1 lacks its SONAME"
nm -D --defined-only "$library" | c++filt >"$work/exports"
for symbol in "corvane::Tarnel::Encrypt(" "corvane::Registry::savestring(" \
              "corvane::Declares::GetStringValue(" "corvane::server::Invoke(" \
              "corvane::server::CreateInstance(" "corvane::registry::OpenStore(" \
              "corvane::registry::InstallRegistry(" "corvane::platform::InstallModalBox(" \
              "corvane::platform::InstallClock(" "corvane::rt::FromUtf8" "corvane::rt::ToUtf8" \
              "corvane::StringArray::RedimPreserve(" "typeinfo for corvane::rt::RuntimeError"; do
  grep -qF "$symbol" "$work/exports" || fail "the library does not export $symbol"
done
if grep -Ei 'sqlite|KeyStorage|RegistryStore|StoreFault|CallFrame|LoadArgument|vocabulary|RootBy|::Fold\(' \
     "$work/exports"; then
  fail "the library exports internals"
fi
ok "export list"

# The packages: each one's files, as listed in deb_contents.txt ("package path" lines).
for deb in "$dist"/*.deb; do
  package=$(dpkg-deb -f "$deb" Package)
  dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $6 }' | sed 's#^\./#/#' | sort >"$work/$package.got"
  awk -v p="$package" '$1 == p { print $2 }' "$here/deb_contents.txt" |
    sed "s#@MULTIARCH@#$(dpkg-architecture -qDEB_HOST_MULTIARCH)#" | sort >"$work/$package.want"
  diff -u "$work/$package.want" "$work/$package.got" || fail "$package holds other files"
  dpkg-deb -x "$deb" "$work/root"
  packages="$packages $package"
done
[ "$(echo $packages | tr ' ' '\n' | sort | tr '\n' ' ')" = "corvane libcorvane-dev libcorvane1 " ] ||
  fail "the packages are '$packages'"
lintian --fail-on error --tag-display-limit 0 "$dist"/*.deb >"$work/lintian.txt" 2>&1 ||
  { cat "$work/lintian.txt"; fail "lintian reports errors"; }
grep -E '^[WE]:' "$work/lintian.txt"  # the warnings left, for the log
PATH=$work/root/usr/bin:$PATH sh "$root/tests/cli/readme_examples.sh" "$work/root/usr/bin/corvane" \
  "$root/README.md" >"$work/readme.log" 2>&1 || { cat "$work/readme.log"; fail "the packaged tool"; }
ok "packages"

[ $status -eq 0 ] && echo "ALL PASSED"
exit $status
