// Fuzzes velmond's world-file loader with arbitrary text. A text that loads
// is then applied to a fresh platform world, and applying the same world a
// second time must find nothing to change: the applier's difference of a
// world with itself is empty.
//
// .reg files named by the text are read from a scratch directory holding two
// seed files; texts naming anything but a plain file name there are skipped,
// so that no input reads arbitrary files of this machine.
#include "fuzz/scratch_dir.h"
#include "host/world/world_apply.h"
#include "host/world/world_parse.h"

#include <toml++/toml.h>
#include <velplat/world.h>

#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

std::string& RegDir() {
  static std::string dir;
  return dir;
}

bool PlainRegFileName(std::string_view name) {
  if (name.size() < 5 || name.size() > 64 || name.substr(name.size() - 4) != ".reg") return false;
  for (char c : name)
    if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-' || c == '.')) return false;
  return name.find("..") == std::string_view::npos && name.front() != '.';
}

// False when some machine names a .reg file that is not a plain name.
bool RegFilesAreLocal(std::string_view text) {
  toml::table root;
  try {
    root = toml::parse(text, std::string("fuzz.toml"));
  } catch (const toml::parse_error&) {
    return true;  // the loader refuses it before reading any file
  }
  const toml::table* machines = root["machine"].as_table();
  if (!machines) return true;
  for (const auto& [name, machine] : *machines) {
    const toml::table* table = machine.as_table();
    const toml::node* files = table ? table->get("reg_files") : nullptr;
    if (!files) continue;
    if (const auto* one = files->as_string()) {
      if (!PlainRegFileName(one->get())) return false;
    } else if (const toml::array* many = files->as_array()) {
      for (const toml::node& item : *many)
        if (const auto* s = item.as_string(); s && !PlainRegFileName(s->get())) return false;
    }
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  RegDir() = velmon::fuzz::MakeScratchDir("world");
  std::filesystem::path dir = RegDir();
  velmon::fuzz::WriteFile(dir / "cm.reg",
        "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Oracle\\osd9i\\CM]\r\n\"HostName\"=\"rac1\"\r\n"
        "\"PublicNodeNames\"=hex(7):72,61,63,31,00,72,61,63,32,00,00\r\n");
  // Version 5 as regedit writes it: UTF-16LE with a byte-order mark.
  std::string v5 = "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\X]\r\n\"N\"=dword:00000007\r\n";
  std::string wide = "\xFF\xFE";
  for (char c : v5) {
    wide += c;
    wide += '\0';
  }
  velmon::fuzz::WriteFile(dir / "wide.reg", wide);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  if (!RegFilesAreLocal(text)) return 0;
  velmond::ParsedWorld parsed = velmond::ParseWorldText(text, "fuzz.toml", RegDir());
  if (!parsed.world) {
    if (parsed.error.empty()) __builtin_trap();  // a refusal always says why
    return 0;
  }
  const velmond::WorldModel& world = *parsed.world;
  if (!world.machines.count(world.local)) __builtin_trap();  // the local machine is one of the machines

  velplat::World::Get().Reset();
  velmond::PrepareLocalMachine(world);
  velmond::ApplyWorld(nullptr, world);
  velmond::ApplyReport again = velmond::ApplyWorld(&world, world);
  if (again.changes != 0) __builtin_trap();
  return 0;
}
