# Shared by the package tests (sourced): where things are, a temporary folder, and
# checks that say what they found. KOVRAN_ROOT and KOVRAN_BUILD come from ctest.
set -uo pipefail
root=${KOVRAN_ROOT:?}
build=${KOVRAN_BUILD:?}
tool="$build/bin/kovran-onefile"
version=$("$tool" --version | awk '{print $2}')
packages="$build/packages"
deb="$packages/kovran-onefile_${version}_amd64.deb"
zip="$packages/kovran-onefile-${version}-windows-x86_64.zip"
zip_top="kovran-onefile-${version}-windows-x86_64"
# KEEP_TMP=1 keeps the temporary folder for a look after a failure.
tmp=$(mktemp -d "${TMPDIR:-/tmp}/kovran-package-test.XXXXXX")
trap '[ -n "${KEEP_TMP:-}" ] || rm -rf "$tmp"' EXIT
failures=0

# check DESCRIPTION COMMAND...: runs COMMAND, counts a failure when it fails.
check() {
  if "${@:2}"; then
    echo "ok: $1"
  else
    echo "FAILED: $1"
    failures=$((failures + 1))
  fi
}

# contains TEXT PATTERN: a fixed string found in TEXT (printed when it is not).
contains() {
  grep -qF -- "$2" <<<"$1" || { printf '  expected "%s" in:\n%s\n' "$2" "$1" | head -n 40; return 1; }
}

finish() {
  if [ "$failures" -gt 0 ]; then
    echo "$failures check(s) failed"
    exit 1
  fi
  echo "all checks passed"
}

need_packages() {
  if [ ! -f "$deb" ] || [ ! -f "$zip" ]; then
    echo "FAILED: $deb or $zip missing: run make package (make test does)"
    exit 1
  fi
}

wine_run() { "$root/scripts/wine-run.sh" "$@"; }

# A packed program's modification time with nanoseconds, to see whether a build packed.
stamp_of() { date -r "$1" +%s.%N; }

# find_project DIR: a project in DIR that finds the CMake package and prints where its tool
# is ("tool: PATH version: VERSION"), to be configured with CMAKE_PREFIX_PATH or
# KovranOnefile_DIR pointing at an unpacked package.
find_project() {
  mkdir -p "$1"
  cat >"$1/CMakeLists.txt" <<'CMAKE'
cmake_minimum_required(VERSION 3.21)
project(find NONE)
find_package(KovranOnefile REQUIRED)
get_target_property(location KovranOnefile::kovran-onefile IMPORTED_LOCATION)
message(STATUS "tool: ${location} version: ${KovranOnefile_VERSION}")
CMAKE
}
