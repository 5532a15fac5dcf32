#pragma once
// The program's command line for an interactive run: switches a, d, f, i, l,
// p, t, v, w with their number glued to the letter ("-w2000"), and plain
// arguments gathered as host text. Used by the window start-up and the console.
#include <functional>
#include <string>
#include <string_view>
#include <vector>

class COvPingDoc;

// The number after the switch letter, read as the C library's "%d" reads it:
// leading white space and a sign allowed, 0 when no digits follow; values
// beyond the int range saturate.
int ScanSwitchNumber(std::u16string_view digits) noexcept;

// Applies command-line arguments to a document's settings for this run only.
class CCommandLine {
public:
    // Switches change doc's settings and poll interval; doc must outlive this object.
    explicit CCommandLine(COvPingDoc& doc) noexcept : m_doc(doc) {}

    // One argument: text without its leading "-" or "/", flag when it had one,
    // last when it is the final argument (then onLast runs).
    void HandleCommandLineParam(std::u16string_view text, bool flag, bool last);
    // Every argument after the program name, in order: one starting with "-"
    // or "/" is passed without that character and with flag set.
    void HandleArguments(const std::vector<std::u16string>& args);

    // Set by the switch a: start the run once start-up is complete.
    int m_bAutoStart = 0;
    // Host text from the plain arguments, each followed by one blank.
    std::u16string m_strHosts;
    // The last-argument action: the window start-up fills its host entry from
    // m_strHosts and starts when m_bAutoStart is set.
    std::function<void(CCommandLine&)> onLast;

private:
    COvPingDoc& m_doc;
};
