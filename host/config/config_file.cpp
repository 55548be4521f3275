// TOML into Options, with errors that point at the line.
#include "host/config/config_file.h"

#include <toml++/toml.h>

#include <arpa/inet.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>

#include "host/config/config_keys.h"
#include "host/log.h"

namespace velmond {
namespace {

struct ConfigError {
  std::string message;
};

// Shortest pass phrase USM accepts (RFC 3414, section 11.2).
constexpr std::size_t kMinPassword = 8;

const std::vector<std::string> kAuthProtocols = {"SHA", "SHA-224", "SHA-256", "SHA-384", "SHA-512"};
const std::vector<std::string> kPrivProtocols = {"AES", "DES"};

std::string List(const std::vector<std::string>& names) {
  std::string text;
  for (const std::string& name : names) text += (text.empty() ? "" : ", ") + name;
  return text;
}

class Reader {
 public:
  Reader(std::string name, std::string baseDir) : name_(std::move(name)), baseDir_(std::move(baseDir)) {}

  void Read(const toml::table& root, Options& options) {
    for (const auto& [key, node] : root) {
      std::string_view name = key.str();
      if (name == "user") {
        ReadUsers(node, options);
        continue;
      }
      auto found = std::find_if(ConfigKeys().begin(), ConfigKeys().end(),
                                [&](const ConfigKey& k) { return name == k.name; });
      if (found == ConfigKeys().end()) {
        std::vector<std::string> known;
        for (const ConfigKey& k : ConfigKeys()) known.emplace_back(k.name);
        known.emplace_back("[[user]]");
        Fail(node, "unknown key \"" + std::string(name) + "\" (expected: " + List(known) + ")");
      }
      ReadSetting(*found, node, options);
    }
  }

 private:
  [[noreturn]] void Fail(const toml::node& node, const std::string& what) const {
    throw ConfigError{Where(node) + ": " + what};
  }
  std::string Where(const toml::node& node) const { return name_ + ":" + std::to_string(node.source().begin.line); }

  std::string Text(const toml::node& node, const std::string& what) const {
    auto text = node.value_exact<std::string>();
    if (!text) Fail(node, what + " must be a string");
    // TOML's \u0000 escape: whatever follows a NUL would pass the checks but
    // never reach net-snmp or the file system, which stop reading there.
    if (text->find('\0') != std::string::npos) Fail(node, what + " contains a NUL character");
    return *text;
  }

  std::string Path(const toml::node& node, const std::string& what) const {
    std::string path = Text(node, what);
    if (path.empty() || std::filesystem::path(path).is_absolute()) return path;
    return (std::filesystem::path(baseDir_) / path).lexically_normal().string();
  }

  void ReadSetting(const ConfigKey& key, const toml::node& node, Options& options) const {
    std::string what = std::string("\"") + key.name + "\"";
    if (auto* text = std::get_if<TextField>(&key.field)) {
      (*text)(options) = key.isPath ? Path(node, what) : Text(node, what);
    } else if (auto* flag = std::get_if<FlagField>(&key.field)) {
      auto value = node.value_exact<bool>();
      if (!value) Fail(node, what + " must be true or false");
      (*flag)(options) = *value;
    } else {
      const toml::array* array = node.as_array();
      if (!array) Fail(node, what + " must be an array of strings");
      std::vector<std::string> items;
      for (const toml::node& item : *array) items.push_back(Text(item, what + " entries"));
      std::get<ListField>(key.field)(options) = std::move(items);
    }
  }

  void ReadUsers(const toml::node& node, Options& options) const {
    const toml::array* users = node.as_array();
    if (!users || !users->is_array_of_tables()) Fail(node, "users are written as [[user]] tables");
    for (const toml::node& entry : *users) {
      UsmUser user = ReadUser(*entry.as_table());
      for (const UsmUser& other : options.server.users) {
        if (other.name == user.name) Fail(entry, "user \"" + user.name + "\" is defined twice");
      }
      options.server.users.push_back(std::move(user));
    }
  }

