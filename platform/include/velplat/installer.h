// C++ control of installation sessions, for tests and tools: open a session
// with the installer properties an installation would have, hand its handle
// to a custom action, and see which property queries the action made.
//
// Handles are process-wide, counted up from 1 and never reused, so a closed
// or made-up handle is refused by MsiGetPropertyA. Setting a property to the
// empty string removes it, as the installer engine does.
//
// Thread-safety: every function may be called from any thread.
#ifndef VELPLAT_INSTALLER_H
#define VELPLAT_INSTALLER_H

#include <msiquery.h>

#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velplat::installer {

using Properties = std::map<std::string, std::string>;

MSIHANDLE OpenSession(const Properties& properties = {});
// False when the handle is not open.
bool SetProperty(MSIHANDLE session, std::string_view name, std::string value);
// nullopt when the handle is not open or the property is not set.
std::optional<std::string> GetProperty(MSIHANDLE session, std::string_view name);
bool CloseSession(MSIHANDLE session);
std::size_t OpenSessionCount();

// One MsiGetPropertyA call on a session, as the action made it.
struct PropertyQuery {
  std::string name{};
  DWORD bufferChars = 0;    // *pcchValueBuf on entry (0 without a buffer)
  bool hadBuffer = false;
  UINT result = 0;
  DWORD reportedChars = 0;  // *pcchValueBuf on return
};
// Oldest first; empty for a handle that is not open.
std::vector<PropertyQuery> Queries(MSIHANDLE session);

// Closes the session when it goes out of scope.
class Session {
 public:
  explicit Session(const Properties& properties = {}) : handle_(OpenSession(properties)) {}
  ~Session() { CloseSession(handle_); }
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;
  MSIHANDLE handle() const { return handle_; }

 private:
  MSIHANDLE handle_;
};

}  // namespace velplat::installer

#endif
