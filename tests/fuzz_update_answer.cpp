// Arbitrary bytes as the update server's answer: the reader must refuse or
// accept without a fault, and what it accepts must meet the answer's rules.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "ovupdate/UpdateAnswer.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view body(reinterpret_cast<const char*>(data), size);
    OV_UPDATE_ANSWER answer;
    if (ParseUpdateAnswer(body, u"Orvantek Ping Tool", answer) == ANSWER_OK) {
        int order = 0;
        if (!IsValidVersion(answer.version) || !CompareVersions(answer.version, u"1.1.1.265", order)) {
            std::abort();
        }
        if (answer.download.empty() || answer.download.size() > kMaxDownloadChars ||
            answer.notes.size() > kMaxNotesChars) {
            std::abort();
        }
        // Versions order consistently whichever side they stand on.
        int reverse = 0;
        CompareVersions(u"1.1.1.265", answer.version, reverse);
        if ((order > 0) != (reverse < 0) || (order == 0) != (reverse == 0)) {
            std::abort();
        }
    }
    return 0;
}
