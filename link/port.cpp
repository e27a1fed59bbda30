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

    serialPort.setPortName(portNameText);
    serialPort.setBaudRate(baudRateForIndex(ui.combotelv->currentIndex()));
    serialPort.setParity(parityForIndex(ui.comjiaoyanwei->currentIndex()));
    serialPort.setDataBits(ui.comshujuwei->currentIndex() == 1 ? QSerialPort::Data7 : QSerialPort::Data8);
    serialPort.setStopBits(ui.comstop->currentIndex() == 1 ? QSerialPort::TwoStop : QSerialPort::OneStop);
    return serialPort.open(QIODevice::ReadWrite);
}

void Qwa::resetReception()
{
    rxQueue.clear();
    rxBuffer.clear();
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
    resetReception();
}

void Qwa::on_Btodakai_clicked()
{
    if (portOpen) {
        serialPort.close();
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
    resetReception();
}

// A line that vanishes (the other end closed, a USB adapter pulled) makes the
// toolkit repeat Read/ResourceError in a tight loop while the port stays open.
// Close it as the port button would, then tell the user once.
void Qwa::onPortError(QSerialPort::SerialPortError error)
{
    if (error != QSerialPort::ResourceError && error != QSerialPort::ReadError)
        return;
    if (!portOpen && !serialPort.isOpen())
        return;
    serialPort.close();
    setPortClosedState();
    QMessageBox::information(this, tr("提示"), tr("串口已断开"));
}
