#include "transmit.h"

#include <algorithm>
#include <utility>

#include "commissioning_window.h"
#include "crc.h"
#include "qwa.h"
#include "requestcodes.h"

std::uint8_t txFrame[kTxFrameSize] = {};

void clearTxFrame()
{
    std::fill(std::begin(txFrame), std::end(txFrame), std::uint8_t(0));
}

std::uint8_t Qwa::targetAddress() const
{
    return static_cast<std::uint8_t>(ui.comdizhi->currentText().toInt(nullptr, 10));
}

// The frame goes to the link, which sends it once the line is free; its reply
// is handled under the code awaited when it was sent, and only then.
void Qwa::writeToPort(const std::uint8_t *bytes, int n)
{
    // While a detection tries line settings the port is not the user's yet:
    // nothing goes out, as on a closed port, at a setting nobody chose. A
    // commissioning run's requests follow each other; none may go between.
    if (lineTaken()) {
        frameAwaitsReply = false;
        nextTimeoutMs = kReplyTimeoutMs;
        return;
    }
    LinkRequest request;
    request.frame = QByteArray(reinterpret_cast<const char *>(bytes), n);
    request.tag = std::exchange(frameAwaitsReply, false) ? pendingCommand : Code::None;
    request.timeoutMs = std::exchange(nextTimeoutMs, kReplyTimeoutMs);
    request.anySender = request.tag == Code::Search;
    serialLink.submit(request);
}

bool Qwa::lineTaken() const
{
    return detector.isRunning() || (commissioningWindow && commissioningWindow->isRunning());
}

void Qwa::awaitReply(std::uint8_t code)
{
    pendingCommand = code;
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
