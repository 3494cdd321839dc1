#!/usr/bin/env bash
# Proxy overhead on loopback: the median time to fetch a 100 KiB first-party page through
# ZEVRA's proxy against fetching it straight from the upstream with curl, in one run.
#
#   bench/server/proxy_latency.sh [BUILD_DIR]     (default: build-bench next to the sources)
#
# The upstream is nginx with TLS on loopback (a certificate made for the run); each sample is one
# curl process, as a user's request is one exchange. Environment: SAMPLES (default 200),
# ZEVRA_PORT, UPSTREAM_PORT.
set -euo pipefail

source_dir="$(cd "$(dirname "$0")/../.." && pwd)"
build_dir="${1:-$source_dir/build-bench}"
samples="${SAMPLES:-200}"
zevra_port="${ZEVRA_PORT:-18584}"
upstream_port="${UPSTREAM_PORT:-18586}"
site_host="$(sed -n 's/^ZEVRA_SITE_HOST:STRING=//p' "$build_dir/CMakeCache.txt" 2>/dev/null || true)"
site_host="${site_host:-zevra.example}"

source "$source_dir/bench/server/against_nginx.sh" "$build_dir" openssl python3

mkdir -p "$work/site" "$work/resources" "$work/home"
chmod 755 "$work/site"
openssl req -x509 -newkey ed25519 -nodes -days 1 -keyout "$work/key.pem" -out "$work/cert.pem" \
    -subj "/CN=$site_host" -addext "subjectAltName=DNS:$site_host" 2>/dev/null
python3 - "$work/site/page.html" <<'PY'
import sys
row = "<p>A paragraph of first-party text with a <a href=\"/docs/next\">link</a>.</p>\n"
body = row * (100 * 1024 // len(row))
open(sys.argv[1], "w").write("<!doctype html><html><head><title>page</title></head><body>\n"
                             + body + "</body></html>\n")
PY
cat > "$work/nginx.conf" <<CONF
worker_processes 1;
daemon off;
pid $work/nginx.pid;
error_log $work/nginx-error.log;
events { worker_connections 64; }
http {
    access_log off;
    types { text/html html; }
    server {
        listen 127.0.0.1:$upstream_port ssl;
        server_name $site_host;
        ssl_certificate $work/cert.pem;
        ssl_certificate_key $work/key.pem;
        root $work/site;
    }
}
CONF
nginx -c "$work/nginx.conf" -p "$work" &
nginx_pid=$!
key="$(openssl rand -hex 32)"
HOME="$work/home" ZEVRA_BENCH_LAUNCH_KEY="$key" "$serve_folder" "$work/resources" "$zevra_port" \
    "$work/cert.pem" "$site_host:443:127.0.0.1:$upstream_port" >/dev/null &
zevra_pid=$!
sleep 1

direct=(curl -s -o /dev/null -w '%{time_total}\n' --cacert "$work/cert.pem"
        --connect-to "$site_host:443:127.0.0.1:$upstream_port" "https://$site_host/page.html")
proxied=(curl -s -o /dev/null -w '%{time_total}\n' -H "Host: 127.0.0.1:18484"
         -H "X-Zevra-Launch-Key: $key" "http://127.0.0.1:$zevra_port/proxy/page.html")
# A later -w wins: both must answer 200 before anything is timed.
for status in "$("${direct[@]}" -w '%{http_code}')" "$("${proxied[@]}" -w '%{http_code}')"; do
    [ "$status" = "200" ] || { echo "a fetch answered $status" >&2; exit 1; }
done

median_ms() {
    sort -n | awk '{ v[NR] = $1 } END { m = (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2; printf "%.3f", m * 1000 }'
}
# Interleaved, so both sides see the same machine load.
: > "$work/direct"; : > "$work/proxied"
for _ in $(seq 1 "$samples"); do
    "${direct[@]}" >> "$work/direct"
    "${proxied[@]}" >> "$work/proxied"
done
direct_ms="$(median_ms < "$work/direct")"
proxied_ms="$(median_ms < "$work/proxied")"
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
echo "100 KiB page, median of $samples, one curl process each: direct $direct_ms ms," \
     "through ZEVRA $proxied_ms ms, ratio $(ratio "$proxied_ms" "$direct_ms") (goal <= 1.2)"

# The strictest baseline: one curl process keeping its TLS connection to the upstream open, so
# no sample pays a handshake; ZEVRA's side is likewise one process (its server closes each
# connection, as every answer of the local API does).
urls() { for _ in $(seq 1 "$samples"); do printf '%s\n' "$1"; done; }
kept_direct_ms="$(curl -s -w '%{stderr}%{time_total}\n' --cacert "$work/cert.pem" \
    --connect-to "$site_host:443:127.0.0.1:$upstream_port" \
    $(urls "https://$site_host/page.html") 2>&1 >/dev/null | median_ms)"
kept_proxied_ms="$(curl -s -w '%{stderr}%{time_total}\n' -H "Host: 127.0.0.1:18484" \
    -H "X-Zevra-Launch-Key: $key" $(urls "http://127.0.0.1:$zevra_port/proxy/page.html") 2>&1 >/dev/null | median_ms)"
echo "100 KiB page, median of $samples, connection kept by curl: direct $kept_direct_ms ms," \
     "through ZEVRA $kept_proxied_ms ms, ratio $(ratio "$kept_proxied_ms" "$kept_direct_ms")"
