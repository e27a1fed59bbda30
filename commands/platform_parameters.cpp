// The platform-interface page: the settings a cloud platform changes remotely.
#include <cmath>

#include "frames.h"
#include "gateway.h"
#include "qwa.h"
#include "requestcodes.h"
#include "transmit.h"

namespace {

// Input is taken unchecked: text that is not a number counts as 0, higher bits are dropped.
std::uint16_t decimalWord(const QString &text)
{
    return static_cast<std::uint16_t>(text.toInt(nullptr, 10));
}

std::uint16_t hexWord(const QString &text)
{
    // Base 16 also takes the "0x" prefix, so a value shown by a read can be written back.
    return static_cast<std::uint16_t>(text.toUInt(nullptr, 16));
}

QString hexText(std::uint16_t value)
{
    return QString::asprintf("0x%04X", value);
}

// A range limit goes out in tenths. Rounded, not truncated: 4.2 is 4.19999981 as
// a float and would lose a tenth. Out-of-range values keep their low 16 bits.
std::uint16_t rangeCode(const QString &text)
{
    const double tenths = std::round(static_cast<double>(text.toFloat()) * 10.0);
    if (!std::isfinite(tenths))
        return 0;
    return static_cast<std::uint16_t>(static_cast<std::int32_t>(std::fmod(tenths, 65536.0)));
}

QString rangeText(const std::uint8_t *at)
{
    return QString::number(static_cast<double>(static_cast<float>(registerValue(at))) / 10.0, 'g', 6);
}

} // namespace

void Qwa::on_btnReadSF_clicked()
{
    sendRegisterRead(Code::ReadSpreadingFactor, GatewayRegister::SpreadingFactor, 1);
}

void Qwa::on_btnReadFreq_clicked()
{
    sendRegisterRead(Code::ReadPlatformFrequency, GatewayRegister::Frequency, 1);
}

void Qwa::on_btnWrSF_clicked()
{
    sendRegisterWrite(Code::WriteSpreadingFactor, GatewayRegister::SpreadingFactor,
                      static_cast<std::uint8_t>(decimalWord(ui.lineSF2->text())));
}

void Qwa::on_btnWrFreq_clicked()
{
    sendRegisterWrite(Code::WritePlatformFrequency, GatewayRegister::Frequency, frequencyCode(ui.lineFreq->text()));
}

void Qwa::on_BtnRdRange_clicked()
{
    sendRegisterRead(Code::ReadRange, GatewayRegister::RangeLower, 2);
}

void Qwa::on_btnRdNum_clicked()
{
    sendRegisterRead(Code::ReadPlatformTransmitters, GatewayRegister::Transmitters, 1);
}

void Qwa::on_btnRdID_clicked()
{
    sendRegisterRead(Code::ReadId, GatewayRegister::GatewayId, 1);
}

void Qwa::on_btnRdFWV_clicked()
{
    sendRegisterRead(Code::ReadFirmware, GatewayRegister::Firmware, 1);
}

void Qwa::on_btnRdSampleRate_clicked()
{
    sendRegisterRead(Code::ReadSampling, GatewayRegister::SamplingPeriod, 1);
}

void Qwa::on_btnRdAnologOut_clicked()
{
    sendRegisterRead(Code::ReadAnalogOut, GatewayRegister::AnalogOutput, 1);
}

void Qwa::on_BtnWrRange_clicked()
{
    pendingCommand = Code::WriteRange;
    const std::uint16_t limits[2] = {rangeCode(ui.lineLower->text()), rangeCode(ui.lineUpper->text())};
    sendFrame(buildWriteRequest(txFrame, targetAddress(), GatewayRegister::RangeLower, limits, 2));
}

void Qwa::on_btnWrNum_clicked()
{
    sendRegisterWrite(Code::WritePlatformTransmitters, GatewayRegister::Transmitters,
                      static_cast<std::uint8_t>(decimalWord(ui.lineTrNum->text())));
}

void Qwa::on_btnWrID_clicked()
{
    sendRegisterWrite(Code::WriteId, GatewayRegister::GatewayId, hexWord(ui.lineID->text()));
}

void Qwa::on_btnWrFWV_clicked()
{
    sendRegisterWrite(Code::WriteFirmware, GatewayRegister::Firmware, hexWord(ui.lineFWV->text()));
}

void Qwa::on_btnWrSampleRate_clicked()
{
    sendRegisterWrite(Code::WriteSampling, GatewayRegister::SamplingPeriod, decimalWord(ui.lineSampleRate->text()));
}

void Qwa::on_btnWrAnologOut_clicked()
{
    sendRegisterWrite(Code::WriteAnalogOut, GatewayRegister::AnalogOutput, decimalWord(ui.lineAnalogOut->text()));
}

// Read replies carry the first register in bytes 3-4 and the second in bytes 5-6.

void Qwa::handlePlatformFrequencyReply(const std::uint8_t *reply, int)
{
    ui.lineFreq->setText(frequencyText(reply[4]));
}

void Qwa::handlePlatformTransmitterReply(const std::uint8_t *reply, int)
{
    ui.lineTrNum->setText(QString::number(reply[4]));
}

void Qwa::handlePlatformRangeReply(const std::uint8_t *reply, int)
{
    ui.lineLower->setText(rangeText(reply + 3));
    ui.lineUpper->setText(rangeText(reply + 5));
}

void Qwa::handleGatewayIdReply(const std::uint8_t *reply, int)
{
    ui.lineID->setText(hexText(registerValue(reply + 3)));
}

void Qwa::handleFirmwareReply(const std::uint8_t *reply, int)
{
    ui.lineFWV->setText(hexText(registerValue(reply + 3)));
}

void Qwa::handleSampleRateReply(const std::uint8_t *reply, int)
{
    ui.lineSampleRate->setText(QString::number(registerValue(reply + 3)));
}

void Qwa::handleAnalogOutReply(const std::uint8_t *reply, int)
{
    ui.lineAnalogOut->setText(QString::number(registerValue(reply + 3)));
}
