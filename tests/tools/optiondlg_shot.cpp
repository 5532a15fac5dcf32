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
#include "support/shot_languages.h"

int main(int argc, char** argv) {
    if (!ov::test::ReadShotArguments(argc, argv)) {
        return 2;
    }
    QApplication app(argc, argv);
    const QDir out(QString::fromLocal8Bit(argv[1]));
    return ov::test::ForEachShotLanguage(argc, argv, [&](const std::string& code) {
        int rc = 0;
        COvPingDoc doc;
        COptionDlg dialog(&doc);
        dialog.show();
        QApplication::processEvents();
        const QString file = out.filePath(QString::fromStdString("optiondlg-" + code + ".png"));
        if (!dialog.grab().save(file)) {
            std::fprintf(stderr, "%s: cannot write %s\n", argv[0], qPrintable(file));
            rc = 1;
        }
        return rc;
    });
}
