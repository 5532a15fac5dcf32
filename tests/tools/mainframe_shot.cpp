// Renders the main window into PNG files for review:
//   ov_mainframe_shot OUTDIR LANG     (LANG: en, de_de, zh_cn)
// writes OUTDIR/LANG-main-idle.png (before the first run), LANG-main-run.png
// (a run of three hosts on the fake ICMP provider), LANG-main-large.png (one
// named host with 128-byte packets: the log list's whole lines at the default
// size), LANG-main-unresolved.png (a host whose name does not resolve),
// LANG-menu-N.png for each popup of the menu bar (the File menu with a recent
// host list file) and LANG-export-dialog.png. The profile lives in a
// temporary folder.
#include <arpa/inet.h>
#include <netdb.h>

#include <cstdio>
#include <string>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QMenu>
#include <QMenuBar>
#include <QTemporaryDir>
#include <QThread>

#include "FileCommands.h"
#include "FrameApp.h"
#include "MainFrame.h"
#include "MsgFormat.h"
#include "PingServices.h"
#include "support/fake_icmp.h"

namespace {

// The application as far as the window asks it: its language alone.
class ShotApp final : public IFrameApp {
public:
    explicit ShotApp(QString language) : m_language(std::move(language)) {}
    void OnHelpCommand(unsigned int, const QString&) override {}
    void OnWebCommand(unsigned int) override {}
    void OnUpdateCheck(QWidget*, bool) override {}
    void OnAbout(QWidget*) override {}
    bool OnlineFeaturesOn() const override { return false; }
    QWidget* CreateOnlineResourceView(QWidget*) override { return nullptr; }
    QString Language() const override { return m_language; }
    void SetMainTitle(std::u16string_view) override {}
    QString ApplicationTitle() const override { return QStringLiteral("Orvantek Ping Tool"); }

private:
    QString m_language;
};

void Wait(int ms) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms) {
        QApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
}

bool Save(QWidget& widget, const QString& file) {
    QApplication::processEvents();
    if (!widget.grab().save(file)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
        return false;
    }
    std::printf("%s\n", qPrintable(file));
    return true;
}

// A name server that answers late that no such name exists, so that the
// lookup shows before its failure.
int NoSuchName(const char*, const char*, const addrinfo*, addrinfo** result) {
    QThread::msleep(300);
    *result = nullptr;
    return EAI_NONAME;
}

// A name server that knows every name as the loopback address.
int Loopback(const char*, const char* service, const addrinfo* hints, addrinfo** result) {
    return ::getaddrinfo("127.0.0.1", service, hints, result);
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    QApplication::setApplicationDisplayName(QStringLiteral("Orvantek Ping Tool"));
    if (argc != 3) {
        std::fprintf(stderr, "usage: ov_mainframe_shot OUTDIR LANG\n");
        return 2;
    }
    const QString outDir = QString::fromLocal8Bit(argv[1]);
    const std::string lang = argv[2];
    QDir().mkpath(outDir);
    if (lang != "en") {
        const std::string module = QApplication::applicationDirPath().toStdString() + "/mui/" + lang + "/OvPingRes.so";
        if (!SelectLanguageModule(QString::fromStdString(module).toStdU16String())) {
            std::fprintf(stderr, "cannot load %s\n", module.c_str());
            return 1;
        }
    }
    QTemporaryDir registry;
    qputenv("OV_REGISTRY_DIR", registry.path().toLocal8Bit());

    ov::test::FakeIcmpProvider provider;
    provider.SetDestinationCycle(inet_addr("127.0.0.1"), {{.roundTripTime = 3}, {.roundTripTime = 12}});
    provider.SetDestinationCycle(inet_addr("127.0.0.2"), {{.roundTripTime = 0, .ttl = 128}});
    provider.SetDestinationCycle(inet_addr("127.0.0.3"), {{.roundTripTime = 41, .ttl = 52}, {.noReply = true}});
    ov::test::ProviderScope scope({&provider});

    const QString prefix = outDir + "/" + QString::fromStdString(lang);
    int failures = 0;
    {
        ShotApp frameApp(QString::fromStdString(lang == "en" ? "en_us" : lang));
        COvPingDoc doc;
        doc.Settings().TimeDelay = 100;
        doc.Settings().TimeOut = 100;
        doc.PollTime() = 200;
        CMainFrame frame(doc, &frameApp, u"Software\\Orvantek Shot");
        frame.ShowAtPlacement();
        Wait(300);
        failures += !Save(frame, prefix + "-main-idle.png");

        frame.SetHostEntryText(u"127.0.0.1 127.0.0.2 127.0.0.3");
        frame.OnStartStop();
        Wait(2500);
        failures += !Save(frame, prefix + "-main-run.png");

        doc.StopAll();
        doc.Settings().Size = 128;
        SetNameResolver(&Loopback, &::freeaddrinfo);
        frame.SetHostEntryText(u"LocalHost");
        frame.OnStartStop();
        Wait(1500);
        failures += !Save(frame, prefix + "-main-large.png");

        doc.StopAll();
        SetNameResolver(&NoSuchName, &::freeaddrinfo);
        frame.SetHostEntryText(u"nonexistent.invalid");
        frame.OnStartStop();
        Wait(1000);
        failures += !Save(frame, prefix + "-main-unresolved.png");
        doc.StopAll();
        SetNameResolver(nullptr, nullptr);

        const QString hostList = registry.filePath(QStringLiteral("rack7.txt"));
        QFile list(hostList);
        if (!list.open(QIODevice::WriteOnly) || list.write("# rack 7\n127.0.0.1\n127.0.0.2\n") < 0) {
            ++failures;
        }
        list.close();
        failures += !frame.FileCommands().OpenHostList(hostList);

        int n = 0;
        for (QAction* popup : frame.menuBar()->actions()) {
            QMenu* menu = popup->menu();
            if (menu == nullptr) {
                continue;
            }
            emit menu->aboutToShow();
            menu->adjustSize();
            failures += !Save(*menu, prefix + QStringLiteral("-menu-%1.png").arg(++n));
        }

        const auto dialog = frame.FileCommands().NewExportDialog();
        dialog->setDirectory(registry.path());
        dialog->show();
        Wait(300);
        failures += !Save(*dialog, prefix + "-export-dialog.png");
        dialog->hide();
        doc.StopAll();
    }
    return failures == 0 ? 0 : 1;
}
