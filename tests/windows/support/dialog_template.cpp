#include "support/dialog_template.h"

#include <cstring>
#include <iterator>
#include <string>

namespace wintest {
namespace {

// Reads the template front to back; any read past the end sets `failed`.
class Reader {
 public:
  Reader(const void* data, std::size_t size) : data_(static_cast<const unsigned char*>(data)), size_(size) {}

  bool failed() const { return failed_; }

  template <class T>
  T Take() {
    T value{};
    if (offset_ + sizeof value > size_) {
      failed_ = true;
      return value;
    }
    std::memcpy(&value, data_ + offset_, sizeof value);
    offset_ += sizeof value;
    return value;
  }

  void Skip(std::size_t bytes) {
    if (offset_ + bytes > size_) failed_ = true;
    offset_ += bytes;
  }

  // Items start on a DWORD boundary (offsets count from the template's start,
  // which the resource loader aligns).
  void AlignToDword() { offset_ = (offset_ + 3) & ~static_cast<std::size_t>(3); }

  // A zero-terminated UTF-16 text.
  std::string Text() {
    std::string text;
    for (WORD unit = Take<WORD>(); !failed_ && unit != 0; unit = Take<WORD>())
      text.push_back(unit < 0x80 ? static_cast<char>(unit) : '?');
    return text;
  }

  // A text, nothing (a single 0), or an ordinal (0xFFFF and its number).
  std::string TextOrOrdinal(bool controlClass) {
    WORD first = Take<WORD>();
    if (first == 0) return {};
    if (first == 0xFFFF) return OrdinalName(Take<WORD>(), controlClass);
    offset_ -= sizeof first;
    return Text();
  }

 private:
  static std::string OrdinalName(WORD ordinal, bool controlClass) {
    static const char* const kPredefined[] = {"BUTTON", "EDIT", "STATIC", "LISTBOX", "SCROLLBAR", "COMBOBOX"};
    if (controlClass && ordinal >= 0x80 && ordinal < 0x80 + std::size(kPredefined)) return kPredefined[ordinal - 0x80];
    return "#" + std::to_string(ordinal);
  }

  const unsigned char* data_;
  std::size_t size_;
  std::size_t offset_ = 0;
  bool failed_ = false;
};

}  // namespace

std::optional<DialogTemplate> ReadDialogTemplate(const void* data, std::size_t size, std::string* error) {
  Reader in(data, size);
  const WORD version = in.Take<WORD>();
  const WORD signature = in.Take<WORD>();
  if (in.failed() || version != 1 || signature != 0xFFFF) {
    *error = "not an extended dialog template";
    return std::nullopt;
  }
  DialogTemplate dialog;
  in.Skip(sizeof(DWORD));  // help identifier
  dialog.exStyle = in.Take<DWORD>();
  dialog.style = in.Take<DWORD>();
  const WORD count = in.Take<WORD>();
  dialog.x = in.Take<short>();
  dialog.y = in.Take<short>();
  dialog.cx = in.Take<short>();
  dialog.cy = in.Take<short>();
  dialog.menu = in.TextOrOrdinal(false);
  dialog.className = in.TextOrOrdinal(false);
  dialog.caption = in.Text();
  if (dialog.style & DS_SETFONT) {
    dialog.fontPoints = in.Take<WORD>();
    in.Skip(sizeof(WORD) + 2 * sizeof(BYTE));  // weight, italic, character set
    dialog.fontName = in.Text();
  }
  for (WORD i = 0; i < count && !in.failed(); ++i) {
    in.AlignToDword();
    TemplateControl control;
    in.Skip(sizeof(DWORD));  // help identifier
    control.exStyle = in.Take<DWORD>();
    control.style = in.Take<DWORD>();
    control.x = in.Take<short>();
    control.y = in.Take<short>();
    control.cx = in.Take<short>();
    control.cy = in.Take<short>();
    control.id = in.Take<DWORD>();
    control.className = in.TextOrOrdinal(true);
    control.text = in.TextOrOrdinal(false);
    in.Skip(in.Take<WORD>());  // creation data
    dialog.controls.push_back(control);
  }
  if (in.failed()) {
    *error = "the template runs past its resource's end";
    return std::nullopt;
  }
  return dialog;
}

}  // namespace wintest
