// Current-loop test currents.
#include "qwa.h"

void Qwa::on_Btoceshi_clicked()
{
}

void Qwa::onRadioClickSlot()
{
}

void Qwa::on_BtoZDceshi_clicked()
{
}

void Qwa::on_Btotuichu_clicked()
{
}
