#pragma once
// Start-up steps of the program that need no window, in the order the
// application object runs them: the crash reporter, the coder's alphabet, the
// profile key, the program path and its registration, the shared folder, the
// mode from the registration switches, then the language and its resource
// module, the title and the configuration file. The installer modes
// (setupmode.h) and the window start-up both build on CStartup.
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "ovcoder/ConfigFile.h"

// Fixed values of start-up.
inline constexpr char16_t kRegistryKeyName[] = u"Orvantek";
inline constexpr char16_t kEnglishTitle[] = u"Orvantek Ping Tool";
inline constexpr char16_t kProgramVersion[] = u"1.1.1.265";
inline constexpr char16_t kCrashReportTitle[] = u"Crash Report";
inline constexpr char16_t kSupportAddress[] = u"support@orvantek.example";
inline constexpr char16_t kConfigFileName[] = u"Tapper.ini";
inline constexpr char16_t kConfigSection[] = u"Settings";
inline constexpr char16_t kAutoCheckUpdateKey[] = u"EnableAutoCheckUpdate";
// The maker's shared folder when the user's data folder is not known, and
// the last resort when no shared folder can be made.
inline constexpr char kSharedFolderFallback[] = "/opt/orvantek/shared/";
inline constexpr char kSharedFolderLastResort[] = "/";

// The mode a start runs in, chosen by the registration switches.
enum class StartMode { Run, Register, Unregister };

// How a start-up message is shown: plainly, or with the error icon.
enum class MessageIcon { None, Error };
// Shows one start-up message (a message box in the window, a line on stderr
// in the installer modes without a display).
using MessageSink = std::function<void(const std::u16string& text, MessageIcon icon)>;

// Mode from the arguments after the program name: "Register" or "Regserver"
// selects registration, "Unregister" or "Unregserver" removal, after "/" or
// "-" and in any case; the last such switch wins.
StartMode ParseStartMode(const std::vector<std::u16string>& args);
// The whole command line (arguments joined by blanks) in lower case.
std::u16string LowerCommandLine(const std::vector<std::u16string>& args);
// Text in lower case (ASCII letters).
std::u16string ToLowerAscii(std::u16string_view text);
// The shared folder: platformFolder (ending with "/") when it is known, else
// the fixed fallback; makeFolder makes it, and when that fails the last
// resort is used.
std::u16string ChooseSharedFolder(const std::string& platformFolder,
                                  const std::function<bool(const std::u16string&)>& makeFolder);
// True when a window can be shown: an X11 or Wayland display, or a Qt
// platform that needs none (offscreen, minimal, ...).
bool HasDisplay();

// Keeps the crash reporter installed while it lives.
class CCrashReporter {
public:
    CCrashReporter();
    ~CCrashReporter();
    CCrashReporter(const CCrashReporter&) = delete;
    CCrashReporter& operator=(const CCrashReporter&) = delete;

    // What the reporter's install returned (0 when it could not be installed).
    int Handle() const noexcept { return m_nCrashReport; }

private:
    int m_nCrashReport = 0;
};

// The state of one start-up and its steps. Each step needs the ones before it.
class CStartup {
public:
    // args: the program's arguments, the program name first.
    explicit CStartup(std::vector<std::u16string> args);

    // Sets the program's Base64 alphabet in the coder library.
    void SetCoderAlphabet() noexcept;
    // Names the profile key (HKEY_CURRENT_USER\Software\Orvantek\<title>).
    void NameProfileKey();
    // Finds the program's full path and its file name; false when unknown.
    bool FindProgramPath();
    // Registers the application path under the program's file name.
    void RegisterApplicationPath();
    // Finds (and makes) the maker's shared folder.
    void FindSharedFolder();
    // The mode from the registration switches.
    StartMode ParseMode() const { return ParseStartMode(m_args); }
    // All of the above in order; the mode.
    StartMode RunCommonSteps();

    // The user's language and the program's folder.
    void FindLanguageAndFolder();
    // Checks and selects the language resource module; a failed check shows
    // its message and leaves the built-in English texts in use.
    void ChooseLanguageResources(const MessageSink& show);
    // The translated title of the program.
    std::u16string TranslatedTitle() const;
    // Opens the configuration file object for the program's folder.
    void OpenConfigFile();
    // Reads the configuration file: online features are on when it holds any
    // value for the automatic update check.
    int ReadAutoCheckUpdate();

    const std::vector<std::u16string>& Args() const noexcept { return m_args; }
    const std::u16string& ProfileKey() const noexcept { return m_strProfileKey; }
    const std::u16string& ProgramPath() const noexcept { return m_strProgramPath; }
    const std::u16string& ProgramName() const noexcept { return m_strProgramName; }
    const std::u16string& SharedDir() const noexcept { return m_strSharedDir; }
    const std::u16string& AppDir() const noexcept { return m_strAppDir; }
    const std::u16string& Language() const noexcept { return m_strLanguage; }
    const std::u16string& ConfigPath() const noexcept { return m_strConfigPath; }
    CConfigFile& Config() noexcept { return m_config; }
    // True when a language resource module passed the checks and is in use.
    bool UsesLanguageModule() const noexcept { return m_bResModule; }

private:
    std::vector<std::u16string> m_args;
    std::u16string m_strProfileKey;
    std::u16string m_strProgramPath;
    std::u16string m_strProgramName;
    std::u16string m_strSharedDir;
    std::u16string m_strAppDir;
    std::u16string m_strLanguage;
    std::u16string m_strConfigPath;
    CConfigFile m_config;
    bool m_bResModule = false;
};
