// Reads any file as an encoded configuration file. With the first byte odd
// the rest gets a matching checksum, so that the body decoding and the
// document parsing are reached too.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include <unistd.h>

#include "ovcoder/ConfigFile.h"

namespace {

class Probe : public CConfigFile {
public:
    DWORD Sum(const std::vector<unsigned char>& bytes) const { return GetCheckSum(bytes.data(), bytes.size()); }
};

std::u16string TempPath(const char* tag) {
    const std::string name = "/dev/shm/fuzz_config_" + std::to_string(getpid()) + tag;
    return std::u16string(name.begin(), name.end());
}

void Save(const std::u16string& path, const std::vector<unsigned char>& bytes) {
    const std::string name(path.begin(), path.end());
    if (std::FILE* f = std::fopen(name.c_str(), "wb")) {
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    static const std::u16string in = TempPath(".in"), out = TempPath(".out");
    // Removes the two scratch files when the fuzzer exits.
    static const struct Cleanup {
        ~Cleanup() {
            unlink(std::string(in.begin(), in.end()).c_str());
            unlink(std::string(out.begin(), out.end()).c_str());
        }
    } cleanup;
    std::vector<unsigned char> file(data + 1, data + size);
    Probe config;
    if (data[0] & 1) {
        const DWORD c = config.Sum(file);
        for (int i = 0; i < 4; ++i) {
            file.push_back(static_cast<unsigned char>(c >> (8 * i)));
        }
    }
    Save(in, file);
    if (config.ReadEncoded(in.c_str())) {
        std::u16string text;
        int number = 0;
        config.GetValue(u"Settings", u"EnableAutoCheckUpdate", text);
        config.GetValue(u"Settings", u"EnableAutoCheckUpdate", number);
        config.SetValue(u"Settings", u"Fuzz", 1);
        if (config.WriteEncoded(out.c_str())) {
            CConfigFile again;
            if (!again.ReadEncoded(out.c_str())) {
                __builtin_trap();
            }
        }
    }
    return 0;
}
