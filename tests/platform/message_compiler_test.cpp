// The message compiler's reading of .mc catalogues and what it writes.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "mc_catalogue.h"

namespace {

using ::testing::HasSubstr;
using mcgen::CustomerBit;
using mcgen::Parse;

const mcgen::Message& BySymbol(const mcgen::Catalogue& catalogue, const std::string& symbol) {
  for (const auto& message : catalogue.messages) {
    if (message.symbol == symbol) return message;
  }
  throw std::runtime_error("no message " + symbol);
}

TEST(MessageCompiler, IdentifiersCombineSeverityCustomerBitFacilityAndCode) {
  const char* source =
      "FacilityNames=(Agent=0x2A)\n"
      "MessageId=0x17D4\nSeverity=Warning\nFacility=Agent\nSymbolicName=A\nLanguage=English\nx\n.\n"
      "MessageId=1\nSeverity=Error\nFacility=System\nSymbolicName=B\nLanguage=English\nx\n.\n";
  const auto plain = Parse(source);
  EXPECT_EQ(BySymbol(plain, "A").id, 0x802A17D4u);
  EXPECT_EQ(BySymbol(plain, "B").id, 0xC0FF0001u);

  const auto customer = Parse(source, CustomerBit::Set);
  EXPECT_EQ(BySymbol(customer, "A").id, 0xA02A17D4u);
  EXPECT_EQ(BySymbol(customer, "B").id, 0xE0FF0001u);

  // Before any message names them: severity Success, facility Application.
  EXPECT_EQ(BySymbol(Parse("MessageId=5\nSymbolicName=C\nLanguage=English\nx\n.\n"), "C").id, 0x0FFF0005u);
}

TEST(MessageCompiler, MessageIdsWithoutValueFollowTheirFacility) {
  const auto catalogue = Parse(
      "FacilityNames=(One=1 Two=2)\n"
      "MessageId=10\nFacility=One\nSymbolicName=A\nLanguage=English\nx\n.\n"
      "MessageId=100\nFacility=Two\nSymbolicName=B\nLanguage=English\nx\n.\n"
      "MessageId=\nFacility=One\nSymbolicName=C\nLanguage=English\nx\n.\n"
      "MessageId=+5\nFacility=Two\nSymbolicName=D\nLanguage=English\nx\n.\n"
      "MessageId=\nSymbolicName=E\nLanguage=English\nx\n.\n");
  EXPECT_EQ(BySymbol(catalogue, "C").id, 0x0001000Bu);  // One: 10 + 1
  EXPECT_EQ(BySymbol(catalogue, "D").id, 0x00020069u);  // Two: 100 + 5
  EXPECT_EQ(BySymbol(catalogue, "E").id, 0x0002006Au);  // facility Two carried over: 105 + 1
}

TEST(MessageCompiler, TextLinesEndInCrLfAndKeepWhatIsWritten) {
  // Input lines end in CR LF here, as a catalogue edited on Windows does.
  const auto catalogue = Parse(
      "MessageId=1\r\nSymbolicName=A\r\nLanguage=English\r\n"
      "Failed.%n\r\n"
      "Key SYSTEM\\\\Services\\\\X %1!s! 100%%\r\n"
      "\r\n"
      ". not the end\r\n"
      "Gr\xC3\xBC\xC3\x9F\x65\r\n"
      ".\r\n");
  const auto& text = BySymbol(catalogue, "A").texts.at(0);
  EXPECT_EQ(text.language, 0x409);
  EXPECT_EQ(text.utf8, "Failed.%n\r\nKey SYSTEM\\\\Services\\\\X %1!s! 100%%\r\n\r\n. not the end\r\nGr\xC3\xBC\xC3\x9F\x65\r\n");
  EXPECT_EQ(text.utf16,
            u"Failed.%n\r\nKey SYSTEM\\\\Services\\\\X %1!s! 100%%\r\n\r\n. not the end\r\nGr\u00FC\u00DF" u"e\r\n");
}

TEST(MessageCompiler, MessagesMayHaveSeveralLanguages) {
  const auto catalogue = Parse(
      "LanguageNames=(German=0x407:MSG00407)\n"
      "MessageId=1\nSymbolicName=A\nLanguage=English\nFull.\n.\nLanguage=German\nVoll.\n.\n");
  const auto& texts = BySymbol(catalogue, "A").texts;
  ASSERT_EQ(texts.size(), 2u);
  EXPECT_EQ(texts[0].language, 0x409);
  EXPECT_EQ(texts[1].language, 0x407);
  EXPECT_EQ(texts[1].utf16, u"Voll.\r\n");
}

TEST(MessageCompiler, HeaderDefinesSymbolsLikeTheWindowsCompiler) {
  const auto catalogue = Parse(
      "; // copied comment\n"
      "MessageIdTypedef=DWORD\n"
      "SeverityNames=(Success=0x0:STATUS_SEVERITY_SUCCESS Error=0x3:STATUS_SEVERITY_ERROR)\n"
      "FacilityNames=(System=0x0:FACILITY_SYSTEM)\n"
      "MessageId=0x17D7\nSeverity=Error\nFacility=System\nSymbolicName=MSG_FAILED\n"
      "Language=English\nIt failed.\n%1!s!\n.\n"
      "OutputBase=10\n"
      "MessageId=0x17D8\nSymbolicName=MSG_DECIMAL\nLanguage=English\nEnds in C:\\\n.\n"
      "MessageId=0x17D9\nLanguage=English\nNo symbol.\n.\n");
  const std::string header = mcgen::WriteHeader(catalogue, "test.mc");
  EXPECT_THAT(header, HasSubstr("\n // copied comment\n"));
  EXPECT_THAT(header, HasSubstr("#define STATUS_SEVERITY_ERROR            0x3\n"));
  EXPECT_THAT(header, HasSubstr("#define FACILITY_SYSTEM                  0x0\n"));
  EXPECT_THAT(header, HasSubstr("// MessageId: MSG_FAILED\n//\n// MessageText:\n//\n// It failed.\n// %1!s!\n//\n"));
  EXPECT_THAT(header, HasSubstr("#define MSG_FAILED                       ((DWORD)0xC00017D7L)\n"));
  EXPECT_THAT(header, HasSubstr("#define MSG_DECIMAL                      ((DWORD)3221231576L)\n"));
  // A text line ending in a backslash must not continue the comment onto
  // the #define that follows it.
  EXPECT_THAT(header, ::testing::Not(HasSubstr("C:\\\n")));
  EXPECT_THAT(header, ::testing::Not(HasSubstr("No symbol")));
}

TEST(MessageCompiler, TableHoldsUtf16TextsAndRegistersTheModule) {
  const auto catalogue = Parse(
      "MessageId=0x10\nSeverity=Warning\nSymbolicName=A\nLanguage=English\n"
      "Path \"C:\\dir\"\n\xE2\x82\xAC\n.\n");
  const std::string table = mcgen::WriteTable(catalogue, "test.mc", "velmon.dll");
  EXPECT_THAT(table, HasSubstr("{0x8FFF0010u, 0x0409u,"));
  EXPECT_THAT(table, HasSubstr("u\"Path \\\"C:\\\\dir\\\"\\r\\n\"\n        u\"\\u20AC\\r\\n\"}"));
  EXPECT_THAT(table, HasSubstr("VelRegisterMessageTable(\"velmon.dll\", kMessages,"));

  const std::string empty = mcgen::WriteTable(Parse("; nothing\n"), "empty.mc", "empty.dll");
  EXPECT_THAT(empty, HasSubstr("VelRegisterMessageTable(\"empty.dll\", nullptr, 0)"));
}

struct Malformed {
  const char* source;
  int line;
  const char* says;
};

TEST(MessageCompiler, MalformedInputIsRejectedWithItsLine) {
  const Malformed cases[] = {
      {"MessageId=1\nLanguage=English\nx\n.\nColour=Red\n", 5, "unknown keyword"},
      {"MessageId=1\nSeverity=Fatal\nLanguage=English\nx\n.\n", 2, "unknown severity"},
      {"MessageId=1\nFacility=Nowhere\n", 2, "unknown facility"},
      {"MessageId=1\nLanguage=Klingon\n", 2, "unknown language"},
      {"MessageId=0x10000\nLanguage=English\nx\n.\n", 1, "16 bits"},
      {"MessageId=0xFFFF\nLanguage=English\nx\n.\nMessageId=\nLanguage=English\nx\n.\n", 5, "16 bits"},
      {"MessageId=0x\n", 1, "bad MessageId"},
      {"MessageId=12ab\n", 1, "bad MessageId"},
      {"\nMessageId=1\nLanguage=English\nno end\n", 3, "single '.'"},
      {"Language=English\nx\n.\n", 1, "outside a message definition"},
      {"Severity=Error\n", 1, "outside a message definition"},
      {"MessageId=1\nLanguage=English\nx\n.\nSeverity=Error\n", 5, "before the message's first Language"},
      {"MessageId=1\nSymbolicName=A\nLanguage=English\nx\n.\nMessageId=2\nSymbolicName=A\n", 7, "already used on line 2"},
      {"MessageId=1\nSymbolicName=9lives\n", 2, "not a valid symbolic name"},
      {"MessageId=1\nLanguage=English\nx\n.\nMessageId=1\nLanguage=English\nx\n.\n", 5, "already used on line 1"},
      {"MessageId=1\nLanguage=English\nx\n.\nLanguage=English\ny\n.\n", 5, "already has a text"},
      {"MessageId=1\nSymbolicName=A\n\nMessageId=2\nLanguage=English\nx\n.\n", 1, "no Language= text"},
      {"MessageId=1\n", 1, "no Language= text"},
      {"SeverityNames=(Low=0x0\n  High=0x4\n)\n", 2, "out of range"},
      {"FacilityNames=(Big=0x1000)\n", 1, "out of range"},
      {"SeverityNames=(Low=0x0\n  High=0x1\n", 1, "no closing ')'"},
      {"LanguageNames=(French=0x40C)\n", 1, "needs ':filename'"},
      {"SeverityNames=(Low=zero)\n", 1, "bad number"},
      {"OutputBase=8\n", 1, "10 or 16"},
      {"MessageId=1\nLanguage=English\nbad \xC3\x28 byte\n.\n", 3, "UTF-8"},
      {"just some words\n", 1, "expected keyword=value"},
  };
  for (const Malformed& c : cases) {
    SCOPED_TRACE(c.source);
    try {
      Parse(c.source);
      ADD_FAILURE() << "accepted";
    } catch (const mcgen::McError& error) {
      EXPECT_EQ(error.Line(), c.line);
      EXPECT_THAT(error.what(), HasSubstr(c.says));
    }
  }
}

}  // namespace
