#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// The far end of a serial line: a pseudo-terminal whose slave the window opens
// by path and whose master the test reads and writes as the gateway would.
// The slave fd stays open for the line's whole life, so the path stays valid.
class PtyLine
{
public:
    PtyLine();
    ~PtyLine();
    PtyLine(const PtyLine &) = delete;
    PtyLine &operator=(const PtyLine &) = delete;

    QString path() const { return slavePath; }
    int masterFd() const { return master; }
    bool isValid() const { return master >= 0; }

    // Bytes the window wrote: waits (running the event loop) until n bytes are
    // there or the time is up, and returns what arrived.
    QByteArray read(int n, int timeoutMs = 1500);
    // The same, and whatever follows within 20 ms, so a frame too long shows whole.
    QByteArray readFrame(int n);
    // Everything that arrives within the given time.
    QByteArray readFor(int ms);
    // True when the next bytes on the wire are exactly these.
    bool expect(const QByteArray &frame, int timeoutMs = 1500);
    // True when nothing arrives within the given time.
    bool expectSilence(int ms = 300);
    // Discards whatever is waiting.
    void drain();

    void write(const QByteArray &bytes);
    // Writes the bytes in pieces of the given sizes, running the event loop
    // for gapMs between them so each piece makes its own readyRead.
    void writeInPieces(const QByteArray &bytes, const QList<int> &sizes, int gapMs = 150);

    // The other end vanishes: both pty fds are closed.
    void hangUp();

private:
    int master = -1;
    int slave = -1;
    QString slavePath;
};

// Hex text ("01 03 00 01") to bytes.
QByteArray bytes(const char *hex);
// The frame with its CRC-16/MODBUS appended, low byte first.
QByteArray withCrc(const QByteArray &frame);
// Runs the event loop for the given time.
void settle(int ms);
