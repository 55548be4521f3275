// What the rest of the platform layer needs from the exception module.
// Thread-safety: any thread.
#ifndef VELPLAT_SRC_EXCEPTIONS_INTERNAL_H
#define VELPLAT_SRC_EXCEPTIONS_INTERNAL_H

#include <windows.h>

namespace velplat::exceptions::detail {

// Gives the calling thread an alternate signal stack of this layer's own, kept
// until the thread ends, so that a stack overflow can still be reported. Does
// nothing when the thread already has one from this layer.
void EnsureAltSignalStack();

// Runs the vectored handlers, first to last, until one continues execution;
// returns EXCEPTION_CONTINUE_EXECUTION or EXCEPTION_CONTINUE_SEARCH. Safe in
// a fault signal handler as far as this layer goes.
LONG DispatchToHandlers(EXCEPTION_POINTERS& pointers);
// The unhandled-exception filter's verdict, EXCEPTION_CONTINUE_SEARCH when
// none is set.
LONG CallUnhandledFilter(EXCEPTION_POINTERS& pointers);
// Writes the one line that announces an unhandled exception to stderr
// (async-signal-safe).
void AnnounceUnhandled(const EXCEPTION_RECORD& record);
// Installs the fault signal handlers once.
void InstallSignalHandlers();
// The signal an exception code stands for (the inverse of the translation of
// fault signals), or 0 when none does.
int SignalForCode(DWORD code);

}  // namespace velplat::exceptions::detail

#endif
