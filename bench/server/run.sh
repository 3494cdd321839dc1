#!/usr/bin/env bash
# Loopback server throughput and memory against nginx, in one run on this machine.
#
#   bench/server/run.sh [BUILD_DIR]        (default: build-bench next to the sources)
#
# Measures with wrk (12 connections, one request per connection) the requests per second of
# GET /health and of GET of a 1 MiB static file, against ZEVRA and against nginx (one worker,
# keep-alive off, the same file, a fixed JSON answer for /health), prints both and the ratio
# ZEVRA/nginx; then how many answers were 503 with 8, 10, 11 and 12 connections (a client that
# never holds more than 12 at once must see none); then the server's resident memory around 12
# concurrent bodies of the largest size accepted, around 12 concurrent bodies of 8 MiB, and
# after 50,000 and 100,000 requests.
# Environment: DURATION (seconds per wrk run, default 10), ZEVRA_PORT, NGINX_PORT.
set -euo pipefail

source_dir="$(cd "$(dirname "$0")/../.." && pwd)"
build_dir="${1:-$source_dir/build-bench}"
duration="${DURATION:-10}"
zevra_port="${ZEVRA_PORT:-18584}"
nginx_port="${NGINX_PORT:-18585}"
connections=12
# The server answers only requests addressed to its production host and port.
host_header='Host: 127.0.0.1:18484'

source "$source_dir/bench/server/against_nginx.sh" "$build_dir" wrk

mkdir -p "$work/resources" "$work/nginx"
head -c 1048576 /dev/urandom >"$work/resources/payload.bin"
chmod -R a+rX "$work/resources"
health_json='{"ok":true,"service":"zevra-local-shell"}'

cat >"$work/nginx/nginx.conf" <<EOF
worker_processes 1;
daemon off;
pid $work/nginx/nginx.pid;
error_log $work/nginx/error.log warn;
events { worker_connections 1024; }
http {
    access_log off;
    # Debian's default static-file settings.
    sendfile on;
    tcp_nopush on;
    keepalive_timeout 0;
    default_type application/octet-stream;
    client_body_temp_path $work/nginx/body;
    proxy_temp_path $work/nginx/proxy;
    fastcgi_temp_path $work/nginx/fastcgi;
    uwsgi_temp_path $work/nginx/uwsgi;
    scgi_temp_path $work/nginx/scgi;
    server {
        listen 127.0.0.1:$nginx_port;
        root $work/resources;
        location = /health {
            default_type application/json;
            return 200 '$health_json';
        }
    }
}
EOF

