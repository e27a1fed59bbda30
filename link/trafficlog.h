#pragma once

#include <QLoggingCategory>

#include <cstdint>

// Line traffic in hex, off unless QT_LOGGING_RULES="nvb.link.debug=true".
Q_DECLARE_LOGGING_CATEGORY(lcLink)

// Hex dump of a frame with a direction mark ("->" written, "<-" read).
// The device secret of a cloud parameter frame is masked.
QString describeTraffic(const char *direction, const std::uint8_t *bytes, int n);
