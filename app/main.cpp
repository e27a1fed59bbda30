#include <QApplication>

#include "qwa.h"

namespace {

QtMessageHandler defaultHandler = nullptr;

// The port's readyRead slot is named like a slot bound by object name but is
// connected by hand; drop the by-name binder's complaint about it at start-up.
void messageHandler(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type == QtWarningMsg && message.endsWith(QLatin1String("No matching signal for on_SerialPort_ReadyRead()")))
        return;
    defaultHandler(type, context, message);
}

} // namespace

int main(int argc, char *argv[])
{
    defaultHandler = qInstallMessageHandler(messageHandler);
    QApplication application(argc, argv);
    int result;
    {
        Qwa window;
        window.show();
        result = application.exec();
    }
    return result;
}
