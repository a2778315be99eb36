#!/usr/bin/env bash
# Makes the private Wine prefix PREFIX once (about 8 s), safely when several tests ask at once,
# with Wine's own bitmap "MS Sans Serif" in it, as Windows has it. Mono and Gecko are turned off:
# the station needs neither, and their installers would ask.
#   ensure-prefix.sh PREFIX [with-wine-fonts|without-wine-fonts]
set -euo pipefail
prefix=$1
wine_fonts=${2:-with-wine-fonts}  # or without-wine-fonts: a prefix as a user may have it
mkdir -p "$(dirname "$prefix")"
exec 9>"$prefix.lock"
flock 9
if [ ! -f "$prefix/.vorkel-ready" ]; then
    export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    wineboot -i >/dev/null 2>&1 </dev/null
    wineserver -w
    touch "$prefix/.vorkel-ready"
fi
# Debian's Wine does not find its own fonts, so "MS Sans Serif" would be realized in a wider,
# anti-aliased fontconfig face, and the title bar's buttons would show letters instead of the
# Marlett symbols; in the prefix's Fonts folder they are found. Also into prefixes made before
# this step existed.
if [ "$wine_fonts" = with-wine-fonts ]; then
    cp -u /usr/share/wine/fonts/sserif*.fon /usr/share/wine/fonts/marlett.ttf \
        "$prefix/drive_c/windows/Fonts/"
fi
