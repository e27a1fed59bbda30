// Periodic meter poll into the table.
#include "qwa.h"

void Qwa::on_Btocaiji_clicked()
{
}

void Qwa::caijihanshu()
{
}

void Qwa::handleAcquisitionReply(const std::uint8_t *, int)
{
}
QList<QWidget *> Qwa::acquisitionLockedWidgets() const
{
    return {};
}
