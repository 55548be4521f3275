// velmond against hostile datagrams on loopback: malformed and truncated
// messages, wrong versions and communities, Sets of odd and huge values, and
// object names at the limits of SNMP. Whatever comes in, the daemon drops or
// refuses it, changes nothing, and keeps answering correct requests
// correctly.
#include <gtest/gtest.h>

#include <random>

#include "host/support/daemon.h"
#include "host/support/snmp_socket.h"
#include "host/support/view_walk.h"

namespace velmond::testing {
namespace {

using ber::Bytes;
using ber::Oid;
namespace tag = ber::tag;
namespace error = ber::error;

constexpr std::uint32_t kMaxArc = 4294967295u;
constexpr std::size_t kMaxOidArcs = 128;

std::string Expected(const std::string& name) { return std::string(VELMOND_EXPECTED_DIR) + "/" + name; }

std::vector<Oid> Names(const std::vector<ber::Binding>& walk) {
  std::vector<Oid> names;
  for (const ber::Binding& b : walk) names.push_back(b.name);
  return names;
}

// `base` filled up to `arcs` arcs with `fill`.
Oid Padded(Oid base, std::size_t arcs, std::uint32_t fill) {
  base.resize(arcs, fill);
  return base;
}

// A daemon on a world, a socket to it and the known-good walk of its view.
class Hostile : public ::testing::Test {
 protected:
  void StartOn(const std::string& world, const std::string& expectedBase, const std::vector<std::string>& extra = {}) {
    std::vector<std::string> args{"--world", ExampleWorld(world)};
    args.insert(args.end(), extra.begin(), extra.end());
    daemon_ = std::make_unique<Daemon>(dir_, args);
    ASSERT_TRUE(daemon_->Started()) << daemon_->Log();
    socket_ = std::make_unique<SnmpSocket>(daemon_->Target());
    ASSERT_TRUE(socket_->Ok());
    // The agent finds its cluster on its own thread: walk until the view
    // holds what the expected output names.
    std::vector<Oid> names = ExpectedNames(Expected(expectedBase + ".v2c.txt"));
    ASSERT_FALSE(names.empty());
    ASSERT_TRUE(WaitUntil(
        [&] {
          reference_ = WalkView(*socket_);
          return Names(reference_) == names;
        },
        std::chrono::seconds(20)))
        << reference_.size() << " instances\n"
        << daemon_->Log();
  }

  // A known-good Get and a whole walk still answer exactly as before.
  void ExpectStillCorrect(const std::string& after) {
    SCOPED_TRACE(after);
    auto get = socket_->Ask(Request(tag::kGet, {reference_.front().name}, ++id_));
    ASSERT_TRUE(get) << "no answer to a good Get";
    EXPECT_EQ(get->errorStatus, error::kNoError);
    ASSERT_EQ(get->bindings.size(), 1u);
    EXPECT_EQ(get->bindings.front(), reference_.front());
    EXPECT_EQ(WalkView(*socket_), reference_);
  }

  // Sends each datagram, in groups small enough for the daemon's socket
  // buffer; none of them may draw an answer.
  void ExpectAllDropped(const std::vector<Bytes>& datagrams, const std::string& what) {
    SCOPED_TRACE(what);
    int skippedBefore = socket_->Skipped();
    for (std::size_t i = 0; i < datagrams.size(); ++i) {
      ASSERT_TRUE(socket_->Send(datagrams[i])) << i;
      // The answer to a good Get comes after whatever the group drew. Large
      // datagrams go one at a time, so that none is lost to a full buffer.
      if (i % 32 == 31 || datagrams[i].size() > 8192 || i + 1 == datagrams.size()) {
        auto get = socket_->Ask(Request(tag::kGet, {reference_.front().name}, ++id_));
        ASSERT_TRUE(get) << "no answer after datagram " << i;
        EXPECT_EQ(get->bindings, std::vector<ber::Binding>{reference_.front()});
      }
    }
    EXPECT_EQ(socket_->Skipped(), skippedBefore) << "a hostile datagram was answered";
    EXPECT_TRUE(socket_->Silent(std::chrono::milliseconds(200)));
    ExpectStillCorrect(what);
  }

