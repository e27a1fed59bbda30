#include <QDebug>
#include <QMessageBox>

#include "frames.h"
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

QList<QComboBox *> lineBoxes(const Ui::QwaClass &ui)
{
    return {ui.combotelv, ui.comjiaoyanwei, ui.comshujuwei, ui.comstop};
}

void setPortSettingsEnabled(const Ui::QwaClass &ui, bool enabled)
{
    ui.comchuankou->setEnabled(enabled);
    for (QComboBox *box : lineBoxes(ui))
        box->setEnabled(enabled);
    // Detection needs the port closed.
    ui.detectButton->setEnabled(enabled);
}

template <typename T, typename F>
int indexOf(T value, F forIndex)
{
    for (int index = 0; index < 4; ++index) {
        if (forIndex(index) == value)
            return index;
    }
    return 0;
}

// "9600 无校验": a setting in the boxes' own words.
QString settingText(const Ui::QwaClass &ui, const LineSetting &setting)
{
    return ui.combotelv->itemText(indexOf(QSerialPort::BaudRate(setting.baud), baudRateForIndex)) + QLatin1Char(' ')
           + ui.comjiaoyanwei->itemText(indexOf(setting.parity, parityForIndex));
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

void Qwa::setPortOpenState()
{
    portOpen = true;
    showPortState();
    qDebug() << "成功打开串口" << portNameText;
    setPortSettingsEnabled(ui, false);
}

void Qwa::showDetectState()
{
    ui.detectButton->setText(detector.isRunning() ? tr("停止识别") : tr("识别"));
}

void Qwa::on_detectButton_clicked()
{
    if (detector.isRunning()) {
        detector.stop();
        return;
    }
    if (portOpen)
        return;
    lineChoicesBefore.clear();
    for (QComboBox *box : lineBoxes(ui))
        lineChoicesBefore << box->currentIndex();
    // The gateway's line: 8 data bits, 1 stop bit, the first items.
    ui.comshujuwei->setCurrentIndex(0);
    ui.comstop->setCurrentIndex(0);
    portNameText = ui.comchuankou->currentText();
    serialLink.port().setPortName(portNameText);
    setPortSettingsEnabled(ui, false);
    ui.detectButton->setEnabled(true);
    ui.Btodakai->setEnabled(false);
    detector.start();
    showDetectState();
}

void Qwa::showLineSetting(const LineSetting &setting)
{
    ui.combotelv->setCurrentIndex(indexOf(QSerialPort::BaudRate(setting.baud), baudRateForIndex));
    ui.comjiaoyanwei->setCurrentIndex(indexOf(setting.parity, parityForIndex));
}

void Qwa::detectionFinished(const Detection &detection)
{
    ui.Btodakai->setEnabled(true);
    showDetectState();
    const auto nothingFound = [this] {
        serialLink.close();
        for (int i = 0; i < lineChoicesBefore.size(); ++i)
            lineBoxes(ui).at(i)->setCurrentIndex(lineChoicesBefore.at(i));
        setPortClosedState();
    };
    // The port is opened afresh from the boxes, which show the setting, as a click on Btodakai would.
    const auto openAt = [&](const LineSetting &setting) {
        showLineSetting(setting);
        serialLink.close();
        if (applyPortSettings()) {
            setPortOpenState();
            return true;
        }
        nothingFound();
        QMessageBox::information(this, tr("打开失败"), tr("串口错误或被占用"));
        return false;
    };
    switch (detection.verdict) {
    case Detection::Found:
        if (openAt(detection.setting)) {
            // As a broadcast read shows its answer.
            handleBroadcastReply(bytesOf(detection.reply), int(detection.reply.size()));
            pulseProgressBar();
        }
        return;
    case Detection::SomethingThere: {
        QStringList where;
        for (const LineSetting &setting : detection.heardAt)
            where << settingText(ui, setting);
        const LineSetting first = detection.heardAt.first();
        const auto answer = QMessageBox::question(
            this, tr("提示"),
            tr("以下线路设置收到了无法识别的应答：\n%1\n可能是线路设置不对、干扰，或总线上有多个网关同时应答。\n是否以 %2 搜索地址？")
                .arg(where.join(QLatin1Char('\n')), settingText(ui, first)));
        if (answer != QMessageBox::Yes)
            nothingFound();
        else if (openAt(first))
            on_Btosousuo_clicked();
        return;
    }
    case Detection::Nobody:
        nothingFound();
        QMessageBox::information(this, tr("提示"), tr("在所有线路设置下均无应答"));
        return;
    case Detection::PortFailed:
        nothingFound();
        QMessageBox::information(this, tr("打开失败"), tr("串口错误或被占用"));
        return;
    case Detection::Stopped:
        nothingFound();
        return;
    }
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
    setPortOpenState();
}

// Once the gateway has acknowledged a new baud rate or parity it answers only
// at that setting: the PC side follows at once, or the gateway is lost.
void Qwa::followLineWrite(const QByteArray &request)
{
    if (request.size() < Field::WriteValues + 2)
        return;
    const std::uint8_t *frame = bytesOf(request);
    const LineSetting now{serialLink.port().baudRate(), serialLink.port().parity()};
    const LineSetting next = settingAfterWrite(now, registerValue(frame + Field::FirstRegister),
                                               registerValue(frame + Field::WriteValues));
    if (next.baud != now.baud || next.parity != now.parity)
        followLine(next);
}

void Qwa::followLine(const LineSetting &setting)
{
    if (!serialLink.reopen(setting)) {
        setPortClosedState();
        QMessageBox::information(this, tr("打开失败"), tr("串口错误或被占用"));
        return;
    }
    // The gateway's line has 8 data bits and 1 stop bit, the boxes' first items.
    showLineSetting(setting);
    ui.comshujuwei->setCurrentIndex(0);
    ui.comstop->setCurrentIndex(0);
}

// The link has closed the port already; the window follows, and says so once.
void Qwa::onLineLost()
{
    if (!portOpen)
        return;
    setPortClosedState();
    QMessageBox::information(this, tr("提示"), tr("串口已断开"));
}
