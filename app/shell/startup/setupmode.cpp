#include "setupmode.h"

#include <cerrno>
#include <cstring>

#include "MsgFormat.h"
#include "ovcppstd.h"
#include "ovmfcstd/OvSysUtil.h"
#include "ovmui/OvMuiLang.h"
#include "platform/codepage.h"
#include "platform/escape.h"
#include "platform/registry.h"
#include "toolreg.h"

namespace {

bool IsSwitch(const std::u16string& text) {
    return !text.empty() && (text[0] == u'/' || text[0] == u'-');
}

bool Contains(const std::u16string& text, const char16_t* part) {
    return text.find(part) != std::u16string::npos;
}

}  // namespace

std::u16string InstallerLanguage(const std::vector<std::u16string>& args) {
    if (args.size() < 4) {
        return u"en_us";
    }
    std::u16string language = args[2];
    if (ToLowerAscii(language) == u"/lan") {
        language = ToLowerAscii(args[3]);
    }
    // A switch in the language's place is not a language code.
    return IsSwitch(language) || language.empty() ? u"en_us" : language;
}

void RegisterLanguage(const CStartup& startup, const MessageSink& show) {
    const std::u16string commonPath = startup.SharedDir() + u"mui";
    OvMUI_RegisterApplication(commonPath.c_str(), u"en_us", nullptr);
    const std::u16string language = InstallerLanguage(startup.Args());
    if (!OvMUI_WriteUserLanguage(language.c_str()) && show) {
        show(u"WriteUserLanguage (" + language + u") failed.", MessageIcon::None);
    }
}

bool FinishRegistration(CStartup& startup, const MessageSink& show) {
    const std::u16string line = LowerCommandLine(startup.Args());
    if (Contains(line, u"/regtool")) {
        const std::u16string title = LoadFormatString(57347, u"Ping");
        RegisterHarborTool(kAppGuid, title.c_str(), startup.ProgramPath().c_str(), kHarborToolArguments, nullptr, 1);
    }
    if (Contains(line, u"/autocheckupdate")) {
        CConfigFile& config = startup.Config();
        config.SetValue(kConfigSection, kAutoCheckUpdateKey, 1);
        errno = 0;
        if (!config.WriteEncoded(startup.ConfigPath().c_str())) {
            const int error = errno != 0 ? errno : EIO;
            if (show) {
                const std::u16string path = ov::EscapeControls(startup.ConfigPath());
                const std::u16string reason = ov::Utf8ToWide(std::strerror(error));
                show(LoadFormatString(34752, u"Couldn't write the file \"%s_a%\": %s_b%", path.c_str(), reason.c_str()),
                     MessageIcon::Error);
            }
            return false;
        }
    }
    return true;
}

void RemoveRegistration(const CStartup& startup) {
    if (Contains(LowerCommandLine(startup.Args()), u"/unregtool")) {
        UnregisterHarborTool(kAppGuid);
    }
    RegisterAppPath(startup.ProgramName(), 0);
    const std::u16string appKey = OvMUI_GetOvCurAppPath();
    RemoveRegKey(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Orvantek\\mui", appKey.c_str());
    RemoveRegKey(HKEY_CURRENT_USER, u"SOFTWARE\\Orvantek\\mui", appKey.c_str());
    RemoveRegKey(HKEY_CURRENT_USER, u"SOFTWARE\\Orvantek", kEnglishTitle);
    RemoveRegKey(HKEY_CURRENT_USER, u"SOFTWARE\\Orvantek\\OVUPDATE", kEnglishTitle);
}

int RunInstallerMode(CStartup& startup, StartMode mode, const MessageSink& show) {
    if (mode == StartMode::Unregister) {
        RemoveRegistration(startup);
        return 0;
    }
    if (mode != StartMode::Register) {
        return 0;
    }
    RegisterLanguage(startup, show);
    startup.FindLanguageAndFolder();
    startup.ChooseLanguageResources(show);
    startup.OpenConfigFile();
    return FinishRegistration(startup, show) ? 0 : 1;
}
