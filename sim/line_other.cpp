// Lines on a system without POSIX (Windows): no pseudo-terminals, and a serial
// port only through QSerialPort.
#include "linebackend.h"

std::unique_ptr<LineBackend> openPseudoTerminalLine(int, QString *, QString *error)
{
    *error = QStringLiteral("no pseudo-terminals on this system; serve a serial port with --port, "
                            "e.g. one end of a virtual null-modem pair");
    return nullptr;
}

std::unique_ptr<LineBackend> openSystemSerialLine(const QString &path, const SerialSettings &settings, QString *error)
{
    return openQtSerialLine(path, settings, error);
}
