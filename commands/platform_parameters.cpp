// The platform-interface page: the settings a cloud platform changes remotely.
#include "frames.h"
#include "qwa.h"
#include "registers.h"
#include "requestcodes.h"
#include "settings.h"
#include "transmit.h"

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
    writeTypedValue(Code::WriteSpreadingFactor, GatewayRegister::SpreadingFactor, Rule::SpreadingFactor, ui.lineSF2);
}

// This page writes the frequency with a high byte of 0x00.
void Qwa::on_btnWrFreq_clicked()
{
    writeTypedValue(Code::WritePlatformFrequency, GatewayRegister::Frequency, Rule::Frequency, ui.lineFreq);
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

// Both limits in tenths, rounded: 4.2 is 4.19999981 as a float and would lose a tenth.
void Qwa::on_BtnWrRange_clicked()
{
    if (!gatewayChosen())
        return;
    const auto lower = acceptedValue(Rule::RangeLower, ui.lineLower);
    if (!lower)
        return;
    const auto upper = acceptedValue(Rule::RangeUpper, ui.lineUpper);
    if (!upper || !limitsInOrder(*lower < *upper, Rule::RangeLower))
        return;
    awaitReply(Code::WriteRange);
    const std::uint16_t limits[2] = {static_cast<std::uint16_t>(*lower), static_cast<std::uint16_t>(*upper)};
    sendFrame(buildWriteRequest(txFrame, targetAddress(), GatewayRegister::RangeLower, limits, 2));
}

void Qwa::on_btnWrNum_clicked()
{
    writeTypedValue(Code::WritePlatformTransmitters, GatewayRegister::Transmitters, Rule::Transmitters, ui.lineTrNum);
}

void Qwa::on_btnWrID_clicked()
{
    writeTypedValue(Code::WriteId, GatewayRegister::GatewayId, Rule::GatewayId, ui.lineID);
}

void Qwa::on_btnWrFWV_clicked()
{
    writeTypedValue(Code::WriteFirmware, GatewayRegister::Firmware, Rule::Firmware, ui.lineFWV);
}

void Qwa::on_btnWrSampleRate_clicked()
{
    writeTypedValue(Code::WriteSampling, GatewayRegister::SamplingPeriod, Rule::SamplingPeriod, ui.lineSampleRate);
}

void Qwa::on_btnWrAnologOut_clicked()
{
    writeTypedValue(Code::WriteAnalogOut, GatewayRegister::AnalogOutput, Rule::AnalogOutput, ui.lineAnalogOut);
}

// Read replies carry the first register in bytes 3-4 and the second in bytes 5-6.

void Qwa::handlePlatformFrequencyReply(const std::uint8_t *reply, int)
{
    showFrequency(replyRegister(reply, 0));
}

void Qwa::handlePlatformTransmitterReply(const std::uint8_t *reply, int)
{
    showTransmitters(replyRegister(reply, 0));
}

void Qwa::handlePlatformRangeReply(const std::uint8_t *reply, int)
{
    ui.lineLower->setText(shownValue(GatewayRegister::RangeLower, replyRegister(reply, 0)));
    ui.lineUpper->setText(shownValue(GatewayRegister::RangeUpper, replyRegister(reply, 1)));
}

void Qwa::handleGatewayIdReply(const std::uint8_t *reply, int)
{
    ui.lineID->setText(shownValue(GatewayRegister::GatewayId, replyRegister(reply, 0)));
}

void Qwa::handleFirmwareReply(const std::uint8_t *reply, int)
{
    ui.lineFWV->setText(shownValue(GatewayRegister::Firmware, replyRegister(reply, 0)));
}

void Qwa::handleSampleRateReply(const std::uint8_t *reply, int)
{
    ui.lineSampleRate->setText(shownValue(GatewayRegister::SamplingPeriod, replyRegister(reply, 0)));
}

void Qwa::handleAnalogOutReply(const std::uint8_t *reply, int)
{
    ui.lineAnalogOut->setText(shownValue(GatewayRegister::AnalogOutput, replyRegister(reply, 0)));
}
