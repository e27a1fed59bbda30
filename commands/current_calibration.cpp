// Current-loop calibration, channel and range.
#include <QString>

#include <cstdint>
#include <iterator>
#include <optional>

#include "frames.h"
#include "registers.h"
#include "settings.h"
#include "qwa.h"
#include "requestcodes.h"
#include "transmit.h"

namespace {

// The current bytes of comDL's items, by index: 4 mA and 20 mA.
constexpr std::uint8_t kCalibrationPoints[] = {LoopCommand::Point4mA, LoopCommand::Point20mA};

// By index, not by text, so a translated item still picks its point.
std::optional<std::uint8_t> calibrationPoint(int index)
{
    if (index < 0 || index >= int(std::size(kCalibrationPoints)))
        return std::nullopt;
    return kCalibrationPoints[index];
}

} // namespace

void Qwa::on_BtoDL_clicked()
{
    if (!gatewayChosen())
        return;
    sendRegisterWrite(Code::EnableCalibration, GatewayRegister::Calibration, GatewayRegister::CalibrationKey);
    pulseProgressBar();
}

void Qwa::on_BtoTDduqu_clicked()
{
    awaitReply(Code::ReadChannel);
    sendRaw(buildLoopFrame(txFrame, LoopCommand::ReadChannel, nullptr, 0));
    pulseProgressBar();
}

// The channel is shown from 1 and stored from 0; no pulse here, the acknowledgement pulses.
void Qwa::on_BtoTDxiugai_clicked()
{
    writeTypedValue(Code::WriteChannel, GatewayRegister::Channel, Rule::Channel, ui.lineTDxiugai);
}

void Qwa::on_BtoBSduqu_clicked()
{
    awaitReply(Code::ReadLoopRange);
    sendRaw(buildLoopFrame(txFrame, LoopCommand::ReadRange, nullptr, 0));
    pulseProgressBar();
}

void Qwa::on_BtoBSxiugai_clicked()
{
    const std::optional<float> lower = acceptedFloat(Rule::LoopLower, ui.lineBSdown);
    if (!lower)
        return;
    const std::optional<float> upper = acceptedFloat(Rule::LoopUpper, ui.lineBSup);
    if (!upper || !limitsInOrder(*lower < *upper, Rule::LoopLower))
        return;
    awaitReply(Code::WriteLoopRange);
    sendRaw(buildLoopRangeWrite(txFrame, *lower, *upper));
    pulseProgressBar();
}

// Without a known point the gateway would be calibrated at a guessed current,
// so nothing goes out and nothing claims completion.
void Qwa::on_BtoDLjiaozhun_clicked()
{
    const std::optional<std::uint8_t> point = calibrationPoint(ui.comDL->currentIndex());
    if (!point)
        return;
    // An empty or mistyped measurement would calibrate the point as 0 mA.
    const std::optional<std::int64_t> microamperes = acceptedValue(Rule::MeasuredCurrent, ui.lineshijizhi);
    if (!microamperes)
        return;
    sendRaw(buildCalibrateFrame(txFrame, *point, static_cast<std::uint16_t>(*microamperes)));
    pulseProgressBar();
}

void Qwa::on_comDL_activated(int)
{
    if (const std::optional<std::uint8_t> point = calibrationPoint(ui.comDL->currentIndex()))
        sendRaw(buildLoopFrame(txFrame, LoopCommand::OutputCurrent, &*point, 1));
    pulseProgressBar();
}

// The reply's address and register are not compared: any acknowledgement will do.
void Qwa::handleCalibrationEnabled(const std::uint8_t *, int)
{
    ui.lineDL->setText(tr("开启成功"));
}

void Qwa::handleCalibrationFailed(const std::uint8_t *, int)
{
    ui.lineDL->setText(tr("开启失败"));
}

// A reply the link accepted for a request of another shape than this code's shows nothing.
void Qwa::handleChannelReply(const std::uint8_t *reply, int n)
{
    if (n < kLoopChannelReplyLength)
        return;
    ui.lineTDxiugai->setText(shownValue(GatewayRegister::Channel, loopChannelOf(reply)));
}

void Qwa::handleLoopRangeReply(const std::uint8_t *reply, int n)
{
    if (n < kLoopRangeReplyLength)
        return;
    ui.lineBSdown->setText(floatText(loopRangeLower(reply)));
    ui.lineBSup->setText(floatText(loopRangeUpper(reply)));
}
