// The built velmon.dll as the SNMP service sees it: loaded by name, its
// three entry points found with GetProcAddress, started, and its whole view
// walked with GetNext; and its message table as the event viewer reads it.
// On a Wine machine no cluster software is present, so the agent answers
// with its vendor-0 defaults.
#include <windows.h>
#include <snmp.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr UINT kViewArcs[] = {1, 3, 6, 1, 4, 1, 32473, 2, 18, 22, 4, 1};
constexpr UINT kViewLength = sizeof kViewArcs / sizeof kViewArcs[0];

std::vector<UINT> Arcs(const AsnObjectIdentifier& oid) { return {oid.ids, oid.ids + oid.idLength}; }

std::vector<UINT> InView(std::initializer_list<UINT> suffix) {
  std::vector<UINT> arcs(kViewArcs, kViewArcs + kViewLength);
  arcs.insert(arcs.end(), suffix);
  return arcs;
}

// Resolves an export as a typed pointer, through the generic function type.
template <class Function>
Function Export(HMODULE module, const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

// One binding as the walk saw it.
struct Answer {
  std::vector<UINT> name;
  BYTE type;
  LONG integer;               // ASN_INTEGER
  std::string text;           // ASN_OCTETSTRING
  std::vector<UINT> oid;      // ASN_OBJECTIDENTIFIER
};

Answer Copy(const SnmpVarBind& binding) {
  Answer answer{Arcs(binding.name), binding.value.asnType, 0, {}, {}};
  switch (binding.value.asnType) {
    case ASN_INTEGER:
      answer.integer = binding.value.asnValue.number;
      break;
    case ASN_OCTETSTRING:
      answer.text.assign(reinterpret_cast<const char*>(binding.value.asnValue.string.stream),
                         binding.value.asnValue.string.length);
      break;
    case ASN_OBJECTIDENTIFIER:
      answer.oid = Arcs(binding.value.asnValue.object);
      break;
    default:
      break;
  }
  return answer;
}

TEST(VelmonDll, LoadsByNameAndWalksTheVendorZeroViewThroughItsExports) {
  HMODULE agent = LoadLibraryA("velmon.dll");
  ASSERT_NE(agent, nullptr) << "error " << GetLastError();
  auto init = Export<PFNSNMPEXTENSIONINIT>(agent, "SnmpExtensionInit");
  auto query = Export<PFNSNMPEXTENSIONQUERY>(agent, "SnmpExtensionQuery");
  auto trap = Export<PFNSNMPEXTENSIONTRAP>(agent, "SnmpExtensionTrap");
  ASSERT_TRUE(init && query && trap);
  EXPECT_EQ(GetProcAddress(agent, "ProcessRequest"), nullptr) << "internal names stay unexported";

  HANDLE trapEvent = nullptr;
  AsnObjectIdentifier view{0, nullptr};
  ASSERT_TRUE(init(GetTickCount(), &trapEvent, &view));
  EXPECT_NE(trapEvent, nullptr);
  EXPECT_EQ(Arcs(view), InView({}));

  // GetNext from the view's root until the answer leaves the view.
  SnmpVarBindList list{static_cast<SnmpVarBind*>(SnmpUtilMemAlloc(sizeof(SnmpVarBind))), 1};
  ASSERT_NE(list.list, nullptr);
  AsnObjectIdentifier root{kViewLength, const_cast<UINT*>(kViewArcs)};
  ASSERT_TRUE(SnmpUtilOidCpy(&list.list[0].name, &root));
  list.list[0].value.asnType = ASN_NULL;
  std::vector<Answer> walk;
  std::vector<UINT> end;
  for (int step = 0; step < 50; ++step) {
    AsnInteger32 status = -1, index = -1;
    ASSERT_TRUE(query(SNMP_PDU_GETNEXT, &list, &status, &index));
    ASSERT_EQ(status, SNMP_ERRORSTATUS_NOERROR) << "after " << walk.size() << " answers";
    Answer answer = Copy(list.list[0]);
    if (answer.name.size() < kViewLength || !std::equal(kViewArcs, kViewArcs + kViewLength, answer.name.begin())) {
      end = answer.name;
      break;
    }
    if (!walk.empty()) {
      EXPECT_TRUE(walk.back().name < answer.name) << "GetNext answers in increasing order, step " << step;
    }
    walk.push_back(answer);
    SnmpUtilAsnAnyFree(&list.list[0].value);
  }
  SnmpUtilVarBindListFree(&list);

  // The vendor-0 view: the ten scalar instances, empty tables, then the name
  // one past the view.
  ASSERT_EQ(walk.size(), 10u);
  const std::vector<std::vector<UINT>> names = {
      InView({1, 1, 1, 0}), InView({1, 1, 2, 0}), InView({1, 2, 1, 0}), InView({1, 2, 2, 0}),
      InView({1, 2, 3, 0}), InView({1, 2, 4, 0}), InView({1, 2, 5, 0}), InView({1, 2, 6, 0}),
      InView({1, 2, 7, 0}), InView({1, 2, 9, 0})};
  for (size_t i = 0; i < names.size(); ++i) EXPECT_EQ(walk[i].name, names[i]) << "answer " << i;
  EXPECT_EQ(walk[0].type, ASN_INTEGER);
  EXPECT_EQ(walk[0].integer, 2);  // MIB revision
  EXPECT_EQ(walk[1].type, ASN_INTEGER);
  EXPECT_EQ(walk[1].integer, 0);  // no cluster software known
  for (size_t i : {2u, 3u, 8u, 9u}) {
    EXPECT_EQ(walk[i].type, ASN_OCTETSTRING) << "answer " << i;
    EXPECT_EQ(walk[i].text, "") << "answer " << i;
  }
  EXPECT_EQ(walk[4].type, ASN_INTEGER);
  EXPECT_EQ(walk[4].integer, 3);
  EXPECT_EQ(walk[5].type, ASN_INTEGER);
  EXPECT_EQ(walk[5].integer, 1);
  EXPECT_EQ(walk[6].type, ASN_OBJECTIDENTIFIER);
  EXPECT_EQ(walk[6].oid, (std::vector<UINT>{1, 3, 6, 1, 4, 1, 32473, 2, 18, 22, 4, 2}));
  EXPECT_EQ(walk[7].type, ASN_INTEGER);
  EXPECT_EQ(walk[7].integer, 0);
  EXPECT_EQ(end, (std::vector<UINT>{1, 3, 6, 1, 4, 1, 32473, 2, 18, 22, 4, 2}));

  AsnObjectIdentifier enterprise{0, nullptr};
  AsnInteger32 generic = 0, specific = 0;
  AsnTimeticks stamp = 0;
  SnmpVarBindList bindings{nullptr, 0};
  EXPECT_FALSE(trap(&enterprise, &generic, &specific, &stamp, &bindings)) << "no trap is ever pending";
  // The agent's threads run for the life of the process: the library stays loaded.
}

// FormatMessageA over the library loaded as a data file, as the event viewer
// does with the event source's message file.
std::string Format(HMODULE module, DWORD id, const char* insertion) {
  char* text = nullptr;
  DWORD_PTR arguments[] = {reinterpret_cast<DWORD_PTR>(insertion)};
  DWORD flags = FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_ALLOCATE_BUFFER |
                (insertion ? FORMAT_MESSAGE_ARGUMENT_ARRAY : FORMAT_MESSAGE_IGNORE_INSERTS);
  DWORD length = FormatMessageA(flags, module, id, MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US),
                                reinterpret_cast<LPSTR>(&text), 0, reinterpret_cast<va_list*>(arguments));
  if (length == 0) return "<FormatMessage failed: " + std::to_string(GetLastError()) + ">";
  std::string result(text, length);
  LocalFree(text);
  return result;
}

