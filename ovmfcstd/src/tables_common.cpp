#include "tables_common.h"

#include "platform/codepage.h"
#include "platform/module.h"

namespace ovmfcstd {

std::u16string LibraryFolderFile(std::string_view fileName) {
    // Any address inside this library names its file.
    const std::string self = ov::ModulePathOf(reinterpret_cast<const void*>(&LibraryFolderFile));
    const auto slash = self.rfind('/');
    if (slash == std::string::npos) {
        return {};
    }
    std::string path = self.substr(0, slash + 1);
    path.append(fileName);
    return ov::Utf8ToWide(path);
}

}  // namespace ovmfcstd
