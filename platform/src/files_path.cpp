// Parsing of absolute Windows file paths.
#include "files_path.h"

#include <cctype>

namespace velplat::files {

namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

bool IsValidName(std::string_view name) {
  for (char c : name) {
    if (static_cast<unsigned char>(c) < 0x20) return false;
    switch (c) {
      case '<': case '>': case ':': case '"': case '|': case '?': case '*':
        return false;
      default:
        break;
    }
  }
  return true;
}

}  // namespace

WinPath WinPath::Parent() const {
  WinPath parent = *this;
  if (!parent.names.empty()) parent.names.pop_back();
  return parent;
}

std::string WinPath::Text() const {
  std::string text = drive;
  if (names.empty()) return text + "\\";
  for (const auto& name : names) text += "\\" + name;
  return text;
}

DWORD ParsePath(std::string_view text, WinPath& out) {
  if (text.size() < 2 || !std::isalpha(static_cast<unsigned char>(text[0])) || text[1] != ':')
    return ERROR_PATH_NOT_FOUND;
  WinPath path;
  path.drive = {static_cast<char>(std::toupper(static_cast<unsigned char>(text[0]))), ':'};
  std::string_view rest = text.substr(2);
  // "C:name" is relative to the drive's current directory, which a simulated
  // process does not have.
  if (!rest.empty() && !IsSeparator(rest.front())) return ERROR_PATH_NOT_FOUND;
  while (!rest.empty()) {
    while (!rest.empty() && IsSeparator(rest.front())) rest.remove_prefix(1);
    size_t end = 0;
    while (end < rest.size() && !IsSeparator(rest[end])) ++end;
    std::string_view name = rest.substr(0, end);
    rest.remove_prefix(end);
    if (name.empty() || name == ".") continue;
    if (name == "..") {
      if (!path.names.empty()) path.names.pop_back();
      continue;
    }
    if (!IsValidName(name)) return ERROR_INVALID_NAME;
    path.names.emplace_back(name);
  }
  out = std::move(path);
  return ERROR_SUCCESS;
}

}  // namespace velplat::files
