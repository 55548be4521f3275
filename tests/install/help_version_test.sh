#!/usr/bin/env bash
# Every program answers --help with its usage on stdout and --version with
# "<name> <project version>", both with status 0.
# usage: help_version_test.sh VERSION PROGRAM...
source "$(dirname "$0")/common.sh"
version=$1; shift
for program in "$@"; do
  name=$(basename "$program")
  help=$("$program" --help) || fail "$name --help failed"
  grep -qi "^usage: $name" <<<"$help" || fail "$name --help prints no usage line: $help"
  [ "$("$program" --version)" = "$name $version" ] || fail "$name --version says: $("$program" --version)"
done
echo PASS
