// Grabs the option dialog as PNG pictures, one per language, for looking at
// the layout: ov_optiondlg_shot <folder> [en|<code>...] writes
// <folder>/optiondlg-<code>.png. Language modules are taken from mui/<code>/
// beside the program. Runs offscreen unless QT_QPA_PLATFORM says otherwise.
#include <cstdio>
#include <string>
#include <vector>

#include <QApplication>
#include <QDir>
#include <QPixmap>

#include "MsgFormat.h"
#include "OptionDlg.h"
#include "OvPingDoc.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <folder> [en|<code>...]\n", argv[0]);
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    std::vector<std::string> codes(argv + 2, argv + argc);
    if (codes.empty()) {
        codes = {"en", "de_de", "zh_cn"};
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
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
        COvPingDoc doc;
        COptionDlg dialog(&doc);
        dialog.show();
        QApplication::processEvents();
        const QString file = out.filePath(QString::fromStdString("optiondlg-" + code + ".png"));
        if (!dialog.grab().save(file)) {
            std::fprintf(stderr, "%s: cannot write %s\n", argv[0], qPrintable(file));
            rc = 1;
        }
    }
    ResetLanguageModule();
    return rc;
}
