// What a write must have before anything goes out: a chosen gateway and
// values that fit their fields. A refusal says why and sends nothing.
#include <QLineEdit>
#include <QMessageBox>

#include "qwa.h"

void Qwa::refuse(const QString &text)
{
    // The refusal texts are made from the rules' Chinese words; the English
    // file holds each of them whole.
    QMessageBox::information(this, tr("提示"), tr(text.toUtf8().constData()));
}

// With no gateway chosen a write would go to the broadcast address, and every
// gateway on the bus would take it.
bool Qwa::gatewayChosen()
{
    if (ui.comdizhi->currentIndex() >= 0)
        return true;
    refuse(QString::fromUtf8(QT_TR_NOOP("请先搜索或广播读取网关地址")));
    return false;
}

std::optional<std::int64_t> Qwa::acceptedValue(const ValueRule &rule, const QLineEdit *field)
{
    const std::optional<std::int64_t> value = wireValue(rule, field->text());
    if (!value)
        refuse(refusalText(rule, field->text()));
    return value;
}

std::optional<float> Qwa::acceptedFloat(const ValueRule &rule, const QLineEdit *field)
{
    const std::optional<float> value = floatValue(rule, field->text());
    if (!value)
        refuse(refusalText(rule, field->text()));
    return value;
}

bool Qwa::limitsInOrder(bool inOrder, const ValueRule &lower)
{
    if (!inOrder)
        refuse(orderRefusalText(lower));
    return inOrder;
}

void Qwa::writeTypedValue(std::uint8_t code, std::uint16_t reg, const ValueRule &rule, const QLineEdit *field,
                          std::uint16_t highByteMark)
{
    if (!gatewayChosen())
        return;
    if (const auto value = acceptedValue(rule, field))
        sendRegisterWrite(code, reg, static_cast<std::uint16_t>(highByteMark | *value));
}
