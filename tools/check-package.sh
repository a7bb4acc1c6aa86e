#!/usr/bin/env bash
# Builds the two Debian packages in a Release build (build-package/), checks
# them with lintian, installs them with apt and tries them as a user and an
# administrator would, then removes them again:
#   reciplex-scan alone (a server without a display): what it depends on,
#   --version and --help, man reciplex-scan, its bash completion, a scan of a
#   project served on loopback by an ordinary user (created if need be) whose
#   program folder must be that user's data folder, and a history in a
#   folder that user cannot write;
#   then reciplex beside it: reciplex-render --version, the manuals, the
#   desktop entry and the AppStream file through their validators.
# Needs root (or sudo): it installs and removes the packages system-wide.
#   tools/check-package.sh [--keep]   --keep leaves the packages installed
set -euo pipefail
cd "$(dirname "$0")/.."
keep=0
[ "${1:-}" = "--keep" ] && keep=1

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
as_root() { "${sudo_cmd[@]}" "$@"; }

# cpack's dependency computation needs dpkg-shlibdeps (dpkg-dev) and file;
# the checks need lintian, man, bash's completion and a small web server.
tools/ensure-packages.sh dpkg-dev file man-db python3 lintian bash-completion

cmake -S . -B build-package -G Ninja -DCMAKE_BUILD_TYPE=Release -DRECIPLEX_TESTS=OFF -DCMAKE_INSTALL_PREFIX=/usr
ninja -C build-package -j "$(nproc)"
rm -f build-package/reciplex*.deb
(cd build-package && cpack -G DEB)
scan_deb=$(ls "$PWD"/build-package/reciplex-scan_*.deb)
window_deb=$(ls "$PWD"/build-package/reciplex_*.deb)

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

for deb in "$scan_deb" "$window_deb"; do
  echo "== $deb ($(du -k "$deb" | cut -f1) KiB, installed $(dpkg-deb --field "$deb" Installed-Size) KiB)"
  dpkg-deb --field "$deb" Package Version Architecture Depends Suggests
  dpkg-deb --contents "$deb" | awk '{print $6}'
done

echo "== lintian"
lintian --fail-on error,warning "$scan_deb" "$window_deb" || fail "lintian"

# A server needs nothing of a desktop: not linked, not depended on.
desktop_libs='libQt6(Gui|Widgets|OpenGL|WebEngine|Multimedia|Charts)|libqt6(gui|widgets|opengl|webengine|multimedia|charts)'
echo "== what reciplex-scan links"
if ldd build-package/reciplex-scan | grep -E "$desktop_libs"; then fail "reciplex-scan links a desktop library"; fi
if dpkg-deb --field "$scan_deb" Depends | grep -E "$desktop_libs"; then fail "reciplex-scan depends on a desktop library"; fi
version=$(dpkg-deb --field "$scan_deb" Version)
dpkg-deb --field "$window_deb" Depends | grep -q "reciplex-scan (= $version)" \
  || fail "reciplex does not depend on reciplex-scan (= $version)"

