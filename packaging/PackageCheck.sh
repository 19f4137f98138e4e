#!/usr/bin/env bash
# The Debian package as a user gets it: built by cpack into a temporary folder and extracted
# there, its doryou-cli calculates the sample as the build's does, its desktop entry is valid,
# the MIME database built from its file type names *.msh and the project file's signature, and
# lintian (where installed) finds no error.
#   PackageCheck.sh CPACK BUILD-DIR SOURCE-DIR LIBDIR-FROM-BINDIR BUILD-CLI
set -euo pipefail
cpack=$1 build=$2 src=$3 libdir_rel=$4 build_cli=$5

for tool in dpkg-deb dpkg-shlibdeps dpkg-parsechangelog desktop-file-validate \
            update-mime-database readelf nm; do
  if ! command -v "$tool" >/dev/null; then
    echo "Package.Deb: skipped, $tool is not installed (scripts/install-deps.sh installs it)"
    exit 77
  fi
done

work=$(mktemp -d "${TMPDIR:-/tmp}/doryou-package.XXXXXX")
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "Package.Deb: $*"; failures=$((failures + 1)); }

if ! "$cpack" --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1; then
  cat "$work/cpack.log"
  exit 1
fi
version=$(dpkg-parsechangelog -l "$src/packaging/changelog" -S Version)
deb=$work/out/doryou_${version}_$(dpkg --print-architecture).deb
if [ ! -f "$deb" ]; then
  echo "Package.Deb: no $(basename "$deb") (the changelog's version must be the project's)"
  ls "$work/out"
  exit 1
fi

# Dependencies: the libraries from the binaries, the fonts and CUPS named by us.
depends=$(dpkg-deb -f "$deb" Depends)
for p in libc6 libqt6widgets6 libqt6printsupport6 liblhasa0 libexpat1 libqhull-r8.0 fonts-ipafont-mincho \
         fonts-ipafont-gothic; do
  grep -qE "(^|, )$p( |,|$)" <<<"$depends" || fail "Depends lacks $p: $depends"
done
grep -qE "(^|, )cups(,|$)" <<<"$(dpkg-deb -f "$deb" Recommends)" || fail "Recommends lacks cups"

root=$work/root
dpkg-deb -x "$deb" "$root"
for f in usr/bin/doryou usr/bin/doryou-cli usr/share/applications/doryou.desktop \
         usr/share/icons/hicolor/scalable/apps/doryou.svg usr/share/mime/packages/doryou.xml \
         usr/share/man/man1/doryou.1.gz usr/share/man/man1/doryou-cli.1.gz \
         usr/share/doc/doryou/copyright usr/share/doc/doryou/changelog.gz \
         usr/share/doc/doryou/guide-ja.md usr/share/doc/doryou/examples/sample-site.msh; do
  [ -f "$root/$f" ] || fail "missing /$f"
done

# The archiver layer looks for its library in this folder, from the program's own.
lib=$root/usr/bin/$libdir_rel/libunlha32.so
if [ -f "$lib" ]; then
  nm -D --defined-only "$lib" | grep -qw Unlha || fail "$lib exports no Unlha"
else
  fail "no libunlha32.so in usr/bin/$libdir_rel"
fi

# The installed programs use nothing of the build folder.
for f in "$root/usr/bin/doryou" "$root/usr/bin/doryou-cli" "$lib"; do
  if readelf -d "$f" | grep -qE 'RPATH|RUNPATH'; then fail "$f keeps a library search path"; fi
done
sample=$root/usr/share/doc/doryou/examples/sample-site.msh
if ! out=$("$root/usr/bin/doryou-cli" calc "$sample" 2>&1); then
  fail "the installed doryou-cli calc failed: $out"
elif [ "$out" != "$("$build_cli" calc "$src/examples/sample-site.msh")" ]; then
  fail "the installed doryou-cli calculates otherwise than the build's: $out"
fi

desktop=$root/usr/share/applications/doryou.desktop
desktop-file-validate "$desktop" || fail "desktop-file-validate rejects the desktop entry"

# A MIME database built from the package's file type alone.
mkdir -p "$work/mime/packages"
cp "$root/usr/share/mime/packages/doryou.xml" "$work/mime/packages/"
update-mime-database "$work/mime" 2>"$work/mime.log" || { cat "$work/mime.log"; exit 1; }
type=$(sed -n 's/^MimeType=\([^;]*\);.*/\1/p' "$desktop")
grep -qxF "50:$type:*.msh" "$work/mime/globs2" || fail "globs2 does not give *.msh to $type"
grep -qxF "[80:$type]" <(grep -a '^\[' "$work/mime/magic") || fail "no magic rule for $type"
# The rule matches the sample's first 20 bytes, its signature, at offset 0.
signature=$(head -c 20 "$sample")
LC_ALL=C grep -qaP -- ">0=\\x00\\x14\\Q$signature\\E" "$work/mime/magic" ||
  fail "the magic rule does not match the project file's signature '$signature' at offset 0"

if command -v lintian >/dev/null; then
  # Errors fail; warnings are shown (the packaging notes say which remain and why).
  lintian --fail-on error --tag-display-limit 0 "$deb" || fail "lintian reports errors"
else
  echo "Package.Deb: lintian is not installed, so the package is not linted"
fi

if [ $failures -ne 0 ]; then
  exit 1
fi
echo "Package.Deb: $(basename "$deb") installs, calculates, and integrates with the desktop"
