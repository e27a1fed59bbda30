#include "transmit.h"

#include <algorithm>
#include <utility>

#include "crc.h"
#include "decoder.h"
#include "qwa.h"
#include "trafficlog.h"

std::uint8_t txFrame[kTxFrameSize] = {};

void clearTxFrame()
{
    std::fill(std::begin(txFrame), std::end(txFrame), std::uint8_t(0));
}

std::uint8_t Qwa::targetAddress() const
{
    return static_cast<std::uint8_t>(ui.comdizhi->currentText().toInt(nullptr, 10));
}

void Qwa::writeToPort(const std::uint8_t *bytes, int n)
{
    const bool awaited = std::exchange(frameAwaitsReply, false);
    // A closed port sends nothing; skip the write rather than let the toolkit warn.
    if (!serialPort.isOpen())
        return;
    const QByteArray frame(reinterpret_cast<const char *>(bytes), n);
    qCDebug(lcLink).noquote() << describeTraffic("->", bytes, n);
    serialPort.write(frame);
    // Hand the frame to the line now: many requests pulse the progress bar
    // right after sending, which blocks the event loop that would write it.
    serialPort.flush();
    trafficRecord.add(TrafficEvent::Request, frame, describeRequest(frame));
    if (awaited)
        watchRequest(frame);
}

void Qwa::takeReception(std::uint8_t code)
{
    dropStaleInput();
    pendingCommand = code;
}

void Qwa::awaitReply(std::uint8_t code)
{
    takeReception(code);
    frameAwaitsReply = true;
}

void Qwa::sendFrame(int n)
{
    sendFrameKeep(n);
    clearTxFrame();
}

void Qwa::sendFrameKeep(int n)
{
    appendCrc(txFrame, n);
    writeToPort(txFrame, n + 2);
}

void Qwa::sendRaw(int n)
{
    writeToPort(txFrame, n);
    clearTxFrame();
}

void Qwa::sendRegisterRead(std::uint8_t code, std::uint16_t reg, std::uint16_t count)
{
    awaitReply(code);
    sendFrame(buildReadRequest(txFrame, targetAddress(), reg, count));
}

void Qwa::sendRegisterWrite(std::uint8_t code, std::uint16_t reg, std::uint16_t value)
{
    awaitReply(code);
    sendFrame(buildWriteRequest(txFrame, targetAddress(), reg, &value, 1));
}
