// The rehearsal timeline.
#include "setup/tool/journal_printer.h"

#include <cstdio>

namespace velsetup::tool {

namespace ui = velplat::ui;
namespace services = velplat::services;

std::string Visible(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\r')
      out += "\\r";
    else if (c == '\n')
      out += "\\n";
    else
      out += c;
  }
  return out;
}

std::string Stamp(std::uint64_t ms) {
  char text[32];
  std::snprintf(text, sizeof text, "%8llu.%03u s", static_cast<unsigned long long>(ms / 1000),
                static_cast<unsigned>(ms % 1000));
  return text;
}

std::string JournalPrinter::WindowName(HWND window) {
  auto [it, added] = windowNumbers_.emplace(window, static_cast<int>(windowNumbers_.size()) + 1);
  return "window " + std::to_string(it->second);
}

void JournalPrinter::Print(const ui::Event& event) {
  if (event.controlId == 0 && (event.kind == ui::EventKind::Shown || event.kind == ui::EventKind::Hidden)) {
    bool visible = event.kind == ui::EventKind::Shown;
    auto [it, added] = windowVisible_.emplace(event.window, !visible);
    if (it->second == visible) return;
    it->second = visible;
  }
  out_ << "  [" << Stamp(event.atMs) << "] ";
  std::string target = event.window ? WindowName(event.window) : "";
  if (event.controlId) target += " control " + std::to_string(event.controlId);
  switch (event.kind) {
    case ui::EventKind::MessageBox:
      out_ << "message box \"" << event.caption << "\": " << Visible(event.text);
      break;
    case ui::EventKind::Created:
      out_ << target << " opened (dialog " << event.resourceId << ")";
      break;
    case ui::EventKind::TextSet:
      out_ << target << " text: " << Visible(event.text);
      break;
    case ui::EventKind::Shown:
      out_ << target << " shown";
      break;
    case ui::EventKind::Hidden:
      out_ << target << " hidden";
      break;
    case ui::EventKind::Enabled:
      out_ << target << " enabled";
      break;
    case ui::EventKind::Disabled:
      out_ << target << " disabled";
      break;
    case ui::EventKind::Destroyed:
      out_ << target << " closed";
      break;
  }
  out_ << "\n";
}

void JournalPrinter::Print(const services::Request& request) {
  const char* verb = "start";
  if (request.kind == services::RequestKind::Stop) verb = "stop";
  if (request.kind == services::RequestKind::Pause) verb = "pause";
  if (request.kind == services::RequestKind::Continue) verb = "continue";
  out_ << "  [" << Stamp(request.atMs) << "] service control manager: " << verb << " " << request.service << "\n";
}

void JournalPrinter::PrintNew() {
  std::vector<ui::Event> events = ui::Events();
  std::vector<services::Request> requests = services::Requests();
  std::size_t e = eventsPrinted_;
  std::size_t r = requestsPrinted_;
  while (e < events.size() || r < requests.size()) {
    bool takeEvent = r >= requests.size() || (e < events.size() && events[e].atMs <= requests[r].atMs);
    if (takeEvent)
      Print(events[e++]);
    else
      Print(requests[r++]);
  }
  eventsPrinted_ = events.size();
  requestsPrinted_ = requests.size();
}

}  // namespace velsetup::tool
