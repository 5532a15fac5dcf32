#include "HttpReplyReader.h"

#include <algorithm>

namespace {

constexpr qsizetype kMaxHeadBytes = 32 * 1024;
constexpr qsizetype kMaxChunkLineBytes = 1024;
constexpr qsizetype kSmallBodyBytes = 64 * 1024;
// More hex digits than this could not be a size this reader keeps.
constexpr qsizetype kMaxChunkSizeDigits = 15;

// Offset just past the blank line that ends a head, searched from start; -1 when absent.
qsizetype HeadEnd(const QByteArray& head, qsizetype start) {
    for (qsizetype i = head.indexOf('\n', start); i >= 0; i = head.indexOf('\n', i + 1)) {
        if (i + 1 < head.size() && head[i + 1] == '\n') {
            return i + 2;
        }
        if (i + 2 < head.size() && head[i + 1] == '\r' && head[i + 2] == '\n') {
            return i + 3;
        }
    }
    return -1;
}

bool IsDigits(QByteArrayView text) noexcept {
    return !text.isEmpty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// A header name: printable characters without blanks or separators that would end it.
bool IsHeaderName(QByteArrayView name) noexcept {
    return !name.isEmpty() && std::all_of(name.begin(), name.end(), [](char c) {
        return c > ' ' && c < 0x7f && c != ':' && c != '(' && c != ')' && c != '"' && c != '/';
    });
}

// "HTTP/1.x NNN reason": the status, or 0 when the line is not a status line.
int ParseStatusLine(QByteArrayView line) {
    if (line.size() < 12 || !line.startsWith("HTTP/1.") || line[7] < '0' || line[7] > '9' || line[8] != ' ') {
        return 0;
    }
    const QByteArrayView code = line.sliced(9, 3);
    if (!IsDigits(code) || code[0] == '0' || (line.size() > 12 && line[12] != ' ')) {
        return 0;
    }
    return code.toInt();
}

}  // namespace

void CHttpReplyReader::Feed(QByteArrayView data) {
    while (!data.isEmpty() && (m_state == READING_HEAD || m_state == READING_BODY)) {
        const qsizetype used = m_state == READING_HEAD ? FeedHead(data) : FeedBody(data);
        data = data.sliced(used);
    }
}

void CHttpReplyReader::FeedEnd() {
    if (m_state == READING_BODY && m_framing == UNTIL_CLOSE) {
        m_state = COMPLETE;
    } else if (m_state == READING_HEAD || m_state == READING_BODY) {
        Fail(TRUNCATED);
    }
}

QByteArray CHttpReplyReader::Header(QByteArrayView name) const {
    for (auto it = m_headers.crbegin(); it != m_headers.crend(); ++it) {
        if (QByteArrayView(it->first).compare(name, Qt::CaseInsensitive) == 0) {
            return it->second;
        }
    }
    return {};
}

void CHttpReplyReader::Fail(Failure failure) noexcept {
    m_state = FAILED;
    m_failure = failure;
}

qsizetype CHttpReplyReader::FeedHead(QByteArrayView data) {
    const qsizetype before = m_head.size();
    const qsizetype taken = std::min(data.size(), kMaxHeadBytes - before);
    m_head.append(data.first(taken));
    const qsizetype end = HeadEnd(m_head, std::max<qsizetype>(0, before - 3));
    if (end < 0) {
        if (m_head.size() >= kMaxHeadBytes) {
            Fail(MALFORMED);
        }
        return data.size();
    }
    m_head.truncate(end);
    if (!ParseHead()) {
        Fail(MALFORMED);
        return data.size();
    }
    m_head.clear();
    // An interim answer is followed by the real one.
    if (m_status >= 100 && m_status < 200) {
        m_status = 0;
    } else {
        StartBody();
    }
    return end - before;
}

bool CHttpReplyReader::ParseHead() {
    m_headers.clear();
    const QList<QByteArray> lines = m_head.split('\n');
    int status = 0;
    for (QByteArray line : lines) {
        if (line.endsWith('\r')) {
            line.chop(1);
        }
        if (status == 0) {
            status = ParseStatusLine(line);
            // A protocol switch is never asked for.
            if (status == 0 || status == 101) {
                return false;
            }
            continue;
        }
        if (line.isEmpty()) {
            continue;
        }
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0 || !IsHeaderName(QByteArrayView(line).first(colon))) {
            return false;  // also a folded continuation line
        }
        m_headers.append({line.left(colon), line.mid(colon + 1).trimmed()});
    }
    m_status = status;
    return status != 0;
}

