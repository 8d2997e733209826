#!/usr/bin/env bash
# Runs the full benchmark under Wine on a private virtual display and writes
# build/bench-results/results.md and results.json there.
#   bash scripts/bench.sh [--quick]
set -euo pipefail
source "$(dirname "$0")/lib/session.sh"

vorrel_install_packages
vorrel_build
vorrel_start_session own

out=$VORREL_BUILD/bench-results
mkdir -p "$out"
bin=$VORREL_BUILD/bin
calls=200000
[ "${1:-}" = --quick ] && calls=2000
cd "$out"
wine "$bin/hook_cost_bench.exe" "$calls" hook_cost.json hook_cost.md </dev/null >/dev/null
wine "$bin/ptt_bench.exe" "$@" ptt.json ptt.md </dev/null >ptt.log 2>&1 || {
    cat ptt.log
    exit 1
}
machine="$(wine --version), $(nproc) cores, $(awk -F': ' '/model name/ {print $2; exit}' /proc/cpuinfo)"
{
    echo "## Benchmark, $(date -u +%Y-%m-%d)"
    echo
    echo "Under $machine; Xvfb virtual display; stand-in voice changer."
    echo
    cat ptt.md
    echo
    echo "### Hook procedure cost, in-process"
    echo
    cat hook_cost.md
} >results.md
printf '{"machine": "%s", "pipeline": %s, "hook_cost": %s}\n' \
    "$machine" "$(cat ptt.json)" "$(cat hook_cost.json)" >results.json
cat results.md
