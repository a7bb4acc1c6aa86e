#!/usr/bin/env bash
# The installed layout of a build: cmake --install into a temporary prefix,
# then every file a package ships is where the desktop, man and bash look for
# it and passes their validators, and the installed scanner keeps its own
# files in the user's data folder, not beside its executable.
#   tests/check-install.sh BUILD_DIR VERSION
set -euo pipefail
build=$1
expected_version=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/usr
cmake --install "$build" --prefix "$prefix" > "$work/install.log"

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
expect() { for f in "$@"; do [ -f "$prefix/$f" ] || fail "not installed: $f"; done; }

expect bin/reciplex-scan share/reciplex/Help.html share/reciplex/reciplex.svg \
  share/reciplex/sounds/finished.wav share/reciplex/sounds/foundemail.wav share/reciplex/sounds/nextsearch.wav \
  share/man/man1/reciplex-scan.1.gz share/bash-completion/completions/reciplex-scan

if [ -f "$build/reciplex-render" ]; then
  expect bin/reciplex-render share/man/man1/reciplex-render.1.gz
  warnings=$(zcat "$prefix/share/man/man1/reciplex-render.1.gz" | groff -man -ww -z 2>&1) || true
  [ -z "$warnings" ] || fail "manual of reciplex-render: $warnings"
fi

if [ -f "$build/reciplex" ]; then
  expect bin/reciplex share/applications/reciplex.desktop share/metainfo/example.quillmarsh.Reciplex.metainfo.xml \
    share/icons/hicolor/scalable/apps/reciplex.svg
  for size in 16 22 24 32 48 64 128 256; do
    png=share/icons/hicolor/${size}x${size}/apps/reciplex.png
    expect "$png"
    [ -f "$prefix/$png" ] && { file -b "$prefix/$png" | grep -q "PNG image data, $size x $size" || fail "$png is not $size px"; }
  done
  desktop-file-validate "$prefix/share/applications/reciplex.desktop" || fail "desktop-file-validate"
  appstreamcli validate --no-net "$prefix/share/metainfo/example.quillmarsh.Reciplex.metainfo.xml" > "$work/appstream.log" \
    || { cat "$work/appstream.log"; fail "appstreamcli validate"; }
fi

# The manual renders without a warning; the completion is valid bash.
warnings=$(zcat "$prefix/share/man/man1/reciplex-scan.1.gz" | groff -man -ww -z 2>&1) || true
[ -z "$warnings" ] || fail "manual: $warnings"
bash -n "$prefix/share/bash-completion/completions/reciplex-scan" || fail "completion script"

# The installed scanner, as a user with an empty home.
export HOME=$work/home XDG_DATA_HOME=$work/home/data XDG_CONFIG_HOME=$work/home/config
mkdir -p "$HOME"
version=$("$prefix/bin/reciplex-scan" --version)
[ "$version" = "reciplex-scan $expected_version" ] || fail "--version printed '$version'"
if [ -f "$prefix/bin/reciplex-render" ]; then
  version=$("$prefix/bin/reciplex-render" --version 2> /dev/null)
  [ "$version" = "reciplex-render $expected_version" ] || fail "reciplex-render --version printed '$version'"
fi
# A Linking Site on a loopback port where nothing listens: "None Found" after
# a time-out of one second.
port=1
if (: < "/dev/tcp/127.0.0.1/$port") 2> /dev/null; then echo "port $port is in use: scan skipped"; exit "$((failures > 0))"; fi
printf 'http://www.mysite.com/\r\n127.0.0.1/|1|||\r\n' > "$work/p.prj"
status=0
"$prefix/bin/reciplex-scan" --port "$port" --set txtTimeout=1 --report "$work/report" --json "$work/scan.json" "$work/p.prj" || status=$?
[ "$status" = 1 ] || fail "the scan exited with $status, not 1"
[ -f "$XDG_DATA_HOME/Reciplex/tempreport.html" ] || fail "no tempreport.html in the user's data folder"
[ -f "$work/report.htm" ] && [ -f "$work/scan.json" ] || fail "the scan wrote no report or JSON"
extra=$(ls "$prefix/bin" | grep -vx -e reciplex -e reciplex-scan -e reciplex-render || true)
[ -z "$extra" ] || fail "files beside the installed executables: $extra"

if [ "$failures" -gt 0 ]; then
  echo "$failures failed"
  exit 1
fi
echo "installed layout: all checks passed"
