// A scratch folder for a fuzz target's files, made once per process and
// removed when the process exits: libFuzzer's fork mode starts a process per
// job, and none may leave a folder behind. Files in it are written whole.
//
// Thread-safety: call from LLVMFuzzerInitialize, before any input runs.
#ifndef VELMON_FUZZ_SCRATCH_DIR_H
#define VELMON_FUZZ_SCRATCH_DIR_H

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

namespace velmon::fuzz {

// Makes /tmp/velmon-<name>-fuzz-XXXXXX; aborts when it cannot.
inline std::string MakeScratchDir(const std::string& name) {
  static std::string made;
  std::string pattern = "/tmp/velmon-" + name + "-fuzz-XXXXXX";
  if (!mkdtemp(pattern.data())) std::abort();
  made = pattern;
  std::atexit([] {
    std::error_code ignored;
    std::filesystem::remove_all(made, ignored);
  });
  return made;
}

inline void WriteFile(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out << bytes;
}

}  // namespace velmon::fuzz

#endif
