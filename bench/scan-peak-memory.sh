#!/usr/bin/env bash
# Scans a generated site of N pages (default 100000) on a loopback nginx with
# the built reciplex-scan and reports the wall time, pages per second and the
# peak resident memory (/usr/bin/time -v). The site has the shape of the one
# scan_benchmark.sh builds (bench/make-site.py).
#   bench/scan-peak-memory.sh [N] [build folder, default build-rel]
set -euo pipefail
cd "$(dirname "$0")/.."
pages="${1:-100000}"
build="${2:-build-rel}"
scanner="$build/reciplex-scan"
[ -x "$scanner" ] || { echo "no $scanner: build it first (cmake -DCMAKE_BUILD_TYPE=Release)"; exit 2; }

work=$(mktemp -d)
nginx_pid=""
cleanup() {
  if [ -n "$nginx_pid" ]; then kill "$nginx_pid" 2>/dev/null || true; wait "$nginx_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

site="$work/site-$pages"
python3 bench/make-site.py "$pages" "$site"

port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
mkdir -p "$work/nginx/tmp"
cat > "$work/nginx/nginx.conf" <<CONF
daemon off;
master_process off;
worker_processes 1;
pid $work/nginx/nginx.pid;
error_log $work/nginx/error.log warn;
events { worker_connections 1024; }
http {
  access_log off;
  client_body_temp_path $work/nginx/tmp/body;
  proxy_temp_path $work/nginx/tmp/proxy;
  fastcgi_temp_path $work/nginx/tmp/fastcgi;
  uwsgi_temp_path $work/nginx/tmp/uwsgi;
  scgi_temp_path $work/nginx/tmp/scgi;
  types { text/html html; }
  server { listen 127.0.0.1:$port; root $site; }
}
CONF
nginx -p "$work/nginx" -c "$work/nginx/nginx.conf" -e "$work/nginx/error.log" &
nginx_pid=$!
for _ in $(seq 50); do
  (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && break
  sleep 0.1
done

program="$work/program"
mkdir -p "$program" "$work/config"
printf '.html\r\n' > "$program/filetypes.txt"
# The project: one Main Site, one Linking Site expecting one link, written by
# the project file code itself.
project="$work/site.prj"
"$build/bench/bench_makeproject" "$project" "http://www.mysite.com/links.htm" "127.0.0.1/" \
  || { echo "no $build/bench/bench_makeproject: build it first"; exit 2; }

echo "== reciplex-scan of $pages pages"
set +e
XDG_CONFIG_HOME="$work/config" /usr/bin/time -v "$scanner" --quiet --port "$port" --program-folder "$program" \
  --set cmbAdvance=12 --set chkAuto2=1 --set txtTimeout=10 "$project" 2> "$work/time.txt"
status=$?
set -e
seconds=$(awk -F': ' '/Elapsed \(wall clock\)/ {n=split($2,t,":"); s=0; for(i=1;i<=n;i++) s=s*60+t[i]; print s}' "$work/time.txt")
rss=$(awk -F': ' '/Maximum resident set size/ {print $2}' "$work/time.txt")
echo "exit status $status (0: the link on the last page was found)"
echo "wall time ${seconds} s, $(python3 -c "print(round($pages/$seconds))") pages/s"
echo "peak RSS $((rss / 1024)) MiB"
