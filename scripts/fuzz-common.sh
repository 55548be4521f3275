# shellcheck shell=bash
# Shared by the fuzzing scripts (source it, do not run it): the list of fuzz
# targets, the fuzz preset's build, and the edge count of a corpus. Expects
# to be sourced from the repository root.

# Every fuzz target: one per fuzz/<name>_fuzzer.cpp, in name order.
fuzz_targets() {
  local source
  for source in fuzz/*_fuzzer.cpp; do
    source=${source#fuzz/}
    echo "${source%_fuzzer.cpp}"
  done
}

# Configures and builds the fuzz preset; FUZZ_BUILD_JOBS bounds the build.
fuzz_build() {
  if ! command -v clang++ >/dev/null; then
    echo "clang++ is missing (Debian: apt-get install clang libclang-rt-14-dev)" >&2
    return 2
  fi
  cmake --preset fuzz
  cmake --build --preset fuzz -j "${FUZZ_BUILD_JOBS:-$(nproc)}"
}

fuzz_binary() { echo "build/fuzz/fuzz/$1_fuzzer"; }

# The fuzz options every run shares: the target's dictionary when it has one
# (fuzz/<name>_fuzzer.dict), and the limits CI uses.
fuzz_options() {
  local dict="fuzz/$1_fuzzer.dict"
  echo "-rss_limit_mb=2048 -timeout=10"
  if [ -f "$dict" ]; then echo "-dict=$dict"; fi
}

# Prints the edges the inputs of the given directories cover together (the
# "cov:" figure libFuzzer reports once it has run them all), or "?" when the
# run failed. Writes nothing into the directories.
fuzz_edges() {
  local target=$1
  shift
  local scratch log edges
  scratch=$(mktemp -d /tmp/velmon-fuzz-edges.XXXXXX)
  log="$scratch/log"
  # -runs=0 only runs the given inputs; the empty first directory takes
  # anything libFuzzer would write.
  "$(fuzz_binary "$target")" -runs=0 -rss_limit_mb=2048 -timeout=10 "$scratch" "$@" >"$log" 2>&1 || true
  edges=$(sed -n 's/.*\(INITED\|DONE\) .*cov: \([0-9]*\).*/\2/p' "$log" | tail -1)
  rm -rf "$scratch"
  echo "${edges:-?}"
}
