#include "MessageLog.h"
#include "Tervan.h"

#include <QApplication>
#include <QDir>
#include <QtDebug>

int main(int argc, char* argv[])
{
    // Images live in a static library; pull them in explicitly.
    Q_INIT_RESOURCE(resources);
    QApplication app(argc, argv);
    qInstallMessageHandler(messageHandler);
    qInfo().noquote() << "ARQ-310MX" << ARQ_VERSION << "started in" << QDir::currentPath();
    Tervan window;
    window.show();
    return app.exec();
}
