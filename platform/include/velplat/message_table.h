/*
 * Message tables of modules on Linux. On Windows a module's message table is
 * a resource compiled from its .mc file; here mcgen compiles the same .mc file
 * into a C++ table that calls VelRegisterMessageTable() when the module is
 * loaded (see cmake/MessageTable.cmake). The event log formatter finds a
 * source's texts through the module file name registered in the registry.
 *
 * Registration copies the entries, so the texts stay available after the
 * module is unloaded, as a message file on disk stays readable on Windows.
 * Registering a module again replaces its table. Module names compare
 * case-insensitively; a path is reduced to its last component.
 *
 * Thread-safety: all functions may be called from any thread.
 */
#ifndef VELPLAT_MESSAGE_TABLE_H
#define VELPLAT_MESSAGE_TABLE_H

#include <winapi/types.h>

typedef struct VelMessageEntry {
  DWORD id;          /* message identifier: severity, customer bit, facility, code */
  WORD language;     /* language identifier, e.g. 0x0409 */
  const WCHAR* text; /* UTF-16, zero-terminated; lines end in CR LF */
} VelMessageEntry;

VELPLAT_API void VelRegisterMessageTable(const char* moduleFileName, const VelMessageEntry* entries, size_t count);

#ifdef __cplusplus
#include <optional>
#include <string>
#include <string_view>

namespace velplat::messages {

// The text of message `id` in the table of `module`: in `language` when the
// table has it, else in the first language registered for that message.
// Language 0 (neutral) takes the first registered. Null when the module has
// no table or the table has no such message.
std::optional<std::u16string> Find(std::string_view module, DWORD id, WORD language = 0);

// True when `module` has registered a table.
bool HasTable(std::string_view module);

}  // namespace velplat::messages
#endif

#endif
