#pragma once

#include <QByteArray>
#include <QString>

#include <memory>
#include <optional>

#include "lineserver.h"

// The bytes of one line, whatever carries them. LineServer owns the timing;
// a backend only waits, reads and writes.
class LineBackend
{
public:
    enum class Heard { Bytes, Nothing, HungUp };

    virtual ~LineBackend() = default;
    // Waits up to ms for bytes and puts what arrived in *bytes. HungUp when the
    // line reports it is gone or has no client; it may say so again at once.
    virtual Heard wait(int ms, QByteArray *bytes) = 0;
    // Hands the bytes to the line, giving up after a short wait for a reader
    // that does not come; how many went, and why the rest did not.
    virtual int write(const QByteArray &bytes, QString *error) = 0;
    // The baud rate and stop bits the far end has set the line to, where the
    // line tells them: a pseudo-terminal's master sees its slave's settings, but
    // not their parity or data bits, which it keeps at none and 8. Nothing for a
    // serial port, whose far end is another machine.
    virtual std::optional<SerialSettings> farSettings() const { return std::nullopt; }
};

// Only where POSIX is (line_posix.cpp); elsewhere they fail or fall back to
// QSerialPort (line_other.cpp).
// The pseudo-terminal starts at this baud rate, for a client that leaves it as it is.
std::unique_ptr<LineBackend> openPseudoTerminalLine(int baud, QString *path, QString *error);
std::unique_ptr<LineBackend> openSystemSerialLine(const QString &path, const SerialSettings &settings, QString *error);

// Everywhere (qserialline.cpp).
std::unique_ptr<LineBackend> openQtSerialLine(const QString &path, const SerialSettings &settings, QString *error);
