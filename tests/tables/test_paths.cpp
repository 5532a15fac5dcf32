#include "test_paths.h"

#include <cstdlib>

#include "platform/codepage.h"

std::u16string TablesData(const char* name) {
    const char* root = std::getenv("OV_TEST_DATA");
    std::string path = root ? root : "tests/data";
    path += "/tables/";
    path += name;
    return ov::Utf8ToWide(path);
}

std::string BinFile(const char* name) {
    const char* bin = std::getenv("OV_BIN_DIR");
    std::string path = bin ? bin : ".";
    path += "/";
    path += name;
    return path;
}
