#include "HostList.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <optional>

#include "HostEntry.h"
#include "MsgFormat.h"
#include "OvPingDoc.h"
#include "platform/codepage.h"
#include "platform/escape.h"
#include "platform/file_replace.h"
#include "platform/stored_file.h"

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// line as UTF-16 when it is well-formed UTF-8 (no overlong forms, no
// surrogates, nothing above U+10FFFF).
std::optional<std::u16string> DecodeUtf8(std::string_view line) {
    std::u16string out;
    out.reserve(line.size());
    for (std::size_t i = 0; i < line.size();) {
        const auto lead = static_cast<unsigned char>(line[i]);
        if (lead < 0x80) {
            out += static_cast<char16_t>(lead);
            ++i;
            continue;
        }
        std::size_t length = 0;
        char32_t code = 0;
        char32_t least = 0;
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2, code = lead & 0x1F, least = 0x80;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3, code = lead & 0x0F, least = 0x800;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4, code = lead & 0x07, least = 0x10000;
        } else {
            return std::nullopt;
        }
        if (i + length > line.size()) {
            return std::nullopt;
        }
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(line[i + k]);
            if ((next & 0xC0) != 0x80) {
                return std::nullopt;
            }
            code = (code << 6) | (next & 0x3F);
        }
        if (code < least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
            return std::nullopt;
        }
        if (code >= 0x10000) {
            code -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (code >> 10));
            out += static_cast<char16_t>(0xDC00 + (code & 0x3FF));
        } else {
            out += static_cast<char16_t>(code);
        }
        i += length;
    }
    return out;
}

HostList Problem(HostListProblem problem, std::size_t line = 0, int error = 0) {
    HostList list;
    list.problem = problem;
    list.line = line;
    list.error = error;
    return list;
}

// Standard input to its end, refused beyond the cap.
HostList ReadStandardInput(std::string& bytes) {
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return Problem(HostListProblem::Unreadable, 0, errno);
        }
        if (n == 0) {
            return {};
        }
        bytes.append(buffer, static_cast<std::size_t>(n));
        if (bytes.size() > kMaxHostListBytes) {
            return Problem(HostListProblem::TooLarge);
        }
    }
}

}  // namespace

std::u16string HostList::EntryText() const {
    std::u16string text;
    for (const std::u16string& host : hosts) {
        if (!text.empty()) {
            text += u' ';
        }
        text += host;
    }
    return text;
}

HostList ParseHostList(std::string_view bytes) {
    if (bytes.starts_with(kByteOrderMark)) {
        bytes.remove_prefix(kByteOrderMark.size());
    }
    HostList list;
    std::size_t lineNumber = 0;
    while (!bytes.empty()) {
        ++lineNumber;
        const std::size_t end = bytes.find('\n');
        std::string_view line = bytes.substr(0, end);
        bytes.remove_prefix(end == std::string_view::npos ? bytes.size() : end + 1);
        if (line.ends_with('\r')) {
            line.remove_suffix(1);
        }
        // Encoding first: a UTF-16 file is told to be no UTF-8, not to hold NULs.
        std::optional<std::u16string> text = DecodeUtf8(line);
        if (!text) {
            return Problem(HostListProblem::NotUtf8, lineNumber);
        }
        if (line.find('\0') != std::string_view::npos) {
            return Problem(HostListProblem::NulByte, lineNumber);
        }
        text->erase(std::min(text->find(u'#'), text->size()));
        for (char16_t& c : *text) {
            if (c == u'\t') {
                c = u' ';
            }
        }
        for (std::u16string& host : SplitHostText(*text)) {
            if (HasInvalidHostChar(host)) {
                return Problem(HostListProblem::InvalidChar, lineNumber);
            }
            ++list.count;
            if (list.hosts.size() < kMaxHostListHosts) {
                list.hosts.push_back(std::move(host));
            }
        }
    }
    if (list.count > kMaxHostListHosts) {
        list.problem = HostListProblem::TooManyHosts;
        list.hosts.clear();
    } else if (list.count == 0) {
        list.problem = HostListProblem::NoHosts;
    }
    return list;
}

