#include "profile.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>

#include <cmath>

#include "registers.h"

namespace {

constexpr int kMaxProfileBytes = 1 << 20;

// One JSON value as it stands in a file: "450", "\"odd\"", "[4,20]".
QByteArray compactJson(const QJsonValue &value)
{
    return QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact).mid(1).chopped(1);
}

const QString kSecretRefusal =
    QStringLiteral("the device secret is never kept in a profile; it is given when the profile is applied");

// A JSON number as the settings table reads a typed one: 450, not 450.0.
QString numberText(const QJsonValue &value)
{
    return QString::number(value.toDouble(), 'g', QLocale::FloatingPointShortest);
}

// "expected a whole number from 420 to 675" for a value of the wrong JSON type.
QString wrongType(const char *type, const QString &reason)
{
    return QStringLiteral("expected %1, %2").arg(QLatin1String(type), reason.mid(int(qstrlen("expected "))));
}

// The value as parseSetting takes it, or nothing with the reason.
std::optional<QString> typedText(const Setting &setting, const QJsonValue &value, QString *reason)
{
    QString range;
    parseSetting(setting, QString(), &range);
    switch (setting.encoding) {
    case Encoding::Choice:
    case Encoding::HexWord:
        if (value.isString())
            return value.toString();
        *reason = wrongType("a JSON string", range);
        return std::nullopt;
    case Encoding::Tenths:
    case Encoding::LoopFloats: {
        const QJsonArray pair = value.toArray();
        if (value.isArray() && pair.size() == 2 && pair.at(0).isDouble() && pair.at(1).isDouble())
            return numberText(pair.at(0)) + QLatin1Char(',') + numberText(pair.at(1));
        *reason = QStringLiteral("expected [LOWER, UPPER], each ") + rangeText(*setting.rule, " to ");
        return std::nullopt;
    }
    default:
        if (value.isDouble())
            return numberText(value);
        *reason = wrongType("a JSON number", range);
        return std::nullopt;
    }
}

// Members in the order given, which QJsonObject would not keep.
QByteArray orderedObject(const QVector<QPair<QString, QJsonValue>> &members, int indent)
{
    const QString inner(indent + 4, QLatin1Char(' '));
    QStringList lines;
    for (const auto &member : members) {
        const QByteArray value = compactJson(member.second);
        const QByteArray key = compactJson(member.first);
        lines << (indent < 0 ? QString() : inner) + QString::fromUtf8(key) + QLatin1Char(':')
                     + (indent < 0 ? QString() : QStringLiteral(" ")) + QString::fromUtf8(value);
    }
    if (lines.isEmpty())
        return "{}";
    if (indent < 0)
        return '{' + lines.join(QLatin1Char(',')).toUtf8() + '}';
    return "{\n" + lines.join(QStringLiteral(",\n")).toUtf8() + '\n' + QByteArray(indent, ' ') + '}';
}

QVector<QPair<QString, QJsonValue>> settingMembers(const QVector<ProfileSetting> &settings)
{
    QVector<QPair<QString, QJsonValue>> members;
    for (const ProfileSetting &entry : settings)
        members.append({QLatin1String(entry.setting->name), settingJson(*entry.setting, entry.values)});
    return members;
}

class Parser
{
public:
    explicit Parser(const QString &fileName) : m_file(fileName) {}

    bool fail(const QString &where, const QString &what)
    {
        m_error = m_file + QStringLiteral(": ") + (where.isEmpty() ? QString() : where + QStringLiteral(": ")) + what;
        return false;
    }

    bool settings(const QJsonObject &object, Profile *profile)
    {
        for (const Setting &setting : gatewaySettings()) {
            const auto found = object.constFind(QLatin1String(setting.name));
            if (found == object.constEnd())
                continue;
            QString reason;
            const std::optional<QString> text = typedText(setting, *found, &reason);
            const auto values = text ? parseSetting(setting, *text, &reason) : std::nullopt;
            if (!values)
                return fail(QLatin1String(setting.name), reason);
            profile->settings.append({&setting, *values});
        }
        for (auto it = object.constBegin(); it != object.constEnd(); ++it) {
            if (it.key() == QLatin1String("secret"))
                return fail(it.key(), kSecretRefusal);
            if (!findSetting(it.key()))
                return fail(it.key(), QStringLiteral("unknown setting"));
        }
        return true;
    }

    bool cloud(const QJsonValue &value, Profile *profile)
    {
        if (!value.isObject())
            return fail(QStringLiteral("cloud"), QStringLiteral("expected an object"));
        const QJsonObject object = value.toObject();
        for (auto it = object.constBegin(); it != object.constEnd(); ++it) {
            const QString where = QStringLiteral("cloud.") + it.key();
            if (it.key() == QLatin1String("mode") || it.key() == QLatin1String("connect")) {
                if (!it->isBool())
                    return fail(where, QStringLiteral("expected true or false"));
                (it.key() == QLatin1String("mode") ? profile->mode : profile->connect) = it->toBool();
                continue;
            }
            const CloudField *field = findCloudField(it.key());
            if (field == &secretField())
                return fail(where, kSecretRefusal);
            if (!field)
                return fail(where, QStringLiteral("unknown (expected region, property, name, publish, subscribe, "
                                                  "mode or connect)"));
            QString reason = QStringLiteral("expected a JSON string");
            const auto wire = it->isString() ? cloudWireText(*field, it->toString(), &reason) : std::nullopt;
            if (!wire)
                return fail(where, reason);
            profile->cloud.append({field, it->toString(), *wire});
        }
        std::sort(profile->cloud.begin(), profile->cloud.end(),
                  [](const ProfileCloudText &a, const ProfileCloudText &b) {
                      return a.field->parameter < b.field->parameter;
                  });
        return true;
    }

