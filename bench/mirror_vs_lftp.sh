#!/usr/bin/env bash
# Times `harbrook-cli get -r` against `lftp mirror` fetching the same folders from the
# same pyftpdlib server on loopback: a folder of 10,000 small files and a folder holding
# one 100 MiB file. Alternating runs; prints the median of each and their ratio.
# Usage: bench/mirror_vs_lftp.sh [BUILD_DIR] [ROUNDS]
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build}
rounds=${2:-3}
cli=$build/tools/harbrook-cli/harbrook-cli
[[ -x $cli ]] || { echo "build harbrook-cli first (make)" >&2; exit 1; }
command -v lftp >/dev/null || { echo "lftp is missing (scripts/install-deps)" >&2; exit 1; }

work=$(mktemp -d /tmp/harbrook-mirror-XXXXXX)
server=
cleanup() {
    [[ -n $server ]] && kill "$server" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

mkdir -p "$work/root/small" "$work/root/large" "$work/out"
/usr/bin/python3 - "$work/root/small" <<'PY'
import os, sys
folder = sys.argv[1]
block = os.urandom(4096)
for i in range(10000):
    with open(os.path.join(folder, "file%05d.dat" % i), "wb") as out:
        out.write(block[: 512 + (i * 37) % 3584])
PY
head -c $((100 * 1024 * 1024)) /dev/urandom > "$work/root/large/big.bin"

/usr/bin/python3 "$here/tests/support/pyftpd_server.py" --root "$work/root" > "$work/port" &
server=$!
for _ in $(seq 1 100); do [[ -s $work/port ]] && break; sleep 0.05; done
port=$(sed 's/PORT //' "$work/port")

seconds() { date +%s.%N; }
median() { sort -g | awk '{v[NR]=$1} END {print (NR % 2) ? v[(NR+1)/2] : (v[NR/2] + v[NR/2+1]) / 2}'; }

bench() {
    local name=$1 folder=$2 cli_times=() lftp_times=() start end
    for ((round = 0; round < rounds; round++)); do
        rm -rf "$work/out/cli" "$work/out/lftp" && mkdir -p "$work/out/cli" "$work/out/lftp"
        start=$(seconds)
        "$cli" --port "$port" --user harbrook --pass secret 127.0.0.1 "get -r /$folder $work/out/cli"
        end=$(seconds)
        cli_times+=("$(echo "$end - $start" | bc -l)")
        start=$(seconds)
        lftp -u harbrook,secret -p "$port" -e "set ftp:ssl-allow no; mirror /$folder $work/out/lftp/$folder; quit" 127.0.0.1 >/dev/null
        end=$(seconds)
        lftp_times+=("$(echo "$end - $start" | bc -l)")
        diff -r "$work/out/cli/$folder" "$work/out/lftp/$folder" >/dev/null ||
            { echo "$name: the two copies differ" >&2; exit 1; }
    done
    local c l
    c=$(printf '%s\n' "${cli_times[@]}" | median)
    l=$(printf '%s\n' "${lftp_times[@]}" | median)
    awk -v n="$name" -v c="$c" -v l="$l" -v r="$rounds" 'BEGIN {
        printf "%-22s %d rounds  harbrook-cli %7.2f s  lftp mirror %7.2f s  ratio (lftp time / cli time) %.2f\n", n, r, c, l, l / c }'
}

bench "10,000 small files" small
bench "one 100 MiB file" large
