#!/usr/bin/env bash
# Makes the Debian packages from a built tree, checks them with lintian and the freedesktop and
# AppStream validators, unpacks them into a scratch root and uses them from there: the programs run,
# a new store is made and listed, the manual pages render, and a host project builds against the
# development package alone.
#   check_packages.sh BUILD_DIR WORK_DIR SOURCE_DIR
set -euo pipefail
build=$1
work=$2
source=$3

fail() {
  echo "FAIL: $*" >&2
  exit 1
}
step() { echo "-- $*"; }

for tool in cpack dpkg-deb dpkg-shlibdeps file lintian desktop-file-validate appstreamcli update-mime-database man; do
  command -v "$tool" >/dev/null || fail "$tool is missing (scripts/deps.sh installs what the tests need)"
done
rm -rf "$work"
mkdir -p "$work"
root=$work/root
version=$(sed -n 's/^CPACK_PACKAGE_VERSION "\(.*\)"$/\1/p;s/^set(CPACK_PACKAGE_VERSION "\(.*\)")$/\1/p' \
  "$build/CPackConfig.cmake" | head -n1)
[[ -n $version ]] || fail "no package version in $build/CPackConfig.cmake"

step "cpack -G DEB ($version)"
cpack -G DEB -B "$work/debs" --config "$build/CPackConfig.cmake" >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log"; fail "cpack"; }
declare -A deb
for package in veltrane libveltrane1 libveltrane-dev; do
  deb[$package]=$(ls "$work/debs/${package}_${version}_"*.deb 2>/dev/null || true)
  [[ -f ${deb[$package]} ]] || fail "no package $package in $work/debs: $(ls "$work/debs")"
done

step "control fields"
field() { dpkg-deb -f "${deb[$1]}" "$2"; }
expect_field() { # package field extended-regex
  local value
  value=$(field "$1" "$2")
  [[ $value =~ $3 ]] || fail "$1: $2 is \"$value\", expected to match $3"
}
expect_field veltrane Section '^science$'
expect_field libveltrane1 Section '^libs$'
expect_field libveltrane-dev Section '^libdevel$'
expect_field veltrane Depends "libveltrane1 \\(= $version\\)"
expect_field libveltrane-dev Depends "libveltrane1 \\(= $version\\)"
# What dpkg-shlibdeps found the binaries to need, beside what the packages name themselves.
expect_field veltrane Depends 'libqt6widgets6'
expect_field libveltrane1 Depends 'libqt6sql6 .*libqt6sql6-sqlite|libqt6sql6-sqlite.*libqt6sql6 '
# The PostgreSQL client library comes with the Qt driver that loads it, which the libraries recommend;
# they do not link it, so a start on SQLite never loads it.
expect_field libveltrane1 Recommends 'libqt6sql6-psql'
[[ ! $(field libveltrane1 Depends) =~ libpq5 ]] ||
  fail "libveltrane1: Depends names libpq5, which only the PostgreSQL driver needs"
for package in "${!deb[@]}"; do
  expect_field "$package" Maintainer '^[^<]+ <[^>]+@[^>]+>$'
done

step "lintian"
lintian --no-cfg --fail-on error --display-level '>=warning' "${deb[@]}" >"$work/lintian.log" 2>&1 ||
  { cat "$work/lintian.log"; fail "lintian reports errors"; }
# Every warning left is one the packaging guide explains.
while read -r tag; do
  grep -q "\`$tag\`" "$source/docs/packaging.md" ||
    { cat "$work/lintian.log"; fail "lintian warns of $tag, which docs/packaging.md does not explain"; }
done < <(sed -n 's/^W: [^:]*: \([a-z0-9-]*\).*/\1/p' "$work/lintian.log" | sort -u)

step "unpack"
for package in "${!deb[@]}"; do
  dpkg-deb -x "${deb[$package]}" "$root"
