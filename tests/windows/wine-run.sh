#!/bin/sh
# The emulator of the Windows test programs: runs a program under Wine with
# the build's prefix, without Wine's debug output, without Mono and Gecko,
# and with the stand-ins next to the program preferred to Wine's own DLLs.
#
# Usage: wine-run.sh <wine64> <WINEPREFIX> <program.exe> [arguments...]
wine=$1
export WINEPREFIX=$2
shift 2
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;mgmtapi=n,b"
exec "$wine" "$@"