    bool meters(const QJsonValue &value, Profile *profile)
    {
        const double count = value.toDouble(-1);
        if (!value.isDouble() || count != std::floor(count) || count < 0 || count > kMaxMeters)
            return fail(QStringLiteral("meters"), QStringLiteral("expected a whole number from 0 to %1").arg(kMaxMeters));
        profile->meters = int(count);
        return true;
    }

    std::optional<Profile> parse(const QByteArray &json)
    {
        QJsonParseError parsed;
        const QJsonDocument document = QJsonDocument::fromJson(json, &parsed);
        if (parsed.error != QJsonParseError::NoError) {
            fail(QString(), QStringLiteral("not valid JSON: %1 at byte %2").arg(parsed.errorString()).arg(parsed.offset));
            return std::nullopt;
        }
        if (!document.isObject()) {
            fail(QString(), QStringLiteral("expected a JSON object"));
            return std::nullopt;
        }
        const QJsonObject top = document.object();
        Profile profile;
        // Without a format it is a bare settings object, as `get --json` prints one.
        if (!top.contains(QLatin1String("format")))
            return settings(top, &profile) ? std::optional<Profile>(profile) : std::nullopt;
        if (top.value(QLatin1String("format")) != QJsonValue(Profile::kFormat)) {
            fail(QStringLiteral("format"), QStringLiteral("unknown format version %1 (expected %2)")
                                               .arg(QString::fromUtf8(compactJson(top.value(QLatin1String("format")))))
                                               .arg(Profile::kFormat));
            return std::nullopt;
        }
        for (auto it = top.constBegin(); it != top.constEnd(); ++it) {
            bool ok = true;
            if (it.key() == QLatin1String("settings"))
                ok = it->isObject() ? settings(it->toObject(), &profile)
                                    : fail(it.key(), QStringLiteral("expected an object"));
            else if (it.key() == QLatin1String("cloud"))
                ok = cloud(*it, &profile);
            else if (it.key() == QLatin1String("meters"))
                ok = meters(*it, &profile);
            else if (it.key() == QLatin1String("secret"))
                ok = fail(it.key(), kSecretRefusal);
            else if (it.key() != QLatin1String("format"))
                ok = fail(it.key(), QStringLiteral("unknown (expected format, settings, cloud or meters)"));
            if (!ok)
                return std::nullopt;
        }
        return profile;
    }

    QString error() const { return m_error; }

private:
    QString m_file;
    QString m_error;
};

} // namespace

bool isIdentitySetting(const Setting &setting)
{
    return setting.reg == GatewayRegister::Address || setting.reg == GatewayRegister::GatewayId
           || setting.reg == GatewayRegister::Firmware;
}

const ProfileSetting *Profile::find(const Setting &setting) const
{
    for (const ProfileSetting &entry : settings) {
        if (entry.setting == &setting)
            return &entry;
    }
    return nullptr;
}

std::optional<Profile> parseProfile(const QByteArray &json, const QString &fileName, QString *error)
{
    Parser parser(fileName);
    std::optional<Profile> profile = parser.parse(json);
    if (!profile)
        *error = parser.error();
    return profile;
}

std::optional<Profile> readProfile(const QString &path, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("%1: cannot read: %2").arg(path, file.errorString());
        return std::nullopt;
    }
    // A profile is a few kilobytes; /dev/zero or a wrong file must not fill the memory.
    const QByteArray json = file.read(kMaxProfileBytes + 1);
    if (json.size() > kMaxProfileBytes) {
        *error = QStringLiteral("%1: cannot read: larger than %2 bytes, not a profile").arg(path).arg(kMaxProfileBytes);
        return std::nullopt;
    }
    return parseProfile(json, path, error);
}

QJsonValue settingJson(const Setting &setting, const QVector<std::uint32_t> &values)
{
    const auto number = [](const QString &part) {
        bool ok = false;
        const double value = part.toDouble(&ok);
        // nan and inf have no JSON number; they stay words.
        return ok && std::isfinite(value) ? QJsonValue(value) : QJsonValue(part);
    };
    const QString text = valueText(setting, values);
    switch (setting.encoding) {
    case Encoding::Choice:
    case Encoding::HexWord:
        return text;
    case Encoding::Tenths:
    case Encoding::LoopFloats: {
        const QStringList parts = text.split(QLatin1Char(','));
        return QJsonArray{number(parts.value(0)), number(parts.value(1))};
    }
    default:
        return number(text);
    }
}

QByteArray settingsJson(const QVector<ProfileSetting> &settings)
{
    return orderedObject(settingMembers(settings), -1);
}

QByteArray profileJson(const Profile &profile)
{
    QVector<QPair<QString, QJsonValue>> top{{QStringLiteral("format"), Profile::kFormat}};
    QByteArray text = orderedObject(top, 0);
    text.chop(2);
    text += ",\n    \"settings\": " + orderedObject(settingMembers(profile.settings), 4);
    QVector<QPair<QString, QJsonValue>> cloud;
    for (const ProfileCloudText &entry : profile.cloud)
        cloud.append({QLatin1String(entry.field->name), entry.text});
    if (profile.mode)
        cloud.append({QStringLiteral("mode"), true});
    if (profile.connect)
        cloud.append({QStringLiteral("connect"), true});
    if (!cloud.isEmpty())
        text += ",\n    \"cloud\": " + orderedObject(cloud, 4);
    if (profile.meters >= 0)
        text += ",\n    \"meters\": " + QByteArray::number(profile.meters);
    return text + "\n}\n";
}
