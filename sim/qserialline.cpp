// A serial port through QSerialPort, the one way to a COM port on Windows. No event
// loop runs: the waits are QSerialPort's own blocking ones.
#include "linebackend.h"
#include "lineserver.h"
#include "link.h"

#include <QSerialPort>

namespace {

// As long as the POSIX line waits for a reader before it gives up on a write.
constexpr int kWriteWaitMs = 200;

class QtSerialLine : public LineBackend
{
public:
    QSerialPort port;

    Heard wait(int ms, QByteArray *bytes) override
    {
        if (port.bytesAvailable() == 0 && !port.waitForReadyRead(ms)) {
            // A time-out is no news; anything else (ResourceError) means the port is gone,
            // and QSerialPort then says so at once on every wait.
            const QSerialPort::SerialPortError error = port.error();
            port.clearError();
            return error == QSerialPort::TimeoutError || error == QSerialPort::NoError ? Heard::Nothing : Heard::HungUp;
        }
        *bytes = port.readAll();
        return bytes->isEmpty() ? Heard::Nothing : Heard::Bytes;
    }

    int write(const QByteArray &bytes, QString *error) override
    {
        if (port.write(bytes) != bytes.size()) {
            *error = port.errorString();
            port.clear(QSerialPort::Output);
            port.clearError();
            return 0;
        }
        while (port.bytesToWrite() > 0 && port.waitForBytesWritten(kWriteWaitMs)) {
        }
        const qint64 left = port.bytesToWrite();
        if (left > 0) {
            // What is still queued must not go out late, after the replies behind it.
            *error = port.errorString();
            port.clear(QSerialPort::Output);
            port.clearError();
        }
        return static_cast<int>(bytes.size() - left);
    }
};

} // namespace

std::unique_ptr<LineBackend> openQtSerialLine(const QString &path, const SerialSettings &settings, QString *error)
{
    auto line = std::make_unique<QtSerialLine>();
    QSerialPort &port = line->port;
    port.setPortName(path);
    if (!port.open(QIODevice::ReadWrite)) {
        *error = QStringLiteral("cannot open %1: %2").arg(path, port.errorString());
        return nullptr;
    }
    const bool configured = port.setBaudRate(settings.baud)
                            && port.setDataBits(settings.dataBits == 7 ? QSerialPort::Data7 : QSerialPort::Data8)
                            && port.setParity(parityOf(settings.parity))
                            && port.setStopBits(settings.stopBits == 2 ? QSerialPort::TwoStop : QSerialPort::OneStop)
                            && port.setFlowControl(QSerialPort::NoFlowControl);
    if (!configured) {
        *error = QStringLiteral("cannot configure %1: %2").arg(path, port.errorString());
        return nullptr;
    }
    // What waited in the driver is not for this simulator.
    port.clear();
    return line;
}
