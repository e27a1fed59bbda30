// Current-loop calibration, channel and range.
#include "qwa.h"

void Qwa::on_BtoDL_clicked()
{
}

void Qwa::on_BtoTDduqu_clicked()
{
}

void Qwa::on_BtoTDxiugai_clicked()
{
}

void Qwa::on_BtoBSduqu_clicked()
{
}

void Qwa::on_BtoBSxiugai_clicked()
{
}

void Qwa::on_BtoDLjiaozhun_clicked()
{
}

void Qwa::handleCalibrationEnabled(const std::uint8_t *, int)
{
}

void Qwa::handleCalibrationFailed(const std::uint8_t *, int)
{
}

void Qwa::handleChannelReply(const std::uint8_t *, int)
{
}

void Qwa::handleLoopRangeReply(const std::uint8_t *, int)
{
}
void Qwa::on_comDL_activated(int)
{
}
