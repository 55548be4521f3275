// RegisterEventSourceA, ReportEventA, DeregisterEventSource: handle and
// argument checks around the per-machine System log.
#include <winapi/errors.h>
#include <winapi/eventlog.h>
#include <winapi/kernel.h>

#include <velplat/eventlog.h>
#include <velplat/faults.h>
#include <velplat/world.h>

#include <map>
#include <memory>
#include <mutex>

#include "eventlog_store.h"

namespace {

// An open event source. The handle is the address of this object, so a
// handle is unique while the source is open.
struct Source {
  std::string machine;  // the machine's name: resolved again on each report
  std::string name;
};

struct Sources {
  std::mutex mutex;
  std::map<HANDLE, std::unique_ptr<Source>> open;
};

Sources& OpenSources() {
  static Sources* sources = new Sources();  // used by threads that outlive main
  return *sources;
}

std::optional<Source> Lookup(HANDLE handle) {
  Sources& sources = OpenSources();
  std::lock_guard lock(sources.mutex);
  auto it = sources.open.find(handle);
  if (it == sources.open.end()) return std::nullopt;
  return *it->second;
}

BOOL Fail(DWORD error) {
  SetLastError(error);
  return FALSE;
}

}  // namespace

std::size_t velplat::eventlog::OpenSourceCount() {
  Sources& sources = OpenSources();
  std::lock_guard lock(sources.mutex);
  return sources.open.size();
}

HANDLE WINAPI RegisterEventSourceA(LPCSTR lpUNCServerName, LPCSTR lpSourceName) {
  if (auto error = velplat::faults::ConsumeCall("RegisterEventSourceA")) {
    SetLastError(*error);
    return nullptr;
  }
  if (!lpSourceName) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  velplat::Machine* machine = velplat::World::Get().Find(lpUNCServerName ? lpUNCServerName : "");
  if (!machine) {
    SetLastError(RPC_S_SERVER_UNAVAILABLE);
    return nullptr;
  }
  auto source = std::make_unique<Source>(Source{machine->Name(), lpSourceName});
  HANDLE handle = source.get();
  Sources& sources = OpenSources();
  std::lock_guard lock(sources.mutex);
  sources.open.emplace(handle, std::move(source));
  return handle;
}

BOOL WINAPI DeregisterEventSource(HANDLE hEventLog) {
  if (auto error = velplat::faults::ConsumeCall("DeregisterEventSource")) return Fail(*error);
  Sources& sources = OpenSources();
  std::lock_guard lock(sources.mutex);
  if (sources.open.erase(hEventLog) == 0) return Fail(ERROR_INVALID_HANDLE);
  return TRUE;
}

BOOL WINAPI ReportEventA(HANDLE hEventLog, WORD wType, WORD wCategory, DWORD dwEventID, PSID /*lpUserSid*/,
                         WORD wNumStrings, DWORD dwDataSize, LPCSTR* lpStrings, LPVOID lpRawData) {
  if (auto error = velplat::faults::ConsumeCall("ReportEventA")) return Fail(*error);
  const std::optional<Source> source = Lookup(hEventLog);
  if (!source) return Fail(ERROR_INVALID_HANDLE);
  if ((wNumStrings > 0 && !lpStrings) || (dwDataSize > 0 && !lpRawData)) return Fail(ERROR_INVALID_PARAMETER);
  velplat::Machine* machine = velplat::World::Get().Find(source->machine);
  if (!machine) return Fail(ERROR_INVALID_HANDLE);  // the world was rebuilt since the source was opened

  velplat::eventlog::Entry entry;
  entry.source = source->name;
  entry.type = wType;
  entry.category = wCategory;
  entry.eventId = dwEventID;
  for (WORD i = 0; i < wNumStrings; ++i) entry.strings.emplace_back(lpStrings[i] ? lpStrings[i] : "");
  const auto* data = static_cast<const BYTE*>(lpRawData);
  if (dwDataSize > 0) entry.data.assign(data, data + dwDataSize);
  entry.time = std::chrono::system_clock::now();
  velplat::eventlog::detail::Append(*machine, std::move(entry));
  return TRUE;
}
