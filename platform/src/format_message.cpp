// FormatMessageA: argument translation around the message formatter.
#include <winapi/errors.h>
#include <winapi/kernel.h>
#include <winapi/message.h>

#include <velplat/faults.h>

#include <cstring>
#include <vector>

#include "message_format.h"
#include "message_system_table.h"

namespace {

using velplat::messages::InsertArguments;

// FORMAT_MESSAGE_ARGUMENT_ARRAY: the caller's array; its length is the
// caller's responsibility, as on Windows.
class ArrayArguments : public InsertArguments {
 public:
  explicit ArrayArguments(const DWORD_PTR* array) : array_(array) {}
  std::optional<DWORD_PTR> Get(unsigned number) override { return array_[number - 1]; }

 private:
  const DWORD_PTR* array_;
};

// A va_list: read in order up to the highest insert used, one machine word
// per argument; what is read is consumed from the caller's list.
class ListArguments : public InsertArguments {
 public:
  explicit ListArguments(va_list* list) : list_(list) {}
  std::optional<DWORD_PTR> Get(unsigned number) override {
    while (read_.size() < number) read_.push_back(va_arg(*list_, DWORD_PTR));
    return read_[number - 1];
  }

 private:
  va_list* list_;
  std::vector<DWORD_PTR> read_;
};

bool SystemLanguage(DWORD language) {
  const DWORD primary = PRIMARYLANGID(language);
  return language <= 0xFFFF && (primary == LANG_NEUTRAL || primary == LANG_ENGLISH);
}

DWORD Fail(DWORD error) {
  SetLastError(error);
  return 0;
}

}  // namespace

DWORD WINAPI FormatMessageA(DWORD dwFlags, LPCVOID lpSource, DWORD dwMessageId, DWORD dwLanguageId, LPSTR lpBuffer,
                            DWORD nSize, va_list* Arguments) {
  const bool allocate = (dwFlags & FORMAT_MESSAGE_ALLOCATE_BUFFER) != 0;
  if (allocate) {
    if (!lpBuffer) return Fail(ERROR_NOT_ENOUGH_MEMORY);
    *reinterpret_cast<LPSTR*>(lpBuffer) = nullptr;
  }
  if (auto error = velplat::faults::ConsumeCall("FormatMessageA")) return Fail(*error);

  std::string_view source;
  if (dwFlags & FORMAT_MESSAGE_FROM_STRING) {
    if (!lpSource) return Fail(ERROR_INVALID_PARAMETER);
    source = static_cast<const char*>(lpSource);
  } else if (dwFlags & FORMAT_MESSAGE_FROM_SYSTEM) {
    if (!SystemLanguage(dwLanguageId)) return Fail(ERROR_RESOURCE_LANG_NOT_FOUND);
    const auto text = velplat::messages::SystemText(dwMessageId);
    if (!text) return Fail(ERROR_MR_MID_NOT_FOUND);
    source = *text;
  } else if (dwFlags & FORMAT_MESSAGE_FROM_HMODULE) {
    return Fail(ERROR_NOT_SUPPORTED);
  } else {
    return Fail(ERROR_INVALID_PARAMETER);
  }

  velplat::messages::FormatOptions options;
  options.inserts = (dwFlags & FORMAT_MESSAGE_IGNORE_INSERTS) ? velplat::messages::Inserts::Keep
                                                              : velplat::messages::Inserts::Expand;
  options.maxWidth = dwFlags & FORMAT_MESSAGE_MAX_WIDTH_MASK;
  ArrayArguments array(reinterpret_cast<const DWORD_PTR*>(Arguments));
  ListArguments list(Arguments);
  InsertArguments* arguments = nullptr;
  if (Arguments) arguments = (dwFlags & FORMAT_MESSAGE_ARGUMENT_ARRAY) ? static_cast<InsertArguments*>(&array) : &list;

  const velplat::messages::Formatted result = velplat::messages::FormatText(source, options, arguments);
  if (result.error != 0) return Fail(result.error);
  if (result.text.empty()) return Fail(ERROR_NO_WORK_DONE);
  const DWORD length = static_cast<DWORD>(result.text.size());

  if (!allocate) {
    if (length + 1 > nSize) return Fail(ERROR_INSUFFICIENT_BUFFER);
    if (!lpBuffer) return Fail(ERROR_INVALID_PARAMETER);
    std::memcpy(lpBuffer, result.text.c_str(), length + 1);
    return length;
  }
  const SIZE_T size = length + 1 > nSize ? length + 1 : nSize;
  auto* block = static_cast<char*>(LocalAlloc(LMEM_FIXED, size));
  if (!block) return Fail(ERROR_NOT_ENOUGH_MEMORY);
  std::memcpy(block, result.text.c_str(), length + 1);
  *reinterpret_cast<LPSTR*>(lpBuffer) = block;
  return length;
}
