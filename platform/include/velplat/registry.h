// C++ control of the simulated registry, for tests and the host daemon: direct
// edits of any machine's keys and values, a few reads, and import and export
// of .reg text. Edits made here notify waiting registrations exactly like the
// Win32 calls.
//
// A path names a key with its hive first: "HKEY_LOCAL_MACHINE\SOFTWARE\X" or
// "HKLM\SOFTWARE\X" (also HKEY_USERS/HKU, HKEY_CURRENT_USER/HKCU,
// HKEY_CLASSES_ROOT/HKCR); a path without a hive name lies below
// HKEY_LOCAL_MACHINE. A null `machine` means the world's local machine.
// Results are Win32 error codes (ERROR_SUCCESS, ERROR_FILE_NOT_FOUND, ...).
//
// Thread-safety: every function may be called from any thread.
#ifndef VELPLAT_REGISTRY_H
#define VELPLAT_REGISTRY_H

#include <windows.h>

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velplat {
class Machine;
}

namespace velplat::registry {

struct Value {
  DWORD type = REG_NONE;
  std::vector<BYTE> data;
};

// Creates the key and any missing keys above it.
LONG CreateKey(std::string_view path, Machine* machine = nullptr);
// Deletes the key with all its subkeys; a hive root cannot be deleted.
LONG DeleteKeyTree(std::string_view path, Machine* machine = nullptr);

// Each setter creates the key when it is missing. An empty name is the key's
// default value. The string setters store the text with its terminating zero;
// SetMultiString stores each item with its zero and one more zero at the end.
LONG SetValue(std::string_view keyPath, std::string_view name, DWORD type, std::vector<BYTE> data,
              Machine* machine = nullptr);
LONG SetString(std::string_view keyPath, std::string_view name, std::string_view text, Machine* machine = nullptr);
LONG SetExpandString(std::string_view keyPath, std::string_view name, std::string_view text,
                     Machine* machine = nullptr);
LONG SetMultiString(std::string_view keyPath, std::string_view name, const std::vector<std::string>& items,
                    Machine* machine = nullptr);
LONG SetDword(std::string_view keyPath, std::string_view name, DWORD value, Machine* machine = nullptr);
LONG SetBinary(std::string_view keyPath, std::string_view name, std::vector<BYTE> bytes, Machine* machine = nullptr);
LONG DeleteValue(std::string_view keyPath, std::string_view name, Machine* machine = nullptr);

bool KeyExists(std::string_view path, Machine* machine = nullptr);
std::optional<Value> GetValue(std::string_view keyPath, std::string_view name, Machine* machine = nullptr);
// Subkey names in enumeration order; empty when the key is missing.
std::vector<std::string> SubkeyNames(std::string_view path, Machine* machine = nullptr);
// Value names in creation order; empty when the key is missing.
std::vector<std::string> ValueNames(std::string_view path, Machine* machine = nullptr);

// Change registrations pending directly on the key at `path` (0 when it is
// missing), so that a test knows a watcher is in place before it changes
// anything. The wait blocks in real time until at least `count` are pending
// or `timeout` has passed, and tells whether they are.
size_t PendingNotifications(std::string_view path, Machine* machine = nullptr);
bool WaitForPendingNotifications(std::string_view path, size_t count, std::chrono::milliseconds timeout,
                                 Machine* machine = nullptr);

// Registry calls so far (all machines, the whole process) that were given
// a key handle after it had been closed: on Windows such a value may
// already stand for another key opened meanwhile.
size_t StaleHandleUses();

// .reg text. "REGEDIT4" files carry string data of hex(1)/hex(2)/hex(7) as
// single bytes; "Windows Registry Editor Version 5.00" files as UTF-16LE,
// which is converted to and from the registry's single-byte form.
enum class RegFormat { Regedit4, Version5 };

struct ImportResult {
  bool ok = true;
  unsigned line = 0;     // the line of the first error
  std::string message;   // "line 12: ..." when not ok
  explicit operator bool() const { return ok; }
};

// Applies the whole text, or nothing of it when any line is malformed.
ImportResult ImportRegText(std::string_view text, Machine* machine = nullptr);

// The key at `path` and everything below it, subkeys in enumeration order and
// values in creation order; nullopt when the key is missing.
std::optional<std::string> ExportRegText(std::string_view path, RegFormat format = RegFormat::Version5,
                                         Machine* machine = nullptr);

}  // namespace velplat::registry

#endif
