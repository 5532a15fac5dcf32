#pragma once
// A private registry folder for tests: OV_REGISTRY_DIR points at a fresh
// folder while the object lives, and the folder goes with it.
#include <stdlib.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace ov::test {

class TempRegistry {
public:
    TempRegistry() {
        std::string pattern = (std::filesystem::temp_directory_path() / "ovreg-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            ADD_FAILURE() << "no folder for the registry in " << pattern;
        }
        m_dir = pattern;
        ::setenv("OV_REGISTRY_DIR", m_dir.c_str(), 1);
    }
    ~TempRegistry() {
        ::unsetenv("OV_REGISTRY_DIR");
        std::error_code ec;
        std::filesystem::permissions(m_dir, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ec);
        std::filesystem::remove_all(m_dir, ec);
    }
    TempRegistry(const TempRegistry&) = delete;
    TempRegistry& operator=(const TempRegistry&) = delete;

    const std::string& dir() const { return m_dir; }
    std::string user() const { return m_dir + "/user.reg"; }
    std::string machine() const { return m_dir + "/machine.reg"; }

    // Names of the files in the folder that start with prefix.
    std::vector<std::string> Files(const std::string& prefix) const {
        std::vector<std::string> out;
        for (const auto& e : std::filesystem::directory_iterator(m_dir)) {
            const std::string name = e.path().filename().string();
            if (name.rfind(prefix, 0) == 0) {
                out.push_back(name);
            }
        }
        return out;
    }

private:
    std::string m_dir;
};

// A suite whose tests share one private registry folder.
class RegistrySuite : public ::testing::Test {
protected:
    static void SetUpTestSuite() { s_registry = std::make_unique<TempRegistry>(); }
    static void TearDownTestSuite() { s_registry.reset(); }

    static inline std::unique_ptr<TempRegistry> s_registry;
};

}  // namespace ov::test
