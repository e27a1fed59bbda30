// The platform-interface page: the settings a cloud platform changes remotely.
#include <cmath>

#include "frames.h"
#include "qwa.h"
#include "transmit.h"

namespace {

// Gateway registers.
constexpr std::uint16_t kFrequencyRegister = 0x0003;
constexpr std::uint16_t kTransmitterRegister = 0x03E8;
constexpr std::uint16_t kRangeRegister = 0x03E9; // lower limit; the upper follows
constexpr std::uint16_t kIdRegister = 0x03EB;
constexpr std::uint16_t kSpreadingFactorRegister = 0x03EC;
constexpr std::uint16_t kFirmwareRegister = 0x03ED;
constexpr std::uint16_t kSamplingRegister = 0x03EE;
constexpr std::uint16_t kAnalogOutRegister = 0x03EF;

// Request codes. The spreading factor shares the first page's codes and reply handling.
constexpr std::uint8_t kCodeWriteSpreadingFactor = 0x09;
constexpr std::uint8_t kCodeReadSpreadingFactor = 0x14;
constexpr std::uint8_t kCodeReadFrequency = 0x15;
constexpr std::uint8_t kCodeWriteFrequency = 0x16;
constexpr std::uint8_t kCodeWriteTransmitters = 0x17;
constexpr std::uint8_t kCodeWriteRange = 0x18;
constexpr std::uint8_t kCodeWriteId = 0x19;
constexpr std::uint8_t kCodeWriteFirmware = 0x1A;
constexpr std::uint8_t kCodeWriteSampling = 0x1B;
constexpr std::uint8_t kCodeWriteAnalogOut = 0x1C;
constexpr std::uint8_t kCodeReadTransmitters = 0x1D;
constexpr std::uint8_t kCodeReadRange = 0x1E;
constexpr std::uint8_t kCodeReadId = 0x1F;
constexpr std::uint8_t kCodeReadFirmware = 0x20;
constexpr std::uint8_t kCodeReadSampling = 0x21;
constexpr std::uint8_t kCodeReadAnalogOut = 0x22;

// Input is taken unchecked: text that is not a number counts as 0, higher bits are dropped.
std::uint16_t decimalWord(const QString &text)
{
    return static_cast<std::uint16_t>(text.toInt(nullptr, 10));
}

std::uint16_t hexWord(const QString &text)
{
    // Base 16 also takes the "0x" prefix, so a value shown by a read can be written back.
    return static_cast<std::uint16_t>(text.toUInt(nullptr, 16));
}

QString hexText(std::uint16_t value)
{
    return QString::asprintf("0x%04X", value);
}

// The frequency register holds MHz minus 420 in its low byte: +92 is -420 modulo 256.
std::uint16_t frequencyCode(const QString &text)
{
    return static_cast<std::uint8_t>(text.toInt(nullptr, 10) + 92);
}

// A range limit goes out in tenths. Rounded, not truncated: 4.2 is 4.19999981 as
// a float and would lose a tenth. Out-of-range values keep their low 16 bits.
std::uint16_t rangeCode(const QString &text)
{
    const double tenths = std::round(static_cast<double>(text.toFloat()) * 10.0);
    if (!std::isfinite(tenths))
        return 0;
    return static_cast<std::uint16_t>(static_cast<std::int32_t>(std::fmod(tenths, 65536.0)));
}

QString rangeText(const std::uint8_t *at)
{
    return QString::number(static_cast<double>(static_cast<float>(registerValue(at))) / 10.0, 'g', 6);
}

} // namespace

void Qwa::on_btnReadSF_clicked()
{
    sendRegisterRead(kCodeReadSpreadingFactor, kSpreadingFactorRegister, 1);
}

void Qwa::on_btnReadFreq_clicked()
{
    sendRegisterRead(kCodeReadFrequency, kFrequencyRegister, 1);
}

