#pragma once
// Looks up every message of the program in a table, with the program's own
// English default texts and arguments of the right kinds.
#include "ovmui/OvStringTable.h"

// Calls LoadStringW for each message; returns the total length of the results
// so that the work cannot be optimised away.
unsigned long FormatAllDefaults(COvStringTable& table);