user=reciplex-check
work=$(mktemp -d)
chmod 755 "$work"
server_pid=
created_user=0
installed=0
cleanup() {
  [ -n "$server_pid" ] && kill "$server_pid" 2> /dev/null || true
  if [ "$installed" = 1 ] && [ "$keep" = 0 ]; then
    echo "== removing the packages"
    DEBIAN_FRONTEND=noninteractive as_root apt-get remove -y -qq reciplex reciplex-scan > /dev/null
  fi
  [ "$created_user" = 1 ] && as_root userdel -r "$user" 2> /dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# reciplex-scan alone: the window's package must not be there.
DEBIAN_FRONTEND=noninteractive as_root apt-get remove -y -qq reciplex reciplex-scan > /dev/null 2>&1 || true
echo "== apt install $scan_deb"
DEBIAN_FRONTEND=noninteractive as_root apt-get install -y -qq "$scan_deb"
installed=1
if apt-cache depends --recurse --no-recommends --no-suggests --no-conflicts --no-breaks --no-replaces \
  --no-enhances reciplex-scan 2> /dev/null | grep -E "^ *Depends: ($desktop_libs)" | sort -u; then
  fail "installing reciplex-scan brings in a desktop library"
fi

echo "== reciplex-scan --version (no display)"
env -u DISPLAY -u WAYLAND_DISPLAY reciplex-scan --version || fail "--version"
echo "== reciplex-scan --help"
reciplex-scan --help > "$work/help.txt" || fail "--help"
head -n 8 "$work/help.txt"
echo "== man reciplex-scan"
MANWIDTH=80 man -P cat reciplex-scan 2> "$work/man.err" | head -n 12
[ -s "$work/man.err" ] && { cat "$work/man.err"; fail "man reciplex-scan"; }

# The completion as bash runs it: WORDS... the command line, the last word
# the one completed; prints the candidates one a line.
completions() {
  (cd "$work" && bash -c 'source /usr/share/bash-completion/bash_completion
    source /usr/share/bash-completion/completions/reciplex-scan
    COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); COMP_LINE="$*"; COMP_POINT=${#COMP_LINE}
    _reciplex_scan reciplex-scan "${COMP_WORDS[-1]}" "${COMP_WORDS[-2]}"
    printf "%s\n" "${COMPREPLY[@]}"' _ "$@" 2> /dev/null)
}
echo "== bash completion"
touch "$work/runs.sqlite"
mkdir -p "$work/proofs"
expect_completion() { # EXPECTED WORDS...: EXPECTED is the candidates, space-separated
  local expected=$1 got
  shift
  got=$(completions "$@" | sort | tr '\n' ' ' | sed 's/ $//')
  [ "$got" = "$expected" ] || fail "completing '$*': '$got', not '$expected'"
}
expect_completion "0 1 2" reciplex-scan --scan-type ""
expect_completion "$(seq 1 64 | sort | tr '\n' ' ' | sed 's/ $//')" reciplex-scan --sites-at-once ""
expect_completion "" reciplex-scan --port ""
expect_completion "runs.sqlite" reciplex-scan --history ru
expect_completion "proofs" reciplex-scan --proof=pr
expect_completion "--history --history-reset" reciplex-scan --hist
set_keys=$(reciplex-scan --help | awk '/^  --set:/ { on = 1; $1 = ""; print; next } on && /^     / { print; next } { on = 0 }' \
  | tr ' ' '\n' | grep . | sort || true)
[ "$(echo "$set_keys" | wc -l)" -ge 30 ] || fail "--help lists $(echo "$set_keys" | wc -l) keys for --set"
[ "$(completions reciplex-scan --set "" | sort)" = "$set_keys" ] || fail "--set completes other keys than --help lists"
completions reciplex-scan -s Hist | grep -qx "HistoryKeepRuns=" || fail "-s does not complete HistoryKeepRuns="

# A site with the link on its second page, served on a free loopback port (a
# fresh install has no page types, so the scan follows folder links only).
mkdir -p "$work/site/partner/more"
printf '<html><body><a href="more/">more</a></body></html>\n' > "$work/site/partner/index.html"
printf '<html><body><a href="http://www.mysite.com/">My Site</a></body></html>\n' > "$work/site/partner/more/index.html"
printf 'http://www.mysite.com/\r\n127.0.0.1/partner/|1|||\r\n' > "$work/sites.prj"
chmod -R a+rX "$work"
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
python3 -m http.server "$port" --bind 127.0.0.1 --directory "$work/site" > "$work/server.log" 2>&1 &
server_pid=$!
for _ in $(seq 50); do (: < "/dev/tcp/127.0.0.1/$port") 2> /dev/null && break; sleep 0.1; done

if ! id "$user" > /dev/null 2>&1; then
  as_root useradd --create-home --shell /bin/bash "$user"
  created_user=1
fi
home=$(getent passwd "$user" | cut -d: -f6)
as_user() { as_root runuser -u "$user" -- env -i HOME="$home" PATH=/usr/bin:/bin "$@"; }
echo "== a scan by the user $user"
status=0
as_user reciplex-scan --port "$port" --json - "$work/sites.prj" > "$work/scan.json" || status=$?
echo "exit status $status"
python3 -c 'import json,sys; d=json.load(open(sys.argv[1])); s=d["linkingSites"][0]; print(s["url"], "->", s["status"], s["number"], "on", s["foundOn"])' "$work/scan.json" \
  || fail "the JSON document"
[ "$status" = 0 ] || fail "the scan exited with $status"
echo "program folder: $(as_root ls -A "$home/.local/share/Reciplex" | tr '\n' ' ')"
as_root test -f "$home/.local/share/Reciplex/html0.txt" || fail "no page cache in $home/.local/share/Reciplex"
extra=$(ls /usr/bin | grep -x -e html0.txt -e html20.txt -e tempreport.html -e filetypes.txt || true)
[ -z "$extra" ] || fail "files written beside the executables: $extra"

# A history the user may write in a folder the user may not: the message
# names the folder, not "readonly database".
echo "== a history in a folder the user cannot write"
mkdir -p "$work/locked"
as_root reciplex-scan -q --port "$port" --history "$work/locked/sites.history.sqlite" "$work/sites.prj" || true
chmod 666 "$work/locked/sites.history.sqlite"
chmod 755 "$work/locked"
status=0
as_user reciplex-scan -q --port "$port" --history "$work/locked/sites.history.sqlite" "$work/sites.prj" 2> "$work/locked.err" || status=$?
cat "$work/locked.err"
[ "$status" = 2 ] || fail "a history in a locked folder: exit status $status, not 2"
grep -q "the folder $work/locked cannot be written" "$work/locked.err" || fail "the message does not name the folder"

echo "== apt install $window_deb"
DEBIAN_FRONTEND=noninteractive as_root apt-get install -y -qq "$window_deb"
echo "== reciplex-render --version"
reciplex-render --version 2> /dev/null || fail "reciplex-render --version"
for page in reciplex reciplex-render; do
  echo "== man $page"
  MANWIDTH=80 man -P cat "$page" 2> "$work/man.err" | head -n 6
  [ -s "$work/man.err" ] && { cat "$work/man.err"; fail "man $page"; }
done
echo "== desktop-file-validate"
desktop-file-validate /usr/share/applications/reciplex.desktop && echo "reciplex.desktop: valid" || fail "desktop-file-validate"
echo "== appstreamcli validate"
appstreamcli validate --no-net /usr/share/metainfo/example.quillmarsh.Reciplex.metainfo.xml || fail "appstreamcli validate"

if [ "$failures" -gt 0 ]; then
  echo "$failures checks failed"
  exit 1
fi
echo "== all checks passed"
