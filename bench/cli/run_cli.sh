#!/usr/bin/env bash
# stashbook-cli's read commands on 10,000 sites and 100,000 accounts, each
# against its floor: a bare QtCore program that starts and reads the
# accounts file once (bare_read). The commands take turns with the floor,
# run after run; the median wall time of each is printed, and its ratio to
# the floor's (the aim: at most 1.5).
#
#   bench/cli/run_cli.sh [build-dir] [runs]
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build=$(cd "${1:-$root/build/default}" && pwd)
runs=${2:-21}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$build/bench/cli/make_cli_data" "$work" 10000 100000
cli=$build/src/stashbook-cli
site=$("$cli" --data-dir "$work" sites | sed -n 5000p)
user=$("$cli" --data-dir "$work" accounts "$site" | tail -n 1)
[ -n "$user" ] || { echo "no account to show on site $site" >&2; exit 1; }
echo "10,000 sites, 100,000 accounts ($(stat -c %s "$work/SB-Acnts.DaT") bytes), median of $runs runs:"
python3 - "$runs" "$build/bench/cli/bare_read" "$cli" "$work" "$site" "$user" <<'PY'
import statistics, subprocess, sys, time
runs, floor, cli, work, site, user = int(sys.argv[1]), *sys.argv[2:]
commands = [[floor, work + "/SB-Acnts.DaT"]] + [[cli, "--data-dir", work] + c for c in (
    ["sites"], ["sites", "--json"], ["sites", "Z*"], ["accounts", site], ["show", site, user],
    ["search", "zz"])]
times = [[] for _ in commands]
for _ in range(runs):
    for i, c in enumerate(commands):
        start = time.perf_counter()
        subprocess.run(c, stdout=subprocess.DEVNULL, check=True)
        times[i].append((time.perf_counter() - start) * 1e3)
base = statistics.median(times[0])
for c, t in zip(commands, times):
    name = " ".join(c[3:]) if c[0] == cli else "bare_read SB-Acnts.DaT (the floor)"
    print(f"  {name:<40} median {statistics.median(t):7.2f} ms  best {min(t):7.2f} ms  "
          f"x{statistics.median(t) / base:.2f}")
PY