done
# Only public headers: the store's and the framework's own stay out.
for private in host/objects/store_io.h host/objects/connection.h host/framework/service_window_dialog.h \
  veltrane/common/page_kit.h platform/forms/text_box.h veltrane/analysis_page/analysis_param_page.h; do
  [[ ! -e $root/usr/include/veltrane/$private ]] || fail "the internal header $private is in the package"
done

step "the unpacked programs"
unset LD_LIBRARY_PATH
app=$root/usr/bin/veltrane
# The programs find the unpacked libraries, not the build tree's.
libraries=$(ldd "$app")
grep -q "libveltrane.so.1 => $root/usr/" <<<"$libraries" || fail "veltrane does not load the unpacked libveltrane: $libraries"
[[ $("$app" --version) == "veltrane $version" ]] || fail "veltrane --version says \"$("$app" --version)\""
[[ $("$root/usr/bin/veltrane-register" --version) == "veltrane-register $version" ]] || fail "veltrane-register --version"
"$app" --db "$work/new.sqlite" list >"$work/list.out" 2>"$work/list.err" || { cat "$work/list.err"; fail "veltrane list"; }
grep -qx DefaultFragmentAnalysisParameters "$work/list.out" || fail "a new store lists no default set: $(cat "$work/list.out")"
grep -q "Created a new store at $work/new.sqlite" "$work/list.err" || fail "veltrane list did not say it created the store"

step "desktop entry, AppStream data, MIME type"
desktop-file-validate "$root/usr/share/applications/org.veltrane.Veltrane.desktop"
appstreamcli validate --no-net "$root/usr/share/metainfo/org.veltrane.Veltrane.metainfo.xml" >"$work/appstream.log" ||
  { cat "$work/appstream.log"; fail "appstreamcli validate"; }
grep -q "<release version=\"$version\"" "$root/usr/share/metainfo/org.veltrane.Veltrane.metainfo.xml" ||
  fail "the AppStream release is not $version: the newest changelog entry must be this version"
[[ -f $root/usr/share/icons/hicolor/scalable/apps/org.veltrane.Veltrane.svg ]] || fail "no icon"
mkdir -p "$work/mime/packages"
cp "$root/usr/share/mime/packages/org.veltrane.Veltrane.xml" "$work/mime/packages/"
update-mime-database "$work/mime" >/dev/null
grep -q '^60:application/x-veltrane-parameter-sets+json:\*\.veltrane\.json$' "$work/mime/globs2" ||
  fail "the MIME database does not know *.veltrane.json"
grep -q 'MimeType=application/x-veltrane-parameter-sets+json;' "$root/usr/share/applications/org.veltrane.Veltrane.desktop" ||
  fail "the desktop entry does not open exchange files"

step "manual pages"
for page in veltrane veltrane-register; do
  file=$root/usr/share/man/man1/$page.1.gz
  [[ -f $file ]] || fail "no manual page $page(1)"
  warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$file" 2>&1 >"$work/$page.txt")
  [[ -z $warnings ]] || fail "man -l $page.1.gz warns: $warnings"
  grep -q 'SEE ALSO' "$work/$page.txt" || fail "$page(1) lacks its hand-written sections"
done
for command in $("$app" --help | sed -n '/^Commands:/,/^$/s/^  \([a-z][a-z-]*\).*/\1/p'); do
  grep -q "^ *$command" "$work/veltrane.txt" || fail "veltrane(1) does not list the command $command"
done

step "a host project against the development package"
config=$(find "$root" -name VeltraneConfig.cmake | head -n1)
[[ -n $config ]] || fail "no VeltraneConfig.cmake in the development package"
cmake -S "$source/tests/consumer" -B "$work/consumer" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DVeltrane_DIR="$(dirname "$config")" -DVELTRANE_CHECK_HEADERS=ON >"$work/consumer.log" 2>&1 ||
  { cat "$work/consumer.log"; fail "configuring the host project"; }
cmake --build "$work/consumer" >>"$work/consumer.log" 2>&1 || { cat "$work/consumer.log"; fail "building the host project"; }
QT_QPA_PLATFORM=offscreen "$work/consumer/consumer" || fail "the host project's program"
echo "packages: ${deb[*]}"
