#include "Listen.h"

#include <QHostAddress>
#include <QTcpServer>

namespace sim {

bool listenOn(QTcpServer* server, const QString& host, quint16* port, QString* error)
{
    QHostAddress address;
    if (host == QLatin1String("localhost"))
        address = QHostAddress(QHostAddress::LocalHost);
    else if (host == QLatin1String("*") || host == QLatin1String("0.0.0.0"))
        address = QHostAddress(QHostAddress::AnyIPv4);
    else if (!address.setAddress(host)) {
        *error = QStringLiteral("'%1' is not an IP address").arg(host);
        return false;
    }
    if (!server->listen(address, *port)) {
        *error = QStringLiteral("cannot listen on %1:%2: %3").arg(host).arg(*port).arg(server->errorString());
        return false;
    }
    *port = server->serverPort();
    return true;
}

} // namespace sim
