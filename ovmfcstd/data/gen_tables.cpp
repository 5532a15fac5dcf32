// Build-time generator of the library's data files:
//   gen_tables oui <oui.txt> <OUI.dat>
//   gen_tables ethertypes <ethertypes> <EtherProto.dat>
// The OUI list comes from the IEEE registry listing (ieee-data), the
// protocol list from the system's EtherType file (netbase) together with a
// few well-known numbers and ranges that file does not carry.
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

namespace {

std::string_view Trim(std::string_view s) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!s.empty() && blank(s.front())) {
        s.remove_prefix(1);
    }
    while (!s.empty() && blank(s.back())) {
        s.remove_suffix(1);
    }
    return s;
}

bool IsHex(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

// Length of the valid UTF-8 sequence at s[i], 0 when it is not valid.
std::size_t Utf8Length(std::string_view s, std::size_t i) {
    const auto b = static_cast<unsigned char>(s[i]);
    std::size_t n = 0;
    unsigned long cp = 0;
    if (b < 0x80) {
        return 1;
    }
    if ((b & 0xE0) == 0xC0) {
        n = 2;
        cp = b & 0x1F;
    } else if ((b & 0xF0) == 0xE0) {
        n = 3;
        cp = b & 0x0F;
    } else if ((b & 0xF8) == 0xF0) {
        n = 4;
        cp = b & 0x07;
    } else {
        return 0;
    }
    if (i + n > s.size()) {
        return 0;
    }
    for (std::size_t k = 1; k < n; ++k) {
        const auto c = static_cast<unsigned char>(s[i + k]);
        if ((c & 0xC0) != 0x80) {
            return 0;
        }
        cp = (cp << 6) | (c & 0x3F);
    }
    const unsigned long least[] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < least[n] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        return 0;
    }
    return n;
}

// Attribute text: markup characters escaped, control characters and invalid
// UTF-8 replaced, so the file always parses as UTF-8.
std::string XmlAttr(std::string_view s) {
    std::string out;
    for (std::size_t i = 0; i < s.size();) {
        const char c = s[i];
        const std::size_t n = Utf8Length(s, i);
        if (n == 0) {
            out += '?';
            ++i;
            continue;
        }
        if (n > 1) {
            out.append(s.substr(i, n));
            i += n;
            continue;
        }
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                out += static_cast<unsigned char>(c) < 0x20 ? ' ' : c;
        }
        ++i;
    }
    return out;
}

std::string Upper(std::string_view s) {
    std::string out(s);
    for (char& c : out) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return out;
}

// Writes text to path through a temporary file, so that an interrupted
// build never leaves half a table behind.
bool WriteFile(const std::string& path, const std::string& text) {
    const std::string temp = path + ".tmp";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out << text;
        if (!out.flush()) {
            std::cerr << "gen_tables: cannot write " << temp << "\n";
            return false;
        }
    }
    if (std::rename(temp.c_str(), path.c_str()) != 0) {
        std::cerr << "gen_tables: cannot rename " << temp << " to " << path << "\n";
        return false;
    }
    return true;
}

// Lines of the registry listing look like "00-22-72   (hex)\t\tName".
int MakeOui(const std::string& source, const std::string& target) {
    std::ifstream in(source, std::ios::binary);
    if (!in) {
        std::cerr << "gen_tables: cannot read " << source << "\n";
        return 1;
    }
    std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<OUI>\n";
    std::size_t count = 0;
    std::string line;
    while (std::getline(in, line)) {
        const std::string_view l(line);
        const auto mark = l.find("(hex)");
        if (mark == std::string_view::npos || l.size() < 8) {
            continue;
        }
        const std::string_view id = l.substr(0, 8);
        if (!IsHex(id[0]) || !IsHex(id[1]) || id[2] != '-' || !IsHex(id[3]) || !IsHex(id[4]) || id[5] != '-' ||
            !IsHex(id[6]) || !IsHex(id[7])) {
            continue;
        }
        const std::string_view name = Trim(l.substr(mark + 5));
        if (name.empty()) {
            continue;
        }
        std::string address = Upper(id);
        std::replace(address.begin(), address.end(), '-', ':');
        text += "\t<Entry address=\"" + address + "\" name=\"" + XmlAttr(name) + "\"/>\n";
        ++count;
    }
    text += "</OUI>\n";
    if (count == 0) {
        std::cerr << "gen_tables: no entries found in " << source << "\n";
        return 1;
    }
    return WriteFile(target, text) ? 0 : 1;
}

struct Proto {
    unsigned start;
    unsigned end;
    std::string des;
};

