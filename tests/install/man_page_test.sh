#!/usr/bin/env bash
# velmond(8) renders with man, and names every long option `velmond --help`
# lists, its files, signals, exit status and examples.
# usage: man_page_test.sh VELMOND MAN_PAGE
source "$(dirname "$0")/common.sh"
velmond=$1
page=$(LC_ALL=C MANWIDTH=200 man -l "$2" 2>"$WORK/man.err") || fail "man -l failed: $(cat "$WORK/man.err")"
[ ! -s "$WORK/man.err" ] || fail "man warned: $(cat "$WORK/man.err")"
for section in NAME SYNOPSIS OPTIONS FILES SIGNALS "EXIT STATUS" EXAMPLES; do
  grep -qx "$section" <<<"$page" || fail "no section $section"
done
options=$("$velmond" --help | grep -o -- '--[a-z][a-z0-9-]*' | sort -u)
[ "$(wc -l <<<"$options")" -ge 8 ] || fail "--help lists too few options: $options"
for option in $options; do
  grep -qE -- "^ +(-[a-z], )?$option( |\$)" <<<"$page" || fail "$option is not described in the man page"
done
for signal in SIGHUP SIGINT SIGTERM; do grep -q "$signal" <<<"$page" || fail "$signal missing"; done
echo PASS