  UsmUser ReadUser(const toml::table& table) const {
    UsmUser user;
    user.origin = Where(table);
    std::string level = "authPriv";
    std::string authPasswordFile, privPasswordFile;
    for (const auto& [key, node] : table) {
      std::string_view name = key.str();
      if (name == "name") user.name = Text(node, "user name");
      else if (name == "level") level = Text(node, "level");
      else if (name == "auth") user.authProtocol = Choice(node, "auth", kAuthProtocols);
      else if (name == "priv") user.privProtocol = Choice(node, "priv", kPrivProtocols);
      else if (name == "auth-password") user.authPassword = Password(node, "auth-password");
      else if (name == "priv-password") user.privPassword = Password(node, "priv-password");
      else if (name == "auth-password-file") user.authPassword = PasswordFromFile(node, "auth-password-file");
      else if (name == "priv-password-file") user.privPassword = PasswordFromFile(node, "priv-password-file");
      else {
        Fail(node, "unknown key \"" + std::string(name) +
                       "\" in [[user]] (expected: name, level, auth, auth-password, auth-password-file, priv, "
                       "priv-password, priv-password-file)");
      }
    }
    if (user.name.empty() || user.name.size() > 32) Fail(table, "a user needs a name of 1 to 32 characters");
    std::string who = "user \"" + user.name + "\"";
    if (level == "noAuthNoPriv") user.level = SecurityLevel::NoAuthNoPriv;
    else if (level == "authNoPriv") user.level = SecurityLevel::AuthNoPriv;
    else if (level == "authPriv") user.level = SecurityLevel::AuthPriv;
    else Fail(table, who + ": level must be noAuthNoPriv, authNoPriv or authPriv, not \"" + level + "\"");

    bool needsAuth = user.level != SecurityLevel::NoAuthNoPriv;
    bool needsPriv = user.level == SecurityLevel::AuthPriv;
    if (needsAuth && (user.authProtocol.empty() || user.authPassword.empty())) {
      Fail(table, who + ": level " + level + " needs auth (" + List(kAuthProtocols) + ") and auth-password");
    }
    if (!needsAuth && (!user.authProtocol.empty() || !user.authPassword.empty())) {
      Fail(table, who + ": level noAuthNoPriv takes no auth settings");
    }
    if (needsPriv && (user.privProtocol.empty() || user.privPassword.empty())) {
      Fail(table, who + ": level authPriv needs priv (" + List(kPrivProtocols) + ") and priv-password");
    }
    if (!needsPriv && (!user.privProtocol.empty() || !user.privPassword.empty())) {
      Fail(table, who + ": level " + level + " takes no priv settings");
    }
    return user;
  }

  std::string Choice(const toml::node& node, const std::string& what, const std::vector<std::string>& allowed) const {
    std::string value = Text(node, what);
    if (std::find(allowed.begin(), allowed.end(), value) == allowed.end()) {
      Fail(node, what + " must be one of " + List(allowed) + ", not \"" + value + "\"");
    }
    return value;
  }

  // The pass phrase itself never appears in a message.
  std::string CheckedPassword(const toml::node& node, const std::string& what, std::string password) const {
    if (password.size() < kMinPassword) {
      Fail(node, what + " is shorter than " + std::to_string(kMinPassword) + " characters (RFC 3414)");
    }
    if (password.find_first_of(std::string("\n\r\0", 3)) != std::string::npos) {
      Fail(node, what + " contains a line break or a NUL character");
    }
    return password;
  }

  std::string Password(const toml::node& node, const std::string& what) const {
    return CheckedPassword(node, what, Text(node, what));
  }

  // The first line of the file, without its line break.
  std::string PasswordFromFile(const toml::node& node, const std::string& what) const {
    std::string path = Path(node, what);
    std::ifstream in(path, std::ios::binary);
    if (!in) Fail(node, what + ": " + path + " cannot be read");
    std::string line;
    std::getline(in, line);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return CheckedPassword(node, what + " " + path, line);
  }

