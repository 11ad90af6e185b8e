#!/usr/bin/env bash
# install_test.sh BUILD_FOLDER WORK_FOLDER: installs the build into a temporary DESTDIR and checks
# what a desktop needs.
set -euo pipefail
build=$1 work=$2
rm -rf "$work" && mkdir -p "$work"
root=$work/root
fail() { echo "install test: $*" >&2; exit 1; }

DESTDIR=$root cmake --install "$build" --prefix /usr >/dev/null
usr=$root/usr
for file in bin/vantoril bin/vantoril-cli share/doc/vantoril/user_guide.html \
            share/applications/vantoril.desktop share/mime/packages/vantoril.xml \
            share/man/man1/vantoril-cli.1 share/man/man1/vantoril.1; do
  [[ -s $usr/$file ]] || fail "$file is missing"
done

"$usr/bin/vantoril-cli" --version | grep -qx "vantoril-cli [0-9.]*" || fail "vantoril-cli --version"
"$usr/bin/vantoril" --version | grep -qx "vantoril [0-9.]*" || fail "vantoril --version"
"$usr/bin/vantoril" --help | grep -q "SHOW.vsh" || fail "vantoril --help"
if "$usr/bin/vantoril" --no-such-option >/dev/null 2>&1; then fail "an unknown option was taken"; fi

for size in 16 22 24 32 48 64 128 256; do
  for icon in apps/vantoril.png mimetypes/application-x-vantoril-show.png; do
    png=$usr/share/icons/hicolor/${size}x${size}/$icon
    [[ -s $png ]] || fail "$png is missing"
    # The PNG signature, then IHDR's width and height as 32-bit big-endian numbers.
    header=$(od -An -tx1 -N24 "$png" | tr -d ' \n')
    [[ ${header:0:16} == 89504e470d0a1a0a ]] || fail "$png is not a PNG file"
    [[ $((16#${header:32:8})) == "$size" && $((16#${header:40:8})) == "$size" ]] ||
      fail "$png is not $size x $size"
  done
done

command -v desktop-file-validate >/dev/null ||
  { echo "install test: desktop-file-validate is missing (scripts/setup installs it)" >&2; exit 77; }
desktop-file-validate "$usr/share/applications/vantoril.desktop" || fail "desktop-file-validate"
grep -q '^Exec=vantoril %f$' "$usr/share/applications/vantoril.desktop" || fail "Exec line"

if command -v update-mime-database >/dev/null; then
  mime=$work/mime
  mkdir -p "$mime/packages"
  cp "$usr/share/mime/packages/vantoril.xml" "$mime/packages/"
  update-mime-database "$mime" >/dev/null 2>&1 || fail "update-mime-database refused vantoril.xml"
  grep -q 'application/x-vantoril-show:\*\.vsh' "$mime/globs2" || fail "no *.vsh glob"
  grep -qa 'application/x-vantoril-show' "$mime/magic" || fail "no magic number"
fi

if command -v man >/dev/null; then
  MANWIDTH=80 man -l "$usr/share/man/man1/vantoril-cli.1" 2>/dev/null | grep -q -- "--part" ||
    fail "the manual page of vantoril-cli does not read"
  MANWIDTH=80 man -l "$usr/share/man/man1/vantoril.1" 2>/dev/null | grep -q "UNSAVED WORK" ||
    fail "the manual page of vantoril does not read"
fi
echo "install test: passed"
