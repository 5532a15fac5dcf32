// Grabs the application's own windows as PNG pictures for looking at the
// layout: ov_app_shot <folder> [en|<code>...] writes per language
// about-<code>.png, help-<code>.png, online-<code>.png (the installed page
// after a failed web page) and update-{newer,current,failed}-<code>.png, and
// for "en" langcheck-<n>.png, the five fixed start-up messages. Language
// modules, help books and pages are taken from mui/<code>/ beside the
// program. Runs offscreen on a scratch registry.
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QPixmap>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QDeadlineTimer>

#include "AboutDlg.h"
#include "HelpWindow.h"
#include "MsgFormat.h"
#include "OnlineResourceView.h"
#include "ovupdate/OvUpdate.h"
#include "startup.h"
#include "support/shot_languages.h"

namespace {

// Answers every request with the update answer of version.
class UpdateServer {
public:
    explicit UpdateServer(QByteArray version) : m_version(std::move(version)) {
        m_server.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&m_server, &QTcpServer::newConnection, [this] {
            while (QTcpSocket* socket = m_server.nextPendingConnection()) {
                QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                    socket->readAll();
                    const QByteArray body =
                        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<OvUpdate product=\"Orvantek Ping Tool\">"
                        "<Version>" +
                        m_version +
                        "</Version><Download>https://www.orvantek.example/dl.html"
                        "</Download><Notes>Faster chart.</Notes></OvUpdate>";
                    socket->write("HTTP/1.1 200 OK\r\nConnection: close\r\nContent-Length: " +
                                  QByteArray::number(body.size()) + "\r\n\r\n" + body);
                    socket->disconnectFromHost();
                });
            }
        });
    }
    QString Url() const { return QStringLiteral("http://127.0.0.1:%1/update.xml").arg(m_server.serverPort()); }

private:
    QByteArray m_version;
    QTcpServer m_server;
};

void Pump(const std::function<bool()>& done, int ms) {
    const QDeadlineTimer deadline(ms);
    while (!deadline.hasExpired() && !done()) {
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
    }
}

int Save(QWidget& widget, const QDir& out, const std::string& name) {
    widget.show();
    Pump([] { return false; }, 50);
    const QString file = out.filePath(QString::fromStdString(name + ".png"));
    if (!widget.grab().save(file)) {
        std::fprintf(stderr, "ov_app_shot: cannot write %s\n", qPrintable(file));
        return 1;
    }
    return 0;
}

int ShotUpdate(const QDir& out, const std::string& name, const QString& address) {
    COvUpdate update(QString::fromStdU16String(kEnglishTitle), QString::fromStdU16String(kProgramVersion), address);
    update.SetTimeout(2000);
    update.DoUpdate(nullptr, 0, QString());
    Pump([&] { return update.Dialog() != nullptr; }, 5000);
    if (update.Dialog() == nullptr) {
        std::fprintf(stderr, "ov_app_shot: no update dialog for %s\n", name.c_str());
        return 1;
    }
    const int rc = Save(*update.Dialog(), out, name);
    update.Dialog()->close();
    return rc;
}

int ShotLanguage(const QDir& out, const std::string& code) {
    const QString mui =
        QApplication::applicationDirPath() + "/mui/" + QString::fromStdString(code == "en" ? "en_us" : code) + "/";
    const QString title = QString::fromStdU16String(LoadFormatString(57344, kEnglishTitle));
    int rc = 0;
    {
        CAboutDlg about(title, QString::fromStdU16String(kProgramVersion));
        rc |= Save(about, out, "about-" + code);
    }
    {
        CHelpWindow help(mui + "help/", title);
        help.ShowPage(QStringLiteral("loglist.html"));
        rc |= Save(help, out, "help-" + code);
    }
    {
        // Port 1 on loopback refuses at once: the installed page follows.
        COnlineResourceView view(QStringLiteral("http://127.0.0.1:1/"), mui + "Website/tapper.html");
        view.resize(320, 480);
        view.OnInitialUpdate();
        Pump([&] { return view.LocalShown() && !view.IsLoading(); }, 5000);
        rc |= Save(view, out, "online-" + code);
    }
    const UpdateServer newer("1.2.0.301");
    const UpdateServer current("1.1.1.265");
    rc |= ShotUpdate(out, "update-newer-" + code, newer.Url());
    rc |= ShotUpdate(out, "update-current-" + code, current.Url());
    rc |= ShotUpdate(out, "update-failed-" + code, QStringLiteral("http://127.0.0.1:1/update.xml"));
    return rc;
}

int ShotLanguageChecks(const QDir& out) {
    const char* messages[] = {
        "Couldn't Load Resource File \"/usr/lib/tapper/mui/de_de/OvPingRes.so\"!",
        "The language of resource file does not match!",
        "Couldn't get the version of file \"/usr/lib/tapper/tapper\"!",
        "Couldn't get the version of resource file \"/usr/lib/tapper/mui/de_de/OvPingRes.so\"!",
        "The version of resource file does not match!",
    };
    int rc = 0;
    int n = 1;
    for (const char* text : messages) {
        QMessageBox box(QMessageBox::Critical, QString::fromStdU16String(kEnglishTitle), QString::fromUtf8(text),
                        QMessageBox::Ok);
        rc |= Save(box, out, "langcheck-" + std::to_string(n++));
    }
    return rc;
}

}  // namespace

int main(int argc, char** argv) {
    if (!ov::test::ReadShotArguments(argc, argv)) {
        return 2;
    }
    // The updater's memory goes to a registry of its own.
    const QTemporaryDir registry;
    qputenv("OV_REGISTRY_DIR", registry.path().toLocal8Bit());
    QApplication app(argc, argv);
    const QDir out(QString::fromLocal8Bit(argv[1]));
    return ov::test::ForEachShotLanguage(argc, argv, [&](const std::string& code) {
        int rc = 0;
        if (code == "en") {
            rc |= ShotLanguageChecks(out);
        }
        rc |= ShotLanguage(out, code);
        return rc;
    });
}
