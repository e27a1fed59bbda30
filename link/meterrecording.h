#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QFile>
#include <QString>

class QSerialPort;

// The CSV of meter polls, as the window's recording and nvb8140t-ctl poll
// both write it, so that one reader takes either:
//
//   # nvb8140t-tool 1.0
//   # port /dev/ttyUSB0, 9600 8N1
//   # gateway address 1
//   time,meter1,meter2
//   2024-05-01T10:15:02.481+08:00,23.5000,timeout
//   2024-05-01T10:15:03.480+08:00,no-reply,no-reply
namespace MeterCsv {

// "/dev/ttyUSB0, 9600 8N1": the port as it was named, with its line settings.
QString lineOf(const QString &portName, const QSerialPort &port);
// The comment lines that say what wrote the file and on which line.
QString comments(const QString &program, const QString &line, int address);
// The comment for a change of gateway in the middle of a recording.
QString addressComment(int address);
QString header(int meters);
// Local time with milliseconds and the offset from UTC.
QString timeOf(const QDateTime &time);

// One poll's line. An answered poll gives each meter's value, or `timeout` for
// one the gateway marks silent; an exception gives its name in every column,
// and a poll with no valid answer `no-reply`.
enum class Outcome { Answered, Exception, NoReply };
QString line(const QDateTime &time, int meters, Outcome outcome, const QByteArray &reply = {});

} // namespace MeterCsv

// A CSV written line by line, each line on the disk before the next poll: a
// crash or a pulled plug loses at most the line in progress. A failed write
// (a full disk) cuts the file back to its last whole line and says why; what
// was written before stays.
class MeterRecording
{
public:
    // Creates or empties the file.
    bool open(const QString &path, QString *error);
    // Writes to an open descriptor instead (nvb8140t-ctl's standard output).
    bool openDescriptor(int fd, QString *error);
    // Whole lines, each ending in a line feed.
    bool write(const QString &lines, QString *error);
    void close() { file.close(); }
    bool isOpen() const { return file.isOpen(); }
    QString fileName() const { return file.fileName(); }

private:
    QFile file;
    qint64 whole = 0; // bytes up to the end of the last whole line
    bool seekable = false;
};
