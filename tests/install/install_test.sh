#!/usr/bin/env bash
# Installs the build into a scratch root and checks that what a desktop and a shell need is
# there and valid, that the installed programs run from the prefix alone, and that the
# Debian package holds the same and declares what it needs.
#   install_test.sh BUILD_DIR SOURCE_DIR VERSION TESTDATA_DIR
set -euo pipefail
build=$1 source=$2 version=$3 testdata=$4
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failures=0
fail() { echo "FAILED: $*" >&2; failures=$((failures + 1)); }

id=io.github.trevalo.Trevalo
prefix=/opt/trevalo-check
DESTDIR="$scratch/root" cmake --install "$build" --prefix "$prefix" > /dev/null
root=$scratch/root$prefix

for file in bin/trevalo bin/trevalo-cli \
  share/trevalo/Lang/LANG_ENG.INI share/trevalo/Lang/LANG_KOR.INI \
  share/trevalo/web/MapView.trh share/trevalo/web/trevalo-map.js \
  share/applications/$id.desktop share/metainfo/$id.metainfo.xml \
  share/icons/hicolor/scalable/apps/$id.svg \
  share/icons/hicolor/{16x16,24x24,32x32,48x48,64x64,128x128,256x256}/apps/$id.png \
  share/man/man1/trevalo.1 share/man/man1/trevalo-cli.1 \
  share/bash-completion/completions/trevalo-cli; do
  [ -s "$root/$file" ] || fail "$file is not installed"
done
# Nothing of the build tree (tests, benchmarks) goes with the programs.
extra=$(cd "$root/bin" && ls | grep -v -x -e trevalo -e trevalo-cli || true)
[ -z "$extra" ] || fail "bin holds more than the two programs: $extra"

# The desktop's own validators.
desktop-file-validate "$root/share/applications/$id.desktop" || fail "desktop entry"
grep -q '^MimeType=.*image/jpeg;' "$root/share/applications/$id.desktop" ||
  fail "the desktop entry does not open JPEG photos"
appstreamcli validate --no-net "$root/share/metainfo/$id.metainfo.xml" > /dev/null ||
  fail "AppStream metainfo"
if command -v groff > /dev/null; then
  for page in trevalo trevalo-cli; do
    warnings=$(groff -man -ww -z "$root/share/man/man1/$page.1" 2>&1)
    [ -z "$warnings" ] || fail "man page $page: $warnings"
  done
fi

# The installed programs run from the prefix alone: the build tree is out of their sight.
cli=$root/bin/trevalo-cli
[ "$("$cli" --version)" = "trevalo-cli $version" ] || fail "trevalo-cli --version"
[ "$(QT_QPA_PLATFORM=offscreen "$root/bin/trevalo" --version)" = "trevalo $version" ] ||
  fail "trevalo --version"
"$cli" log info --zone 0000 "$testdata/nmea/gpsbabel_track.nmea" | grep -q 'points' ||
  fail "the installed trevalo-cli cannot read a log"

# The man page and the completion know every command and option the tool itself lists.
commands=("log info" "log points" "photo info" "photo set-gps" "library list" "library add"
  "library remove" "library merge" "geotag" "export" "chart" "device detect"
  "device import" "device config show" "device config set")
manual=$(sed 's/\\-/-/g' "$root/share/man/man1/trevalo-cli.1")
for command in "${commands[@]}"; do
  # shellcheck disable=SC2086
  options=$("$cli" $command --help | grep -o -E '^ +--[a-z-]+' | tr -d ' ' || true)
  known=$(bash -c 'complete() { :; }; source "$1"; echo "${_trevalo_cli_options[$2]}"' _ \
    "$root/share/bash-completion/completions/trevalo-cli" "$command")
  for option in $options; do
    [[ " $known " == *" $option "* ]] || fail "completion of '$command' lacks $option"
    [[ $manual == *"$option"* ]] ||
      fail "trevalo-cli(1) does not mention $option of '$command'"
  done
  grep -q "^\.SS $command" "$root/share/man/man1/trevalo-cli.1" ||
    fail "trevalo-cli(1) has no section for '$command'"
done
if [ -f /usr/share/bash-completion/bash_completion ]; then
  completed=$(bash -c '
    source /usr/share/bash-completion/bash_completion
    source "$1"
    COMP_WORDS=(trevalo-cli device config ""); COMP_CWORD=3
    COMP_LINE="trevalo-cli device config "; COMP_POINT=${#COMP_LINE}
    _trevalo_cli; echo "${COMPREPLY[*]}"' _ "$root/share/bash-completion/completions/trevalo-cli")
  [ "$completed" = "show set --help" ] || fail "completion of 'device config': '$completed'"
fi

# The Debian package: the same files under /usr, dependencies from the linked libraries.
if command -v dpkg-shlibdeps > /dev/null; then
  (cd "$build" && cpack -G DEB -B "$scratch/package" > "$scratch/cpack.log" 2>&1) ||
    { cat "$scratch/cpack.log" >&2; fail "cpack -G DEB"; }
  package=$(ls "$scratch"/package/trevalo_*.deb 2>/dev/null | head -n 1)
  if [ -n "$package" ]; then
    depends=$(dpkg-deb -f "$package" Depends)
    for needed in libqt6core6 libjpeg62-turbo libminizip1 libjs-leaflet libjs-leaflet.markercluster; do
      [[ $depends == *"$needed"* ]] || fail "the package does not depend on $needed: $depends"
    done
    dpkg-deb -x "$package" "$scratch/unpacked"
    [ "$("$scratch/unpacked/usr/bin/trevalo-cli" --version)" = "trevalo-cli $version" ] ||
      fail "trevalo-cli from the package"
    [ -f "$scratch/unpacked/usr/share/applications/$id.desktop" ] ||
      fail "the package has no desktop entry"
  else
    fail "cpack made no package"
  fi
fi

[ "$failures" -eq 0 ] && echo "install check passed"
exit "$((failures > 0))"