  std::string name_;
  std::string baseDir_;
};

// "10.1.0.0/16", "10.1.0.0/255.255.0.0", "::1", "fd00::/8" or "default";
// no host names, which would need a name service at start-up.
bool IsSource(const std::string& source) {
  if (source == "default") return true;
  auto slash = source.find('/');
  std::string address = source.substr(0, slash);
  unsigned char buffer[16];
  bool v6 = address.find(':') != std::string::npos;
  if (inet_pton(v6 ? AF_INET6 : AF_INET, address.c_str(), buffer) != 1) return false;
  if (slash == std::string::npos) return true;
  std::string mask = source.substr(slash + 1);
  if (!v6 && inet_pton(AF_INET, mask.c_str(), buffer) == 1) return true;
  if (mask.empty() || mask.size() > 3 || mask.find_first_not_of("0123456789") != std::string::npos) return false;
  return std::stoi(mask) <= (v6 ? 128 : 32);
}

}  // namespace

bool LoadConfigText(const std::string& text, const std::string& name, const std::string& baseDir,
                    Options& options, std::string& error) {
  try {
    toml::table root = toml::parse(text, name);
    Reader(name, baseDir).Read(root, options);
    return true;
  } catch (const toml::parse_error& e) {
    error = name + ":" + std::to_string(e.source().begin.line) + ": " + std::string(e.description());
  } catch (const ConfigError& e) {
    error = e.message;
  }
  return false;
}

bool LoadConfigFile(const std::string& path, Options& options, std::string& error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = path + ": cannot be read";
    return false;
  }
  std::ostringstream text;
  text << in.rdbuf();
  std::string baseDir = std::filesystem::absolute(path).parent_path().string();
  std::size_t usersBefore = options.server.users.size();
  if (!LoadConfigText(text.str(), path, baseDir, options, error)) return false;
  struct stat info {};
  static const std::regex inlinePassword(R"(^\s*(auth|priv)-password\s*=)", std::regex::multiline);
  bool holdsSecrets = options.server.users.size() > usersBefore && std::regex_search(text.str(), inlinePassword);
  if (holdsSecrets && stat(path.c_str(), &info) == 0 && (info.st_mode & (S_IRWXG | S_IRWXO)) != 0) {
    Log("warning: " + path + " holds SNMPv3 pass phrases and others may read it: chmod 600 " + path);
  }
  return true;
}

bool CheckMergedOptions(const Options& options, std::string& error) {
  const ServerConfig& server = options.server;
  if (!server.users.empty() && server.stateDir.empty()) {
    error = server.users.front().origin + ": SNMPv3 user \"" + server.users.front().name +
            "\" needs a state folder for the engine ID and boots counter: give --state-dir DIR (or state-dir "
            "in the configuration file)";
    return false;
  }
  for (const std::string& source : server.communitySources) {
    if (!IsSource(source)) {
      error = "community-source \"" + source + "\" is not an address or network (such as 10.1.0.0/16 or ::1)";
      return false;
    }
  }
  // DisplayString, one line of net-snmp's configuration each.
  for (const auto& [name, value] : {std::pair{"contact", &server.sysContact}, {"location", &server.sysLocation}}) {
    if (value->size() > 255 || value->find_first_of("\r\n") != std::string::npos) {
      error = std::string(name) + " must be one line of at most 255 characters";
      return false;
    }
  }
  if (options.trapVersion != "1" && options.trapVersion != "2c") {
    error = "trap-version must be \"1\" or \"2c\", not \"" + options.trapVersion + "\"";
    return false;
  }
  if (server.noV1 && server.noV2c && server.users.empty() && server.agentxSocket.empty()) {
    error = "SNMPv1 and v2c are both off and no SNMPv3 user is configured: nobody could query velmond";
    return false;
  }
  return true;
}

}  // namespace velmond
