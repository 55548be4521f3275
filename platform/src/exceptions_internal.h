// What the parts of the exception module share, and what the thread module
// needs from it.
// Thread-safety: any thread; the functions marked so are also safe in a
// fault signal handler as far as this layer goes.
#ifndef VELPLAT_SRC_EXCEPTIONS_INTERNAL_H
#define VELPLAT_SRC_EXCEPTIONS_INTERNAL_H

#include <windows.h>

#include <ucontext.h>

#include <cstdint>

namespace velplat::exceptions::detail {

// Gives the calling thread an alternate signal stack of this layer's own, kept
// until the thread ends, so that a stack overflow can still be reported. Does
// nothing when the thread already has one from this layer.
void EnsureAltSignalStack();
// Lowest usable address of the calling thread's stack, 0 when unknown
// (signal-safe).
uintptr_t StackLowOfThisThread();

// Offers an exception to the vectored handlers, first to last, then to the
// unhandled-exception filter; EXCEPTION_CONTINUE_EXECUTION when one of them
// continues it, else EXCEPTION_CONTINUE_SEARCH (signal-safe itself).
LONG OfferToHandlers(EXCEPTION_RECORD& record, CONTEXT& context);
// Writes the one line that announces an unhandled exception to stderr
// (signal-safe).
void AnnounceUnhandled(const EXCEPTION_RECORD& record);

// Installs the fault signal handlers once.
void InstallSignalHandlers();
// Gives `signal` its default disposition again (signal-safe).
void RestoreDefaultDisposition(int signal);
// The signal an exception code stands for (the inverse of the translation of
// fault signals), or 0 when none does.
int SignalForCode(DWORD code);

// In the fault signal handler: arranges for the thread to offer the exception
// on its own stack once the handler returns, then to resume the faulting
// instruction (dying of `signal` if nobody continued). False when that cannot
// be done safely; the caller then offers it in signal context.
bool DeferOffer(int signal, const EXCEPTION_RECORD& record, const CONTEXT& context, ucontext_t* ucontext);
// In a signal handler for a signal the thread sent itself: true, with the
// deferred fault's state restored into `ucontext`, when that signal was the
// request to resume.
bool ResumeIfRequested(ucontext_t* ucontext);

}  // namespace velplat::exceptions::detail

#endif
