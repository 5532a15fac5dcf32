#include "LookupWatch.h"

#include <memory>

#include <QNetworkReply>

namespace {

int g_pending = 0;              // watched lookups not settled yet (GUI thread only)
bool g_leftBehind = false;      // a lookup was left running by a stopped reply

}  // namespace

void WatchNameLookup(QNetworkReply* reply)
{
    if (reply == nullptr)
        return;
    ++g_pending;
    const auto pending = std::make_shared<bool>(true);
    const auto settle = [pending](bool leftBehind) {
        if (!*pending)
            return;
        *pending = false;
        --g_pending;
        g_leftBehind = g_leftBehind || leftBehind;
    };
    QObject::connect(reply, &QNetworkReply::socketStartedConnecting, reply, [settle] { settle(false); });
    QObject::connect(reply, &QNetworkReply::finished, reply, [settle, reply] {
        // Any other ending (an answer, a refused connection, an unknown
        // name) came after the lookup.
        const QNetworkReply::NetworkError error = reply->error();
        settle(error == QNetworkReply::OperationCanceledError || error == QNetworkReply::TimeoutError);
    });
    QObject::connect(reply, &QObject::destroyed, [settle] { settle(true); });
}

bool NameLookupMayBeRunning() noexcept
{
    return g_pending > 0 || g_leftBehind;
}
