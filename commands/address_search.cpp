// Address search, broadcast read and address change.
#include "qwa.h"

void Qwa::on_Btosousuo_clicked()
{
}

void Qwa::sousuodizhi()
{
}

void Qwa::on_Btoguangbo_clicked()
{
}

void Qwa::on_Btoxiugai_clicked()
{
}

void Qwa::handleSearchReply(const std::uint8_t *, int)
{
}

void Qwa::handleBroadcastReply(const std::uint8_t *, int)
{
}

void Qwa::handleAddressChangeReply(const std::uint8_t *, int)
{
}
