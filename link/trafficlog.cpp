#include "trafficlog.h"

#include "frames.h"
#include "registers.h"

Q_LOGGING_CATEGORY(lcLink, "nvb.link", QtInfoMsg)

QString describeTraffic(const char *direction, const std::uint8_t *bytes, int n)
{
    const bool secret = n > 3 && bytes[0] == kCloudHeader && bytes[1] == kCloudWriteParameter
                        && bytes[2] == CloudParameter::DeviceSecret;
    QString text = QString::fromLatin1(direction);
    for (int i = 0; i < n; ++i) {
        if (secret && i >= 3)
            text += QStringLiteral(" **");
        else
            text += QStringLiteral(" %1").arg(bytes[i], 2, 16, QLatin1Char('0')).toUpper();
    }
    return text;
}