void Qwa::on_btnWrSF_clicked()
{
    sendRegisterWrite(kCodeWriteSpreadingFactor, kSpreadingFactorRegister,
                      static_cast<std::uint8_t>(decimalWord(ui.lineSF2->text())));
}

void Qwa::on_btnWrFreq_clicked()
{
    sendRegisterWrite(kCodeWriteFrequency, kFrequencyRegister, frequencyCode(ui.lineFreq->text()));
}

void Qwa::on_BtnRdRange_clicked()
{
    sendRegisterRead(kCodeReadRange, kRangeRegister, 2);
}

void Qwa::on_btnRdNum_clicked()
{
    sendRegisterRead(kCodeReadTransmitters, kTransmitterRegister, 1);
}

void Qwa::on_btnRdID_clicked()
{
    sendRegisterRead(kCodeReadId, kIdRegister, 1);
}

void Qwa::on_btnRdFWV_clicked()
{
    sendRegisterRead(kCodeReadFirmware, kFirmwareRegister, 1);
}

void Qwa::on_btnRdSampleRate_clicked()
{
    sendRegisterRead(kCodeReadSampling, kSamplingRegister, 1);
}

void Qwa::on_btnRdAnologOut_clicked()
{
    sendRegisterRead(kCodeReadAnalogOut, kAnalogOutRegister, 1);
}

void Qwa::on_BtnWrRange_clicked()
{
    pendingCommand = kCodeWriteRange;
    const std::uint16_t limits[2] = {rangeCode(ui.lineLower->text()), rangeCode(ui.lineUpper->text())};
    sendFrame(buildWriteRequest(txFrame, targetAddress(), kRangeRegister, limits, 2));
}

void Qwa::on_btnWrNum_clicked()
{
    sendRegisterWrite(kCodeWriteTransmitters, kTransmitterRegister,
                      static_cast<std::uint8_t>(decimalWord(ui.lineTrNum->text())));
}

void Qwa::on_btnWrID_clicked()
{
    sendRegisterWrite(kCodeWriteId, kIdRegister, hexWord(ui.lineID->text()));
}

void Qwa::on_btnWrFWV_clicked()
{
    sendRegisterWrite(kCodeWriteFirmware, kFirmwareRegister, hexWord(ui.lineFWV->text()));
}

void Qwa::on_btnWrSampleRate_clicked()
{
    sendRegisterWrite(kCodeWriteSampling, kSamplingRegister, decimalWord(ui.lineSampleRate->text()));
}

void Qwa::on_btnWrAnologOut_clicked()
{
    sendRegisterWrite(kCodeWriteAnalogOut, kAnalogOutRegister, decimalWord(ui.lineAnalogOut->text()));
}

// Read replies carry the first register in bytes 3-4 and the second in bytes 5-6.

void Qwa::handlePlatformFrequencyReply(const std::uint8_t *reply, int)
{
    ui.lineFreq->setText(QString::number(reply[4] + 420));
}

void Qwa::handlePlatformTransmitterReply(const std::uint8_t *reply, int)
{
    ui.lineTrNum->setText(QString::number(reply[4]));
}

void Qwa::handlePlatformRangeReply(const std::uint8_t *reply, int)
{
    ui.lineLower->setText(rangeText(reply + 3));
    ui.lineUpper->setText(rangeText(reply + 5));
}

void Qwa::handleGatewayIdReply(const std::uint8_t *reply, int)
{
    ui.lineID->setText(hexText(registerValue(reply + 3)));
}

void Qwa::handleFirmwareReply(const std::uint8_t *reply, int)
{
    ui.lineFWV->setText(hexText(registerValue(reply + 3)));
}

void Qwa::handleSampleRateReply(const std::uint8_t *reply, int)
{
    ui.lineSampleRate->setText(QString::number(registerValue(reply + 3)));
}

void Qwa::handleAnalogOutReply(const std::uint8_t *reply, int)
{
    ui.lineAnalogOut->setText(QString::number(registerValue(reply + 3)));
}
