// The window's side of the reception: each outcome the link reports goes to
// the handler of its request code, and the reply watch shows it.
#include "commissioning_window.h"
#include "qwa.h"
#include "replytable.h"

void Qwa::on_SerialPort_ReadyRead()
{
    for (const LinkResult &result : serialLink.takeResults())
        takeResult(result);
}

void Qwa::takeResult(const LinkResult &result)
{
    const auto code = static_cast<std::uint8_t>(result.tag);
    if (code == Code::Detect) {
        detector.take(result);
        return;
    }
    if (code == Code::Commission) {
        if (commissioningWindow)
            commissioningWindow->take(result);
        return;
    }
    const ReplyRule *rule = replyRule(code);
    const auto *reply = reinterpret_cast<const std::uint8_t *>(result.reply.constData());
    const int n = int(result.reply.size());
    // The search polls addresses that mostly do not answer: only what answers shows.
    const bool watched = code != Code::Search;
    if (code == Code::Acquisition)
        noteAcquisitionOutcome(result);
    switch (result.outcome) {
    case LinkResult::Accepted:
        showOutcome(Outcome::None);
        if (code == Code::WriteBaud || code == Code::WriteParity)
            followLineWrite(result.request);
        showAcknowledgedWrite(code, result.request);
        if (rule && rule->handler)
            (this->*rule->handler)(reply, n);
        if (rule && rule->pulse)
            pulseProgressBar();
        break;
    case LinkResult::CheckFailed:
        if (rule && rule->failed)
            (this->*rule->failed)(reply, n);
        if (watched)
            showOutcome(Outcome::CheckFailed);
        break;
    case LinkResult::Exception:
        if (watched) {
            shownException = result.exceptionCode();
            showOutcome(Outcome::Exception);
        }
        break;
    case LinkResult::Refused:
        shownAnswer = QString::fromUtf8(result.reply).trimmed();
        showOutcome(Outcome::Refused);
        break;
    case LinkResult::NoReply:
        if (watched)
            showOutcome(Outcome::NoReply);
        break;
    default:
        break;
    }
}
