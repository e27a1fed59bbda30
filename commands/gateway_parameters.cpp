// The gateway's bus-port and radio parameters on the first page.
#include <QComboBox>

#include "qwa.h"

namespace {

// Gateway registers.
constexpr std::uint16_t kParityRegister = 0x0000;
constexpr std::uint16_t kBaudRegister = 0x0002;
constexpr std::uint16_t kFrequencyRegister = 0x0003;
constexpr std::uint16_t kTransmitterRegister = 0x03E8;
constexpr std::uint16_t kSpreadingFactorRegister = 0x03EC;
constexpr std::uint16_t kModeRegister = 0x03F0;

// Request codes.
constexpr std::uint8_t kCodeReadParity = 0x04;
constexpr std::uint8_t kCodeReadBaud = 0x05;
constexpr std::uint8_t kCodeWriteParity = 0x06;
constexpr std::uint8_t kCodeWriteBaud = 0x07;
constexpr std::uint8_t kCodeWriteFrequency = 0x08;
constexpr std::uint8_t kCodeWriteSpreadingFactor = 0x09;
constexpr std::uint8_t kCodeReadFrequency = 0x0B;
constexpr std::uint8_t kCodeReadTransmitters = 0x12;
constexpr std::uint8_t kCodeWriteTransmitters = 0x13;
constexpr std::uint8_t kCodeReadSpreadingFactor = 0x14;
constexpr std::uint8_t kCodeReadMode = 0x24;
constexpr std::uint8_t kCodeWriteMode = 0x25;

// This page marks its frequency writes with 0xFF in the high byte.
constexpr std::uint16_t kFrequencyMark = 0xFF00;
constexpr int kLastParityCode = 2;
constexpr int kLastBaudCode = 3;

// The item order of the parity and baud boxes is the gateway's code order, so
// the index is the code whatever language the items are shown in. A box with
// nothing chosen falls to the last code, as an unknown item text would.
std::uint16_t codeOfIndex(int index, int lastCode)
{
    return static_cast<std::uint16_t>(index >= 0 && index < lastCode ? index : lastCode);
}

// Input is taken unchecked: text that is not a number counts as 0, higher bits are dropped.
std::uint16_t lowByteOf(const QString &text)
{
    return static_cast<std::uint8_t>(text.toInt(nullptr, 10));
}

// The frequency register holds MHz minus 420 in its low byte: +92 is -420 modulo 256.
std::uint16_t frequencyCode(const QString &text)
{
    return static_cast<std::uint8_t>(text.toInt(nullptr, 10) + 92);
}

QString frequencyText(std::uint8_t code)
{
    return QString::number(code + 420);
}

void selectListed(QComboBox *box, std::uint8_t index)
{
    if (index < box->count())
        box->setCurrentIndex(index);
}

} // namespace

void Qwa::on_BtoduquJ_clicked()
{
    sendRegisterRead(kCodeReadParity, kParityRegister, 1);
}

void Qwa::on_BtoduquB_clicked()
{
    sendRegisterRead(kCodeReadBaud, kBaudRegister, 1);
}

void Qwa::on_BtoxieruHZ_clicked()
{
    sendRegisterWrite(kCodeWriteFrequency, kFrequencyRegister,
                      kFrequencyMark | frequencyCode(ui.linetongxin->text()));
}

void Qwa::on_BtoxieruSF_clicked()
{
    sendRegisterWrite(kCodeWriteSpreadingFactor, kSpreadingFactorRegister, lowByteOf(ui.lineSF->text()));
}

void Qwa::on_BtoxiugaiJ_clicked()
{
    sendRegisterWrite(kCodeWriteParity, kParityRegister,
                      codeOfIndex(ui.comjiaoyanwei2->currentIndex(), kLastParityCode));
}

void Qwa::on_BtoxiugaiB_clicked()
{
    sendRegisterWrite(kCodeWriteBaud, kBaudRegister, codeOfIndex(ui.combotelv2->currentIndex(), kLastBaudCode));
}

void Qwa::on_pushButton_clicked()
{
    sendRegisterWrite(kCodeWriteTransmitters, kTransmitterRegister, lowByteOf(ui.lineEdit->text()));
}

void Qwa::on_pushButton2_clicked()
{
    sendRegisterRead(kCodeReadTransmitters, kTransmitterRegister, 1);
}

void Qwa::on_pushButtonJSQchange_clicked()
{
    sendRegisterWrite(kCodeWriteMode, kModeRegister, static_cast<std::uint8_t>(ui.comboBoxJSQ->currentIndex()));
}

void Qwa::on_BtoJSQRead_clicked()
{
    sendRegisterRead(kCodeReadMode, kModeRegister, 1);
}

void Qwa::on_BtoduquSF_clicked()
{
    sendRegisterRead(kCodeReadSpreadingFactor, kSpreadingFactorRegister, 1);
}

void Qwa::on_BtoduquHZ_clicked()
{
    sendRegisterRead(kCodeReadFrequency, kFrequencyRegister, 1);
}

// Read replies carry the value in bytes 3 (high) and 4 (low); this page uses the low byte.

void Qwa::handleParityReply(const std::uint8_t *reply, int)
{
    selectListed(ui.comjiaoyanwei2, reply[4]);
}

void Qwa::handleBaudReply(const std::uint8_t *reply, int)
{
    selectListed(ui.combotelv2, reply[4]);
}

void Qwa::handleFrequencyReply(const std::uint8_t *reply, int)
{
    ui.linetongxin->setText(frequencyText(reply[4]));
}

void Qwa::handleSpreadingFactorReply(const std::uint8_t *reply, int)
{
    // Shared by both pages' reads, so both pages show it.
    const QString text = QString::number(reply[4]);
    ui.lineSF2->setText(text);
    ui.lineSF->setText(text);
}

void Qwa::handleTransmitterReply(const std::uint8_t *reply, int)
{
    ui.lineEdit->setText(QString::number(reply[4]));
}

void Qwa::handleModeReply(const std::uint8_t *reply, int)
{
    selectListed(ui.comboBoxJSQ, reply[4]);
}
