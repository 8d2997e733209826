#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test under Wine on a
# private virtual display. Exits with ctest's status.
set -euo pipefail
source "$(dirname "$0")/lib/session.sh"

vorrel_install_packages
vorrel_build
# Two display slots, each its own virtual display and Wine prefix: two tests
# that drive programs run at once, or one beside a check that needs none.
vorrel_start_session own 2
slots=$VORREL_BUILD/display_slots.json
printf '{"version": {"major": 1, "minor": 0}, "local": [{"display": [%s, %s]}]}\n' \
    '{"id": "0", "slots": 1}' '{"id": "1", "slots": 1}' >"$slots"

status=0
ctest --test-dir "$VORREL_BUILD" --output-on-failure --timeout 600 --parallel 2 \
    --resource-spec-file "$slots" "$@" || status=$?
exit $status
