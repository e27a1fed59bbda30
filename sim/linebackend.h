#pragma once

#include <QByteArray>
#include <QString>

#include <memory>

struct SerialSettings;

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
};

// Only where POSIX is (line_posix.cpp); elsewhere they fail or fall back to
// QSerialPort (line_other.cpp).
std::unique_ptr<LineBackend> openPseudoTerminalLine(QString *path, QString *error);
std::unique_ptr<LineBackend> openSystemSerialLine(const QString &path, const SerialSettings &settings, QString *error);

// Everywhere (qserialline.cpp).
std::unique_ptr<LineBackend> openQtSerialLine(const QString &path, const SerialSettings &settings, QString *error);
