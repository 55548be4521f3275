#!/usr/bin/env bash
# Checks that each failure path of docs/FAULT-SWEEP.md is pinned by the test
# its row names: for every entry of the mutation list it takes the failure
# path out of the product code (one exact text replaced), rebuilds only the
# row's test programs, runs the row's test cases, and puts the code back.
#
# Outcome per entry:
#   killed       a named test case failed (or timed out) with the path taken out
#   SURVIVED     every named test case still passed: the row claims more than
#                its tests show
#   ERROR        the text to replace is missing or occurs more than once, the
#                mutated code does not build, or a named test already fails
#                (or names no test case) on the unchanged code
#   not-mutated  the entry says why the row has no code path to take out
#                (unreachable, a world condition only, or covered elsewhere)
#
# Not part of CI: a full run rebuilds one test program per entry. Run it on a
# clean tree and do not edit the product while it runs; the file being
# mutated is restored on every exit (also on Ctrl-C), and rebuilt afterwards.
#
# Usage: scripts/fault-sweep-check.sh [-l LIST] [-b BUILD_DIR] [-j JOBS] [ID...]
#   LIST       mutation list (default scripts/fault-sweep-mutations.txt)
#   BUILD_DIR  its own build directory (default build/sweep, Debug, ccache,
#              warnings not fatal so that a mutation leaving a helper unused
#              still builds)
#   ID...      only these entries (e.g. 56 69a); default: all
# Exit status: 0 when every entry is killed or not-mutated, 1 otherwise.
#
# List format (see the list's own header): blocks separated by blank lines,
#   id <row id>            e.g. 21 or 21b (one row may have several entries)
#   file <path>            product file, relative to the repository
#   find <text>            exact text to replace; must occur exactly once
#   replace <text>         its replacement (in find and replace, "\n" is a
#                          newline and "\\" a backslash)
#   test <program> <case>  a gtest case of a test program; one or more lines
#   skip <reason>          instead of file/find/replace/test
set -uo pipefail
{  # parsed whole before it runs: the script may be edited during a run

root="$(cd "$(dirname "$0")/.." && pwd)"
list="$root/scripts/fault-sweep-mutations.txt"
build="$root/build/sweep"
jobs=2
while getopts "l:b:j:" option; do
  case "$option" in
    l) list="$OPTARG" ;;
    b) build="$OPTARG" ;;
    j) jobs="$OPTARG" ;;
    *) sed -n '2,30p' "$0"; exit 2 ;;
  esac
done
shift $((OPTIND - 1))
wanted=" $* "
case_timeout=120

export CMAKE_CXX_COMPILER_LAUNCHER=ccache CMAKE_C_COMPILER_LAUNCHER=ccache
if [[ ! -f "$build/CMakeCache.txt" ]]; then
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Debug -DVELMON_WERROR=OFF >/dev/null || exit 1
fi

# The entry being mutated: its file and a pristine copy, restored on exit.
backup="$build/sweep-backup"
mutated=""
restore() {
  if [[ -n "$mutated" ]]; then
    cat "$backup" >"$root/$mutated"  # new mtime: the next build recompiles it
    mutated=""
  fi
}
trap 'restore' EXIT
trap 'restore; exit 130' INT TERM

# Replaces the one occurrence of $2 in $1 by $3; exit 3 when absent, 4 when
# ambiguous.
apply() {
  python3 - "$@" <<'EOF'
import re, sys
def unescape(text):  # "\n" is a newline, "\\" a backslash
    return re.sub(r"\\(\\|n)", lambda m: "\\" if m.group(1) == "\\" else "\n", text)
path, find, replace = sys.argv[1], unescape(sys.argv[2]), unescape(sys.argv[3])
text = open(path, encoding="utf-8").read()
count = text.count(find)
if count != 1:
    sys.exit(3 if count == 0 else 4)
open(path, "w", encoding="utf-8").write(text.replace(find, replace))
EOF
}

program_path() { find "$build/tests" -type f -name "$1" -perm -u+x | head -n 1; }

# Runs every case of the entry; prints "fail <case>" for the first failing
# one. Status 0 when all pass, 1 when one fails, 2 when a case does not exist.
run_cases() {
  local line program name binary output
  for line in "${tests[@]}"; do
    program="${line%% *}"
    name="${line#* }"
    binary="$(program_path "$program")"
    [[ -n "$binary" ]] || { echo "no program $program"; return 2; }
    if ! (cd "$(dirname "$binary")" && "$binary" --gtest_list_tests --gtest_filter="$name") | grep -q '^  '; then
      echo "no case $program $name"
      return 2
    fi
    output="$(cd "$(dirname "$binary")" && timeout "$case_timeout" "$binary" --gtest_filter="$name" 2>&1)"
    local status=$?
    if [[ $status -ne 0 ]]; then
      [[ $status -eq 124 ]] && echo "timeout $program $name" || echo "fail $program $name"
      return 1
    fi
  done
  return 0
}

