#!/usr/bin/env bash
# Makes the private Wine prefix PREFIX (about 8 s), safely when several tests ask at once, with
# Wine's own bitmap "MS Sans Serif" in it, as Windows has it. Mono and Gecko are turned off: the
# station needs neither, and their installers would ask.
#   ensure-prefix.sh PREFIX [with-wine-fonts|without-wine-fonts [MASTER]]
# With MASTER, PREFIX is made as a copy of that prefix (made first if need be), its files linked
# rather than copied: a test's own prefix in a moment. Wine replaces a registry file whole when it
# saves it, and writes no other file of a prefix in place.
# The prefix records the Wine set-up that made it (Wine's version, and whether Wine's 32-bit half
# was installed) and is made again when that changes: a prefix made without wine32 starts no
# program at all once wine32 is installed (kernel32.dll cannot be loaded), and `wineboot -u`
# does not mend it.
set -euo pipefail
prefix=$1
wine_fonts=${2:-with-wine-fonts}  # or without-wine-fonts: a prefix as a user may have it
master=${3:-}
mkdir -p "$(dirname "$prefix")"
exec 9>"$prefix.lock"
flock 9
wine64=/usr/lib/wine/wine64
[ -x "$wine64" ] || wine64=wine
setup="$("$wine64" --version 2>/dev/null || echo "wine of unknown version")"
if [ -x /usr/lib/wine/wine ]; then
    setup+=", wine32 installed"
else
    setup+=", no wine32"
fi
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINELOADER=$wine64
if [ -d "$prefix" ] && [ "$(cat "$prefix/.vorkel-ready" 2>/dev/null)" != "$setup" ]; then
    echo "ensure-prefix: making $prefix again for $setup" >&2
    wineserver -k 2>/dev/null || true
    rm -rf "$prefix"
fi
if [ ! -f "$prefix/.vorkel-ready" ] && [ -n "$master" ]; then
    "$0" "$master" "$wine_fonts"
    rm -rf "$prefix"
    cp -al "$master" "$prefix"
fi
if [ ! -f "$prefix/.vorkel-ready" ]; then
    # A 64-bit prefix, made by the 64-bit loader: with wine32 it runs 32-bit programs as well.
    WINEARCH=win64 "$wine64" wineboot -i >/dev/null 2>&1 </dev/null
    wineserver -w
    echo "$setup" >"$prefix/.vorkel-ready"
fi
# Debian's Wine does not find its own fonts, so "MS Sans Serif" would be realized in a wider,
# anti-aliased fontconfig face, and the title bar's buttons would show letters instead of the
# Marlett symbols; in the prefix's Fonts folder they are found.
if [ "$wine_fonts" = with-wine-fonts ]; then
    cp -u /usr/share/wine/fonts/sserif*.fon /usr/share/wine/fonts/marlett.ttf \
        "$prefix/drive_c/windows/Fonts/"
fi
