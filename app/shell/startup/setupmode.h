#pragma once
// The installer modes: registration ("/lan" with a language code,
// "/regtool", "/autocheckupdate") and removal ("/unregtool"). Both end the
// process without a window; neither needs a display.
#include <string>
#include <vector>

#include "startup.h"

// The language an installer registration stores: the third argument, or the
// fourth in lower case when the third is "/lan" (any case); "en_us" with
// fewer than four arguments or when the chosen text is itself a switch.
std::u16string InstallerLanguage(const std::vector<std::u16string>& args);

// Registration steps before the language checks: registers the program with
// the multi-language library and stores the installer language; a failed
// store is shown and registration goes on.
void RegisterLanguage(const CStartup& startup, const MessageSink& show);
// Registration steps after the language checks and the configuration file
// object: the tool entry ("/regtool") and the automatic update flag
// ("/autocheckupdate"). False, after showing why, when the flag could not be
// written.
bool FinishRegistration(CStartup& startup, const MessageSink& show);
// Removal: the tool entry ("/unregtool"), the application path, the
// language keys of the program, its profile and the updater's memory of it.
void RemoveRegistration(const CStartup& startup);

// A whole installer start after the common steps, in order; the process's
// exit status (0, or 1 when the configuration file could not be written).
int RunInstallerMode(CStartup& startup, StartMode mode, const MessageSink& show);
