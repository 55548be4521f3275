// Executables with version resources, for the control API of velplat/files.h.
#include <velplat/files.h>

#include <cctype>

#include "version_block.h"

namespace velplat::files {

namespace {

// Up to four leading dot-separated numbers of a version text.
std::array<WORD, 4> LeadingNumbers(std::string_view text) {
  std::array<WORD, 4> numbers{};
  size_t index = 0;
  size_t pos = 0;
  while (index < numbers.size() && pos < text.size() && std::isdigit(static_cast<unsigned char>(text[pos]))) {
    unsigned value = 0;
    while (pos < text.size() && std::isdigit(static_cast<unsigned char>(text[pos]))) {
      value = value * 10 + static_cast<unsigned>(text[pos] - '0');
      if (value > 0xFFFF) value = 0xFFFF;
      ++pos;
    }
    numbers[index++] = static_cast<WORD>(value);
    if (pos >= text.size() || text[pos] != '.') break;
    ++pos;
  }
  return numbers;
}

// An executable image as the loader would see it: a DOS header stand-in and
// the version block behind it.
constexpr std::string_view kImagePrefix = "MZ velplat simulated executable\r\n";

}  // namespace

VersionResource MakeVersionResource(std::string_view fileVersion, std::string_view productVersion,
                                    std::string_view langCodepage) {
  VersionResource resource;
  resource.fileVersion = LeadingNumbers(fileVersion);
  resource.productVersion = LeadingNumbers(productVersion);
  VersionStringTable table;
  table.langCodepage = std::string(langCodepage);
  table.strings = {{"FileVersion", std::string(fileVersion)}, {"ProductVersion", std::string(productVersion)}};
  resource.tables.push_back(std::move(table));
  return resource;
}

std::string ExecutableImage(const VersionResource& resource) {
  std::string image(kImagePrefix);
  image.append(64 - image.size() % 64, '\0');
  image.append(version::Encode(resource));
  return image;
}

DWORD PutExecutable(std::string_view path, const VersionResource& resource, Machine* machine) {
  return PutFile(path, ExecutableImage(resource), machine);
}

}  // namespace velplat::files
