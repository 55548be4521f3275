// For death tests of the failure frame: makes the dying process print its
// thread-failure events (0xC00017E1) to stderr, where the parent matches
// them. Call on the process's main thread before the fault.
#ifndef VELMON_TESTS_DISCOVERY_FAILURE_EVENTS_H
#define VELMON_TESTS_DISCOVERY_FAILURE_EVENTS_H

namespace velmon::test {

// Registers the agent's event source and a vectored handler, run after the
// frame's own, that prints each failure event as one line
// "EVENT[<formatted text>]", tabs shown as <T> and line ends as |.
void PrintFailureEventsOnException();

}  // namespace velmon::test

#endif
