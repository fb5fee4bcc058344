#!/usr/bin/env bash
# `make package`: the release packages, in <build>/packages.
#   kovran-onefile_<version>_amd64.deb: /usr/bin/kovran-onefile (static), its man page,
#     /usr/share/doc/kovran-onefile (README, copyright), /usr/lib/cmake/KovranOnefile;
#   kovran-onefile-<version>-windows-x86_64.zip: one folder holding bin/kovran-onefile.exe,
#     lib/cmake/KovranOnefile, README.md, LICENSE.txt and THIRD-PARTY-NOTICES.txt.
# Both trees must be built. The same sources and installed Debian packages give the same
# bytes: every time is SOURCE_DATE_EPOCH (default: the last commit's), entries are
# sorted, owners are root. Third-party licences come from the installed Debian packages
# that provided what the static tools contain.
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
root=$(cd "$(dirname "$0")/.." && pwd)
out=${KOVRAN_PACKAGE_DIR:-$build/packages}  # another folder: to compare two runs
umask 022

tool="$build/bin/kovran-onefile"
version=$("$tool" --version | awk '{print $2}')
[ -n "$version" ] || { echo "package: $tool --version printed no version" >&2; exit 1; }
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  SOURCE_DATE_EPOCH=$(git -C "$root" log -1 --format=%ct 2>/dev/null || echo 315532800)
fi
export SOURCE_DATE_EPOCH
maintainer=${KOVRAN_DEB_MAINTAINER:-"kovran-onefile developers <maintainers@kovran-onefile.invalid>"}

mkdir -p "$out"
work=$(mktemp -d "$build/package-work.XXXXXX")
trap 'rm -rf "$work"' EXIT

# The Debian package owning a file, and the source package and version it was built from.
owner() { dpkg-query -S "$(realpath "$1")" | head -n1 | cut -d: -f1; }
source_of() { dpkg-query -W -f='${source:Package} (= ${source:Version})' "$1"; }

# notices TITLE FILE...: the copyright files of the packages that provided FILEs, each
# once (packages of one source share theirs), under a heading naming the packages.
notices() {
  local title=$1 file pkg text
  shift
  echo "$title"
  declare -A seen=()
  for file in "$@"; do
    pkg=$(owner "$file")
    text="/usr/share/doc/$pkg/copyright"
    [ -f "$text" ] || { echo "package: $text missing" >&2; exit 1; }
    local key
    key=$(sha256sum <"$text" | cut -c1-64)
    [ -z "${seen[$key]:-}" ] || continue
    seen[$key]=1
    printf '\n==== %s %s: %s ====\n\n' "$pkg" "$(dpkg-query -W -f='${Version}' "$pkg")" \
      "$(basename "$file")"
    cat "$text"
  done
}

linux_parts=(
  "$(realpath /usr/include/zstd.h)"  # zstd is built from the sources of this package
  "$(realpath /usr/lib/x86_64-linux-gnu/libz.a)"
  /usr/include/CLI/CLI.hpp
  "$(gcc -print-file-name=libc.a)"
  "$(g++ -print-file-name=libstdc++.a)"
  "$(gcc -print-file-name=libgcc.a)"
)
mingw=x86_64-w64-mingw32
windows_parts=(
  "$(realpath /usr/include/zstd.h)"
  "/usr/$mingw/lib/libz.a"
  /usr/include/CLI/CLI.hpp
  "$($mingw-gcc-posix -print-file-name=crt2.o)"
  "$($mingw-gcc-posix -print-file-name=libwinpthread.a)"
  "$($mingw-g++-posix -print-file-name=libstdc++.a)"
  "$($mingw-gcc-posix -print-file-name=libgcc.a)"
)

stamp() { find "$1" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +; }

# --- Debian package -------------------------------------------------------------------
deb="$work/deb"
cmake --install "$build/host" --prefix "$deb/usr" --strip >/dev/null
[ -x "$deb/usr/bin/kovran-onefile" ] || { echo "package: the host tree installed no tool" >&2; exit 1; }
docs="$deb/usr/share/doc/kovran-onefile"
mkdir -p "$docs" "$deb/usr/share/man/man1" "$deb/DEBIAN"
cp "$root/README.md" "$docs/README.md"
{
  echo "kovran-onefile $version"
  echo
  cat "$root/LICENSE"
  echo
  notices "/usr/bin/kovran-onefile is linked statically with code from the following Debian packages; their copyright files follow." \
    "${linux_parts[@]}"
} >"$docs/copyright"

# The man page: the tool's --help, with each command's own --help as a section.
manual="$work/commands.h2m"
echo "[COMMANDS]" >"$manual"
for command in pack list verify extract info; do
  printf '.SS %s\n.nf\n' "$command" >>"$manual"
  "$tool" "$command" --help | sed -e 's/\\/\\e/g' -e "s/^\\([.']\\)/\\\\\\&\\1/" >>"$manual"
  printf '.fi\n' >>"$manual"
done
help2man --no-info --section=1 --include="$manual" \
  --name="turn a Windows application folder into one self-unpacking executable" \
  --output="$work/kovran-onefile.1" "$tool"
gzip -9nc "$work/kovran-onefile.1" >"$deb/usr/share/man/man1/kovran-onefile.1.gz"

built_using=$(for part in "${linux_parts[@]}"; do source_of "$(owner "$part")"; echo; done |
  sort -u | paste -sd, - | sed 's/,/, /g')
cat >"$deb/DEBIAN/control" <<EOF
Package: kovran-onefile
Version: $version
Architecture: amd64
Maintainer: $maintainer
Installed-Size: $(du -sk --exclude=DEBIAN "$deb" | cut -f1)
Section: devel
Priority: optional
Multi-Arch: foreign
Built-Using: $built_using
Description: turn a Windows application folder into one self-unpacking executable
 kovran-onefile packs a Windows x86-64 application folder (a main .exe, its DLLs
 and data) into one executable that carries the folder compressed, unpacks it on
 start and runs the main program with its arguments and standard handles. It also
 lists, verifies and extracts such executables. The program is linked statically.
 .
 The CMake package KovranOnefile (find_package(KovranOnefile)) offers the tool as
 KovranOnefile::kovran-onefile and kovran_onefile_add(), which packs a program of
 a project with its DLLs and data as part of the build.
EOF
chmod -R u=rwX,go=rX "$deb"
stamp "$deb"
deb_file="$out/kovran-onefile_${version}_amd64.deb"
dpkg-deb --root-owner-group -Zxz --build "$deb" "$deb_file.part" >/dev/null
mv "$deb_file.part" "$deb_file"

# --- Windows zip ----------------------------------------------------------------------
top="kovran-onefile-$version-windows-x86_64"
zip_root="$work/zip/$top"
cmake --install "$build/windows" --prefix "$zip_root" >/dev/null
[ -f "$zip_root/bin/kovran-onefile.exe" ] || { echo "package: the Windows tree installed no tool" >&2; exit 1; }
cp "$root/README.md" "$zip_root/README.md"
cp "$root/LICENSE" "$zip_root/LICENSE.txt"
notices "kovran-onefile.exe is linked statically with code from the following packages (as Debian ships them); their copyright files follow." \
  "${windows_parts[@]}" >"$zip_root/THIRD-PARTY-NOTICES.txt"
# zip_tree.py gives every entry the epoch's time and a fixed mode of its own.
python3 "$root/scripts/zip_tree.py" "$zip_root" "$out/$top.zip"

echo "package: $(cd "$out" && ls -1 "kovran-onefile_${version}_amd64.deb" "$top.zip" | paste -sd' ' -) in $out"
