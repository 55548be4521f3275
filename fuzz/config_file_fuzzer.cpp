// Fuzzes velmond's configuration-file reader with arbitrary text, then the
// checks on the merged options when the text loads. What must hold:
//  - a refusal names the file and a line ("fuzz.toml:LINE: reason"), and a
//    refusal of the merged options is never empty;
//  - an accepted user has exactly the settings its level calls for, and its
//    pass phrases are at least 8 characters without CR, LF or NUL;
//  - path settings come back absolute as written, relative ones taken from
//    the file's folder (and inside it when they do not climb out with "..");
//  - no message depends on what a pass phrase says: the same text with every
//    acceptable inline pass phrase swapped for another of the same length
//    gives the same answer, and the phrase of a pass-phrase file never shows.
//
// The file's folder is a scratch directory holding two pass-phrase files;
// texts naming anything but a plain file name there as a *-password-file are
// skipped, so that no input reads arbitrary files of this machine.
#include "fuzz/scratch_dir.h"
#include "host/config/config_file.h"
#include "host/config/config_keys.h"

#include <toml++/toml.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

constexpr const char* kName = "fuzz.toml";
// The first line of auth.pass: never in a message unless the text spells it.
const std::string kFilePhrase = "file-phrase-7Kq-from-disk";

std::string& BaseDir() {
  static std::string dir;
  return dir;
}

void Check(bool holds) {
  if (!holds) __builtin_trap();
}

bool PlainFileName(std::string_view name) {
  if (name.empty() || name.size() > 64 || name.front() == '.') return false;
  for (char c : name)
    if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-' || c == '.')) return false;
  return name.find("..") == std::string_view::npos;
}

template <typename Visit>
void ForEachUser(const toml::table& root, Visit visit) {
  const toml::array* users = root["user"].as_array();
  if (!users) return;
  for (const toml::node& entry : *users)
    if (const toml::table* user = entry.as_table()) visit(*user);
}

// False when some user names a pass-phrase file that is not a plain name.
bool PasswordFilesAreLocal(const toml::table& root) {
  bool local = true;
  ForEachUser(root, [&](const toml::table& user) {
    for (const char* key : {"auth-password-file", "priv-password-file"})
      if (const auto* name = user[key].as_string(); name && !PlainFileName(name->get())) local = false;
  });
  return local;
}

