#!/usr/bin/env bash
# Installs what is missing, builds, and runs the program under Wine next to
# the stand-in voice changer.
#  - With a display (DISPLAY set): both windows open there for you to use;
#    closing the program's window ends the session.
#  - Without one: a short scripted session on a private virtual display that
#    saves screenshots under build/demo/ and prints what the stand-in received.
set -euo pipefail
source "$(dirname "$0")/lib/session.sh"

vorrel_install_packages
vorrel_build
bin=$VORREL_BUILD/bin

if [ -n "${DISPLAY:-}" ]; then
    vorrel_start_session existing
    vorrel_log "starting the stand-in voice changer and the program on $DISPLAY"
    wine "$bin/stand_in_voice_changer.exe" --log "$(winepath -w "$VORREL_BUILD/stand_in.log")" &
    vorrel_track_pid $!
    status=0
    wine "$bin/vorrel.exe" "$@" || status=$?
    vorrel_log "the program ended with exit code $status; the stand-in received:"
    cat "$VORREL_BUILD/stand_in.log" 2>/dev/null || true
    exit $status
fi

vorrel_start_session own
demo=$VORREL_BUILD/demo
rm -rf "$demo"
mkdir -p "$demo"
status=0
# Through a file: Wine's desktop process, started by the session, would keep a pipe open.
wine "$bin/headless_demo.exe" "$(winepath -w "$demo")" >"$demo/session.txt" 2>&1 </dev/null ||
    status=$?
cat "$demo/session.txt"
for shot in "$demo"/*.ppm; do
    [ -e "$shot" ] || continue
    convert "$shot" "${shot%.ppm}.png" && rm -f "$shot"
done
vorrel_log "screenshots:"
ls -1 "$demo"/*.png >&2 2>/dev/null || true
exit $status
