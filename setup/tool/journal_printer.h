// Prints the desktop's journal and the service control requests of a
// rehearsal as one timeline, oldest first (at equal times what was shown
// comes before what it announced).
// Thread-safety: one thread.
#ifndef VELSETUP_TOOL_JOURNAL_PRINTER_H
#define VELSETUP_TOOL_JOURNAL_PRINTER_H

#include <velplat/services.h>
#include <velplat/ui.h>

#include <map>
#include <ostream>
#include <string>
#include <vector>

namespace velsetup::tool {

class JournalPrinter {
 public:
  explicit JournalPrinter(std::ostream& out) : out_(out) {}

  // Prints the events and requests not printed yet.
  void PrintNew();

 private:
  std::string WindowName(HWND window);
  void Print(const velplat::ui::Event& event);
  void Print(const velplat::services::Request& request);

  std::ostream& out_;
  std::size_t eventsPrinted_ = 0;
  std::size_t requestsPrinted_ = 0;
  std::map<HWND, int> windowNumbers_;
  std::map<HWND, bool> windowVisible_;  // "shown" is printed when it changes something
};

// "\r" and "\n" made visible, so that one record stays on one line.
std::string Visible(const std::string& text);
// Milliseconds as "   12.345 s".
std::string Stamp(std::uint64_t ms);

}  // namespace velsetup::tool

#endif
