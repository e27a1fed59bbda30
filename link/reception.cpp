#include <algorithm>

#include "crc.h"
#include "frames.h"
#include "qwa.h"
#include "replytable.h"
#include "trafficlog.h"

namespace {

const std::uint8_t *bytesOf(const QByteArray &bytes)
{
    return reinterpret_cast<const std::uint8_t *>(bytes.constData());
}

} // namespace

void Qwa::on_SerialPort_ReadyRead()
{
    rxBuffer = serialPort.readAll();
    // With nothing readable pending the bytes answer nothing that is awaited;
    // left in the port they would join the next reply and spoil it.
    if (!replyRule(pendingCommand)) {
        noteStrayBytes(rxBuffer);
        rxBuffer.clear();
        return;
    }
    receiveBytes(rxBuffer);
}

void Qwa::dropStaleInput()
{
    QByteArray stale;
    for (std::uint8_t b : rxQueue)
        stale.append(static_cast<char>(b));
    rxQueue.clear();
    rxBuffer.clear();
    if (serialPort.isOpen())
        stale += serialPort.readAll();
    noteStrayBytes(stale);
}

void Qwa::receiveBytes(const QByteArray &bytes)
{
    const ReplyRule *rule = replyRule(pendingCommand);
    if (!rule)
        return;
    if (!bytes.isEmpty())
        qCDebug(lcLink).noquote() << describeTraffic("<-", bytesOf(bytes), bytes.size());
    rxQueue.insert(rxQueue.end(), bytes.cbegin(), bytes.cend());

    if (pendingCommand == Code::Cloud) {
        // The cloud reply is not interpreted: any answer is taken as done.
        const auto drop = std::min<std::size_t>(rxQueue.size(), kCloudReplyChunk);
        QByteArray taken;
        for (std::size_t i = 0; i < drop; ++i)
            taken.append(static_cast<char>(rxQueue[i]));
        rxQueue.erase(rxQueue.begin(), rxQueue.begin() + static_cast<std::ptrdiff_t>(drop));
        noteAccepted(taken);
        pulseProgressBar();
        rxBuffer.clear();
        pendingCommand = 0;
        return;
    }

    // A Modbus exception is shorter than any reply; waiting for more would
    // only join it to the next reply. It is complete as it stands.
    if (rule->check == ReplyCheck::Crc && rxQueue.size() >= std::size_t(kExceptionReplyLength)) {
        std::uint8_t head[kExceptionReplyLength];
        std::copy_n(rxQueue.begin(), kExceptionReplyLength, head);
        if (isExceptionReply(head, kExceptionReplyLength)) {
            rxQueue.clear();
            rxBuffer.clear();
            qCDebug(lcLink).noquote() << "exception" << exceptionName(head[2]);
            noteRejected(QByteArray(reinterpret_cast<const char *>(head), kExceptionReplyLength), true);
            return;
        }
    }

    const int n = replyLength(pendingCommand, ui.lineshuliang->text().toInt(nullptr, 10));
    if (static_cast<int>(rxQueue.size()) < n)
        return;

    // Only the first n bytes make the reply; the rest of the queue is dropped.
    std::uint8_t reply[kMaxReplyLength];
    std::copy_n(rxQueue.begin(), n, reply);
    rxQueue.clear();

    const QByteArray frame(reinterpret_cast<const char *>(reply), n);
    // Noted before the handler and its pulse, so the delay is the line's.
    if (replyPasses(rule->check, reply, n)) {
        noteAccepted(frame);
        if (rule->handler)
            (this->*rule->handler)(reply, n);
        if (rule->pulse)
            pulseProgressBar();
    } else {
        noteRejected(frame, false);
        if (rule->failed)
            (this->*rule->failed)(reply, n);
    }
    rxBuffer.clear();
}
