#pragma once
// A scratch folder for one test, removed with everything in it afterwards.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "platform/codepage.h"

class TempDir {
public:
    TempDir() {
        std::string tmpl = (std::filesystem::temp_directory_path() / "ovstrings-XXXXXX").string();
        if (mkdtemp(tmpl.data())) {
            m_path = tmpl;
        }
    }
    ~TempDir() {
        std::error_code ec;
        if (!m_path.empty()) {
            std::filesystem::remove_all(m_path, ec);
        }
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    // Writes bytes to a file in the folder; returns its full path.
    std::string Write(const std::string& name, std::string_view bytes) const {
        const std::string full = (m_path / name).string();
        std::ofstream(full, std::ios::binary) << bytes;
        return full;
    }
    const std::filesystem::path& Path() const { return m_path; }

private:
    std::filesystem::path m_path;
};

// UTF-16 form of a UTF-8 path for the wide file interfaces.
inline std::u16string WidePath(const std::string& utf8) {
    return ov::Utf8ToWide(utf8);
}