void CHttpReplyReader::StartBody() {
    m_state = READING_BODY;
    if (m_status == 204 || m_status == 304) {
        m_state = COMPLETE;
        return;
    }
    const QByteArray coding = Header("Content-Encoding").trimmed().toLower();
    if (!coding.isEmpty() && coding != "identity") {
        Fail(UNSUPPORTED);
        return;
    }
    bool chunked = false;
    for (const auto& [name, value] : m_headers) {
        if (QByteArrayView(name).compare("Transfer-Encoding", Qt::CaseInsensitive) != 0) {
            continue;
        }
        for (const QByteArray& part : value.split(',')) {
            const QByteArray step = part.trimmed().toLower();
            if (step.isEmpty()) {
                continue;
            }
            // Chunked must be the last coding applied and the only one besides identity.
            if (chunked || (step != "chunked" && step != "identity")) {
                Fail(UNSUPPORTED);
                return;
            }
            chunked = step == "chunked";
        }
    }
    if (chunked) {
        m_framing = CHUNKED;
        m_chunkStep = CHUNK_SIZE;
        return;
    }
    QByteArray length;
    for (const auto& [name, value] : m_headers) {
        if (QByteArrayView(name).compare("Content-Length", Qt::CaseInsensitive) != 0) {
            continue;
        }
        for (const QByteArray& part : value.split(',')) {
            const QByteArray digits = part.trimmed();
            if (!IsDigits(digits) || (!length.isEmpty() && digits != length)) {
                Fail(MALFORMED);
                return;
            }
            length = digits;
        }
    }
    if (length.isEmpty()) {
        m_framing = UNTIL_CLOSE;
        return;
    }
    bool ok = false;
    m_remaining = length.size() <= 18 ? length.toLongLong(&ok) : 0;
    if (!ok || m_remaining > m_maxBody) {
        Fail(BODY_TOO_LARGE);
        return;
    }
    m_framing = BY_LENGTH;
    m_body.reserve(static_cast<qsizetype>(m_remaining));
    if (m_remaining == 0) {
        m_state = COMPLETE;
    }
    return;
}

bool CHttpReplyReader::TakeBody(QByteArrayView data) {
    if (data.size() > m_maxBody - m_body.size()) {
        Fail(BODY_TOO_LARGE);
        return false;
    }
    // A body past its first 64 KiB gets room up to the limit at once: growing
    // step by step copies it each time, and holds it twice while it does.
    const qsizetype needed = m_body.size() + data.size();
    if (needed > m_body.capacity() && needed > kSmallBodyBytes) {
        m_body.reserve(static_cast<qsizetype>(m_maxBody));
    }
    m_body.append(data);
    return true;
}

qsizetype CHttpReplyReader::FeedBody(QByteArrayView data) {
    switch (m_framing) {
        case UNTIL_CLOSE:
            TakeBody(data);
            return data.size();
        case BY_LENGTH: {
            const qsizetype used = static_cast<qsizetype>(std::min<qint64>(data.size(), m_remaining));
            if (TakeBody(data.first(used))) {
                m_remaining -= used;
                if (m_remaining == 0) {
                    m_state = COMPLETE;
                }
            }
            return used;
        }
        case CHUNKED:
            return FeedChunked(data);
    }
    return data.size();
}

bool CHttpReplyReader::TakeLine(QByteArrayView data, qsizetype& used, qsizetype limit) {
    const qsizetype end = data.indexOf('\n', used);
    const qsizetype stop = end < 0 ? data.size() : end;
    // One more than the limit for the carriage return before the line feed.
    if (m_line.size() + (stop - used) > limit + 1) {
        Fail(MALFORMED);
        return false;
    }
    m_line.append(data.sliced(used, stop - used));
    used = end < 0 ? data.size() : end + 1;
    if (end < 0) {
        return false;
    }
    if (m_line.endsWith('\r')) {
        m_line.chop(1);
    }
    return true;
}

qsizetype CHttpReplyReader::FeedChunked(QByteArrayView data) {
    qsizetype used = 0;
    while (used < data.size() && m_state == READING_BODY) {
        switch (m_chunkStep) {
            case CHUNK_SIZE: {
                if (!TakeLine(data, used, kMaxChunkLineBytes)) {
                    break;
                }
                // The size in hex, maybe followed by extensions after ';'.
                const qsizetype extensions = m_line.indexOf(';');
                const QByteArray size = (extensions < 0 ? m_line : m_line.left(extensions)).trimmed();
                m_line.clear();
                bool ok = size.size() <= kMaxChunkSizeDigits && !size.isEmpty();
                const qint64 bytes = ok ? size.toLongLong(&ok, 16) : 0;
                if (!ok || bytes < 0) {
                    Fail(MALFORMED);
                } else if (bytes > m_maxBody - m_body.size()) {
                    Fail(BODY_TOO_LARGE);
                } else {
                    m_remaining = bytes;
                    m_chunkStep = bytes == 0 ? CHUNK_TRAILER : CHUNK_DATA;
                }
                break;
            }
            case CHUNK_DATA: {
                const qsizetype part = static_cast<qsizetype>(std::min<qint64>(data.size() - used, m_remaining));
                if (TakeBody(data.sliced(used, part))) {
                    used += part;
                    m_remaining -= part;
                    if (m_remaining == 0) {
                        m_chunkStep = CHUNK_DATA_END;
                    }
                }
                break;
            }
            case CHUNK_DATA_END:
                if (!TakeLine(data, used, kMaxChunkLineBytes)) {
                    break;
                }
                if (!m_line.isEmpty()) {
                    Fail(MALFORMED);
                }
                m_chunkStep = CHUNK_SIZE;
                break;
            case CHUNK_TRAILER:
                // Trailer fields are read over and not used; a blank line ends the answer.
                if (!TakeLine(data, used, kMaxHeadBytes)) {
                    break;
                }
                if (m_line.isEmpty()) {
                    m_state = COMPLETE;
                }
                m_line.clear();
                break;
        }
    }
    return used;
}
