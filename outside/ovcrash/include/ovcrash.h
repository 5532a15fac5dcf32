#pragma once
// Crash reporter of the maker's outside libraries. On SIGSEGV, SIGBUS, SIGFPE,
// SIGILL or SIGABRT it writes a report (title, program, version, signal,
// time, backtrace) to a new file under $XDG_STATE_HOME/orvantek/crash/
// (~/.local/state when unset), says on stderr where the report is and where
// to send it, and ends the process with the same signal, so that a core dump
// stays possible.

// Installs the handlers, on an alternate stack of the calling thread. flags
// is reserved (pass 0); address is where reports should be sent; title heads
// every report. A nonzero handle for OvCR_Uninstall; 0 when a reporter is
// installed already or the handlers could not be set.
int OvCR_Install(int flags, const char16_t* address, const char16_t* title);
// Puts back the handlers and the alternate stack that were there before
// OvCR_Install; 1 when handle was the installed reporter's, 0 otherwise.
int OvCR_Uninstall(int handle);
