#!/bin/sh
# What an administrator copies: a zip with the executable, the meeting server's tarnwick-publish.exe and the
# README with the pages it links to (docs/), executables that need no DLL but Windows' own, stripped. The
# download carries the program's identity, read back from the file with icoutils: its manifest, its icon in
# every size, its version resource from the project's.
# Arguments: the zip, the executable, objdump for the target, the project's version.
set -eu
zip=$1 exe=$2 objdump=$3 version=$4
fail() { echo "package: $*" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

listing=$(python3 -c 'import sys, zipfile; print("\n".join(sorted(zipfile.ZipFile(sys.argv[1]).namelist())))' "$zip")
[ "$listing" = "README.md
docs/benchmarks.md
docs/design.md
docs/install.md
docs/meeting-server.md
docs/running.md
docs/windows.md
tarnwick-download.exe
tarnwick-publish.exe" ] || fail "the zip holds: $listing"
python3 -c 'import sys, zipfile; zipfile.ZipFile(sys.argv[1]).extractall(sys.argv[2])' "$zip" "$work"
shipped=$work/tarnwick-download.exe

# Each DLL an executable imports must come with Windows (no MinGW runtime, no libcurl DLL, no Qt).
system_dlls="advapi32.dll bcrypt.dll comctl32.dll comdlg32.dll crypt32.dll gdi32.dll kernel32.dll msvcrt.dll
shell32.dll user32.dll winhttp.dll winmm.dll ws2_32.dll api-ms-win-crt-*.dll"
for program in "$exe" "$work/tarnwick-publish.exe"; do
  for dll in $("$objdump" -p "$program" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z'); do
    found=no
    for allowed in $system_dlls; do
      case $dll in $allowed) found=yes ;; esac
    done
    [ $found = yes ] || fail "$(basename "$program") needs $dll, which Windows does not bring"
  done
done
for program in "$shipped" "$work/tarnwick-publish.exe"; do
  ! "$objdump" -h "$program" | grep -q '\.debug_' || fail "the zip's $(basename "$program") carries its debugging information"
done
manifest=$(wrestool -x --raw --type=24 "$shipped")
for wanted in '<dpiAwareness xmlns="http://schemas.microsoft.com/SMI/2016/WindowsSettings">PerMonitorV2, PerMonitor<' \
  '>true/pm<' 'name="Microsoft.Windows.Common-Controls" version="6.0.0.0"' 'level="asInvoker"' '>true</longPathAware>' \
  '<supportedOS Id="{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"/>'; do
  case $manifest in *"$wanted"*) ;; *) fail "the manifest lacks $wanted" ;; esac
done
wrestool -x --type=14 -o "$work/icon.ico" "$shipped"
sizes=$(icotool -l "$work/icon.ico" | sed -n 's/.*--width=\([0-9]*\).*/\1/p' | sort -n | tr '\n' ' ')
[ "$sizes" = "16 24 32 48 256 " ] || fail "the icon comes in the sizes $sizes"
wrestool -x --raw --type=16 "$shipped" | python3 -c '
import re, struct, sys
data, version = sys.stdin.buffer.read(), sys.argv[1]
fixed = data.index(struct.pack("<I", 0xFEEF04BD))
numbers = struct.unpack_from("<4H", data, fixed + 8)  # FileVersionMS, then LS, as two words each
found = "%d.%d.%d" % (numbers[1], numbers[0], numbers[3])
texts = data.decode("utf-16-le", "replace")
wanted = ["FileVersion\0+" + re.escape(version) + "\0", "ProductVersion\0+" + re.escape(version) + "\0",
          "CompanyName\0+Tarnwick\0", "FileDescription\0+Tarnwick meeting download\0"]
missing = [text for text in wanted if not re.search(text, texts)]
if found != version or missing:
    sys.exit("package: the version resource says %s, lacks %s" % (found, missing))
' "$version"
echo "package: $(basename "$zip") holds the executables, the README and its docs; they import only system DLLs and are stripped; the download has its manifest, icon and version"
