#!/usr/bin/env bash
# Soaks the program: push-to-talk, random hotkey changes, voice changer
# restarts and clicks for the given minutes (default 10), checking that it
# stays flat.
#   bash scripts/soak.sh [minutes]
set -euo pipefail
source "$(dirname "$0")/lib/session.sh"

minutes=${1:-10}
vorrel_install_packages
vorrel_build
vorrel_start_session own
log=$VORREL_BUILD/soak.log
vorrel_log "soaking for $minutes minutes; progress in $log"
# Through a file: Wine's desktop process would keep a pipe open.
status=0
wine "$VORREL_BUILD/bin/soak.exe" $((minutes * 60)) </dev/null >"$log" 2>&1 || status=$?
cat "$log"
exit $status
