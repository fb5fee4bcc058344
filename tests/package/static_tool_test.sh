#!/usr/bin/env bash
# The tools are single static programs: the Linux one has no program interpreter and no
# shared library, and packs in an empty root (a chroot holding only the tool and the
# folders it reads) exactly as outside, non-ASCII letter case included; the Windows one
# imports only DLLs that every Windows has. Exit 77 (skipped) where chroot is refused.
source "$(dirname "$0")/lib.sh"

check "file(1) calls the tool statically linked" contains "$(file -b "$tool")" "statically linked"
check "ldd calls it not a dynamic executable" \
  contains "$(ldd "$tool" 2>&1)" "not a dynamic executable"
no_dynamic_parts() {
  ! readelf -lW "$tool" | grep -q INTERP && ! readelf -dW "$tool" | grep -q NEEDED
}
check "no program interpreter and no needed library" no_dynamic_parts

# The Windows tool: system DLLs only, no runtime DLL of the compiler, zlib or zstd.
windows_imports=$(x86_64-w64-mingw32-objdump -p "$build/bin/kovran-onefile.exe" |
  awk '/DLL Name:/ {print tolower($3)}')
system_dlls_only() {
  contains "$windows_imports" kernel32.dll || return 1
  local dll
  for dll in $windows_imports; do
    case $dll in
      kernel32.dll | user32.dll | msvcrt.dll | advapi32.dll | shell32.dll | ole32.dll | \
        bcrypt.dll | ntdll.dll | api-ms-win-*) ;;
      *) echo "  imports $dll"; return 1 ;;
    esac
  done
}
check "kovran-onefile.exe imports system DLLs only ($(echo $windows_imports))" system_dlls_only

# The empty root: the tool, the sample application, and a folder whose two file names
# differ only in the case of a non-ASCII letter (the tool's own table must see that).
jail="$tmp/root"
mkdir -p "$jail/clash"
cp "$tool" "$jail/kovran-onefile"
cp -r "$build/sample-app" "$jail/app"
cp "$build/sample-app/sample-app.exe" "$jail/clash/main.exe"
echo one >"$jail/clash/$(printf '\xc3\x89t\xc3\xa9.txt')"  # Été.txt
echo two >"$jail/clash/$(printf '\xc3\xa9t\xc3\xa9.txt')"  # été.txt
if [ "$(id -u)" -ne 0 ] || ! chroot "$jail" /kovran-onefile --version >/dev/null 2>&1; then
  echo "chroot is not available here"
  [ "$failures" -eq 0 ] && exit 77
  finish
fi
echo "the empty root holds: $(cd "$jail" && ls | paste -sd" " -)"

template='{PROGRAM_DIR}\sample-files'
in_jail() { chroot "$jail" /kovran-onefile "$@"; }
check "packs in the empty root, with zstd's worker threads" \
  in_jail pack /app -o /out/sample.exe --target-dir "$template" --threads 2 -q
check "verifies there" in_jail verify /out/sample.exe >/dev/null
check "lists there" contains "$(in_jail list /out/sample.exe)" 'data\messages\hello.txt'
extracted_equal() { in_jail extract /out/sample.exe /extracted >/dev/null && diff -r "$jail/app" "$jail/extracted"; }
check "extracts there the files packed" extracted_equal
"$tool" pack "$build/sample-app" -o "$tmp/outside.exe" --target-dir "$template" -q
check "packs byte for byte as outside the root" cmp "$jail/out/sample.exe" "$tmp/outside.exe"
clash=$(in_jail pack /clash -o /out/clash.exe -q 2>&1)
check "refuses names equal but for letter case (É, é) there" contains "$clash" "letter case is ignored"
check "writes no launcher for them" test ! -e "$jail/out/clash.exe"

# The launcher packed in the empty root runs its program under Wine.
run=$(wine_run "$jail/out/sample.exe" 2>&1)
status=$?
check "the launcher packed there runs (exit $status)" test "$status" -eq 0
check "its program finds its data" contains "$run" "data\\messages\\hello.txt: $(head -n1 "$root/sample/files/data/messages/hello.txt")"
finish
