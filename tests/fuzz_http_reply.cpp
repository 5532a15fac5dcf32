// Arbitrary bytes as a server's answer, fed in pieces whose sizes the first
// byte picks: the reader must end in a state without a fault, never hold
// more body than its limit, and complete only with a final status.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "HttpReplyReader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const qsizetype step = data[0] % 16 + 1;
    const QByteArrayView answer(reinterpret_cast<const char*>(data) + 1, static_cast<qsizetype>(size - 1));
    CHttpReplyReader reader(512);
    for (qsizetype at = 0; at < answer.size(); at += step) {
        reader.Feed(answer.sliced(at, std::min(step, answer.size() - at)));
        if (reader.Body().size() > 512) {
            std::abort();
        }
    }
    reader.FeedEnd();
    if (reader.CurrentState() == CHttpReplyReader::READING_HEAD ||
        reader.CurrentState() == CHttpReplyReader::READING_BODY) {
        std::abort();
    }
    if (reader.CurrentState() == CHttpReplyReader::COMPLETE && (reader.Status() < 200 || reader.Status() > 999)) {
        std::abort();
    }
    return 0;
}
