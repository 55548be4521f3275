// Retried requests, walks and the table rules.
#include "host/soak/soak_client.h"

#include <algorithm>
#include <map>

#include "host/support/view_walk.h"

namespace velmond::soak {
namespace {

namespace ber = testing::ber;
using Clock = std::chrono::steady_clock;
constexpr std::size_t kFullSample = 200000;

bool InsideView(const ber::Oid& name) {
  const ber::Oid& view = testing::ViewOid();
  return name.size() > view.size() && std::equal(view.begin(), view.end(), name.begin());
}

}  // namespace

SoakClient::SoakClient(const std::string& target, std::chrono::milliseconds stallLimit)
    : socket_(target), stallLimit_(stallLimit) {}

std::optional<Message> SoakClient::Ask(Message request) {
  request.requestId = nextId_++;
  ++requests_;
  auto start = Clock::now();
  for (;;) {
    auto left = stallLimit_ - std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
    if (left <= std::chrono::milliseconds(0)) return std::nullopt;
    auto answer = socket_.Ask(request, std::min(left, std::chrono::milliseconds(500)));
    if (!answer) continue;
    auto micros = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start).count();
    if (latencies_.size() < kFullSample) {
      latencies_.push_back(static_cast<int>(micros));
    } else if (requests_ % 16 == 0) {
      latencies_[static_cast<std::size_t>(requests_ / 16) % kFullSample] = static_cast<int>(micros);
    }
    return answer;
  }
}

Walk SoakClient::WalkView(int repetitions) {
  Walk walk;
  ber::Oid at = testing::ViewOid();
  for (;;) {
    Message request =
        repetitions > 0 ? testing::Bulk(at, 0, repetitions, 0) : testing::Request(ber::tag::kGetNext, {at}, 0);
    ++walk.requests;
    auto answer = Ask(request);
    if (!answer) {
      walk.error = "no answer within the stall limit after " + ber::ToString(at);
      return walk;
    }
    if (answer->errorStatus != ber::error::kNoError || answer->bindings.empty()) {
      walk.error = "error status " + std::to_string(answer->errorStatus) + " after " + ber::ToString(at);
      return walk;
    }
    for (const Binding& next : answer->bindings) {
      if (next.value.type == ber::tag::kEndOfMibView || !InsideView(next.name)) return walk;
      if (!(at < next.name)) {
        walk.error = "name " + ber::ToString(next.name) + " does not follow " + ber::ToString(at);
        return walk;
      }
      walk.bindings.push_back(next);
      at = next.name;
    }
    if (walk.requests > 100000) {
      walk.error = "walk does not end";
      return walk;
    }
  }
}

std::string CheckTables(const std::vector<Binding>& walk) {
  // A table's instance is view.1.2.<table>.1.<column>.<row...>; scalars are
  // view.1.<group>.<scalar>.0.
  const std::size_t base = testing::ViewOid().size();
  std::map<std::uint32_t, std::map<std::uint32_t, std::vector<ber::Oid>>> tables;
  for (const Binding& b : walk) {
    if (b.name.size() < base + 6) continue;
    ber::Oid row(b.name.begin() + static_cast<std::ptrdiff_t>(base + 5), b.name.end());
    tables[b.name[base + 2]][b.name[base + 4]].push_back(row);
  }
  for (const auto& [table, columns] : tables) {
    const auto& first = columns.begin()->second;
    for (const auto& [column, rows] : columns) {
      if (rows != first) {
        return "table " + std::to_string(table) + ": column " + std::to_string(column) + " has " +
               std::to_string(rows.size()) + " rows, column " + std::to_string(columns.begin()->first) + " has " +
               std::to_string(first.size());
      }
    }
  }
  return {};
}

double MedianMilliseconds(std::vector<int> microseconds) {
  if (microseconds.empty()) return 0;
  auto middle = microseconds.begin() + static_cast<std::ptrdiff_t>(microseconds.size() / 2);
  std::nth_element(microseconds.begin(), middle, microseconds.end());
  return *middle / 1000.0;
}

}  // namespace velmond::soak
