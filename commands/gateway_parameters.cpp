// The gateway's bus-port and radio parameters on the first page.
#include "qwa.h"

void Qwa::on_BtoduquJ_clicked()
{
}

void Qwa::on_BtoduquB_clicked()
{
}

void Qwa::on_BtoxieruHZ_clicked()
{
}

void Qwa::on_BtoxieruSF_clicked()
{
}

void Qwa::on_BtoxiugaiJ_clicked()
{
}

void Qwa::on_BtoxiugaiB_clicked()
{
}

void Qwa::on_pushButton_clicked()
{
}

void Qwa::on_pushButton2_clicked()
{
}

void Qwa::on_pushButtonJSQchange_clicked()
{
}

void Qwa::on_BtoJSQRead_clicked()
{
}

void Qwa::on_BtoduquSF_clicked()
{
}

void Qwa::on_BtoduquHZ_clicked()
{
}

void Qwa::handleParityReply(const std::uint8_t *, int)
{
}

void Qwa::handleBaudReply(const std::uint8_t *, int)
{
}

void Qwa::handleFrequencyReply(const std::uint8_t *, int)
{
}

void Qwa::handleSpreadingFactorReply(const std::uint8_t *, int)
{
}

void Qwa::handleTransmitterReply(const std::uint8_t *, int)
{
}

void Qwa::handleModeReply(const std::uint8_t *, int)
{
}
