// Requests the SNMP service would not normally send, replayed from the query
// fuzzer's findings (the bytes are fuzz/request_decoder.h's encoding; the same
// inputs sit in fuzz/corpus/snmp_query/).
#include "fuzz/request_decoder.h"
#include "agent/support/snmp_request.h"

#include <gtest/gtest.h>
#include <malloc.h>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

#include <string>
#include <vector>

namespace velmon {
namespace {

using test::Relative;

// GetNext of view.1.2.5 carrying the object identifier 1.3.6, and of
// view.1.1.2.0 carrying INTEGER 7 (fuzz/corpus/snmp_query/getnext_with_values).
const std::vector<uint8_t> kGetNextWithValues = {
    0xa1, 0x02, 0x01, 0x03, 0x01, 0x02, 0x05, 0x06, 0x0c, 0x01, 0x00, 0x00, 0x00, 0x03, 0x00, 0x00, 0x00,
    0x06, 0x00, 0x00, 0x00, 0x01, 0x04, 0x01, 0x01, 0x02, 0x00, 0x02, 0x04, 0x07, 0x00, 0x00, 0x00};

// Get of view.1.1.1.0 carrying a 200-byte OCTET STRING.
std::vector<uint8_t> GetWithLongString() {
  std::vector<uint8_t> bytes = {0xa0, 0x01, 0x01, 0x04, 0x01, 0x01, 0x01, 0x00, 0x04, 200};
  bytes.insert(bytes.end(), 200, 'A');
  return bytes;
}

// Unused under ThreadSanitizer, which has neither leak check nor heap count.
[[maybe_unused]] void Replay(const std::vector<uint8_t>& input) {
  fuzz::DecodedRequest request(input.data(), input.size());
  AsnInteger32 status = -7;
  AsnInteger32 index = -7;
  SnmpExtensionQuery(request.type, &request.list, &status, &index);
}

TEST(HostileRequest, AnswersReplaceAndReleaseTheValuesBindingsCameWith) {
  {
    fuzz::DecodedRequest request(kGetNextWithValues.data(), kGetNextWithValues.size());
    AsnInteger32 status = -7;
    AsnInteger32 index = -7;
    ASSERT_TRUE(SnmpExtensionQuery(request.type, &request.list, &status, &index));
    EXPECT_EQ(status, SNMP_ERRORSTATUS_NOERROR);
    EXPECT_EQ(Relative(request.list.list[0].name), "1.2.5.0");
    EXPECT_EQ(request.list.list[0].value.asnType, ASN_OBJECTIDENTIFIER);
    EXPECT_EQ(Relative(request.list.list[1].name), "1.2.1.0");
    EXPECT_EQ(request.list.list[1].value.asnType, ASN_OCTETSTRING);
  }
  {
    std::vector<uint8_t> input = GetWithLongString();
    fuzz::DecodedRequest request(input.data(), input.size());
    AsnInteger32 status = -7;
    AsnInteger32 index = -7;
    ASSERT_TRUE(SnmpExtensionQuery(request.type, &request.list, &status, &index));
    EXPECT_EQ(status, SNMP_ERRORSTATUS_NOERROR);
    EXPECT_EQ(request.list.list[0].value.asnType, ASN_INTEGER);
  }
#if defined(__SANITIZE_ADDRESS__)
  // The old values must have been released, not dropped.
  for (int i = 0; i < 10; ++i) {
    Replay(kGetNextWithValues);
    Replay(GetWithLongString());
  }
  EXPECT_EQ(__lsan_do_recoverable_leak_check(), 0);
#elif !defined(__SANITIZE_THREAD__)
  // Without LeakSanitizer: dropped values would make the heap grow by more
  // than 200 bytes per request.
  size_t before = mallinfo2().uordblks;
  std::vector<uint8_t> longString = GetWithLongString();
  for (int i = 0; i < 2000; ++i) {
    Replay(kGetNextWithValues);
    Replay(longString);
  }
  size_t after = mallinfo2().uordblks;
  EXPECT_LT(after > before ? after - before : 0, 64u * 1024u);
#endif
}

}  // namespace
}  // namespace velmon
