// Grabs the alerts as PNG pictures for looking at them: ov_alerts_shot
// <folder> [en|<code>...] writes, per language, <folder>/alertdlg-<code>.png
// (the Alerts dialog), alerttree-<code>.png (the statistics tree of a run in
// which one of three hosts is down, its tooltip text drawn below) and
// traymenu-<code>.png (the tray icon's menu during that run, its tooltip
// below). Hosts ping the scripted ICMP provider. Offscreen unless
// QT_QPA_PLATFORM says otherwise.
#include <arpa/inet.h>

#include <cstdio>
#include <string>
#include <vector>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QVBoxLayout>

#include "AlertCenter.h"
#include "AlertDlg.h"
#include "MsgFormat.h"
#include "OvPingDoc.h"
#include "StatTreeView.h"
#include "support/fake_icmp.h"
#include "support/shot_languages.h"
#include "support/view_host.h"

namespace {

// A picture with a caption line (a tooltip's text) under it.
QPixmap WithCaption(const QPixmap& picture, const QString& caption) {
    QLabel label(caption);
    label.setStyleSheet(QStringLiteral("QLabel { background: #ffffdc; border: 1px solid #777; padding: 3px; }"));
    label.adjustSize();
    const QPixmap tip = label.grab();
    // Laid out in logical pixels, drawn at the pictures' own pixel ratio.
    const QSizeF top = picture.deviceIndependentSize();
    const QSizeF below = tip.deviceIndependentSize();
    const qreal ratio = picture.devicePixelRatio();
    const QSizeF size(std::max(top.width(), below.width()), top.height() + below.height() + 4);
    QPixmap out((size * ratio).toSize());
    out.setDevicePixelRatio(ratio);
    out.fill(Qt::white);
    QPainter painter(&out);
    painter.drawPixmap(QPointF(0, 0), picture);
    painter.drawPixmap(QPointF(0, top.height() + 4), tip);
    return out;
}

bool Save(const QPixmap& picture, const QDir& out, const std::string& name) {
    const QString file = out.filePath(QString::fromStdString(name));
    if (!picture.save(file)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (!ov::test::ReadShotArguments(argc, argv)) {
        return 2;
    }
    QApplication app(argc, argv);
    const QDir out(QString::fromLocal8Bit(argv[1]));
    ov::test::FakeIcmpProvider fake;
    ov::test::ProviderScope scope({&fake});
    fake.SetDefault({.roundTripTime = 3});
    fake.SetDestinationCycle(htonl(0x7f000002), {{.status = IP_DEST_HOST_UNREACHABLE}});
    return ov::test::ForEachShotLanguage(argc, argv, [&](const std::string& code) {
        int rc = 0;
        {
            CAlertDlg dialog(ALERT_SETTINGS{}, CProfile(u"Software\\Orvantek Shot"));
            dialog.show();
            QApplication::processEvents();
            rc |= Save(dialog.grab(), out, "alertdlg-" + code + ".png") ? 0 : 1;
        }
        COvPingDoc doc;
        doc.Settings().TimeDelay = 100;
        doc.PollTime() = 100;
        ov::test::ViewHost host(doc);
        CAlertCenter alerts(doc, CProfile(u"Software\\Orvantek Shot"));
        CStatTreeView& tree = *host.TreeFrame().GetTreeView();
        alerts.AttachTree(&tree);
        host.Window().resize(760, 330);
        host.Window().show();
        doc.StartRun(u"127.0.0.1 127.0.0.2 127.0.0.3");
        QElapsedTimer waited;
        waited.start();
        const auto shown = [&alerts] {
            return alerts.Monitor().State(0) == HostState::Up && alerts.Monitor().State(1) == HostState::Down &&
                   alerts.Monitor().State(2) == HostState::Up;
        };
        while (!shown() && waited.elapsed() < 20000) {
            QApplication::processEvents(QEventLoop::AllEvents, 50);
        }
        tree.Refresh();
        QApplication::processEvents();
        const QString tip = tree.GetModel()->data(tree.GetModel()->index(1, 0, {}), Qt::ToolTipRole).toString();
        rc |= Save(WithCaption(host.Window().grab(), tip), out, "alerttree-" + code + ".png") ? 0 : 1;
        QMenu& menu = alerts.Tray().Menu();
        menu.popup(QPoint(0, 0));
        QApplication::processEvents();
        rc |= Save(WithCaption(menu.grab(), alerts.Tray().Icon().toolTip()), out, "traymenu-" + code + ".png") ? 0 : 1;
        menu.hide();
        doc.StopAll();
        return rc;
    });
}