  void TearDown() override {
    if (!daemon_) return;
    EXPECT_EQ(daemon_->Stop(), 0);
    EXPECT_FALSE(HasSanitizerReport(daemon_->Log())) << daemon_->Log();
  }

  TempDir dir_;
  std::unique_ptr<Daemon> daemon_;
  std::unique_ptr<SnmpSocket> socket_;
  std::vector<ber::Binding> reference_;
  std::int64_t id_ = 1000;
};

// A message assembled by hand around raw PDU field bytes.
Bytes Wrap(const Bytes& version, const Bytes& community, std::uint8_t pdu, const Bytes& fields) {
  return ber::Tlv(tag::kSequence, version + community + ber::Tlv(pdu, fields));
}

Bytes Int(std::int64_t n) { return ber::Tlv(tag::kInteger, ber::IntegerContent(n)); }

// A Get of `name` whose OID content is given raw.
Bytes GetWithRawName(const Bytes& oidContent) {
  Bytes binding = ber::Tlv(tag::kSequence, ber::Tlv(tag::kObjectId, oidContent) + ber::Tlv(tag::kNull, ""));
  return Wrap(Int(1), ber::Tlv(tag::kOctetString, "public"), tag::kGet,
              Int(7) + Int(0) + Int(0) + ber::Tlv(tag::kSequence, binding));
}

TEST_F(Hostile, MalformedDatagramsAreDroppedAndGoodRequestsStillAnswered) {
  StartOn("no-cluster.toml", "no-cluster");
  auto start = std::chrono::steady_clock::now();
  std::mt19937 random(20261207);
  auto bytes = [&](std::size_t n) {
    Bytes b(n, '\0');
    for (char& c : b) c = static_cast<char>(random() & 0xFF);
    return b;
  };

  std::vector<Bytes> noise{""};
  for (int i = 0; i < 256; ++i) noise.push_back(Bytes(1, static_cast<char>(i)));
  for (int i = 0; i < 200; ++i) noise.push_back(bytes(1 + random() % 600));
  // Random bodies behind a plausible start, to get past the first checks.
  for (int i = 0; i < 200; ++i) {
    Bytes body = bytes(10 + random() % 200);
    noise.push_back(ber::Tlv(tag::kSequence, Int(random() % 2) + ber::Tlv(tag::kOctetString, "public") + body));
  }
  ExpectAllDropped(noise, "random bytes");

  // Good requests cut short at every length.
  std::vector<Bytes> truncated;
  std::vector<ber::Message> goods{Request(tag::kGet, {InView({1, 1, 1, 0}), InView({1, 2, 7, 0})}, 42),
                                  Request(tag::kGetNext, {ViewOid()}, 43, 0), Bulk(ViewOid(), 0, 10, 44),
                                  Request(tag::kSet, {InView({1, 2, 7, 0})}, 45)};
  goods.back().bindings.front().value = ber::Octets("renamed");
  for (const ber::Message& good : goods) {
    Bytes whole = ber::Encode(good);
    for (std::size_t length = 0; length < whole.size(); ++length) truncated.push_back(whole.substr(0, length));
  }
  ExpectAllDropped(truncated, "truncated requests");

  // Lengths that lie: longer than the datagram, indefinite, huge, or more
  // length bytes than any datagram needs.
  Bytes get = ber::Encode(Request(tag::kGet, {InView({1, 1, 1, 0})}, 46));
  Bytes inner = get.substr(2);
  std::vector<Bytes> lying{
      "\x30\x7F" + inner,
      "\x30\x80" + inner + Bytes(2, '\0'),
      "\x30\x84\xFF\xFF\xFF\xFF" + inner,
      "\x30\x84\x7F\xFF\xFF\xFF" + inner,
      "\x30\x89\x00\x00\x00\x00\x00\x00\x00\x00" + Bytes(1, static_cast<char>(inner.size())) + inner,
      "\x30\xFF" + inner,
      Wrap(Int(1), "\x04\x84\xFF\xFF\xFF\xF0public", tag::kGet, inner.substr(12)),
      Wrap(Int(1), "\x04\x80public\x00\x00", tag::kGet, Int(1) + Int(0) + Int(0) + "\x30\x00"),
      Wrap(Int(1), ber::Tlv(tag::kOctetString, "public"), tag::kGet,
           Int(1) + Int(0) + Int(0) + "\x30\x84\x10\x00\x00\x00"),
      Wrap(Int(1), ber::Tlv(tag::kOctetString, "public"), tag::kGet,
           Int(1) + Int(0) + Int(0) + ber::Tlv(tag::kSequence, "\x30\x10\x06\x7F\x2B")),
      Wrap(ber::Tlv(tag::kInteger, ""), ber::Tlv(tag::kOctetString, "public"), tag::kGet,
           Int(1) + Int(0) + Int(0) + "\x30\x00"),
      Wrap(Int(1), ber::Tlv(tag::kOctetString, "public"), tag::kGet,
           ber::Tlv(tag::kInteger, Bytes(9, '\x7F')) + Int(0) + Int(0) + "\x30\x00"),
      // An OID with a subidentifier beyond 32 bits, and one left open.
      GetWithRawName("\x2B\x06\x01\x90\x80\x80\x80\x00"),
      GetWithRawName("\x2B\x06\x01\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF\x7F"),
      GetWithRawName("\x2B\x06\x81"),
      // 129 arcs: one more than SNMP allows.
      GetWithRawName(ber::OidContent(Padded(ViewOid(), kMaxOidArcs + 1, 1))),
  };
  ExpectAllDropped(lying, "lying lengths");

  // Versions other than v1 and v2c, including v3 with a v1 body.
  std::vector<Bytes> versions;
  for (std::int64_t version : {2ll, 3ll, -1ll, 255ll, 2147483648ll, -9223372036854775807ll}) {
    ber::Message m = Request(tag::kGet, {InView({1, 1, 1, 0})}, 47);
    m.version = version;
    versions.push_back(ber::Encode(m));
  }
  versions.push_back(Wrap(ber::Tlv(tag::kOctetString, "\x01"), ber::Tlv(tag::kOctetString, "public"), tag::kGet,
                          Int(1) + Int(0) + Int(0) + "\x30\x00"));
  // A response, a v1 trap and a report are not requests.
  for (std::uint8_t pdu : {tag::kResponse, std::uint8_t{0xA4}, std::uint8_t{0xA7}, std::uint8_t{0xA8},
                           std::uint8_t{0xAF}, std::uint8_t{0x30}}) {
    versions.push_back(ber::Encode(Request(pdu, {InView({1, 1, 1, 0})}, 48)));
  }
  ExpectAllDropped(versions, "wrong versions and PDU types");
  // net-snmp keeps only the low 32 bits of a longer version number: such a
  // request is either dropped or answered exactly as the version it becomes.
  for (std::int64_t version : {4294967296ll, 4294967297ll, -9223372036854775807ll - 1}) {
    ber::Message m = Request(tag::kGet, {reference_.front().name}, ++id_);
    m.version = version;
    auto answer = socket_->Ask(m, std::chrono::milliseconds(500));
    if (!answer) continue;
    EXPECT_EQ(answer->version, version & 1) << version;
    EXPECT_EQ(answer->bindings, std::vector<ber::Binding>{reference_.front()}) << version;
  }
  // The largest datagram UDP carries: junk is dropped, and a good Get with
  // an equally large value in its binding is answered as usual.
  constexpr std::size_t kLargest = 65507;
  ExpectAllDropped({bytes(kLargest), "\x30\x83\x00\xFF\xDE" + bytes(kLargest - 5)}, "largest junk");
  ber::Message large = Request(tag::kGet, {reference_.front().name}, 49);
  large.bindings.front().value = ber::Octets(Bytes(kLargest, 'x'));
  // The lengths around the value change size with it: correct until it fits.
  for (int i = 0; i < 4 && ber::Encode(large).size() != kLargest; ++i) {
    auto excess = static_cast<std::ptrdiff_t>(ber::Encode(large).size()) - static_cast<std::ptrdiff_t>(kLargest);
    Bytes& content = large.bindings.front().value.content;
    content.resize(static_cast<std::size_t>(static_cast<std::ptrdiff_t>(content.size()) - excess), 'x');
  }
  ASSERT_EQ(ber::Encode(large).size(), kLargest);
  auto answer = socket_->Ask(large);
  ASSERT_TRUE(answer) << "no answer to the largest Get";
  EXPECT_EQ(answer->bindings, std::vector<ber::Binding>{reference_.front()});
  ExpectStillCorrect("largest Get");

  auto took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
  std::printf("[ hostile  ] %zu noise, %zu truncated, %zu lying, %zu version datagrams in %lld ms\n", noise.size(),
              truncated.size(), lying.size(), versions.size(), static_cast<long long>(took.count()));
}

TEST_F(Hostile, WrongCommunitiesAreNeverAnsweredAndTheRightOnesStillAre) {
  StartOn("no-cluster.toml", "no-cluster", {"--write-community", "private"});
  std::vector<Bytes> wrong{"",        "publi",  "PUBLIC",           "public ",        " public",
                           "publicx", "Public", Bytes("public\0", 7), Bytes("pub\0lic", 7), Bytes(1000, 'p'),
                           "priv",    "PRIVATE", "private\n",       Bytes(60000, 'q')};
  std::vector<Bytes> datagrams;
  for (const Bytes& community : wrong) {
    for (std::int64_t version : {0, 1}) {
      for (std::uint8_t pdu : {tag::kGet, tag::kGetNext, tag::kSet, tag::kGetBulk}) {
        if (version == 0 && pdu == tag::kGetBulk) continue;
        ber::Message m = Request(pdu, {InView({1, 2, 7, 0})}, 50, version, community);
        if (pdu == tag::kSet) m.bindings.front().value = ber::Octets("renamed");
        if (pdu == tag::kGetBulk) m.errorIndex = 10;
        datagrams.push_back(ber::Encode(m));
      }
    }
  }
  ExpectAllDropped(datagrams, "wrong communities");
  // Both configured communities read the same view, in v1 as in v2c.
  EXPECT_EQ(WalkView(*socket_, 0, "public"), reference_);
  EXPECT_EQ(WalkView(*socket_, 1, "private"), reference_);
  EXPECT_EQ(WalkView(*socket_, 0, "private"), reference_);
}

TEST_F(Hostile, SetsOfHostileValuesAreRefusedAndChangeNothing) {
  StartOn("no-cluster.toml", "no-cluster", {"--write-community", "private"});
  const Oid existing = InView({1, 2, 7, 0});
  const Oid missing = InView({1, 2, 20, 0});
  const Oid outside{1, 3, 6, 1, 2, 1, 99, 5, 0};
  std::vector<std::pair<std::string, ber::Value>> values{
      {"largest INTEGER", ber::Integer(INT64_MAX)},
      {"smallest INTEGER", ber::Integer(INT64_MIN)},
      {"string of 60000 bytes", ber::Octets(Bytes(60000, 's'))},
      {"empty string", ber::Octets("")},
      {"OID of 128 largest arcs", ber::ObjectId(Padded({1, 3}, kMaxOidArcs, kMaxArc))},
      {"empty OID", {tag::kObjectId, ""}},
      {"largest Counter64", ber::Unsigned(tag::kCounter64, UINT64_MAX)},
      {"Counter32 beyond 32 bits", {tag::kCounter32, "\x01\xFF\xFF\xFF\xFF"}},
      {"Opaque of 1000 bytes", {tag::kOpaque, Bytes(1000, 'o')}},
      {"noSuchObject", {tag::kNoSuchObject, ""}},
      {"endOfMibView", {tag::kEndOfMibView, ""}},
      {"unknown application tag", {0x47, "ab"}},
  };
  struct Community {
    std::string name;
    std::int64_t version;
    std::int64_t existing, missing, outside;  // the expected refusals
  };
  // The read-only community is refused before the agent is asked; through the
  // write community the agent refuses (v1 folds every refusal into
  // noSuchName). Nothing is registered at `outside`.
  std::vector<Community> communities{
      {"public", 1, error::kNoAccess, error::kNoAccess, error::kNoAccess},
      {"public", 0, error::kNoSuchName, error::kNoSuchName, error::kNoSuchName},
      {"private", 1, error::kNotWritable, error::kNoCreation, error::kNotWritable},
      {"private", 0, error::kNoSuchName, error::kNoSuchName, error::kNoSuchName},
  };
  int asked = 0;
  for (const Community& c : communities) {
    for (const auto& [what, value] : values) {
      for (const auto& [target, refusal] :
           std::vector<std::pair<Oid, std::int64_t>>{{existing, c.existing}, {missing, c.missing}, {outside, c.outside}}) {
        SCOPED_TRACE(c.name + " v" + std::to_string(c.version + 1) + ": " + what + " to " + ber::ToString(target));
        ber::Message set = Request(tag::kSet, {target}, ++id_, c.version, c.name);
        set.bindings[0].value = value;
        auto answer = socket_->Ask(set);
        ++asked;
        ASSERT_TRUE(answer) << "no answer";
        EXPECT_EQ(answer->pdu, tag::kResponse);
        EXPECT_EQ(answer->errorStatus, refusal);
        EXPECT_EQ(answer->errorIndex, 1);
      }
    }
    // Several bindings: the first refused one is named.
    ber::Message several = Request(tag::kSet, {InView({1, 1, 1, 0}), existing, missing}, ++id_, c.version, c.name);
    several.bindings[0].value = ber::Integer(5);
    several.bindings[1].value = ber::Octets(Bytes(30000, 'n'));
    several.bindings[2].value = ber::Integer(1);
    auto answer = socket_->Ask(several);
    ++asked;
    ASSERT_TRUE(answer) << c.name << " v" << c.version + 1;
    EXPECT_EQ(answer->errorStatus, c.existing);
    EXPECT_EQ(answer->errorIndex, 1);
    EXPECT_EQ(answer->bindings.size(), 3u);
  }
  // Values net-snmp cannot even decode draw no answer at all.
  std::vector<Bytes> undecodable;
  for (const ber::Value& bad : std::vector<ber::Value>{{tag::kInteger, Bytes(9, '\x01')},
                                                       {tag::kIpAddress, "\x01\x02\x03"},
                                                       {tag::kIpAddress, "\x01\x02\x03\x04\x05"},
                                                       {0x9F, "ab"}}) {
    for (const char* community : {"public", "private"}) {
      ber::Message set = Request(tag::kSet, {existing}, 60, 1, community);
      set.bindings[0].value = bad;
      undecodable.push_back(ber::Encode(set));
    }
  }
  ExpectAllDropped(undecodable, "undecodable Set values");
  ExpectStillCorrect("hostile Sets");
  std::printf("[ hostile  ] %d refused Sets\n", asked);
}

TEST_F(Hostile, NamesOfTheLargestSizeAndArcsGetTheRightAnswers) {
  if (VELMOND_ORACLE_TESTS) {
    StartOn("oracle-rac-2.toml", "oracle-rac-2");
  } else {
    StartOn("no-cluster.toml", "no-cluster");
  }
  // The right GetNext answer is the first instance of the walk after the
  // name; past the last one there is nothing else registered.
  auto successor = [&](const Oid& name) -> const ber::Binding* {
    for (const ber::Binding& b : reference_) {
      if (name < b.name) return &b;
    }
    return nullptr;
  };
  auto inView = [](const Oid& name) {
    return name.size() > ViewOid().size() && std::equal(ViewOid().begin(), ViewOid().end(), name.begin());
  };
  std::vector<Oid> probes{
      Padded(InView({1, 1, 1, 0}), kMaxOidArcs, 0),
      Padded(InView({1, 1, 1, 0}), kMaxOidArcs, kMaxArc),
      Padded(InView({1, 2, 7, 0}), kMaxOidArcs, kMaxArc),
      InView({1, 2, 8, 1, 1, kMaxArc}),
      InView({1, 2, 8, 1, 2, kMaxArc}),
      InView({1, 2, 11, 1, 2, kMaxArc}),
      Padded(InView({1, 2, 11, 1, 2}), kMaxOidArcs, kMaxArc),
      InView({1, 2, 11, 1, 4, kMaxArc}),
      InView({1, 2, 11, 1, kMaxArc}),
      InView({1, 2, 12, 1, 2, kMaxArc, kMaxArc}),
      InView({1, 2, 9, 0, kMaxArc}),
      InView({1, 2, 9, kMaxArc}),
      InView({1, 2, 10, kMaxArc}),
      InView({1, 2, 13, kMaxArc}),
      InView({1, 2, kMaxArc}),
      InView({1, kMaxArc}),
      InView({kMaxArc}),
      Padded(ViewOid(), kMaxOidArcs, kMaxArc),
      Padded({1, 3, 6, 1, 4, 1, 32473}, kMaxOidArcs, kMaxArc),
      Padded(PastViewOid(), kMaxOidArcs, kMaxArc),
      Padded({1, 3, 6, 1, 4, 1, 32473, 2, 18, 22, 4, 0}, kMaxOidArcs, kMaxArc),
      Padded({2, kMaxArc - 80}, kMaxOidArcs, kMaxArc),
      Padded({1, 3, 6, 1, 4}, kMaxOidArcs, 0),  // after the system group, before the view
  };
  if (VELMOND_ORACLE_TESTS) {
    // The last sub-index of a node's address: its column ends there.
    probes.push_back(InView({1, 2, 12, 1, 1, 1, kMaxArc}));
    probes.push_back(InView({1, 2, 12, 1, 2, 2, kMaxArc}));
    probes.push_back(Padded(InView({1, 2, 11, 1, 2, 1}), kMaxOidArcs, 0));
  }
  int asked = 0;
  for (std::int64_t version : {0, 1}) {
    for (const Oid& name : probes) {
      SCOPED_TRACE("v" + std::to_string(version + 1) + " " + ber::ToString(name));
      ASSERT_LE(name.size(), kMaxOidArcs);
      auto get = socket_->Ask(Request(tag::kGet, {name}, ++id_, version));
      auto next = socket_->Ask(Request(tag::kGetNext, {name}, ++id_, version));
      asked += 2;
      ASSERT_TRUE(get && next) << "no answer";
      ASSERT_EQ(get->bindings.size(), 1u);
      ASSERT_EQ(next->bindings.size(), 1u);
      // None of these names is an instance.
      if (version == 0) {
        EXPECT_EQ(get->errorStatus, error::kNoSuchName);
        EXPECT_EQ(get->errorIndex, 1);
      } else {
        EXPECT_EQ(get->errorStatus, error::kNoError);
        EXPECT_EQ(get->bindings.front().value.type, inView(name) ? tag::kNoSuchInstance : tag::kNoSuchObject);
      }
      const ber::Binding* expected = successor(name);
      if (expected) {
        EXPECT_EQ(next->errorStatus, error::kNoError);
        EXPECT_EQ(next->bindings.front(), *expected);
      } else if (version == 0) {
        EXPECT_EQ(next->errorStatus, error::kNoSuchName);
      } else {
        EXPECT_EQ(next->bindings.front().value.type, tag::kEndOfMibView);
        EXPECT_EQ(next->bindings.front().name, name);
      }
    }
  }
  // All of them in one request of many bindings.
  std::vector<Oid> all(probes.begin(), probes.end());
  auto many = socket_->Ask(Request(tag::kGetNext, all, ++id_));
  ASSERT_TRUE(many);
  ASSERT_EQ(many->bindings.size(), all.size());
  for (std::size_t i = 0; i < all.size(); ++i) {
    const ber::Binding* expected = successor(all[i]);
    if (expected) {
      EXPECT_EQ(many->bindings[i], *expected) << ber::ToString(all[i]);
    }
  }
  ExpectStillCorrect("largest names");
  std::printf("[ hostile  ] %d requests of extreme names\n", asked + 1);
}

}  // namespace
}  // namespace velmond::testing
