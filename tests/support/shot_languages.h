#pragma once
// The common frame of the screenshot tools, "<tool> <folder> [en|<code>...]":
// the arguments, the offscreen platform unless one is chosen, and each
// language's module selected in turn before its pictures are taken.
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include <QApplication>
#include <QString>

#include "MsgFormat.h"

namespace ov::test {

// False (after the usage line) when the folder is missing; else chooses the
// offscreen platform unless QT_QPA_PLATFORM names one. Call before QApplication.
inline bool ReadShotArguments(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <folder> [en|<code>...]\n", argv[0]);
        return false;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    return true;
}

// Runs shot(code) with each language's module selected (English, German and
// Chinese when none is named); a module that cannot be loaded is skipped and
// said. Returns 0, or 1 when a module or a shot failed.
inline int ForEachShotLanguage(int argc, char** argv, const std::function<int(const std::string& code)>& shot) {
    std::vector<std::string> codes(argv + 2, argv + argc);
    if (codes.empty()) {
        codes = {"en", "de_de", "zh_cn"};
    }
    int rc = 0;
    for (const std::string& code : codes) {
        ResetLanguageModule();
        const QString module =
            QApplication::applicationDirPath() + "/mui/" + QString::fromStdString(code) + "/OvPingRes.so";
        if (code != "en" && !SelectLanguageModule(module.toStdU16String())) {
            std::fprintf(stderr, "%s: cannot load %s\n", argv[0], qPrintable(module));
            rc = 1;
            continue;
        }
        rc |= shot(code) != 0 ? 1 : 0;
    }
    ResetLanguageModule();
    return rc;
}

}  // namespace ov::test
