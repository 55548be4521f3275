// The message catalogue that mcgen reads from a .mc file and writes out as a
// header of identifiers and a C++ message table: the data model, the parser
// and the two writers.
//
// Parse() accepts the subset of the message-compiler language that real
// catalogues use: MessageIdTypedef, SeverityNames, FacilityNames,
// LanguageNames, OutputBase, ';' comment lines (copied into the header),
// and message definitions (MessageId, Severity, Facility, SymbolicName, one
// or more Language blocks ending at a line holding a single '.'). One
// statement per line; a name list may span lines up to its ')'. Malformed
// input throws McError naming the line.
//
// Thread-safety: plain functions over values; no shared state.
#ifndef VELMON_TOOLS_MC_CATALOGUE_H
#define VELMON_TOOLS_MC_CATALOGUE_H

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace mcgen {

class McError : public std::runtime_error {
 public:
  McError(int line, const std::string& what) : std::runtime_error(what), line_(line) {}
  int Line() const { return line_; }

 private:
  int line_;
};

struct MessageText {
  uint16_t language = 0;
  std::string utf8;        // as written, every line ending in "\r\n"
  std::u16string utf16;    // the same text as stored in the table
};

struct Message {
  uint32_t id = 0;          // severity, customer bit, facility and code
  std::string symbol;       // empty when the message has no SymbolicName
  int outputBase = 16;      // base of the identifier in the header
  std::vector<MessageText> texts;
};

// What the header holds, in file order.
struct HeaderItem {
  enum class Kind { Comment, Define, Message };
  Kind kind = Kind::Comment;
  std::string text;     // the comment, or the name the define gives
  uint32_t value = 0;   // the define's value
  size_t message = 0;   // the message's index in Catalogue::messages
};

struct Catalogue {
  std::string idTypedef;  // MessageIdTypedef; empty: no cast in the header
  std::vector<Message> messages;
  std::vector<HeaderItem> header;
};

enum class CustomerBit { Clear, Set };

// Reads a catalogue. Throws McError on malformed input.
Catalogue Parse(std::string_view source, CustomerBit customer = CustomerBit::Clear);

// The header of identifiers: one #define per symbolic name, like the
// Windows message compiler's header. `sourceName` names the .mc file.
std::string WriteHeader(const Catalogue& catalogue, std::string_view sourceName);

// The C++ table and its registration under `moduleName` (e.g. "velmon.dll").
std::string WriteTable(const Catalogue& catalogue, std::string_view sourceName,
                       std::string_view moduleName);

}  // namespace mcgen

#endif