// Well-known numbers and ranges beyond the system's EtherType file.
const Proto kKnown[] = {
    {0x0000, 0x05DC, "IEEE 802.3 length field (the frame carries a length, not a type)"},
    {0x05DD, 0x05FF, "Undefined (neither a frame length nor a type)"},
    {0x0600, 0x0600, "XNS IDP - Xerox Network Systems Internet Datagram Protocol"},
    {0x0842, 0x0842, "WoL - Wake-on-LAN magic packet"},
    {0x22F0, 0x22F0, "AVTP - Audio Video Transport Protocol [IEEE 1722]"},
    {0x6003, 0x6003, "DECnet Phase IV"},
    {0x6004, 0x6004, "LAT - DEC Local Area Transport"},
    {0x8808, 0x8808, "MAC Control - Ethernet flow control [802.3x]"},
    {0x8809, 0x8809, "Slow Protocols - LACP, Marker, OAM [802.3]"},
    {0x8892, 0x8892, "PROFINET"},
    {0x88A2, 0x88A2, "AoE - ATA over Ethernet"},
    {0x88A4, 0x88A4, "EtherCAT"},
    {0x88B5, 0x88B6, "IEEE 802 Local Experimental EtherType"},
    {0x88B8, 0x88B8, "GOOSE - IEC 61850 Generic Object Oriented Substation Event"},
    {0x88F8, 0x88F8, "NC-SI - Network Controller Sideband Interface"},
    {0x8902, 0x8902, "CFM - Connectivity Fault Management [802.1ag]"},
    {0x9000, 0x9000, "Loopback - Configuration Testing Protocol"},
    {0x9100, 0x9100, "VLAN double tagging (QinQ before 802.1ad)"},
};

// Lines of the EtherType file: "<name> <hexnumber> <aliases...> # comment".
// A missing file leaves only the well-known entries.
int MakeEtherTypes(const std::string& source, const std::string& target) {
    std::vector<Proto> list;
    std::ifstream in(source, std::ios::binary);
    if (!in) {
        std::cerr << "gen_tables: warning: cannot read " << source << "; well-known types only\n";
    }
    std::string line;
    while (in && std::getline(in, line)) {
        std::string_view l(line);
        std::string_view comment;
        if (const auto hash = l.find('#'); hash != std::string_view::npos) {
            comment = Trim(l.substr(hash + 1));
            l = l.substr(0, hash);
        }
        l = Trim(l);
        const auto nameEnd = l.find_first_of(" \t");
        if (nameEnd == std::string_view::npos) {
            continue;
        }
        const std::string_view name = l.substr(0, nameEnd);
        std::string_view rest = Trim(l.substr(nameEnd));
        const std::string_view number = rest.substr(0, rest.find_first_of(" \t"));
        if (number.size() != 4 || !std::all_of(number.begin(), number.end(), IsHex)) {
            continue;
        }
        const unsigned value = std::stoul(std::string(number), nullptr, 16);
        if (value == 0xFFFF) {
            continue;  // never readable from the table's text
        }
        std::string des(name);
        if (!comment.empty()) {
            des += " - " + std::string(comment);
        }
        list.push_back({value, value, des});
    }
    for (const Proto& known : kKnown) {
        const bool taken = std::any_of(list.begin(), list.end(),
                                       [&](const Proto& p) { return p.start <= known.end && known.start <= p.end; });
        if (!taken) {
            list.push_back(known);
        }
    }
    std::stable_sort(list.begin(), list.end(), [](const Proto& a, const Proto& b) { return a.start < b.start; });

    std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<EthProtocol>\n";
    for (const Proto& p : list) {
        char bounds[64];
        std::snprintf(bounds, sizeof bounds, "start=\"%04X\" end=\"%04X\"", p.start, p.end);
        text += "\t<Entry " + std::string(bounds) + " des=\"" + XmlAttr(p.des) + "\"/>\n";
    }
    text += "</EthProtocol>\n";
    return WriteFile(target, text) ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::cerr << "usage: gen_tables oui|ethertypes <source> <target>\n";
        return 2;
    }
    const std::string kind = argv[1];
    try {
        if (kind == "oui") {
            return MakeOui(argv[2], argv[3]);
        }
        if (kind == "ethertypes") {
            return MakeEtherTypes(argv[2], argv[3]);
        }
    } catch (const std::exception& e) {
        std::cerr << "gen_tables: " << e.what() << "\n";
        return 1;
    }
    std::cerr << "gen_tables: unknown table " << kind << "\n";
    return 2;
}
