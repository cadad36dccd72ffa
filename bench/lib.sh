# Shared by the benchmark scripts in this folder; sourced, never run.
#
# bench_init BUILD_DIR [bench]   finds quenmarl-cli in BUILD_DIR/bin, building BUILD_DIR as a
#                                Release build when it is missing; with "bench" also the
#                                benchmark programs (QUENMARL_BUILD_BENCH=ON).
# bench_cluster                  starts a private cluster with the server's default durability
#                                (fsync and synchronous commit on), or uses the one a calling
#                                script (bench/all) started; stops only the one it started.
# After both: $cli, the arrays cli_run and psql_copy, psql_run, $work (removed at exit).
# relay_start DELAY_MS           starts quenmarl_bench_relay (needs "bench") on a free port in
#                                front of the cluster, each direction delayed by DELAY_MS; sets
#                                relay_port and the arrays relay_cli_run and relay_psql_copy.
# relay_stop                     stops the relay that relay_start started (also done at exit).

set -euo pipefail
bench_root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

bench_init() {
    build="$1"
    local want_bench="${2:-}"
    cli="$build/bin/quenmarl-cli"
    local options=(-DCMAKE_BUILD_TYPE=Release -DQUENMARL_BUILD_TESTS=OFF)
    [ -n "$want_bench" ] && options+=(-DQUENMARL_BUILD_BENCH=ON)
    if [ ! -x "$cli" ] || { [ -n "$want_bench" ] && [ ! -x "$build/bin/quenmarl_bench_window" ]; }; then
        "$bench_root/scripts/build" "$build" "${options[@]}" >/dev/null
    fi
    work="$(mktemp -d)"
    trap bench_cleanup EXIT INT TERM
}

bench_own_cluster=""
bench_cleanup() {
    relay_stop
    [ -n "$bench_own_cluster" ] && pgcluster_stop
    rm -rf "$work"
}

bench_cluster() {
    # shellcheck source=../scripts/pgcluster
    source "$bench_root/scripts/pgcluster"
    if [ -z "${PGCLUSTER_DIR:-}" ] || [ ! -d "${PGCLUSTER_DIR:-}" ]; then
        pgcluster_start
        bench_own_cluster=1
    fi
    export PGPASSWORD="$QUENMARL_TEST_PASSWORD"
    export XDG_CONFIG_HOME="$work/config"
    cli_run=("$cli" --server "$QUENMARL_TEST_HOST" --port "$QUENMARL_TEST_PORT"
        --user "$QUENMARL_TEST_USER" --password "$QUENMARL_TEST_PASSWORD" --database postgres)
    psql_copy=(psql -h "$QUENMARL_TEST_HOST" -p "$QUENMARL_TEST_PORT" -U "$QUENMARL_TEST_USER"
        -d postgres -q -v ON_ERROR_STOP=1)
}

psql_run() { "${psql_copy[@]}" "$@"; }

relay_pid=""
relay_start() {
    local delay="$1" waited
    "$build/bin/quenmarl_bench_relay" 0 "$QUENMARL_TEST_HOST" "$QUENMARL_TEST_PORT" "$delay" \
        >"$work/relay.out" &
    relay_pid=$!
    for waited in $(seq 1 100); do
        grep -q '^listening on ' "$work/relay.out" 2>/dev/null && break
        sleep 0.05
    done
    relay_port="$(awk '/^listening on / { print $3 }' "$work/relay.out")"
    [ -n "$relay_port" ] || { echo "the relay did not start" >&2; exit 1; }
    relay_cli_run=("$cli" --server 127.0.0.1 --port "$relay_port"
        --user "$QUENMARL_TEST_USER" --password "$QUENMARL_TEST_PASSWORD" --database postgres)
    relay_psql_copy=(psql -h 127.0.0.1 -p "$relay_port" -U "$QUENMARL_TEST_USER"
        -d postgres -q -v ON_ERROR_STOP=1)
}
relay_stop() {
    [ -n "$relay_pid" ] || return 0
    kill "$relay_pid" 2>/dev/null || true
    wait "$relay_pid" 2>/dev/null || true
    relay_pid=""
}

calc() { awk "BEGIN { printf \"$1\", $2 }"; }
now() { date +%s.%N; }

# The load averages of the machine (1, 5, 15 minutes) and its cores, for the record.
load_text() {
    echo "load $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) cores"
}

# Runs a command under /usr/bin/time, its output in $work/out and $work/err; sets
# SECONDS_TAKEN (wall clock), CPU_SECONDS (the process's user and system time together),
# PEAK_KIB (peak resident set) and STATUS (exit status).
measure() {
    local start end user system
    start="$(now)"
    STATUS=0
    /usr/bin/time -f "%M %U %S" -o "$work/rss" "$@" >"$work/out" 2>"$work/err" || STATUS=$?
    end="$(now)"
    SECONDS_TAKEN="$(calc "%.3f" "$end - $start")"
    read -r PEAK_KIB user system < <(tail -n 1 "$work/rss")
    CPU_SECONDS="$(calc "%.2f" "$user + $system")"
}

median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# "MET" or "NOT MET" for VALUE <= LIMIT.
verdict() { awk -v v="$1" -v l="$2" 'BEGIN { print (v <= l) ? "MET" : "NOT MET" }'; }

mib() { calc "%.1f" "$1 / 1024"; }

# A file of COUNT data lines of 5 fields after a header; every BAD-th line (0: none) has a
# first field that is no integer.
generate() {
    local count="$1" bad="$2"
    {
        echo "id,name,city,amount,note"
        seq 1 "$count" | awk -v bad="$bad" '{
            id = (bad > 0 && $1 % bad == 0) ? "x" $1 : $1
            printf "%s,Name %d,City %d,%d.%02d,note %d\n", id, $1, $1 % 97, $1 % 1000, $1 % 100, $1
        }'
    }
}

text_columns="(id text, name text, city text, amount text, note text)"
typed_columns="(id integer, name text, city text, amount text, note text)"