// Byte offset of a 1-based line and column (columns count code points), or
// npos when the text is shorter.
std::size_t Offset(const std::string& text, toml::source_position at) {
  std::size_t i = 0;
  for (toml::source_index line = 1; line < at.line; ++line) {
    i = text.find('\n', i);
    if (i == std::string::npos) return i;
    ++i;
  }
  for (toml::source_index column = 1; column < at.column && i < text.size(); ++column) {
    ++i;
    while (i < text.size() && (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) ++i;
  }
  return i < text.size() ? i : std::string::npos;
}

// Length of the one-line string literal at `i` ("..." or '...'), 0 for
// anything else (multi-line strings may span lines, which a swap would move).
std::size_t LiteralLength(const std::string& text, std::size_t i) {
  char quote = text[i];
  if ((quote != '"' && quote != '\'') || text.compare(i, 3, std::string(3, quote)) == 0) return 0;
  for (std::size_t j = i + 1; j < text.size(); ++j) {
    if (quote == '"' && text[j] == '\\') ++j;
    else if (text[j] == quote) return j + 1 - i;
  }
  return 0;
}

bool Acceptable(const std::string& phrase) {
  return phrase.size() >= 8 && phrase.find_first_of(std::string("\r\n\0", 3)) == std::string::npos;
}

// The text with every acceptable inline pass phrase replaced by one of the
// same length that differs from it; the same text when there is none.
std::string SwapPassPhrases(const std::string& text, const toml::table& root) {
  struct Swap {
    std::size_t at, length;
    std::string literal;
  };
  std::vector<Swap> swaps;
  ForEachUser(root, [&](const toml::table& user) {
    for (const char* key : {"auth-password", "priv-password"}) {
      const auto* phrase = user[key].as_string();
      if (!phrase || !Acceptable(phrase->get())) continue;
      std::size_t at = Offset(text, phrase->source().begin);
      std::size_t length = at == std::string::npos ? 0 : LiteralLength(text, at);
      if (length == 0) continue;
      char filler = phrase->get().find_first_not_of('Q') == std::string::npos ? 'R' : 'Q';
      swaps.push_back({at, length, '"' + std::string(phrase->get().size(), filler) + '"'});
    }
  });
  std::sort(swaps.begin(), swaps.end(), [](const Swap& a, const Swap& b) { return a.at > b.at; });
  std::string swapped = text;
  for (const Swap& swap : swaps) swapped.replace(swap.at, swap.length, swap.literal);
  return swapped;
}

bool NamesFileAndLine(const std::string& error) {
  std::string prefix = std::string(kName) + ":";
  if (error.compare(0, prefix.size(), prefix) != 0) return false;
  std::size_t digits = error.find_first_not_of("0123456789", prefix.size());
  if (digits == std::string::npos || digits == prefix.size() || error[prefix.size()] == '0') return false;
  return error.compare(digits, 2, ": ") == 0 && error.size() > digits + 2;
}

void CheckUser(const velmond::UsmUser& user) {
  using velmond::SecurityLevel;
  static const std::vector<std::string> auths = {"SHA", "SHA-224", "SHA-256", "SHA-384", "SHA-512"};
  static const std::vector<std::string> privs = {"AES", "DES"};
  bool auth = user.level != SecurityLevel::NoAuthNoPriv;
  bool priv = user.level == SecurityLevel::AuthPriv;
  Check(!user.name.empty() && user.name.size() <= 32);
  Check(user.origin.rfind(std::string(kName) + ":", 0) == 0);
  Check(auth == !user.authProtocol.empty() && auth == !user.authPassword.empty());
  Check(priv == !user.privProtocol.empty() && priv == !user.privPassword.empty());
  if (auth) Check(std::count(auths.begin(), auths.end(), user.authProtocol) == 1 && Acceptable(user.authPassword));
  if (priv) Check(std::count(privs.begin(), privs.end(), user.privProtocol) == 1 && Acceptable(user.privPassword));
}

void CheckPaths(const toml::table& root, velmond::Options& options) {
  for (const velmond::ConfigKey& key : velmond::ConfigKeys()) {
    const auto* written = root[key.name].as_string();
    if (!key.isPath || !written) continue;
    const std::string& value = std::get<velmond::TextField>(key.field)(options);
    std::filesystem::path given = written->get();
    if (given.empty() || given.is_absolute()) {
      Check(value == written->get());
      continue;
    }
    Check(std::filesystem::path(value).is_absolute());
    bool climbs = std::find(given.begin(), given.end(), "..") != given.end();
    if (!climbs) Check(value.rfind(BaseDir() + "/", 0) == 0);
  }
}

// What the reader and the merged checks answer: empty when both accept.
std::string Answer(const std::string& text, velmond::Options& options) {
  std::string error;
  if (!velmond::LoadConfigText(text, kName, BaseDir(), options, error)) {
    Check(NamesFileAndLine(error));
    return "load: " + error;
  }
  if (!velmond::CheckMergedOptions(options, error)) {
    Check(!error.empty());
    return "merged: " + error;
  }
  return {};
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  BaseDir() = velmon::fuzz::MakeScratchDir("config");
  std::filesystem::path dir = BaseDir();
  velmon::fuzz::WriteFile(dir / "auth.pass", kFilePhrase + "\r\nsecond line, never read\n");
  velmon::fuzz::WriteFile(dir / "short.pass", "tiny\n");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  toml::table root;
  bool parses = true;
  try {
    root = toml::parse(text, std::string(kName));
  } catch (const toml::parse_error&) {
    parses = false;  // the reader refuses it before reading any file
  }
  if (parses && !PasswordFilesAreLocal(root)) return 0;

  velmond::Options options;
  std::string answer = Answer(text, options);
  if (!parses) {
    Check(answer.rfind("load: ", 0) == 0);
    return 0;
  }
  if (text.find(kFilePhrase) == std::string::npos) Check(answer.find(kFilePhrase) == std::string::npos);
  if (answer.rfind("load: ", 0) != 0) {
    for (const velmond::UsmUser& user : options.server.users) {
      CheckUser(user);
      Check(std::count_if(options.server.users.begin(), options.server.users.end(),
                          [&](const velmond::UsmUser& other) { return other.name == user.name; }) == 1);
    }
    CheckPaths(root, options);
  }

  std::string swapped = SwapPassPhrases(text, root);
  if (swapped != text) {
    velmond::Options other;
    Check(Answer(swapped, other) == answer);
  }
  return 0;
}
