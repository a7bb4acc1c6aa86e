#!/usr/bin/env bash
# Wall time of a scan of many Linking Sites at internet distance: every answer
# of bench/latency_server.py waits a fixed delay, as a distant server would.
#   bench/latency_benchmark.sh [BUILD_DIR] [SITESxPAGESxDELAY_MS ...]
#   (default: build-rel, 100x10x100 1000x10x50)
# Half the sites link to the Main Site from their start page, half carry no
# link in their pages, so the one-site-at-a-time scan needs
# (linking sites + other sites * PAGES) * DELAY: the "floor" column; "1/N" is
# how many times faster SitesAtOnce=N is than 1. reciplex-scan runs
# at each SitesAtOnce of AT (default "1 8 32"); wget -r then fetches every page
# of every site, one after the other (WGET=0 leaves it out). Each scan must
# find exactly the links of the linking half, or the script fails.
# RTT=MS puts bench/delay_proxy.py in between: every connection, TLS
# handshake and request then pays the round trip, as on a real line (use a
# DELAY_MS of 0 with it). TLS=1 serves the sites over https (a loopback
# certificate, accepted with IgnoreCertificateErrors=1). SCANNER=PATH scans
# with another build of reciplex-scan. Every scan column is "wall s/CPU s".
# wget runs WGET_AT (default 1) processes side by side over the sites, once
# with a new connection per page and once keeping connections alive.
# Build first: cmake -S . -B build-rel -DCMAKE_BUILD_TYPE=Release &&
#   ninja -C build-rel reciplex-scan bench_makeproject
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-rel}
shift || true
configs=("$@")
[ ${#configs[@]} -gt 0 ] || configs=(100x10x100 1000x10x50)
read -r -a counts <<< "${AT:-1 8 32}"
scanner=${SCANNER:-$PWD/$build/reciplex-scan}
tls=${TLS:-0}
rtt=${RTT:-}
wget_at=${WGET_AT:-1}
scheme=http; [ "$tls" = 1 ] && scheme=https
makeproject="$PWD/$build/bench/bench_makeproject"
[ -x "$scanner" ] || { echo "no $scanner: build it first" >&2; exit 2; }
[ -x "$makeproject" ] || { echo "no $makeproject: build it first" >&2; exit 2; }
for tool in wget python3; do
  command -v "$tool" >/dev/null || { echo "missing $tool" >&2; exit 2; }
done

work=$(mktemp -d)
server_pid=
proxy_pid=
cleanup() {
  if [ -n "$server_pid" ]; then kill "$server_pid" 2>/dev/null || true; wait "$server_pid" 2>/dev/null || true; fi
  if [ -n "$proxy_pid" ]; then kill "$proxy_pid" 2>/dev/null || true; wait "$proxy_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

now() { date +%s.%N; }
seconds() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", b - a }'; }
ratio() { awk -v a="$1" -v b="$2" -v f="$3" 'BEGIN { printf f, a / b }'; }
host() { echo "127.77.$(($1 / 250)).$(($1 % 250 + 1))"; } # as latency_server.py names them
free_port() { python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'; }

wait_ready() { # PID OUT NAME
  for _ in $(seq 300); do
    grep -q ready "$2" 2>/dev/null && return 0
    kill -0 "$1" 2>/dev/null || break
    sleep 0.1
  done
  echo "$3 did not start" >&2; exit 2
}

start_server() { # SITES PAGES DELAY: sets port, the one the scan and wget use
  local tls_args=()
  [ "$tls" = 1 ] && tls_args=(--tls tests/data/tls/loopback.crt tests/data/tls/loopback.key)
  port=$(free_port)
  python3 bench/latency_server.py --sites "$1" --pages "$2" --delay-ms "$3" --port "$port" "${tls_args[@]}" \
    > "$work/server.out" &
  server_pid=$!
  wait_ready "$server_pid" "$work/server.out" latency_server.py
  if [ -n "$rtt" ]; then
    local to=$port
    port=$(free_port)
    python3 bench/delay_proxy.py --sites "$1" --listen "$port" --to "$to" --rtt-ms "$rtt" > "$work/proxy.out" &
    proxy_pid=$!
    wait_ready "$proxy_pid" "$work/proxy.out" delay_proxy.py
  fi
}

stop_server() {
  kill "$server_pid"; wait "$server_pid" 2>/dev/null || true; server_pid=
  if [ -n "$proxy_pid" ]; then kill "$proxy_pid"; wait "$proxy_pid" 2>/dev/null || true; proxy_pid=; fi
}

scan() { # SITES AT: the wall and CPU seconds of one scan
  local sites=$1 at=$2 t0 t1 status found tls_args=()
  [ "$tls" = 1 ] && tls_args=(--tls-port "$port" --set IgnoreCertificateErrors=1)
  rm -rf "$work/config" "$work/out.tab"
  t0=$(now)
  set +e
  XDG_CONFIG_HOME="$work/config" env -u http_proxy -u https_proxy /usr/bin/time -f "%U %S" -o "$work/cpu" \
    "$scanner" --quiet --port "$port" "${tls_args[@]}" --program-folder "$prog" \
    --set cmbAdvance=12 --set chkAuto=1 --set chkAuto2=1 --set chkFileTypes=1 --set "SitesAtOnce=$at" \
    --tab "$work/out.tab" "$work/latency.prj"
  status=$?
  set -e
  t1=$(now)
  found=$(grep -c "Direct Link" "$work/out.tab" || true)
  # Half the sites have no link: exit status 1, and a link from each of the others.
  if [ $status -ne 1 ] || [ "$found" -ne $(((sites + 1) / 2)) ]; then
    echo "reciplex-scan at SitesAtOnce=$at ended with $status and found $found links of $(((sites + 1) / 2))" >&2
    exit 1
  fi
  echo "$(seconds "$t0" "$t1") $(tail -n 1 "$work/cpu" | awk '{ printf "%.1f", $1 + $2 }')"
}

wget_all() { # SITES KEEP: the seconds of wget -r over every site, WGET_AT at once
  local t0 t1 j keep=()
  [ "$2" = 1 ] || keep=(--no-http-keep-alive)
  [ "$tls" = 1 ] && keep+=(--no-check-certificate)
  rm -rf "$work/wget"
  for ((j = 0; j < wget_at; j++)); do mkdir -p "$work/wget/$j"; : > "$work/wget/$j.txt"; done
  for ((i = 0; i < $1; i++)); do echo "$scheme://$(host $i):$port/" >> "$work/wget/$((i % wget_at)).txt"; done
  t0=$(now)
  for ((j = 0; j < wget_at; j++)); do
    (cd "$work/wget/$j" && wget -r -l inf -nd -q --delete-after "${keep[@]}" -e robots=off \
      -i "$work/wget/$j.txt" || true) &
  done
  wait
  t1=$(now)
  seconds "$t0" "$t1"
}

echo "$scheme${rtt:+, round trip $rtt ms through delay_proxy.py}, scanner $scanner"
header=$(printf '%-6s %-6s %-6s %9s' sites pages "ms" "floor s")
for at in "${counts[@]}"; do header+=$(printf ' %12s' "scan@$at s/cpu"); done
for at in "${counts[@]}"; do [ "$at" = 1 ] || header+=$(printf ' %9s' "1/$at"); done
[ "${WGET:-1}" = 0 ] || header+=$(printf ' %9s %9s %10s' "wget s" "wget/1" "wget-ka s")
echo "$header"
for config in "${configs[@]}"; do
  IFS=x read -r sites pages delay <<< "$config"
  prog="$work/program"; mkdir -p "$prog"
  printf '.html\r\n' > "$prog/filetypes.txt"
  urls=()
  for ((i = 0; i < sites; i++)); do urls+=("$([ "$tls" = 1 ] && echo https://)$(host $i)/"); done
  "$makeproject" "$work/latency.prj" "http://www.mysite-bench.com/links.htm" "${urls[@]}" 2>/dev/null
  start_server "$sites" "$pages" "$delay"

  declare -A took=() cpu=()
  for at in "${counts[@]}"; do read -r "took[$at]" "cpu[$at]" <<< "$(scan "$sites" "$at")"; done
  floor=$(ratio $((((sites + 1) / 2 + sites / 2 * pages) * delay)) 1000 %.1f)
  line=$(printf '%-6s %-6s %-6s %9s' "$sites" "$pages" "$delay" "$floor")
  for at in "${counts[@]}"; do line+=$(printf ' %12s' "${took[$at]}/${cpu[$at]}"); done
  base=${took[1]:-${took[${counts[0]}]}}
  for at in "${counts[@]}"; do
    [ "$at" = 1 ] || line+=$(printf ' %9s' "$(ratio "$base" "${took[$at]}" %.1f)")
  done
  if [ "${WGET:-1}" != 0 ]; then
    wget_s=$(wget_all "$sites" 0)
    line+=$(printf ' %9s %9s %10s' "$wget_s" "$(ratio "$wget_s" "$base" %.2f)" "$(wget_all "$sites" 1)")
  fi
  echo "$line"
  unset took cpu
  stop_server
done
