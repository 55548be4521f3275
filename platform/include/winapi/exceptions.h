/* Win32 structured exceptions: the exception record, vectored exception
 * handlers, RaiseException and the unhandled-exception filter.
 *
 * An exception is either raised with RaiseException or comes from a
 * synchronous fault signal (SIGSEGV, SIGBUS, SIGFPE, SIGILL), translated to
 * the Windows code: SIGSEGV gives EXCEPTION_ACCESS_VIOLATION with
 * ExceptionInformation[0] = 0 read, 1 write, 8 execute and [1] = the address,
 * or EXCEPTION_STACK_OVERFLOW when the address lies in the thread's stack
 * guard; SIGFPE gives EXCEPTION_INT_DIVIDE_BY_ZERO (or the matching
 * overflow / floating-point code); SIGILL gives EXCEPTION_ILLEGAL_INSTRUCTION;
 * SIGBUS gives EXCEPTION_DATATYPE_MISALIGNMENT for a misaligned access and
 * EXCEPTION_IN_PAGE_ERROR (read/write flag and address, two parameters) for a
 * page that cannot be brought in, such as a mapped file cut short.
 *
 * Handlers run on the faulting thread, first to last, until one returns
 * EXCEPTION_CONTINUE_EXECUTION. When all decline, the unhandled-exception
 * filter runs, one line goes to stderr, and the process dies: of the original
 * signal for a fault (the default disposition is restored and the faulting
 * instruction re-executes), and for RaiseException of the signal its code
 * maps to (access violation and stack overflow SIGSEGV, integer and
 * floating-point codes SIGFPE, illegal instruction SIGILL, in-page error and
 * misalignment SIGBUS, anything else abort()).
 *
 * Fault signals are caught from the first AddVectoredExceptionHandler on.
 * Threads started by this layer, and the thread that adds a handler, get an
 * alternate signal stack so that a stack overflow reaches the handlers.
 * Every function may be called from any thread. */
#ifndef VELPLAT_WINAPI_EXCEPTIONS_H
#define VELPLAT_WINAPI_EXCEPTIONS_H

#include "types.h"

#define EXCEPTION_MAXIMUM_PARAMETERS 15

#define EXCEPTION_NONCONTINUABLE 0x1u

#define EXCEPTION_EXECUTE_HANDLER 1
#define EXCEPTION_CONTINUE_SEARCH 0
#define EXCEPTION_CONTINUE_EXECUTION (-1)

#define EXCEPTION_GUARD_PAGE 0x80000001u
#define EXCEPTION_DATATYPE_MISALIGNMENT 0x80000002u
#define EXCEPTION_BREAKPOINT 0x80000003u
#define EXCEPTION_SINGLE_STEP 0x80000004u
#define EXCEPTION_ACCESS_VIOLATION 0xC0000005u
#define EXCEPTION_IN_PAGE_ERROR 0xC0000006u
#define EXCEPTION_INVALID_HANDLE 0xC0000008u
#define EXCEPTION_ILLEGAL_INSTRUCTION 0xC000001Du
#define EXCEPTION_NONCONTINUABLE_EXCEPTION 0xC0000025u
#define EXCEPTION_INVALID_DISPOSITION 0xC0000026u
#define EXCEPTION_ARRAY_BOUNDS_EXCEEDED 0xC000008Cu
#define EXCEPTION_FLT_DENORMAL_OPERAND 0xC000008Du
#define EXCEPTION_FLT_DIVIDE_BY_ZERO 0xC000008Eu
#define EXCEPTION_FLT_INEXACT_RESULT 0xC000008Fu
#define EXCEPTION_FLT_INVALID_OPERATION 0xC0000090u
#define EXCEPTION_FLT_OVERFLOW 0xC0000091u
#define EXCEPTION_FLT_STACK_CHECK 0xC0000092u
#define EXCEPTION_FLT_UNDERFLOW 0xC0000093u
#define EXCEPTION_INT_DIVIDE_BY_ZERO 0xC0000094u
#define EXCEPTION_INT_OVERFLOW 0xC0000095u
#define EXCEPTION_PRIV_INSTRUCTION 0xC0000096u
#define EXCEPTION_STACK_OVERFLOW 0xC00000FDu

typedef struct _EXCEPTION_RECORD {
  DWORD ExceptionCode;
  DWORD ExceptionFlags;
  struct _EXCEPTION_RECORD* ExceptionRecord; /* the exception this one arose from, or NULL */
  PVOID ExceptionAddress;
  DWORD NumberParameters;
  ULONG_PTR ExceptionInformation[EXCEPTION_MAXIMUM_PARAMETERS];
} EXCEPTION_RECORD, *PEXCEPTION_RECORD;

#define CONTEXT_AMD64 0x00100000u
#define CONTEXT_CONTROL (CONTEXT_AMD64 | 0x1u)

/* A read-only snapshot of the faulting thread's control registers (zero
 * where unknown). Changing it does not change where execution resumes. */
typedef struct _CONTEXT {
  DWORD ContextFlags;
  DWORD64 Rsp;
  DWORD64 Rip;
} CONTEXT, *PCONTEXT;

typedef struct _EXCEPTION_POINTERS {
  PEXCEPTION_RECORD ExceptionRecord;
  PCONTEXT ContextRecord;
} EXCEPTION_POINTERS, *PEXCEPTION_POINTERS;

typedef LONG(CALLBACK* PVECTORED_EXCEPTION_HANDLER)(PEXCEPTION_POINTERS ExceptionInfo);
typedef LONG(WINAPI* PTOP_LEVEL_EXCEPTION_FILTER)(PEXCEPTION_POINTERS ExceptionInfo);
typedef PTOP_LEVEL_EXCEPTION_FILTER LPTOP_LEVEL_EXCEPTION_FILTER;

/* First != 0 puts the handler ahead of the others. Returns the handler's
 * registration (never NULL unless Handler is NULL). */
VELPLAT_API PVOID WINAPI AddVectoredExceptionHandler(ULONG First, PVECTORED_EXCEPTION_HANDLER Handler);
/* Nonzero when the registration existed. */
VELPLAT_API ULONG WINAPI RemoveVectoredExceptionHandler(PVOID Handle);
/* Returns only when a handler (or the filter) continues execution of a
 * continuable exception; continuing a noncontinuable one raises
 * EXCEPTION_NONCONTINUABLE_EXCEPTION chained to it. At most
 * EXCEPTION_MAXIMUM_PARAMETERS arguments are kept. */
VELPLAT_API VOID WINAPI RaiseException(DWORD dwExceptionCode, DWORD dwExceptionFlags, DWORD nNumberOfArguments,
                                       const ULONG_PTR* lpArguments);
/* Returns the previous filter. */
VELPLAT_API LPTOP_LEVEL_EXCEPTION_FILTER WINAPI
SetUnhandledExceptionFilter(LPTOP_LEVEL_EXCEPTION_FILTER lpTopLevelExceptionFilter);

#endif