wait_for_port() {
    for _ in $(seq 1 100); do
        if (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null; then
            return 0
        fi
        sleep 0.05
    done
    echo "nothing listens on port $1" >&2
    exit 1
}

start_zevra() {
    "$serve_folder" "$work/resources" "$zevra_port" >"$work/zevra.log" 2>&1 &
    zevra_pid=$!
    wait_for_port "$zevra_port"
}

stop_zevra() {
    kill "$zevra_pid"
    wait "$zevra_pid" 2>/dev/null || true
    zevra_pid=""
}

# Checks one answer by hand before measuring, so a benchmark of error pages cannot pass.
check_answer() { # port path expected-status
    local status
    status="$(curl -s -o /dev/null -w '%{http_code}' -H "$host_header" "http://127.0.0.1:$1$2")"
    if [ "$status" != "$3" ]; then
        echo "GET $2 on port $1 answered $status, not $3" >&2
        exit 1
    fi
}

# Runs wrk; prints "answered-requests/s total-requests failed", where failed counts answers
# other than 2xx (the server's 503 when all its slots are taken) and socket errors, and the
# rate counts only the requests that were answered with success.
run_wrk() { # port path seconds [connections]
    local out
    out="$(wrk -t2 -c"${4:-$connections}" -d"$3s" -H 'Connection: close' -H "$host_header" \
        "http://127.0.0.1:$1$2")"
    local rps total bad errors
    rps="$(awk '/^Requests\/sec:/ {print $2}' <<<"$out")"
    total="$(awk '/requests in/ {print $1}' <<<"$out")"
    bad="$(awk '/Non-2xx or 3xx responses:/ {print $5}' <<<"$out")"
    errors="$(awk '/Socket errors:/ {s=0; for (i=4; i<=NF; i+=2) s+=$i; print s}' <<<"$out" | tr -d ',')"
    local failed=$(( ${bad:-0} + ${errors:-0} ))
    rps="$(awk -v r="$rps" -v t="$total" -v f="$failed" 'BEGIN {printf "%.1f", (t > 0) ? (r * (t - f) / t) : 0}')"
    echo "$rps $total $failed"
}

vm_rss() {
    awk '/^VmRSS:/ {rss = $2 " " $3} /^RssAnon:/ {anon = $2 " " $3}
         END {print rss " (anonymous " anon ")"}' "/proc/$1/status"
}

vm_peak() {
    awk '/^VmHWM:/ {print $2 " " $3}' "/proc/$1/status"
}

"$(command -v nginx)" -c "$work/nginx/nginx.conf" -p "$work/nginx" &
nginx_pid=$!
wait_for_port "$nginx_port"
start_zevra

check_answer "$zevra_port" /health 200
check_answer "$nginx_port" /health 200
check_answer "$zevra_port" /payload.bin 200
check_answer "$nginx_port" /payload.bin 200

printf '%-22s %14s %14s %8s   %s\n' "request" "ZEVRA req/s" "nginx req/s" "ratio" "failed/total ZEVRA, nginx"
for path in /health /payload.bin; do
    read -r zevra_rps zevra_total zevra_bad < <(run_wrk "$zevra_port" "$path" "$duration")
    read -r nginx_rps nginx_total nginx_bad < <(run_wrk "$nginx_port" "$path" "$duration")
    ratio="$(awk -v a="$zevra_rps" -v b="$nginx_rps" 'BEGIN {printf "%.2f", a / b}')"
    label="GET $path"
    [ "$path" = /payload.bin ] && label="GET 1 MiB file"
    printf '%-22s %14s %14s %8s   %s/%s, %s/%s\n' "$label" "$zevra_rps" "$nginx_rps" "$ratio" \
        "$zevra_bad" "$zevra_total" "$nginx_bad" "$nginx_total"
done

for clients in 8 10 11 12; do
    read -r _ total bad < <(run_wrk "$zevra_port" /health "$duration" "$clients")
    echo "GET /health with $clients connections: $bad failed of $total"
done

# Posts COUNT bodies of SIZE bytes to /health at once; prints how the answers' statuses count.
post_bodies_at_once() { # count size
    head -c "$2" /dev/zero >"$work/body.bin"
    rm -f "$work/body-status"
    local pids=()
    for _ in $(seq 1 "$1"); do
        curl -s -o /dev/null -w '%{http_code}\n' -H "$host_header" -H 'Expect:' \
            --data-binary @"$work/body.bin" "http://127.0.0.1:$zevra_port/health" \
            >>"$work/body-status" &
        pids+=("$!")
    done
    wait "${pids[@]}"
    sort "$work/body-status" | uniq -c | xargs
}

# Resident memory of a fresh server around 12 bodies of the largest accepted size at once, then
# of another fresh one around 12 bodies of 8 MiB that follow one of 16 MiB (which raises the
# size from which glibc gives a block pages of its own, so smaller ones land in its arenas).
# Memory a worker gives back is counted once every worker is done, a second after the answers.
stop_zevra
start_zevra
echo "ZEVRA resident memory: at start $(vm_rss "$zevra_pid")"
answers="$(post_bodies_at_once "$connections" 33554432)"
sleep 1
echo "ZEVRA 12 concurrent 32 MiB bodies: answers $answers, peak resident $(vm_peak "$zevra_pid")," \
    "afterwards $(vm_rss "$zevra_pid")"
stop_zevra
start_zevra
answers="$(post_bodies_at_once 1 16777216) $(post_bodies_at_once "$connections" 8388608)"
sleep 1
echo "ZEVRA 12 concurrent 8 MiB bodies after one of 16 MiB: answers $answers," \
    "peak resident $(vm_peak "$zevra_pid"), afterwards $(vm_rss "$zevra_pid")"

# Resident memory of a fresh server, over alternating bursts of both requests.
stop_zevra
start_zevra
echo "ZEVRA resident memory: at start $(vm_rss "$zevra_pid")"
served=0
failed=0
burst=0
for mark in 50000 100000; do
    while [ "$served" -lt "$mark" ]; do
        path=/health
        [ $((burst % 2)) -eq 1 ] && path=/payload.bin
        read -r _ total bad < <(run_wrk "$zevra_port" "$path" 2)
        if [ "${total:-0}" -le 0 ]; then
            echo "wrk measured no requests" >&2
            exit 1
        fi
        served=$((served + total))
        failed=$((failed + bad))
        burst=$((burst + 1))
    done
    echo "ZEVRA resident memory: after $served requests $(vm_rss "$zevra_pid") ($failed failed)"
done
