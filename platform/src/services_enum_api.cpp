// EnumDependentServicesA: the dependents in stop order, packed into the
// caller's buffer as an array of records followed by their strings.
#include "services_api_common.h"

#include <velplat/clock.h>
#include <velplat/faults.h>

#include <cstring>

namespace {

using namespace velplat::services::detail;

struct Entry {
  std::string name;
  std::string displayName;
  SERVICE_STATUS status;
};

bool Matches(DWORD filter, DWORD state) {
  bool active = state != SERVICE_STOPPED;
  return active ? (filter & SERVICE_ACTIVE) != 0 : (filter & SERVICE_INACTIVE) != 0;
}

char* CopyString(char*& cursor, const std::string& text) {
  char* start = cursor;
  std::memcpy(cursor, text.c_str(), text.size() + 1);
  cursor += text.size() + 1;
  return start;
}

}  // namespace

BOOL WINAPI EnumDependentServicesA(SC_HANDLE hService, DWORD dwServiceState, LPENUM_SERVICE_STATUSA lpServices,
                                   DWORD cbBufSize, LPDWORD pcbBytesNeeded, LPDWORD lpServicesReturned) {
  if (auto error = velplat::faults::ConsumeCall("EnumDependentServicesA")) return Fail(*error);
  Target target;
  if (DWORD error = ResolveHandle(hService, HandleKind::Service, SERVICE_ENUMERATE_DEPENDENTS, &target))
    return Fail(error);
  if (dwServiceState == 0 || (dwServiceState & ~SERVICE_STATE_ALL) != 0 || !pcbBytesNeeded || !lpServicesReturned)
    return Fail(ERROR_INVALID_PARAMETER);

  std::vector<Entry> entries;
  {
    ServiceDb& db = Database(*target.machine);
    std::lock_guard lock(db.mutex);
    auto now = velplat::clock::NowMs();
    Settle(db, now, target.object->service.get());
    for (const ServicePtr& dependent : DependentsOf(db, *target.object->service)) {
      if (!Matches(dwServiceState, dependent->state)) continue;
      const auto& config = dependent->config;
      entries.push_back({config.name, config.displayName.empty() ? config.name : config.displayName,
                         StatusOf(*dependent, now)});
    }
  }

  size_t needed = entries.size() * sizeof(ENUM_SERVICE_STATUSA);
  for (const Entry& entry : entries) needed += entry.name.size() + entry.displayName.size() + 2;
  *lpServicesReturned = 0;
  if (!lpServices ? needed > 0 : needed > cbBufSize) {
    *pcbBytesNeeded = static_cast<DWORD>(needed);
    return Fail(ERROR_MORE_DATA);
  }
  *pcbBytesNeeded = 0;
  if (entries.empty()) return TRUE;
  char* cursor = reinterpret_cast<char*>(lpServices + entries.size());
  for (size_t i = 0; i < entries.size(); ++i) {
    lpServices[i].lpServiceName = CopyString(cursor, entries[i].name);
    lpServices[i].lpDisplayName = CopyString(cursor, entries[i].displayName);
    lpServices[i].ServiceStatus = entries[i].status;
  }
  *lpServicesReturned = static_cast<DWORD>(entries.size());
  return TRUE;
}
