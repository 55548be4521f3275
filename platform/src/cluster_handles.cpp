#include "cluster_handles.h"

#include <cstdint>
#include <map>

namespace velplat::cluster::detail {
namespace {

struct Table {
  std::uintptr_t next = 0x7C100000;  // apart from the values of other handle tables
  std::map<std::uintptr_t, HandleObject> objects;
};

Table& Handles() {
  static Table* table = new Table();  // used by threads that outlive main
  return *table;
}

}  // namespace

void* InsertHandle(HandleObject object) {
  Table& table = Handles();
  std::uintptr_t value = table.next;
  table.next += 4;
  table.objects.emplace(value, std::move(object));
  return reinterpret_cast<void*>(value);
}

HandleObject* FindHandle(const void* handle, Kind kind) {
  auto& objects = Handles().objects;
  auto it = objects.find(reinterpret_cast<std::uintptr_t>(handle));
  if (it == objects.end() || it->second.kind != kind) return nullptr;
  return &it->second;
}

bool RemoveHandle(const void* handle, Kind kind) {
  if (!FindHandle(handle, kind)) return false;
  Handles().objects.erase(reinterpret_cast<std::uintptr_t>(handle));
  return true;
}

std::size_t HandleCount() { return Handles().objects.size(); }

}  // namespace velplat::cluster::detail
