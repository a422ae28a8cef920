#!/bin/sh
# What an administrator copies: a zip with the executable and the README, and an executable that needs no
# DLL but Windows' own. Arguments: the zip, the executable, objdump for the target.
set -eu
zip=$1 exe=$2 objdump=$3
fail() { echo "package: $*" >&2; exit 1; }

listing=$(python3 -c 'import sys, zipfile; print("\n".join(sorted(zipfile.ZipFile(sys.argv[1]).namelist())))' "$zip")
[ "$listing" = "README.md
tarnwick-download.exe" ] || fail "the zip holds: $listing"

# Each DLL the executable imports must come with Windows (no MinGW runtime, no libcurl DLL, no Qt).
system_dlls="advapi32.dll bcrypt.dll comctl32.dll comdlg32.dll crypt32.dll gdi32.dll kernel32.dll msvcrt.dll
shell32.dll user32.dll winmm.dll ws2_32.dll api-ms-win-crt-*.dll"
for dll in $("$objdump" -p "$exe" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z'); do
  found=no
  for allowed in $system_dlls; do
    case $dll in $allowed) found=yes ;; esac
  done
  [ $found = yes ] || fail "the executable needs $dll, which Windows does not bring"
done
echo "package: $(basename "$zip") holds the executable and the README; it imports only system DLLs"
