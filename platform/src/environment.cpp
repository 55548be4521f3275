// Environment strings of the local machine: expansion and single variables.
#include <windows.h>

#include <velplat/faults.h>
#include <velplat/world.h>

#include <cstring>
#include <string>

namespace {

velplat::Machine& Local() { return velplat::World::Get().Local(); }

// Windows expansion: "%NAME%" with NAME set becomes its value; otherwise the
// text stays as written and scanning goes on after its closing '%'. A '%'
// without a closing one is copied with the rest of the text.
std::string Expand(std::string_view source, const velplat::Machine& machine) {
  std::string out;
  size_t pos = 0;
  while (pos < source.size()) {
    size_t open = source.find('%', pos);
    if (open == std::string_view::npos) {
      out.append(source.substr(pos));
      break;
    }
    out.append(source.substr(pos, open - pos));
    size_t close = source.find('%', open + 1);
    if (close == std::string_view::npos) {
      out.append(source.substr(open));
      break;
    }
    std::string_view name = source.substr(open + 1, close - open - 1);
    auto value = name.empty() ? std::nullopt : machine.GetEnv(name);
    if (value)
      out.append(*value);
    else
      out.append(source.substr(open, close - open + 1));
    pos = close + 1;
  }
  return out;
}

}  // namespace

DWORD WINAPI ExpandEnvironmentStringsA(LPCSTR lpSrc, LPSTR lpDst, DWORD nSize) {
  if (auto error = velplat::faults::ConsumeCall("ExpandEnvironmentStringsA")) {
    SetLastError(*error);
    return 0;
  }
  if (!lpSrc) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::string result = Expand(lpSrc, Local());
  auto needed = static_cast<DWORD>(result.size() + 1);
  if (lpDst && nSize >= needed) std::memcpy(lpDst, result.c_str(), needed);
  return needed;
}

DWORD WINAPI GetEnvironmentVariableA(LPCSTR lpName, LPSTR lpBuffer, DWORD nSize) {
  if (auto error = velplat::faults::ConsumeCall("GetEnvironmentVariableA")) {
    SetLastError(*error);
    return 0;
  }
  auto value = lpName ? Local().GetEnv(lpName) : std::nullopt;
  if (!value) {
    SetLastError(ERROR_ENVVAR_NOT_FOUND);
    return 0;
  }
  if (!lpBuffer || value->size() >= nSize) return static_cast<DWORD>(value->size() + 1);
  std::memcpy(lpBuffer, value->c_str(), value->size() + 1);
  return static_cast<DWORD>(value->size());
}

BOOL WINAPI SetEnvironmentVariableA(LPCSTR lpName, LPCSTR lpValue) {
  if (auto error = velplat::faults::ConsumeCall("SetEnvironmentVariableA")) {
    SetLastError(*error);
    return FALSE;
  }
  if (!lpName || !*lpName || std::strchr(lpName, '=')) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (lpValue)
    Local().SetEnv(lpName, lpValue);
  else
    Local().UnsetEnv(lpName);
  return TRUE;
}
