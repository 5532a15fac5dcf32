#pragma once
// Whether a name lookup of the toolkit may still be running. A lookup cannot
// be stopped once it runs, and the toolkit waits for running ones when it
// shuts down; the program's end asks this so that it can end without waiting.
class QAbstractSocket;

// Follows the name lookup of socket: pending until the socket starts
// connecting or the lookup reports an unknown name. A socket dropped while
// still looking up leaves its lookup running for as long as the name server
// lets it, so that one counts as running from then on.
void WatchNameLookup(QAbstractSocket* socket);
// True while a watched lookup may still be running.
bool NameLookupMayBeRunning() noexcept;
