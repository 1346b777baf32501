#include "MessageLog.h"
#include "Tervan.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    // Images live in a static library; pull them in explicitly.
    Q_INIT_RESOURCE(resources);
    QApplication app(argc, argv);
    qInstallMessageHandler(messageHandler);
    Tervan window;
    window.show();
    return app.exec();
}
