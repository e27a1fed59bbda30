// Cloud platform (MQTT) settings.
#include "qwa.h"

void Qwa::on_pushButton_AT1_clicked()
{
}

void Qwa::on_pushButton_AT2_clicked()
{
}

void Qwa::on_pushButton_AT3_clicked()
{
}

void Qwa::on_pushButton_AT4_clicked()
{
}

void Qwa::on_pushButton_AT5_clicked()
{
}

void Qwa::on_pushButton_AT6_clicked()
{
}

void Qwa::on_pushButton_Yes_clicked()
{
}

void Qwa::on_pushButton_connect_clicked()
{
}

void Qwa::on_pushButton_OPaLI_clicked()
{
}
void Qwa::sendCloudParameter(std::uint8_t, const QString &)
{
}
