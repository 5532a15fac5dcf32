#include "startup.h"

#include <cstdlib>
#include <cstring>

#include "MsgFormat.h"
#include "alphabet.h"
#include "langcheck.h"
#include "ovcoder/OvBase64.h"
#include "ovcppstd.h"
#include "ovcrash.h"
#include "ovmfcstd/OvSysUtil.h"
#include "ovmui/OvMuiLang.h"
#include "platform/codepage.h"
#include "platform/module.h"

namespace {

bool EqualsNoCase(std::u16string_view a, std::u16string_view b) {
    return ToLowerAscii(a) == ToLowerAscii(b);
}

bool EnvSet(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && value[0] != '\0';
}

}  // namespace

StartMode ParseStartMode(const std::vector<std::u16string>& args) {
    StartMode mode = StartMode::Run;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::u16string& arg = args[i];
        if (arg.empty() || (arg[0] != u'/' && arg[0] != u'-')) {
            continue;
        }
        const std::u16string_view name = std::u16string_view(arg).substr(1);
        if (EqualsNoCase(name, u"register") || EqualsNoCase(name, u"regserver")) {
            mode = StartMode::Register;
        } else if (EqualsNoCase(name, u"unregister") || EqualsNoCase(name, u"unregserver")) {
            mode = StartMode::Unregister;
        }
    }
    return mode;
}

std::u16string LowerCommandLine(const std::vector<std::u16string>& args) {
    std::u16string line;
    for (const std::u16string& arg : args) {
        if (!line.empty()) {
            line += u' ';
        }
        line += arg;
    }
    return ToLowerAscii(line);
}

std::u16string ToLowerAscii(std::u16string_view text) {
    std::u16string lower(text);
    for (char16_t& c : lower) {
        if (c >= u'A' && c <= u'Z') {
            c = static_cast<char16_t>(c - u'A' + u'a');
        }
    }
    return lower;
}

std::u16string ChooseSharedFolder(const std::string& platformFolder,
                                  const std::function<bool(const std::u16string&)>& makeFolder) {
    std::u16string folder = ov::Utf8ToWide(platformFolder.empty() ? kSharedFolderFallback : platformFolder);
    if (folder.back() != u'/') {
        folder += u'/';
    }
    return makeFolder(folder) ? folder : ov::Utf8ToWide(kSharedFolderLastResort);
}

bool HasDisplay() {
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    if (platform != nullptr && platform[0] != '\0') {
        if (std::strncmp(platform, "xcb", 3) == 0) {
            return EnvSet("DISPLAY");
        }
        if (std::strncmp(platform, "wayland", 7) == 0) {
            return EnvSet("WAYLAND_DISPLAY");
        }
        return true;  // offscreen, minimal, vnc, ... need no display
    }
    return EnvSet("DISPLAY") || EnvSet("WAYLAND_DISPLAY");
}

CCrashReporter::CCrashReporter() : m_nCrashReport(OvCR_Install(0, kSupportAddress, kCrashReportTitle)) {}

CCrashReporter::~CCrashReporter() {
    OvCR_Uninstall(m_nCrashReport);
}

CStartup::CStartup(std::vector<std::u16string> args) : m_args(std::move(args)) {}

void CStartup::SetCoderAlphabet() noexcept {
    OvBase64_SetEncodeTable(kOvBase64Alphabet);
}

void CStartup::NameProfileKey() {
    // The title is still the English one here, so the profile never moves
    // with the language.
    m_strProfileKey = std::u16string(u"Software\\") + kRegistryKeyName + u"\\" + kEnglishTitle;
}

bool CStartup::FindProgramPath() {
    m_strProgramPath = ov::Utf8ToWide(ov::ExecutablePath());
    const size_t slash = m_strProgramPath.rfind(u'/');
    m_strProgramName = slash == std::u16string::npos ? m_strProgramPath : m_strProgramPath.substr(slash + 1);
    return !m_strProgramPath.empty();
}

void CStartup::RegisterApplicationPath() {
    RegisterAppPath(m_strProgramName, 1);
}

void CStartup::FindSharedFolder() {
    m_strSharedDir = ChooseSharedFolder(ov::MakerSharedFolder(), [](const std::u16string& path) {
        return MakeSureFolderPathExists(path.c_str()) != FALSE;
    });
}

StartMode CStartup::RunCommonSteps() {
    SetCoderAlphabet();
    NameProfileKey();
    FindProgramPath();
    RegisterApplicationPath();
    FindSharedFolder();
    return ParseMode();
}

void CStartup::FindLanguageAndFolder() {
    m_strLanguage = OvMUI_GetUserLanguage();
    const size_t slash = m_strProgramPath.rfind(u'/');
    m_strAppDir = slash == std::u16string::npos ? std::u16string() : m_strProgramPath.substr(0, slash + 1);
}

void CStartup::ChooseLanguageResources(const MessageSink& show) {
    m_bResModule = false;
    ResetLanguageModule();
    LangCheck check = CheckLanguageModule(m_strAppDir, m_strLanguage, m_strProgramPath);
    if (check.result != kLangModuleUsed) {
        const std::u16string message = LangCheckMessage(check, m_strProgramPath);
        if (!message.empty() && show) {
            show(message, MessageIcon::Error);
        }
        return;
    }
    if (SelectLanguageModule(std::move(check.module))) {
        m_bResModule = true;
        if (const WORD id = GetLanguageID(m_strLanguage.c_str()); id != 0) {
            SetThreadLocale(id);
        }
    }
}

std::u16string CStartup::TranslatedTitle() const {
    return LoadFormatString(57344, kEnglishTitle);
}

void CStartup::OpenConfigFile() {
    m_strConfigPath = m_strAppDir + kConfigFileName;
}

int CStartup::ReadAutoCheckUpdate() {
    if (!m_config.ReadEncoded(m_strConfigPath.c_str())) {
        return 0;
    }
    std::u16string value;
    m_config.GetValue(kConfigSection, kAutoCheckUpdateKey, value);
    return value.empty() ? 0 : 1;
}
