# Sourced by the perf-*.sh scripts: builds the Release tools they run and
# finds them.
#
# perf_tools ROOT BUILD_DIR SKIP_BUILD
#   Unless SKIP_BUILD is 1, builds velmond, the agent and velmon-snmp-probe:
#   through the bench preset when BUILD_DIR is ROOT/build/bench, otherwise in
#   BUILD_DIR, configured once as a Release build with the benchmarks. Then
#   sets `velmond` and `probe` to the programs, or calls the caller's `die`
#   when one is missing.
perf_tools() {
  local root=$1 build_dir=$2 skip=$3
  local targets=(velmond velmon velmon-snmp-probe)
  if [ "$skip" != 1 ]; then
    if [ "$build_dir" = "$root/build/bench" ]; then
      (cd "$root" && cmake --preset bench >/dev/null && cmake --build --preset bench -j2 --target "${targets[@]}")
    else
      if [ ! -f "$build_dir/CMakeCache.txt" ]; then
        cmake -S "$root" -B "$build_dir" -DCMAKE_BUILD_TYPE=Release -DVELMON_BENCH=ON -DVELMON_TESTS=OFF >/dev/null
      fi
      cmake --build "$build_dir" -j2 --target "${targets[@]}"
    fi
  fi
  velmond=$build_dir/host/velmond
  probe=$build_dir/bench/e2e/velmon-snmp-probe
  [ -x "$velmond" ] || die "no velmond in $build_dir"
  [ -x "$probe" ] || die "no velmon-snmp-probe in $build_dir"
}