HostList ReadHostListFile(const std::string& path) {
    std::string bytes;
    if (path == "-") {
        HostList read = ReadStandardInput(bytes);
        if (!read.Ok()) {
            return read;
        }
        return ParseHostList(bytes);
    }
    ov::StoredFile file(path, kMaxHostListBytes);
    if (file.IsOpen()) {
        file.ReadAll(bytes);
    }
    switch (file.Status()) {
        case ov::StoredFileStatus::Ok:
            return ParseHostList(bytes);
        case ov::StoredFileStatus::Missing:
            return Problem(HostListProblem::Missing);
        case ov::StoredFileStatus::NotRegular:
            return Problem(HostListProblem::NotRegular);
        case ov::StoredFileStatus::TooLarge:
            return Problem(HostListProblem::TooLarge);
        case ov::StoredFileStatus::Unreadable:
            break;
    }
    return Problem(HostListProblem::Unreadable, 0, file.Error() != 0 ? file.Error() : EIO);
}

std::vector<std::u16string> HostsOfEntryText(std::u16string_view text) {
    return SplitHostText(TrimHostEntryText(text));
}

std::string FormatHostList(const std::vector<std::u16string>& hosts) {
    std::string bytes;
    for (const std::u16string& host : hosts) {
        bytes += ov::WideToUtf8(host);
        bytes += '\n';
    }
    return bytes;
}

int WriteHostListFile(const std::string& path, const std::vector<std::u16string>& hosts) {
    errno = 0;
    if (ov::ReplaceFile(path, FormatHostList(hosts))) {
        return 0;
    }
    return errno != 0 ? errno : EIO;
}

std::u16string HostListProblemText(const HostList& list, std::u16string_view shownPath) {
    const std::u16string path = ov::EscapeControls(shownPath);
    const auto line = static_cast<int>(list.line);
    switch (list.problem) {
        case HostListProblem::None:
            return {};
        case HostListProblem::Missing:
            return LoadFormatString(35240, u"There is no host list file \"%s_a%\".", path.c_str());
        case HostListProblem::NotRegular:
            return LoadFormatString(35241, u"\"%s_a%\" is a folder or a device, not a host list file.", path.c_str());
        case HostListProblem::TooLarge:
            return LoadFormatString(35242, u"\"%s_a%\" is larger than %d_b% MB: too large for a host list.",
                                    path.c_str(), static_cast<int>(kMaxHostListBytes >> 20));
        case HostListProblem::Unreadable: {
            const std::u16string reason = ov::Utf8ToWide(std::strerror(list.error));
            return LoadFormatString(35243, u"The host list \"%s_a%\" could not be read: %s_b%", path.c_str(),
                                    reason.c_str());
        }
        case HostListProblem::NotUtf8:
            return LoadFormatString(35244,
                                    u"Line %d_a% of \"%s_b%\" is not UTF-8 text. Save the file as UTF-8 "
                                    u"and open it again.",
                                    line, path.c_str());
        case HostListProblem::NulByte:
            return LoadFormatString(35245, u"Line %d_a% of \"%s_b%\" holds a NUL byte: it is not a text file.", line,
                                    path.c_str());
        case HostListProblem::InvalidChar:
            return LoadFormatString(35246, u"Line %d_a% of \"%s_b%\" holds a character no host name can have.", line,
                                    path.c_str());
        case HostListProblem::TooManyHosts:
            return LoadFormatString(35247, u"\"%s_a%\" holds %d_b% hosts; at most %d_c% can be taken at once.",
                                    path.c_str(), static_cast<int>(list.count), static_cast<int>(kMaxHostListHosts));
        case HostListProblem::NoHosts:
            return LoadFormatString(35248, u"\"%s_a%\" holds no host.", path.c_str());
    }
    return {};
}
