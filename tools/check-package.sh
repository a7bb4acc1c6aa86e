#!/usr/bin/env bash
# Builds the Debian package in a Release build (build-package/), installs it
# with apt, tries it as a user would, and removes it again:
#   reciplex-scan --version and --help, man reciplex-scan, reciplex-render
#   --version and its manual, the desktop entry
#   and the AppStream file through their validators, and a scan of a project
#   served on loopback, run by an ordinary user (created if need be), whose
#   program folder must be that user's data folder.
# Needs root (or sudo): it installs and removes the package system-wide.
#   tools/check-package.sh [--keep]   --keep leaves the package installed
set -euo pipefail
cd "$(dirname "$0")/.."
keep=0
[ "${1:-}" = "--keep" ] && keep=1

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
as_root() { "${sudo_cmd[@]}" "$@"; }

# cpack's dependency computation needs dpkg-shlibdeps (dpkg-dev) and file;
# the checks need man and a small web server (python3).
tools/ensure-packages.sh dpkg-dev file man-db python3

cmake -S . -B build-package -G Ninja -DCMAKE_BUILD_TYPE=Release -DRECIPLEX_TESTS=OFF
ninja -C build-package -j "$(nproc)"
rm -f build-package/reciplex_*.deb
(cd build-package && cpack -G DEB)
deb=$(ls "$PWD"/build-package/reciplex_*.deb)
echo "== $deb"
dpkg-deb --field "$deb" Package Version Architecture Depends Suggests
dpkg-deb --contents "$deb" | awk '{print $6}'

user=reciplex-check
work=$(mktemp -d)
chmod 755 "$work"
server_pid=
created_user=0
installed=0
cleanup() {
  [ -n "$server_pid" ] && kill "$server_pid" 2> /dev/null || true
  if [ "$installed" = 1 ] && [ "$keep" = 0 ]; then
    echo "== removing the package"
    DEBIAN_FRONTEND=noninteractive as_root apt-get remove -y -qq reciplex > /dev/null
  fi
  [ "$created_user" = 1 ] && as_root userdel -r "$user" 2> /dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

echo "== apt install $deb"
DEBIAN_FRONTEND=noninteractive as_root apt-get install -y -qq "$deb"
installed=1

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

echo "== reciplex-scan --version"
reciplex-scan --version || fail "--version"
echo "== reciplex-scan --help"
reciplex-scan --help | head -n 8 || fail "--help"
echo "== man reciplex-scan"
MANWIDTH=80 man -P cat reciplex-scan 2> "$work/man.err" | head -n 12
[ -s "$work/man.err" ] && { cat "$work/man.err"; fail "man reciplex-scan"; }
echo "== reciplex-render --version"
reciplex-render --version 2> /dev/null || fail "reciplex-render --version"
echo "== man reciplex-render"
MANWIDTH=80 man -P cat reciplex-render 2> "$work/man.err" | head -n 6
[ -s "$work/man.err" ] && { cat "$work/man.err"; fail "man reciplex-render"; }
echo "== desktop-file-validate"
desktop-file-validate /usr/share/applications/reciplex.desktop && echo "reciplex.desktop: valid" || fail "desktop-file-validate"
echo "== appstreamcli validate"
appstreamcli validate --no-net /usr/share/metainfo/example.quillmarsh.Reciplex.metainfo.xml || fail "appstreamcli validate"

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
echo "== a scan by the user $user"
status=0
as_root runuser -u "$user" -- env -i HOME="$home" PATH=/usr/bin:/bin \
  reciplex-scan --port "$port" --json - "$work/sites.prj" > "$work/scan.json" || status=$?
echo "exit status $status"
python3 -c 'import json,sys; d=json.load(open(sys.argv[1])); s=d["linkingSites"][0]; print(s["url"], "->", s["status"], s["number"], "on", s["foundOn"])' "$work/scan.json" \
  || fail "the JSON document"
[ "$status" = 0 ] || fail "the scan exited with $status"
echo "program folder: $(as_root ls -A "$home/.local/share/Reciplex" | tr '\n' ' ')"
as_root test -f "$home/.local/share/Reciplex/html0.txt" || fail "no page cache in $home/.local/share/Reciplex"
extra=$(ls /usr/bin | grep -x -e html0.txt -e html20.txt -e tempreport.html -e filetypes.txt || true)
[ -z "$extra" ] || fail "files written beside the executables: $extra"

if [ "$failures" -gt 0 ]; then
  echo "$failures checks failed"
  exit 1
fi
echo "== all checks passed"
