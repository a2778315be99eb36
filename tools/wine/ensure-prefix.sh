#!/usr/bin/env bash
# Makes the private Wine prefix PREFIX once (about 8 s), safely when several tests ask at once.
# Wine's own bitmap "MS Sans Serif" is put in, as on Windows. Mono and Gecko are turned off: the station needs neither, and their installers would ask.
set -euo pipefail
prefix=$1
mkdir -p "$(dirname "$prefix")"
exec 9>"$prefix.lock"
flock 9
if [ ! -f "$prefix/.vorkel-ready" ]; then
    export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    wineboot -i >/dev/null 2>&1 </dev/null
    wineserver -w
    # Debian's Wine does not find its own fonts, so "MS Sans Serif" would be realized in a
    # wider, anti-aliased fontconfig face; the bitmap face in the prefix's Fonts folder is found.
    cp /usr/share/wine/fonts/sserif*.fon "$prefix/drive_c/windows/Fonts/"
    touch "$prefix/.vorkel-ready"
fi
