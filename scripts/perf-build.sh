# Sourced by the perf-*.sh scripts: builds the Release tools they run.
#
# perf_build ROOT BUILD_DIR TARGET...
#   With BUILD_DIR being ROOT/build/bench, builds through the bench preset;
#   any other directory is configured as a Release build with the benchmarks
#   (once) and built there. Only the named targets are built.
perf_build() {
  local root=$1 build_dir=$2
  shift 2
  if [ "$build_dir" = "$root/build/bench" ]; then
    (cd "$root" && cmake --preset bench >/dev/null && cmake --build --preset bench -j2 --target "$@")
    return
  fi
  if [ ! -f "$build_dir/CMakeCache.txt" ]; then
    cmake -S "$root" -B "$build_dir" -DCMAKE_BUILD_TYPE=Release -DVELMON_BENCH=ON -DVELMON_TESTS=OFF >/dev/null
  fi
  cmake --build "$build_dir" -j2 --target "$@"
}
