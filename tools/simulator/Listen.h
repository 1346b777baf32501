#pragma once

#include <QString>

class QTcpServer;

namespace sim {

// Puts the server on "HOST" and *port ("localhost", "*"/"0.0.0.0" for every
// interface, or an IP address); port 0 becomes the one the system chose.
// On failure returns false with a message.
bool listenOn(QTcpServer* server, const QString& host, quint16* port, QString* error);

} // namespace sim
