#!/usr/bin/env bash
# ctest runs each Windows test through this: under Wine, on the display and
# in the prefix of the slot that ctest gave the test (see scripts/test.sh).
# Without a slot it keeps DISPLAY and WINEPREFIX as they are.
slot=${CTEST_RESOURCE_GROUP_0_DISPLAY:-}
if [ -n "$slot" ]; then
    id=${slot#id:}
    id=${id%%,*}
    display=VORREL_DISPLAY_$id prefix=VORREL_PREFIX_$id
    export DISPLAY=${!display} WINEPREFIX=${!prefix}
fi
exec wine "$@"
