#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test under Wine on a
# private virtual display. Exits with ctest's status.
set -euo pipefail
source "$(dirname "$0")/lib/session.sh"

vorrel_install_packages
vorrel_build
vorrel_start_session own

status=0
# Two at a time: the checks that need no display run beside the one that does.
ctest --test-dir "$VORREL_BUILD" --output-on-failure --timeout 600 --parallel 2 "$@" || status=$?
exit $status
