#include <QDebug>
#include <QMessageBox>

#include "qwa.h"

namespace {

// Line settings come from each combo box's item index, so the choice holds
// whatever language the item texts are shown in.
QSerialPort::BaudRate baudRateForIndex(int index)
{
    switch (index) {
    case 1: return QSerialPort::Baud2400;
    case 2: return QSerialPort::Baud4800;
    case 3: return QSerialPort::Baud19200;
    default: return QSerialPort::Baud9600;
    }
}

QSerialPort::Parity parityForIndex(int index)
{
    switch (index) {
    case 1: return QSerialPort::OddParity;
    case 2: return QSerialPort::EvenParity;
    default: return QSerialPort::NoParity;
    }
}

void setPortSettingsEnabled(const Ui::QwaClass &ui, bool enabled)
{
    for (QWidget *box : {static_cast<QWidget *>(ui.comchuankou), static_cast<QWidget *>(ui.combotelv),
                         static_cast<QWidget *>(ui.comjiaoyanwei), static_cast<QWidget *>(ui.comshujuwei),
                         static_cast<QWidget *>(ui.comstop)})
        box->setEnabled(enabled);
}

} // namespace

bool Qwa::applyPortSettings()
{
    portNameText = ui.comchuankou->currentText();
    baudRateText = ui.combotelv->currentText();
    parityText = ui.comjiaoyanwei->currentText();
    dataBitsText = ui.comshujuwei->currentText();
    stopBitsText = ui.comstop->currentText();

    QSerialPort &port = serialLink.port();
    port.setPortName(portNameText);
    port.setBaudRate(baudRateForIndex(ui.combotelv->currentIndex()));
    port.setParity(parityForIndex(ui.comjiaoyanwei->currentIndex()));
    port.setDataBits(ui.comshujuwei->currentIndex() == 1 ? QSerialPort::Data7 : QSerialPort::Data8);
    port.setStopBits(ui.comstop->currentIndex() == 1 ? QSerialPort::TwoStop : QSerialPort::OneStop);
    return serialLink.open();
}

void Qwa::showPortState()
{
    ui.Btodakai->setText(portOpen ? tr("关闭串口") : tr("打开串口"));
}

void Qwa::setPortClosedState()
{
    portOpen = false;
    showPortState();
    setPortSettingsEnabled(ui, true);
}

void Qwa::on_Btodakai_clicked()
{
    if (portOpen) {
        serialLink.close();
        setPortClosedState();
        return;
    }
    if (!applyPortSettings()) {
        QMessageBox::information(this, tr("打开失败"), tr("串口错误或被占用"));
        return;
    }
    portOpen = true;
    showPortState();
    qDebug() << "成功打开串口" << portNameText;
    setPortSettingsEnabled(ui, false);
}

// The link has closed the port already; the window follows, and says so once.
void Qwa::onLineLost()
{
    if (!portOpen)
        return;
    setPortClosedState();
    QMessageBox::information(this, tr("提示"), tr("串口已断开"));
}
