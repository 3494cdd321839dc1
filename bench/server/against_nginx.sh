# Sourced by the server benchmarks: checks the tools, builds the server host and makes a work
# folder that goes, with the ZEVRA and nginx processes started into zevra_pid and nginx_pid,
# when the script ends.    usage: source against_nginx.sh BUILD_DIR TOOL...
bench_build_dir="$1"
shift
for tool in nginx cmake curl "$@"; do
    command -v "$tool" >/dev/null || { echo "missing: $tool" >&2; exit 1; }
done
"$(dirname "${BASH_SOURCE[0]}")/../build_target.sh" "$bench_build_dir" zevra_bench_serve_folder
serve_folder="$bench_build_dir/bench/server/zevra_bench_serve_folder"

work="$(mktemp -d /tmp/zevra-server-bench-XXXXXX)"
# nginx's worker runs as an unprivileged user: the served folders must be readable to it.
chmod 755 "$work"
zevra_pid=""
nginx_pid=""
cleanup() {
    [ -n "$zevra_pid" ] && kill "$zevra_pid" 2>/dev/null && wait "$zevra_pid" 2>/dev/null
    [ -n "$nginx_pid" ] && kill "$nginx_pid" 2>/dev/null && wait "$nginx_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
