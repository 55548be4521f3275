// The SNMP utility and management library: identifier copy, append, compare,
// free, the allocator, and text-to-identifier conversion.
#include <mgmtapi.h>
#include <snmp.h>
#include <velplat/faults.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Oid {
  std::vector<UINT> arcs;
  AsnObjectIdentifier View() { return AsnObjectIdentifier{static_cast<UINT>(arcs.size()), arcs.data()}; }
};

// Pointers inside the SDK's 4-byte-packed structures are not 8-byte aligned:
// read them by value before handing them to an assertion, which binds a
// reference.
const void* Ptr(const void* p) { return p; }

std::string Dotted(const AsnObjectIdentifier& oid) {
  std::string text;
  for (UINT i = 0; i < oid.idLength; ++i) text += (i ? "." : "") + std::to_string(oid.ids[i]);
  return text;
}

TEST(SnmpUtilOid, CompareOrdersByArcsThenLength) {
  Oid a{{1, 3, 6}}, b{{1, 3, 7}}, prefix{{1, 3}}, same{{1, 3, 6}};
  auto va = a.View(), vb = b.View(), vp = prefix.View(), vs = same.View();
  EXPECT_LT(SnmpUtilOidCmp(&va, &vb), 0);
  EXPECT_GT(SnmpUtilOidCmp(&vb, &va), 0);
  EXPECT_LT(SnmpUtilOidCmp(&vp, &va), 0);  // a leading part sorts first
  EXPECT_GT(SnmpUtilOidCmp(&va, &vp), 0);
  EXPECT_EQ(SnmpUtilOidCmp(&va, &vs), 0);
  // Prefix compare looks at n arcs only, but a shorter name differs when n
  // reaches past its end.
  EXPECT_EQ(SnmpUtilOidNCmp(&va, &vb, 2), 0);
  EXPECT_LT(SnmpUtilOidNCmp(&va, &vb, 3), 0);
  EXPECT_EQ(SnmpUtilOidNCmp(&vp, &va, 2), 0);
  EXPECT_LT(SnmpUtilOidNCmp(&vp, &va, 3), 0);
  EXPECT_EQ(SnmpUtilOidNCmp(&va, &vs, 10), 0);
  EXPECT_EQ(SnmpUtilOidNCmp(&va, &vb, 0), 0);
}

TEST(SnmpUtilOid, CopyAppendAndFree) {
  Oid src{{1, 3, 6, 1}}, tail{{4, 1}};
  auto vs = src.View(), vt = tail.View();
  AsnObjectIdentifier copy{0, nullptr};
  ASSERT_TRUE(SnmpUtilOidCpy(&copy, &vs));
  EXPECT_NE(Ptr(copy.ids), src.arcs.data());
  ASSERT_TRUE(SnmpUtilOidAppend(&copy, &vt));
  EXPECT_EQ(Dotted(copy), "1.3.6.1.4.1");
  EXPECT_EQ(Dotted(vs), "1.3.6.1");  // the source is untouched
  SnmpUtilOidFree(&copy);
  EXPECT_EQ(copy.idLength, 0u);
  EXPECT_EQ(Ptr(copy.ids), nullptr);
  AsnObjectIdentifier empty{0, nullptr};
  ASSERT_TRUE(SnmpUtilOidCpy(&copy, &empty));
  EXPECT_EQ(copy.idLength, 0u);
  ASSERT_TRUE(SnmpUtilOidAppend(&copy, &vt));
  EXPECT_EQ(Dotted(copy), "4.1");
  SnmpUtilOidFree(&copy);
}

TEST(SnmpUtilOid, AllocationFailuresLeaveTheDestinationUsable) {
  Oid src{{1, 3}};
  auto vs = src.View();
  AsnObjectIdentifier copy{0, nullptr};
  velplat::faults::FailNext(velplat::faults::Point::SnmpAlloc);
  EXPECT_FALSE(SnmpUtilOidCpy(&copy, &vs));
  EXPECT_EQ(Ptr(copy.ids), nullptr);
  ASSERT_TRUE(SnmpUtilOidCpy(&copy, &vs));
  velplat::faults::FailNext(velplat::faults::Point::SnmpAlloc);
  EXPECT_FALSE(SnmpUtilOidAppend(&copy, &vs));
  EXPECT_EQ(Dotted(copy), "1.3");
  SnmpUtilOidFree(&copy);
}

