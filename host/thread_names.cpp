// Thread names from the symbol tables of loaded libraries.
#include "host/thread_names.h"

#include <cxxabi.h>
#include <dlfcn.h>
#include <elf.h>
#include <fcntl.h>
#include <link.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <velplat/threads.h>

#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>

namespace velmond {
namespace {

// Function symbols of one library file: offset from its load base -> name.
using Functions = std::map<std::uintptr_t, std::string>;

Functions ReadFunctions(const char* file) {
  Functions functions;
  int fd = ::open(file, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return functions;
  struct stat info {};
  void* map = ::fstat(fd, &info) == 0 && info.st_size > 0
                  ? ::mmap(nullptr, static_cast<size_t>(info.st_size), PROT_READ, MAP_PRIVATE, fd, 0)
                  : MAP_FAILED;
  ::close(fd);
  if (map == MAP_FAILED) return functions;
  const auto* bytes = static_cast<const unsigned char*>(map);
  const auto size = static_cast<size_t>(info.st_size);
  const auto* header = reinterpret_cast<const ElfW(Ehdr)*>(bytes);
  if (size >= sizeof *header && std::memcmp(header->e_ident, ELFMAG, SELFMAG) == 0 &&
      header->e_shoff + header->e_shnum * sizeof(ElfW(Shdr)) <= size) {
    const auto* sections = reinterpret_cast<const ElfW(Shdr)*>(bytes + header->e_shoff);
    for (unsigned i = 0; i < header->e_shnum; ++i) {
      const ElfW(Shdr)& table = sections[i];
      if (table.sh_type != SHT_SYMTAB || table.sh_link >= header->e_shnum) continue;
      const ElfW(Shdr)& strings = sections[table.sh_link];
      if (table.sh_offset + table.sh_size > size || strings.sh_offset + strings.sh_size > size) continue;
      const auto* symbols = reinterpret_cast<const ElfW(Sym)*>(bytes + table.sh_offset);
      for (size_t s = 0; s < table.sh_size / sizeof(ElfW(Sym)); ++s) {
        if (ELF64_ST_TYPE(symbols[s].st_info) != STT_FUNC || symbols[s].st_name >= strings.sh_size) continue;
        const char* name = reinterpret_cast<const char*>(bytes + strings.sh_offset + symbols[s].st_name);
        if (::strnlen(name, strings.sh_size - symbols[s].st_name) == strings.sh_size - symbols[s].st_name) continue;
        functions.emplace(symbols[s].st_value, name);
      }
    }
  }
  ::munmap(map, size);
  return functions;
}

// "velmon::MainTrapThread(void*)" -> "MainTrapThread".
std::string ShortName(const std::string& symbol) {
  int status = 0;
  char* demangled = abi::__cxa_demangle(symbol.c_str(), nullptr, nullptr, &status);
  std::string name = status == 0 && demangled ? demangled : symbol;
  std::free(demangled);
  name = name.substr(0, name.find('('));
  size_t scope = name.rfind("::");
  return scope == std::string::npos ? name : name.substr(scope + 2);
}

}  // namespace

std::string RoutineName(const void* address) {
  Dl_info info{};
  if (!address || ::dladdr(address, &info) == 0 || !info.dli_fname) return {};
  if (info.dli_sname && info.dli_saddr == address) return ShortName(info.dli_sname);
  static std::mutex mutex;
  static auto* libraries = new std::map<std::string, Functions>();  // used by threads that outlive main
  std::lock_guard lock(mutex);
  auto [entry, added] = libraries->try_emplace(info.dli_fname);
  if (added) entry->second = ReadFunctions(info.dli_fname);
  auto offset = reinterpret_cast<std::uintptr_t>(address) - reinterpret_cast<std::uintptr_t>(info.dli_fbase);
  auto found = entry->second.find(offset);
  return found == entry->second.end() ? std::string() : ShortName(found->second);
}

void NameAgentThreads() {
  velplat::threads::OnThreadStart([](velplat::threads::ThreadStart& start) {
    const void* routine = start.win32 ? reinterpret_cast<const void*>(start.win32)
                                      : reinterpret_cast<const void*>(start.runtime);
    start.name = RoutineName(routine);
  });
}

}  // namespace velmond
