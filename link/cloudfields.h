#pragma once

#include <QByteArray>
#include <QString>
#include <QVector>

#include <cstdint>
#include <optional>

// The cloud parameters by the names a profile and nvb8140t-ctl give them: the
// parameter number each travels under, the MQTT options the gateway expects
// after a topic, and what text fits in its frame.

struct CloudField {
    const char *name;       // "region": the profile's key and ctl's option
    const char *what;       // "the region", for help texts
    std::uint8_t parameter; // CloudParameter
    const char *suffix;     // appended on the wire, whatever was typed: ",0,0"
};

// In the order they are written: by parameter number.
const QVector<CloudField> &cloudFields();
const CloudField *findCloudField(const QString &name);
const CloudField &secretField();

// The text as it goes on the wire, suffix appended, or nothing with the reason
// ("expected 1 to 63 bytes of UTF-8 (67 with ',0,0' appended)"). A text that
// does not fit is refused whole rather than cut; a U+FFFD (a byte that was not
// UTF-8 where the text came from) is refused too.
std::optional<QByteArray> cloudWireText(const CloudField &field, const QString &text, QString *reason);
// "cloud: the region, 1 to 67 bytes."
QString cloudHelp(const CloudField &field);

// The frames, whole: a parameter's text, the mode confirmation (the same
// whichever mode is meant) and the connect command.
QByteArray cloudParameterFrame(std::uint8_t parameter, const QByteArray &text);
QByteArray cloudModeFrame();
QByteArray cloudConnectFrame();
