#include "WindowRun.h"

#include <cstdio>
#include <cstdlib>

#include <QApplication>

#include "LookupWatch.h"
#include "TapperApp.h"
#include "console.h"

int RunWindowMode(int argc, char** argv, std::vector<std::u16string> args,
                  const std::function<void(CTapperApp&)>& started, const WindowRunFiles& files) {
    QApplication qapp(argc, argv);
    int rc = kExitNotStarted;
    {
        CTapperApp app(std::move(args));
        app.SetRunFiles(files.hosts, files.exportPath);
        if (app.InitInstance() != 0) {
            if (started) {
                started(app);
            }
            rc = QApplication::exec();
        }
        app.ExitInstance();
    }
    // The window is gone and the settings are saved; what is left is the
    // toolkit's own teardown, which waits for its running name lookups.
    if (NameLookupMayBeRunning()) {
        std::fflush(nullptr);
        std::_Exit(rc);
    }
    return rc;
}
