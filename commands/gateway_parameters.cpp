// The gateway's bus-port and radio parameters on the first page.
#include <QComboBox>

#include "frames.h"
#include "qwa.h"
#include "registers.h"
#include "requestcodes.h"
#include "settings.h"

namespace {

// This page marks its frequency writes with 0xFF in the high byte.
constexpr std::uint16_t kFrequencyMark = 0xFF00;
constexpr int kLastParityCode = 2;
constexpr int kLastBaudCode = 3;

// The item order of the parity and baud boxes is the gateway's code order, so
// the index is the code whatever language the items are shown in.
std::uint16_t codeOfIndex(int index, int lastCode)
{
    return static_cast<std::uint16_t>(qBound(0, index, lastCode));
}

void selectListed(QComboBox *box, std::uint8_t index)
{
    if (index < box->count())
        box->setCurrentIndex(index);
}

} // namespace

void Qwa::on_BtoduquJ_clicked()
{
    sendRegisterRead(Code::ReadParity, GatewayRegister::Parity, 1);
}

void Qwa::on_BtoduquB_clicked()
{
    sendRegisterRead(Code::ReadBaud, GatewayRegister::Baud, 1);
}

void Qwa::on_BtoxieruHZ_clicked()
{
    writeTypedValue(Code::WriteFrequency, GatewayRegister::Frequency, Rule::Frequency, ui.linetongxin, kFrequencyMark);
}

void Qwa::on_BtoxieruSF_clicked()
{
    writeTypedValue(Code::WriteSpreadingFactor, GatewayRegister::SpreadingFactor, Rule::SpreadingFactor, ui.lineSF);
}

// The boxes show nothing until the gateway's value is read or one is chosen: a
// line setting written by default would lose the gateway.
bool Qwa::lineValueChosen(const QComboBox *box)
{
    if (box->currentIndex() >= 0)
        return true;
    refuse(QString::fromUtf8(QT_TR_NOOP("请先读取或选择要写入的值")));
    return false;
}

void Qwa::on_BtoxiugaiJ_clicked()
{
    if (gatewayChosen() && lineValueChosen(ui.comjiaoyanwei2))
        sendRegisterWrite(Code::WriteParity, GatewayRegister::Parity,
                          codeOfIndex(ui.comjiaoyanwei2->currentIndex(), kLastParityCode));
}

void Qwa::on_BtoxiugaiB_clicked()
{
    if (gatewayChosen() && lineValueChosen(ui.combotelv2))
        sendRegisterWrite(Code::WriteBaud, GatewayRegister::Baud,
                          codeOfIndex(ui.combotelv2->currentIndex(), kLastBaudCode));
}

void Qwa::on_pushButton_clicked()
{
    writeTypedValue(Code::WriteTransmitters, GatewayRegister::Transmitters, Rule::Transmitters, ui.lineEdit);
}

void Qwa::on_pushButton2_clicked()
{
    sendRegisterRead(Code::ReadTransmitters, GatewayRegister::Transmitters, 1);
}

void Qwa::on_pushButtonJSQchange_clicked()
{
    if (gatewayChosen())
        sendRegisterWrite(Code::WriteMode, GatewayRegister::Mode,
                          static_cast<std::uint8_t>(ui.comboBoxJSQ->currentIndex()));
}

void Qwa::on_BtoJSQRead_clicked()
{
    sendRegisterRead(Code::ReadMode, GatewayRegister::Mode, 1);
}

void Qwa::on_BtoduquSF_clicked()
{
    sendRegisterRead(Code::ReadSpreadingFactor, GatewayRegister::SpreadingFactor, 1);
}

void Qwa::on_BtoduquHZ_clicked()
{
    sendRegisterRead(Code::ReadFrequency, GatewayRegister::Frequency, 1);
}

// This page selects its boxes by the value's low byte.

void Qwa::handleParityReply(const std::uint8_t *reply, int)
{
    selectListed(ui.comjiaoyanwei2, replyLowByte(reply, 0));
}

void Qwa::handleBaudReply(const std::uint8_t *reply, int)
{
    selectListed(ui.combotelv2, replyLowByte(reply, 0));
}

void Qwa::handleFrequencyReply(const std::uint8_t *reply, int)
{
    showFrequency(replyRegister(reply, 0));
}

void Qwa::handleSpreadingFactorReply(const std::uint8_t *reply, int)
{
    showSpreadingFactor(replyRegister(reply, 0));
}

void Qwa::handleTransmitterReply(const std::uint8_t *reply, int)
{
    showTransmitters(replyRegister(reply, 0));
}

// The first page and the platform page show these registers each in a field
// of its own; a value left stale on the other page would mislead.
void Qwa::showFrequency(std::uint16_t value)
{
    const QString text = shownValue(GatewayRegister::Frequency, value);
    ui.linetongxin->setText(text);
    ui.lineFreq->setText(text);
}

void Qwa::showSpreadingFactor(std::uint16_t value)
{
    const QString text = shownValue(GatewayRegister::SpreadingFactor, value);
    ui.lineSF->setText(text);
    ui.lineSF2->setText(text);
}

void Qwa::showTransmitters(std::uint16_t value)
{
    const QString text = shownValue(GatewayRegister::Transmitters, value);
    ui.lineEdit->setText(text);
    ui.lineTrNum->setText(text);
}

// A write's acknowledgement echoes the register, not the value: the value
// is the one in the request it acknowledges.
void Qwa::showAcknowledgedWrite(std::uint8_t code, const QByteArray &request)
{
    if (request.size() < Field::WriteValues + 2)
        return;
    const std::uint16_t value = registerValue(bytesOf(request) + Field::WriteValues);
    switch (code) {
    case Code::WriteFrequency:
    case Code::WritePlatformFrequency:
        showFrequency(value);
        break;
    case Code::WriteSpreadingFactor:
        showSpreadingFactor(value);
        break;
    case Code::WriteTransmitters:
    case Code::WritePlatformTransmitters:
        showTransmitters(value);
        break;
    default:
        break;
    }
}

void Qwa::handleModeReply(const std::uint8_t *reply, int)
{
    selectListed(ui.comboBoxJSQ, replyLowByte(reply, 0));
}
