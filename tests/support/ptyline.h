#pragma once

#include <QByteArray>
#include <QString>

#include "frames.h"

// The far end of a serial line: a pseudo-terminal whose slave the window opens
// by path and whose master the test reads and writes as the gateway would.
// The slave fd stays open for the line's whole life, so the path stays valid.
class PtyLine
{
public:
    PtyLine();
    ~PtyLine() { hangUp(); }
    PtyLine(const PtyLine &) = delete;
    PtyLine &operator=(const PtyLine &) = delete;

    QString path() const { return slavePath; }
    int masterFd() const { return master; }
    bool isValid() const { return master >= 0; }

    // What the window wrote, running the event loop meanwhile: until n bytes are
    // there or the time is up; readFrame also takes what follows within 20 ms,
    // so that a frame too long shows whole; readFor takes all within the time.
    QByteArray read(int n, int timeoutMs = 1500);
    QByteArray readFrame(int n);
    QByteArray readFor(int ms) { return read(-1, ms); }
    // True when the next bytes on the wire are exactly these; warns otherwise.
    bool expect(const QByteArray &frame, int timeoutMs = 1500);
    bool expectSilence(int ms = 300);
    void drain() { readFor(50); }

    void write(const QByteArray &bytes);

    // The other end vanishes: both pty fds are closed.
    void hangUp();

private:
    int master = -1;
    int slave = -1;
    QString slavePath;
};

// Hex text ("01 03 00 01") to bytes.
QByteArray bytes(const char *hex);
// A Modbus RTU frame from its hex, its CRC appended.
inline QByteArray rtu(const char *hex) { return withCrc(bytes(hex)); }
// Runs the event loop for the given time.
void settle(int ms);
