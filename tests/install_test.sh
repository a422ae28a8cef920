#!/usr/bin/env bash
# Installs a build into a scratch prefix and checks what lands there: the executables (that they run and
# the version they print), the manual pages (their sections, written for that version), the README and
# the docs/ pages it links to, the desktop entry (desktop-file-validate checks it when that tool is there)
# and the component folder's defaults, which the installed executable lays into a user's folder.
#   install_test.sh CMAKE BUILD_DIR
set -euo pipefail
cmake=$1
build=$2
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT

failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

"$cmake" --install "$build" --prefix "$prefix" >/dev/null

exe=$prefix/bin/tarnwick-download
readme=$prefix/share/doc/tarnwick-download/README.md
desktop=$prefix/share/applications/tarnwick-download.desktop
man_page=""
for candidate in "$prefix/share/man/man1/tarnwick-download.1.gz" "$prefix/share/man/man1/tarnwick-download.1"; do
  [[ -f $candidate ]] && man_page=$candidate && break
done

[[ -x $exe ]] || fail "no executable $exe"
[[ -s $readme ]] || fail "no README in $prefix/share/doc/tarnwick-download"
# Every page of docs/ that the README links to is installed beside it, where the link leads.
if [[ -s $readme ]]; then
  pages=$(grep -o '](docs/[^)#]*' "$readme" | sed 's/^](//' | sort -u)
  [[ -n $pages ]] || fail "the README links to no page of docs/"
  for page in $pages; do
    [[ -s $prefix/share/doc/tarnwick-download/$page ]] || fail "the README links to $page, which is not installed beside it"
  done
fi
[[ -n $man_page ]] || fail "no manual page in $prefix/share/man/man1"
[[ -f $desktop ]] || fail "no desktop entry $desktop"

# The installed executable runs on its own (no library left behind in the build folder): a command line
# it cannot use ends with status 2 and the usage.
if [[ -x $exe ]]; then
  status=0
  usage=$("$exe" --no-such-option 2>&1 >/dev/null) || status=$?
  [[ $status -eq 2 ]] || fail "the installed executable ended with $status on a bad option, not 2"
  grep -q "usage: tarnwick-download" <<<"$usage" || fail "the installed executable printed no usage"
  version=$("$exe" --version) || { fail "the installed executable's --version failed"; version=""; }
  [[ $version =~ ^tarnwick-download\ [0-9]+\.[0-9]+\.[0-9]+$ ]] || fail "--version printed \"$version\""
fi

if [[ -n $man_page ]]; then
  text=$(gzip -dcf "$man_page")
  grep -A1 -x '\.SH NAME' <<<"$text" | grep -q '^tarnwick-download \\- ' || fail "the manual page has no NAME line"
  if grep -q '@[A-Za-z_]*@' <<<"$text"; then
    fail "the manual page holds an unfilled placeholder"
  fi
  if [[ -n ${version:-} ]]; then
    grep -q "^\.TH .*\"$version\"" <<<"$text" || fail "the manual page is not the one for $version"
  fi
  for section in SYNOPSIS OPTIONS "EXIT STATUS" DIAGNOSTICS FILES EXAMPLES; do
    grep -q -x "\.SH \"\?$section\"\?" <<<"$text" || fail "the manual page has no $section section"
  done
  if command -v groff >/dev/null; then
    warnings=$(groff -man -k -Tutf8 -ww -z <<<"$text" 2>&1) || true
    [[ -z $warnings ]] || fail "groff warns about the manual page: $warnings"
  fi
fi

# The meeting server's tool beside it, of the same version, with its own page.
release=${version:-}
release=${release#tarnwick-download }
publish_version=$("$prefix/bin/tarnwick-publish" --version 2>&1) || fail "the installed tarnwick-publish does not run"
[[ $publish_version == "tarnwick-publish $release" ]] || fail "tarnwick-publish --version printed \"$publish_version\""
publish_page=$(gzip -dcf "$prefix/share/man/man1/tarnwick-publish.1"* 2>/dev/null) || fail "no manual page of tarnwick-publish"
grep -q "^\.TH .*\"tarnwick-publish $release\"" <<<"$publish_page" || fail "no manual page of tarnwick-publish $release"

if [[ -f $desktop ]]; then
  grep -qx 'Exec=tarnwick-download -- %u' "$desktop" || fail "the desktop entry's Exec line"
  grep -qx 'MimeType=x-scheme-handler/tarnwick-download;' "$desktop" || fail "the desktop entry declares no scheme"
  grep -q '^Name\[th\]=' "$desktop" || fail "the desktop entry has no Thai name"
  if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$desktop" || fail "desktop-file-validate refuses the desktop entry"
  else
    echo "desktop-file-validate is not installed: the desktop entry's format is not checked"
  fi
fi

# The installed copy's component folder starts with the configuration and images, and keeps what the user
# changed: a run (here one whose cookie is refused) lays in only what is missing.
if [[ -x $exe ]]; then
  folder=$prefix/home/data/tarnwick-download
  run_installed() { HOME=$prefix/home XDG_DATA_HOME=$prefix/home/data "$exe" --ui terminal --cookie-file - </dev/null >/dev/null 2>&1 || true; }
  run_installed
  [[ -s $folder/Tarnwick.cfg && -s $folder/imageTarnwick/index_01.gif ]] || fail "no configuration or images laid into $folder"
  printf 'mine\r\nhttp://meeting.example/\r\n' >"$folder/Tarnwick.cfg"
  rm "$folder/imageTarnwick/index_01.gif"
  run_installed
  [[ $(cat "$folder/Tarnwick.cfg") == $'mine\r\nhttp://meeting.example/\r' ]] || fail "the user's Tarnwick.cfg was overwritten"
  [[ -s $folder/imageTarnwick/index_01.gif ]] || fail "a missing image was not laid in again"
fi

if ((failures)); then
  exit 1
fi
echo "install: all files in place under the prefix"
