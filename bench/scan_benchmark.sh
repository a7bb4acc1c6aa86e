#!/usr/bin/env bash
# Scan speed of reciplex-scan against wget and ab on a generated site served
# by nginx on loopback.
#   bench/scan_benchmark.sh [BUILD_DIR] [N ...]    (default: build-rel, 1000 10000)
# The site is a breadth-first tree: every page links to its parent, the home
# page and five children with relative hrefs, has a few anchors to other hosts
# and 4 to 8 KB of text; only the last page links to the Main Site, so the scan
# visits every page. Build first with -DCMAKE_BUILD_TYPE=Release.
# Each tool runs REPEAT times (default 3) and its fastest run counts, which
# keeps other load on the machine out of the figures.
# The same site is also served over TLS with a throw-away certificate made for
# the run, and scanned as an https Linking Site (reciplex-scan --tls-port; the
# certificate is accepted with IgnoreCertificateErrors=1, as Qt takes no extra
# authority from the environment, so it is still verified on every page) and
# fetched by wget, which trusts it: the https columns.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-rel}
shift || true
sizes=("$@")
[ ${#sizes[@]} -gt 0 ] || sizes=(1000 10000)
scanner=${SCANNER:-$PWD/$build/reciplex-scan} # SCANNER=PATH: another build's
[ -x "$scanner" ] || { echo "no $scanner: build it first" >&2; exit 2; }
for tool in /usr/sbin/nginx wget ab python3 openssl; do
  command -v "$tool" >/dev/null || { echo "missing $tool" >&2; exit 2; }
done

work=$(mktemp -d)
nginx_pid=
cleanup() {
  if [ -n "$nginx_pid" ]; then kill "$nginx_pid" 2>/dev/null || true; wait "$nginx_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

free_port() { python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'; }
port=$(free_port)
tls_port=$(free_port)
while [ "$tls_port" = "$port" ]; do tls_port=$(free_port); done

# A throw-away certificate for 127.0.0.1, for this run only.
openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -days 2 -subj "/CN=127.0.0.1" \
  -addext "subjectAltName=IP:127.0.0.1" -keyout "$work/tls.key" -out "$work/tls.crt" 2>/dev/null

now() { date +%s.%N; }
rate() { python3 -c "print(f'{$1/($3-$2):.0f}')"; }
elapsed() { python3 -c "print(f'{$2-$1:.3f}')"; }

generate() { # N DIR
  python3 - "$1" "$2" <<'PY'
import os, random, sys
n, root = int(sys.argv[1]), sys.argv[2]
os.makedirs(root, exist_ok=True)
rnd = random.Random(7)
words = "link partner page site web trade reciprocal text about news offer contact".split()
def name(i): return "index.html" if i == 0 else f"p{i}.html"
for i in range(n):
    parts = ["<html><head><title>Page %d</title></head><body>" % i, '<a href="/">Home</a>']
    if i > 0:
        parent = (i - 1) // 5
        parts.append('<a href="%s">Up</a>' % ("/" if parent == 0 else name(parent)))
    for c in range(5 * i + 1, min(5 * i + 6, n)):
        parts.append('<a href="%s">Child %d</a>' % (name(c), c))
    for h in range(3):
        parts.append('<a href="http://www.other-host-%d.com/">Other %d</a>' % (rnd.randrange(50), h))
    size = rnd.randrange(4096, 8192)
    text, length = [], 0
    while length < size:
        w = rnd.choice(words)
        text.append(w)
        length += len(w) + 1
    parts.append("<p>" + " ".join(text) + "</p>")
    if i == n - 1:
        parts.append('<a href="http://www.mysite-bench.com/links.htm">Our friend</a>')
    parts.append("</body></html>\n")
    with open(os.path.join(root, name(i)), "w") as f:
        f.write("\n".join(parts))
PY
}

start_nginx() { # DOCROOT
  local prefix="$work/nginx"
  mkdir -p "$prefix/tmp"
  cat > "$prefix/nginx.conf" <<CONF
daemon off;
master_process off;
worker_processes 1;
pid $prefix/nginx.pid;
error_log $prefix/error.log warn;
events { worker_connections 1024; }
http {
  access_log off;
  client_body_temp_path $prefix/tmp/body;
  proxy_temp_path $prefix/tmp/proxy;
  fastcgi_temp_path $prefix/tmp/fastcgi;
  uwsgi_temp_path $prefix/tmp/uwsgi;
  scgi_temp_path $prefix/tmp/scgi;
  types { text/html html; }
  default_type text/html;
  server { listen 127.0.0.1:$port; root $1; }
  server {
    listen 127.0.0.1:$tls_port ssl;
    ssl_certificate $work/tls.crt;
    ssl_certificate_key $work/tls.key;
    root $1;
  }
}
CONF
  /usr/sbin/nginx -p "$prefix" -c "$prefix/nginx.conf" -e "$prefix/error.log" &
  nginx_pid=$!
  for _ in $(seq 50); do
    (exec 3<>/dev/tcp/127.0.0.1/$port) 2>/dev/null && return 0
    sleep 0.1
  done
  echo "nginx did not start" >&2; exit 2
}

stop_nginx() {
  kill "$nginx_pid"; wait "$nginx_pid" 2>/dev/null || true; nginx_pid=
}

scan() { # PROJECT [OPTION ...]: the seconds of one scan that finds the link
  local proj=$1; shift
  local t0 t1 status
  t0=$(now)
  set +e
  XDG_CONFIG_HOME="$work/config" "$scanner" --quiet --port "$port" --tls-port "$tls_port" --program-folder "$prog" \
    --set cmbAdvance=12 --set chkAuto=1 --set chkAuto2=1 --set chkFileTypes=1 "$@" "$proj"
  status=$?
  set -e
  t1=$(now)
  [ $status -eq 0 ] || { echo "reciplex-scan ended with $status: the link on the last page was not found" >&2; exit 1; }
  python3 -c "print($t1-$t0)"
}

wget_site() { # URL [OPTION ...]: the seconds of a recursive wget
  local url=$1; shift
  local t0 t1
  mkdir -p "$work/wget"
  t0=$(now)
  (cd "$work/wget" && wget -r -l inf -nd -q --delete-after --no-http-keep-alive "$@" "$url" || true)
  t1=$(now)
  python3 -c "print($t1-$t0)"
}

printf '%-8s %12s %12s %12s %10s %10s %14s %12s %12s %12s\n' pages "scan p/s" "wget p/s" "ab req/s" "scan/wget" \
  "scan/ab" "scan ms/page" "https p/s" "wget https" "https/http"
for n in "${sizes[@]}"; do
  site="$work/site$n"
  generate "$n" "$site"
  start_nginx "$site"

  prog="$work/program$n"; mkdir -p "$prog"
  printf '.html\r\n' > "$prog/filetypes.txt"
  proj="$work/bench$n.prj"
  secure_proj="$work/bench$n-https.prj"
  # One Main Site and one Linking Site, written by the project file code itself.
  "$PWD/$build/bench/bench_makeproject" "$proj" "http://www.mysite-bench.com/links.htm" "127.0.0.1/" 2>/dev/null || {
    echo "no $build/bench/bench_makeproject: build it first" >&2; exit 2; }
  "$PWD/$build/bench/bench_makeproject" "$secure_proj" "http://www.mysite-bench.com/links.htm" "https://127.0.0.1/" 2>/dev/null

  scan_best=999999; wget_best=999999; ab_rate=0; tls_best=999999; wget_tls_best=999999
  for _ in $(seq "${REPEAT:-3}"); do
    scan_best=$(python3 -c "print(min($scan_best, $(scan "$proj")))")
    wget_best=$(python3 -c "print(min($wget_best, $(wget_site "http://127.0.0.1:$port/")))")
    ab_now=$(ab -q -n "$n" -c 1 "http://127.0.0.1:$port/p1.html" 2>/dev/null | awk '/Requests per second/ {printf "%.0f", $4}')
    ab_rate=$(python3 -c "print(max($ab_rate, ${ab_now:-0}))")
    tls_best=$(python3 -c "print(min($tls_best, $(scan "$secure_proj" --set IgnoreCertificateErrors=1)))")
    wget_tls_best=$(python3 -c "print(min($wget_tls_best, $(wget_site "https://127.0.0.1:$tls_port/" --ca-certificate="$work/tls.crt")))")
  done

  scan_rate=$(rate "$n" 0 "$scan_best")
  wget_rate=$(rate "$n" 0 "$wget_best")
  tls_rate=$(rate "$n" 0 "$tls_best")
  wget_tls_rate=$(rate "$n" 0 "$wget_tls_best")
  per_page=$(python3 -c "print(f'{$scan_best*1000/$n:.3f}')")
  printf '%-8s %12s %12s %12s %10s %10s %14s %12s %12s %12s\n' "$n" "$scan_rate" "$wget_rate" "$ab_rate" \
    "$(python3 -c "print(f'{$scan_rate/$wget_rate:.2f}')")" "$(python3 -c "print(f'{$scan_rate/$ab_rate:.2f}')")" "$per_page" \
    "$tls_rate" "$wget_tls_rate" "$(python3 -c "print(f'{$tls_rate/$scan_rate:.2f}')")"
  stop_nginx
done
