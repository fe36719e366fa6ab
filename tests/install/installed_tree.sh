#!/usr/bin/env bash
# Installs the build into a scratch root the way a package would (prefix /usr) and checks that a
# desktop finds everything in its place: the program, the menu entry, the icon in every size, the
# software-centre description and the manual page, checked by the desktop's and man's own
# validators. Where lintian is installed, it checks the Debian package cpack makes of the build.
# Then it starts the installed program offscreen: it has no way to quit by itself, so still
# running after two seconds means it came up.
#
#   installed_tree.sh <cmake> <cpack> <build-dir> <project-version>
set -euo pipefail
cmake=$1 cpack=$2 build=$3 version=$4
id=org.floatbench.FloatBench
root=$build/install-check
usr=$root/usr

fail() { echo "FAIL: $*" >&2; exit 1; }
need() { command -v "$1" >/dev/null || fail "$1 is missing (package $2, see tools/install-deps.sh)"; }
need desktop-file-validate desktop-file-utils
need appstreamcli appstream
need man man-db
need dpkg-parsechangelog dpkg-dev

rm -rf "$root"
DESTDIR=$root "$cmake" --install "$build" --prefix /usr >/dev/null

desktop=$usr/share/applications/$id.desktop
metainfo=$usr/share/metainfo/$id.metainfo.xml
[ -x "$usr/bin/floatbench" ] || fail "no program at /usr/bin/floatbench"
[ -f "$desktop" ] || fail "no menu entry at ${desktop#$root}"
[ -f "$metainfo" ] || fail "no metainfo at ${metainfo#$root}"

# Every fixed-size icon is a PNG of the size its folder says.
be32() { echo $((16#$(od -An -tx1 -j"$2" -N4 "$1" | tr -d ' \n'))); }
for n in 16 32 48 64 128 256; do
  png=$usr/share/icons/hicolor/${n}x${n}/apps/$id.png
  [ -f "$png" ] || fail "no ${n}x${n} icon"
  [ "$(od -An -tx1 -N8 "$png" | tr -d ' \n')" = 89504e470d0a1a0a ] || fail "${png#$root} is not a PNG"
  w=$(be32 "$png" 16) h=$(be32 "$png" 20)
  [ "$w" = "$n" ] && [ "$h" = "$n" ] || fail "${png#$root} is ${w}x${h}"
done
svg=$usr/share/icons/hicolor/scalable/apps/$id.svg
grep -q '<svg ' "$svg" 2>/dev/null || fail "no scalable icon"

# The entry names the program in both languages, sits in the right menus and points at what was
# installed.
entry() { sed -n "s/^$1=//p" "$desktop"; }
[ "$(entry Name)" = FloatBench ] || fail "Name is '$(entry Name)'"
[ -n "$(entry 'Name\[uk\]')" ] || fail "no Ukrainian Name"
# One main category, so that menus list the program once; Physics files it under science too.
[ "$(entry Categories)" = "Education;Physics;" ] || fail "Categories are '$(entry Categories)'"
exe=$(entry Exec)
[ -x "$usr/bin/${exe%% *}" ] || fail "Exec=$exe is not an installed program"
[ "$(entry Icon)" = "$id" ] || fail "Icon=$(entry Icon) is not the installed icon"
# Qt names the window's class (and the Wayland app id) after the executable; the desktop matches
# running windows to the entry through it.
[ "$(entry StartupWMClass)" = "${exe%% *}" ] || fail "StartupWMClass is not the program's name"
# Hints count: the validator names a second main category only as a hint.
validation=$(desktop-file-validate "$desktop" 2>&1) || fail "desktop-file-validate rejects the entry: $validation"
[ -z "$validation" ] || fail "desktop-file-validate: $validation"

grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$metainfo" ||
  fail "metainfo does not launch $id.desktop"
grep -q "<release version=\"$version\"" "$metainfo" || fail "metainfo has no release $version"
# validate-tree checks the metainfo and that the entry it launches is installed beside it.
appstreamcli validate-tree --no-net "$root" >"$root/appstream.log" 2>&1 ||
  { cat "$root/appstream.log"; fail "appstreamcli rejects the installed tree"; }

# The manual page renders without a warning from man or groff.
man1=$usr/share/man/man1/floatbench.1.gz
[ -f "$man1" ] || fail "no manual page at ${man1#$root}"
warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$man1" 2>&1 >/dev/null)
[ -z "$warnings" ] || fail "the manual page has warnings: $warnings"
LC_ALL=C.UTF-8 MANWIDTH=80 man -l "$man1" 2>/dev/null | grep -q "^NAME" || fail "the manual page has no NAME section"

# Every package's documentation folder holds its copyright file and a changelog whose latest
# entry is this version.
docs=$usr/share/doc/floatbench
[ -f "$docs/copyright" ] || fail "no copyright file at ${docs#$root}/copyright"
grep -q '^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' "$docs/copyright" ||
  fail "${docs#$root}/copyright is not machine-readable"
[ -f "$docs/changelog.gz" ] || fail "no changelog at ${docs#$root}/changelog.gz"
top=$(gzip -dc "$docs/changelog.gz" | dpkg-parsechangelog -l - -S Version)
[ "$top" = "$version" ] || fail "the changelog's latest entry is $top, not $version"

# The packages themselves: no error and no warning from lintian.
if command -v lintian >/dev/null; then
  "$cpack" --config "$build/CPackConfig.cmake" -B "$root/package" >"$root/cpack.log" 2>&1 ||
    { cat "$root/cpack.log"; fail "cpack could not make the packages"; }
  debs=("$root"/package/*.deb)
  [ -f "${debs[0]}" ] || fail "cpack made no package"
  for deb in "${debs[@]}"; do
    lintian --fail-on error,warning "$deb" >"$root/lintian.log" 2>&1 ||
      { grep -v '^running with root privileges' "$root/lintian.log"; fail "lintian rejects ${deb##*/}"; }
  done
  echo "lintian accepts ${debs[*]##*/}"
else
  echo "lintian is not installed (package lintian): the packages were not checked"
fi

set +e
# Still running after 2 s means it started; it must then end on SIGTERM like any desktop program
# (a library's own signal handler must not swallow it): a KILL after 3 s more counts as a failure.
QT_QPA_PLATFORM=offscreen timeout -k 3 2 "$usr/bin/floatbench" >"$root/run.log" 2>&1
rc=$?
set -e
[ "$rc" != 137 ] || { cat "$root/run.log"; fail "the installed program did not end on SIGTERM"; }
[ "$rc" = 124 ] || { cat "$root/run.log"; fail "the installed program ended with status $rc at start"; }
echo "installed tree complete; the installed program starts"
