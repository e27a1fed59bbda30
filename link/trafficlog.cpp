#include "trafficlog.h"

#include "decoder.h"

Q_LOGGING_CATEGORY(lcLink, "nvb.link", QtInfoMsg)

QString describeTraffic(const char *direction, const std::uint8_t *bytes, int n)
{
    const QByteArray frame(reinterpret_cast<const char *>(bytes), n);
    return QString::fromLatin1(direction) + QLatin1Char(' ') + maskedHex(frame);
}