programs() { local line; for line in "${tests[@]}"; do echo "${line%% *}"; done | sort -u; }

build_programs() {
  # shellcheck disable=SC2046
  cmake --build "$build" -j "$jobs" --target $(programs) >"$build/sweep-build.log" 2>&1
}

declare -A baseline=()
declare -A count=([killed]=0 [SURVIVED]=0 [ERROR]=0 [not-mutated]=0)
results=()
report() {  # id outcome detail
  count[$2]=$((count[$2] + 1))
  results+=("$(printf '%-6s %-11s %s' "$1" "$2" "$3")")
  printf '%-6s %-11s %s\n' "$1" "$2" "$3"
}

check_entry() {
  [[ "$wanted" == "  " || "$wanted" == *" $id "* ]] || return 0
  if [[ -n "$skip" ]]; then
    report "$id" not-mutated "$skip"
    return 0
  fi
  if [[ -z "$file" || -z "$find" || ${#tests[@]} -eq 0 || $has_replace -eq 0 ]]; then
    report "$id" ERROR "entry incomplete (file, find, replace and test are needed)"
    return 0
  fi
  # Each case is run once on the unchanged code, before its first mutation.
  local line detail unproven=0
  for line in "${tests[@]}"; do [[ -n "${baseline[$line]:-}" ]] || unproven=1; done
  if [[ $unproven -eq 1 ]]; then
    if ! build_programs; then
      report "$id" ERROR "test programs do not build unchanged (see $build/sweep-build.log)"
      return 0
    fi
    detail="$(run_cases)"
    case $? in
      1) report "$id" ERROR "already failing unchanged: $detail"; return 0 ;;
      2) report "$id" ERROR "$detail"; return 0 ;;
    esac
    for line in "${tests[@]}"; do baseline[$line]=1; done
  fi
  cp "$root/$file" "$backup"
  mutated="$file"
  apply "$root/$file" "$find" "$replace"
  case $? in
    0) ;;
    3) restore; report "$id" ERROR "mutation not applicable: text not found in $file"; return 0 ;;
    4) restore; report "$id" ERROR "mutation not applicable: text occurs more than once in $file"; return 0 ;;
    *) restore; report "$id" ERROR "could not apply the mutation"; return 0 ;;
  esac
  if ! build_programs; then
    restore
    report "$id" ERROR "mutated code does not build (see $build/sweep-build.log)"
    return 0
  fi
  detail="$(run_cases)"
  local status=$?
  restore
  case $status in
    1) report "$id" killed "$detail" ;;
    0) report "$id" SURVIVED "${tests[*]}" ;;
    *) report "$id" ERROR "$detail" ;;
  esac
}

reset_entry() { id=""; file=""; find=""; replace=""; has_replace=0; skip=""; tests=(); }

# The list is read from a copy, so that it can be edited during a long run.
snapshot="$build/sweep-list"
cp "$list" "$snapshot" || exit 2
started=$SECONDS
reset_entry
while IFS= read -r line || [[ -n "$line" ]]; do
  case "$line" in
    "#"*) continue ;;
    "") [[ -n "$id" ]] && check_entry; reset_entry; continue ;;
    "id "*) id="${line#id }" ;;
    "file "*) file="${line#file }" ;;
    "find "*) find="${line#find }" ;;
    "replace "*) replace="${line#replace }"; has_replace=1 ;;
    "replace") replace=""; has_replace=1 ;;
    "test "*) tests+=("${line#test }") ;;
    "skip "*) skip="${line#skip }" ;;
    *) echo "unreadable list line: $line" >&2; exit 2 ;;
  esac
done <"$snapshot"
[[ -n "$id" ]] && check_entry

echo
for line in "${results[@]}"; do [[ "$line" == *" killed "* ]] || echo "$line"; done
echo "killed ${count[killed]}, SURVIVED ${count[SURVIVED]}, ERROR ${count[ERROR]}, not-mutated ${count[not-mutated]}" \
  "in $((SECONDS - started)) s"
[[ ${count[SURVIVED]} -eq 0 && ${count[ERROR]} -eq 0 ]]
exit $?
}