TEST(VelmonDll, MessageTableFormatsTheCatalogueTextsByteForByte) {
  HMODULE messages = LoadLibraryExA("velmon.dll", nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(messages, nullptr) << "error " << GetLastError();
  EXPECT_EQ(Format(messages, 0x400017D6, nullptr), "The Velmora RAC Agent has successfully initialized.\r\n");
  EXPECT_EQ(Format(messages, 0xC00017D7, "Was unable to create the trap thread."),
            "The Velmora RAC Agent failed to initialize.\r\nWas unable to create the trap thread.\r\n");
  // Backslashes are part of the text; %n is the formatter's line break.
  EXPECT_EQ(Format(messages, 0xC00017D9, nullptr),
            "No trap support due to not finding "
            "SYSTEM\\\\CurrentControlSet\\\\Services\\\\Kestd\\\\Database\\\\FMGroup.\r\n");
  EXPECT_EQ(Format(messages, 0xC00017E1, "\tThread:\t\tFindClusterVendor\r\n"),
            "A Tarvik agent thread has failed.\r\n\r\nException information:\r\n\r\n"
            "\tThread:\t\tFindClusterVendor\r\n\r\n");
  // Identifiers outside the catalogue have no text.
  EXPECT_EQ(Format(messages, 0x400017D3, nullptr).rfind("<FormatMessage failed", 0), 0u);
  FreeLibrary(messages);
}

}  // namespace
