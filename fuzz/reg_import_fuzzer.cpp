// Fuzzes the .reg importer with arbitrary text. Beyond "no crash":
//  - a refused text changes nothing (the import is all or nothing);
//  - an accepted text leaves a registry that both export formats carry
//    exactly: exporting every hive and importing the exports on an emptied
//    machine gives the same keys, values, types, bytes and order.
#include <velplat/registry.h>
#include <velplat/world.h>

#include <cstdint>
#include <string>
#include <tuple>
#include <vector>

namespace {

namespace reg = velplat::registry;

constexpr const char* kHives[] = {"HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER", "HKEY_LOCAL_MACHINE", "HKEY_USERS"};

// Every key under every hive, depth first in enumeration order, with its
// values in creation order.
using Snapshot = std::vector<std::tuple<std::string, std::string, DWORD, std::vector<BYTE>>>;

void Collect(const std::string& path, velplat::Machine* machine, Snapshot& out) {
  out.emplace_back(path, "", REG_NONE + 0xFFFF, std::vector<BYTE>{});  // the key itself
  for (const std::string& name : reg::ValueNames(path, machine)) {
    auto value = reg::GetValue(path, name, machine);
    if (!value) __builtin_trap();  // a listed value must be readable
    out.emplace_back(path, name, value->type, value->data);
  }
  for (const std::string& sub : reg::SubkeyNames(path, machine)) Collect(path + "\\" + sub, machine, out);
}

Snapshot Take(velplat::Machine* machine) {
  Snapshot snapshot;
  for (const char* hive : kHives) Collect(hive, machine, snapshot);
  return snapshot;
}

// Removes every key and value of the machine's registry.
void Clear(velplat::Machine* machine) {
  for (const char* hive : kHives) {
    for (const std::string& sub : reg::SubkeyNames(hive, machine))
      reg::DeleteKeyTree(std::string(hive) + "\\" + sub, machine);
    for (const std::string& name : reg::ValueNames(hive, machine)) reg::DeleteValue(hive, name, machine);
  }
}

// A small registry for the input to edit and delete from.
void Seed(velplat::Machine* machine) {
  reg::SetString("HKLM\\SOFTWARE\\Oracle\\osd9i\\CM", "HostName", "node1", machine);
  reg::SetMultiString("HKLM\\SOFTWARE\\Oracle\\osd9i\\CM", "PublicNodeNames", {"node1", "node2"}, machine);
  reg::SetDword("HKLM\\SYSTEM\\CurrentControlSet\\Services\\SNMP", "Start", 2, machine);
  reg::SetBinary("HKU\\.DEFAULT\\Blob", "", {0, 1, 2}, machine);
}

void ExpectRoundTrip(const Snapshot& expected, velplat::Machine* source, velplat::Machine* copy,
                     reg::RegFormat format) {
  Clear(copy);
  for (const char* hive : kHives) {
    auto text = reg::ExportRegText(hive, format, source);
    if (!text) __builtin_trap();  // a hive always exists
    auto result = reg::ImportRegText(*text, copy);
    if (!result) __builtin_trap();  // the importer refused the exporter's own text
  }
  if (Take(copy) != expected) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static velplat::Machine* const target = &velplat::World::Get().Add("FUZZREG");
  static velplat::Machine* const copy = &velplat::World::Get().Add("FUZZCOPY");
  Clear(target);
  Seed(target);
  Snapshot before = Take(target);

  std::string_view text(reinterpret_cast<const char*>(data), size);
  reg::ImportResult result = reg::ImportRegText(text, target);
  Snapshot after = Take(target);
  if (!result) {
    if (after != before) __builtin_trap();
    if (result.line == 0 || result.message.rfind("line ", 0) != 0) __builtin_trap();
    return 0;
  }
  ExpectRoundTrip(after, target, copy, reg::RegFormat::Version5);
  ExpectRoundTrip(after, target, copy, reg::RegFormat::Regedit4);
  return 0;
}
