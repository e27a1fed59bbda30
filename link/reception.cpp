#include <algorithm>

#include "qwa.h"
#include "replytable.h"
#include "trafficlog.h"

void Qwa::on_SerialPort_ReadyRead()
{
    // With nothing readable pending, the bytes stay in the port and join the
    // reply to the next request.
    if (!replyRule(pendingCommand))
        return;
    rxBuffer = serialPort.readAll();
    receiveBytes(rxBuffer);
}

void Qwa::receiveBytes(const QByteArray &bytes)
{
    const ReplyRule *rule = replyRule(pendingCommand);
    if (!rule)
        return;
    if (!bytes.isEmpty())
        qCDebug(lcLink).noquote() << describeTraffic(
            "<-", reinterpret_cast<const std::uint8_t *>(bytes.constData()), bytes.size());
    rxQueue.insert(rxQueue.end(), bytes.cbegin(), bytes.cend());

    if (pendingCommand == Code::Cloud) {
        // The cloud reply is not interpreted: any answer is taken as done.
        const auto drop = std::min<std::size_t>(rxQueue.size(), kCloudReplyChunk);
        rxQueue.erase(rxQueue.begin(), rxQueue.begin() + static_cast<std::ptrdiff_t>(drop));
        pulseProgressBar();
        rxBuffer.clear();
        pendingCommand = 0;
        return;
    }

    const int n = replyLength(pendingCommand, ui.lineshuliang->text().toInt(nullptr, 10));
    if (static_cast<int>(rxQueue.size()) < n)
        return;

    // Only the first n bytes make the reply; the rest of the queue is dropped.
    std::uint8_t reply[kMaxReplyLength];
    std::copy_n(rxQueue.begin(), n, reply);
    rxQueue.clear();

    if (replyPasses(rule->check, reply, n)) {
        if (rule->handler)
            (this->*rule->handler)(reply, n);
        if (rule->pulse)
            pulseProgressBar();
    } else if (rule->failed) {
        (this->*rule->failed)(reply, n);
    }
    rxBuffer.clear();
}