TEST(SnmpUtilMem, AllocationsAreZeroedAndZeroBytesStillGiveABlock) {
  auto* block = static_cast<unsigned char*>(SnmpUtilMemAlloc(64));
  ASSERT_NE(block, nullptr);
  for (int i = 0; i < 64; ++i) EXPECT_EQ(block[i], 0);
  SnmpUtilMemFree(block);
  void* none = SnmpUtilMemAlloc(0);
  EXPECT_NE(none, nullptr);
  SnmpUtilMemFree(none);
  SnmpUtilMemFree(nullptr);
}

TEST(SnmpUtilVarBind, ListFreeReleasesNamesAndDynamicValues) {
  SnmpVarBindList list{static_cast<SnmpVarBind*>(SnmpUtilMemAlloc(2 * sizeof(SnmpVarBind))), 2};
  Oid name{{1, 3, 6}};
  auto vn = name.View();
  for (UINT i = 0; i < 2; ++i) ASSERT_TRUE(SnmpUtilOidCpy(&list.list[i].name, &vn));
  list.list[0].value.asnType = ASN_OCTETSTRING;
  list.list[0].value.asnValue.string = {static_cast<BYTE*>(SnmpUtilMemAlloc(3)), 3, TRUE};
  list.list[1].value.asnType = ASN_OBJECTIDENTIFIER;
  ASSERT_TRUE(SnmpUtilOidCpy(&list.list[1].value.asnValue.object, &vn));
  SnmpVarBind copy{};
  ASSERT_TRUE(SnmpUtilVarBindCpy(&copy, &list.list[0]));
  EXPECT_NE(Ptr(copy.value.asnValue.string.stream), Ptr(list.list[0].value.asnValue.string.stream));
  SnmpUtilVarBindFree(&copy);
  SnmpUtilVarBindListFree(&list);  // LeakSanitizer checks that nothing stays
  EXPECT_EQ(list.list, nullptr);
  EXPECT_EQ(list.len, 0u);
}

TEST(SnmpMgrStrToOid, ConvertsDottedNumbers) {
  AsnObjectIdentifier oid{0, nullptr};
  char view[] = ".1.3.6.1.4.1.32473.2.18.22.4.2";
  ASSERT_TRUE(SnmpMgrStrToOid(view, &oid));
  EXPECT_EQ(oid.idLength, 12u);
  EXPECT_EQ(Dotted(oid), "1.3.6.1.4.1.32473.2.18.22.4.2");
  SnmpUtilOidFree(&oid);
  char zeros[] = ".0.0";
  ASSERT_TRUE(SnmpMgrStrToOid(zeros, &oid));
  EXPECT_EQ(Dotted(oid), "0.0");
  SnmpUtilOidFree(&oid);
  char relative[] = "1.5.0";  // without a leading dot: under mib-2
  ASSERT_TRUE(SnmpMgrStrToOid(relative, &oid));
  EXPECT_EQ(Dotted(oid), "1.3.6.1.2.1.1.5.0");
  SnmpUtilOidFree(&oid);
  char max[] = ".4294967295";
  ASSERT_TRUE(SnmpMgrStrToOid(max, &oid));
  EXPECT_EQ(oid.ids[0], 4294967295u);
  SnmpUtilOidFree(&oid);
}

TEST(SnmpMgrStrToOid, RefusesTextThatIsNotADottedNumberList) {
  for (const char* text : {"", ".", "..1", ".1..2", ".1.2.", "1.a", ".1.-2", ".4294967296", "system.sysDescr", " .1"}) {
    std::string copy = text;
    AsnObjectIdentifier oid{77, nullptr};
    EXPECT_FALSE(SnmpMgrStrToOid(copy.data(), &oid)) << text;
    EXPECT_EQ(oid.idLength, 77u) << text;
  }
  char ok[] = ".1";
  AsnObjectIdentifier oid{0, nullptr};
  velplat::faults::FailNext(velplat::faults::Point::SnmpAlloc);
  EXPECT_FALSE(SnmpMgrStrToOid(ok, &oid));
}

}  // namespace
