// The platform-interface page.
#include "qwa.h"

void Qwa::on_btnReadSF_clicked()
{
}

void Qwa::on_btnReadFreq_clicked()
{
}

void Qwa::on_btnWrSF_clicked()
{
}

void Qwa::on_btnWrFreq_clicked()
{
}

void Qwa::on_BtnRdRange_clicked()
{
}

void Qwa::on_btnRdNum_clicked()
{
}

void Qwa::on_btnRdID_clicked()
{
}

void Qwa::on_btnRdFWV_clicked()
{
}

void Qwa::on_btnRdSampleRate_clicked()
{
}

void Qwa::on_btnRdAnologOut_clicked()
{
}

void Qwa::on_BtnWrRange_clicked()
{
}

void Qwa::on_btnWrNum_clicked()
{
}

void Qwa::on_btnWrID_clicked()
{
}

void Qwa::on_btnWrFWV_clicked()
{
}

void Qwa::on_btnWrSampleRate_clicked()
{
}

void Qwa::on_btnWrAnologOut_clicked()
{
}

void Qwa::handlePlatformFrequencyReply(const std::uint8_t *, int)
{
}

void Qwa::handlePlatformTransmitterReply(const std::uint8_t *, int)
{
}

void Qwa::handlePlatformRangeReply(const std::uint8_t *, int)
{
}

void Qwa::handleGatewayIdReply(const std::uint8_t *, int)
{
}

void Qwa::handleFirmwareReply(const std::uint8_t *, int)
{
}

void Qwa::handleSampleRateReply(const std::uint8_t *, int)
{
}

void Qwa::handleAnalogOutReply(const std::uint8_t *, int)
{
}
