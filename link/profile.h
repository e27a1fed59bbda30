#pragma once

#include <QByteArray>
#include <QJsonValue>
#include <QString>
#include <QVector>

#include <cstdint>
#include <optional>

#include "cloudfields.h"
#include "settings.h"

// A profile: the settings a set of gateways shares, by the settings table's
// names, with the cloud parameters but never the device secret. It names only
// what it sets; what it leaves out is left alone on the gateway.
struct ProfileSetting {
    const Setting *setting = nullptr;
    QVector<std::uint32_t> values; // as parseSetting gives them
};

// A gateway's own: its address, gateway ID and firmware, never shared among gateways.
bool isIdentitySetting(const Setting &setting);

struct ProfileCloudText {
    const CloudField *field = nullptr;
    QString text;    // as written in the profile
    QByteArray wire; // as it goes on the wire, suffix appended
};

struct Profile {
    static constexpr int kFormat = 1;
    QVector<ProfileSetting> settings; // in the table's order
    QVector<ProfileCloudText> cloud;  // in parameter order; never the secret
    bool mode = false;    // send the mode confirmation after the texts
    bool connect = false; // send the connect command last
    int meters = -1;      // the meter snapshot's size, 0..kMaxMeters; -1: not named

    const ProfileSetting *find(const Setting &setting) const;
};

// The profile in this JSON, or nothing with one line naming the file, the
// setting and what is expected ("site.json: frequency: expected a whole number
// from 420 to 675"). The output of `nvb8140t-ctl get --json` is a profile too.
std::optional<Profile> parseProfile(const QByteArray &json, const QString &fileName, QString *error);
// The same, read from a file (its name in errors is the path as given).
std::optional<Profile> readProfile(const QString &path, QString *error);
// The profile as a file holds it, indented, settings in table order.
QByteArray profileJson(const Profile &profile);

// A setting's value as `get --json` prints it: numbers as JSON numbers, choice
// words and hexadecimal values as strings, pairs as two-element arrays.
QJsonValue settingJson(const Setting &setting, const QVector<std::uint32_t> &values);
// The settings as one line of JSON, in the order given: what `get --json` prints.
QByteArray settingsJson(const QVector<ProfileSetting> &settings);
