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
# Build first: cmake -S . -B build-rel -DCMAKE_BUILD_TYPE=Release &&
#   ninja -C build-rel reciplex-scan bench_makeproject
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-rel}
shift || true
configs=("$@")
[ ${#configs[@]} -gt 0 ] || configs=(100x10x100 1000x10x50)
read -r -a counts <<< "${AT:-1 8 32}"
scanner="$PWD/$build/reciplex-scan"
makeproject="$PWD/$build/bench/bench_makeproject"
[ -x "$scanner" ] || { echo "no $scanner: build it first" >&2; exit 2; }
[ -x "$makeproject" ] || { echo "no $makeproject: build it first" >&2; exit 2; }
for tool in wget python3; do
  command -v "$tool" >/dev/null || { echo "missing $tool" >&2; exit 2; }
done

work=$(mktemp -d)
server_pid=
cleanup() {
  if [ -n "$server_pid" ]; then kill "$server_pid" 2>/dev/null || true; wait "$server_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

now() { date +%s.%N; }
seconds() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", b - a }'; }
ratio() { awk -v a="$1" -v b="$2" -v f="$3" 'BEGIN { printf f, a / b }'; }
host() { echo "127.77.$(($1 / 250)).$(($1 % 250 + 1))"; } # as latency_server.py names them
free_port() { python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'; }

start_server() { # SITES PAGES DELAY
  port=$(free_port)
  python3 bench/latency_server.py --sites "$1" --pages "$2" --delay-ms "$3" --port "$port" > "$work/server.out" &
  server_pid=$!
  for _ in $(seq 300); do
    grep -q ready "$work/server.out" 2>/dev/null && return 0
    kill -0 "$server_pid" 2>/dev/null || break
    sleep 0.1
  done
  echo "latency_server.py did not start" >&2; exit 2
}

stop_server() {
  kill "$server_pid"; wait "$server_pid" 2>/dev/null || true; server_pid=
}

scan() { # SITES AT: the seconds of one scan
  local sites=$1 at=$2 t0 t1 status found
  rm -rf "$work/config" "$work/out.tab"
  t0=$(now)
  set +e
  XDG_CONFIG_HOME="$work/config" "$scanner" --quiet --port "$port" --program-folder "$prog" \
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
  seconds "$t0" "$t1"
}

wget_all() { # SITES: the seconds of wget -r over every site in turn
  local t0 t1
  for ((i = 0; i < $1; i++)); do echo "http://$(host $i):$port/"; done > "$work/urls.txt"
  mkdir -p "$work/wget"
  t0=$(now)
  (cd "$work/wget" && wget -r -l inf -nd -q --delete-after --no-http-keep-alive -e robots=off \
    -i "$work/urls.txt" || true)
  t1=$(now)
  seconds "$t0" "$t1"
}

header=$(printf '%-6s %-6s %-6s %9s' sites pages "ms" "floor s")
for at in "${counts[@]}"; do header+=$(printf ' %10s' "scan@$at s"); done
for at in "${counts[@]}"; do [ "$at" = 1 ] || header+=$(printf ' %9s' "1/$at"); done
[ "${WGET:-1}" = 0 ] || header+=$(printf ' %9s %9s' "wget s" "wget/1")
echo "$header"
for config in "${configs[@]}"; do
  IFS=x read -r sites pages delay <<< "$config"
  prog="$work/program"; mkdir -p "$prog"
  printf '.html\r\n' > "$prog/filetypes.txt"
  urls=()
  for ((i = 0; i < sites; i++)); do urls+=("$(host $i)/"); done
  "$makeproject" "$work/latency.prj" "http://www.mysite-bench.com/links.htm" "${urls[@]}" 2>/dev/null
  start_server "$sites" "$pages" "$delay"

  declare -A took=()
  for at in "${counts[@]}"; do took[$at]=$(scan "$sites" "$at"); done
  floor=$(ratio $((((sites + 1) / 2 + sites / 2 * pages) * delay)) 1000 %.1f)
  line=$(printf '%-6s %-6s %-6s %9s' "$sites" "$pages" "$delay" "$floor")
  for at in "${counts[@]}"; do line+=$(printf ' %10s' "${took[$at]}"); done
  base=${took[1]:-${took[${counts[0]}]}}
  for at in "${counts[@]}"; do
    [ "$at" = 1 ] || line+=$(printf ' %9s' "$(ratio "$base" "${took[$at]}" %.1f)")
  done
  if [ "${WGET:-1}" != 0 ]; then
    wget_s=$(wget_all "$sites")
    line+=$(printf ' %9s %9s' "$wget_s" "$(ratio "$wget_s" "$base" %.2f)")
  fi
  echo "$line"
  unset took
  stop_server
done
