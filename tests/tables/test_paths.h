#pragma once
// Paths of the test data and of the built program folder, from the
// environment the test runner sets.
#include <string>

// tests/data/tables/<name> as a UTF-16 path.
std::u16string TablesData(const char* name);
// <build>/bin/<name>, where the library and its data files are written.
std::string BinFile(const char* name);
