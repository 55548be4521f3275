// The process's installation sessions behind MsiGetPropertyA and
// velplat/installer.h: properties and the journal of queries per handle.
// Thread-safety: Sessions() is guarded by its mutex.
#ifndef VELPLAT_SRC_INSTALLER_SESSIONS_H
#define VELPLAT_SRC_INSTALLER_SESSIONS_H

#include <velplat/installer.h>

#include <map>
#include <mutex>

namespace velplat::installer::detail {

struct SessionRecord {
  std::map<std::string, std::string, std::less<>> properties;  // case-sensitive names
  std::vector<PropertyQuery> queries;
};

struct SessionTable {
  std::mutex mutex;
  std::map<MSIHANDLE, SessionRecord> sessions;
  MSIHANDLE nextHandle = 1;
};

SessionTable& Sessions();

}  // namespace velplat::installer::detail

#endif
