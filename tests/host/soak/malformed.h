// Hostile datagrams for the soak: valid requests cut short, with bits
// flipped, with names far longer than any the agent serves, or carrying
// PDU types an agent must not answer with data (Set, Trap, Report, unknown).
//
// Thread-safety: one generator per thread.
#ifndef VELMOND_TESTS_SOAK_MALFORMED_H
#define VELMOND_TESTS_SOAK_MALFORMED_H

#include <random>
#include <string>

namespace velmond::soak {

class MalformedDatagrams {
 public:
  explicit MalformedDatagrams(unsigned seed) : random_(seed) {}
  std::string Next();

 private:
  std::mt19937 random_;
};

}  // namespace velmond::soak

#endif
