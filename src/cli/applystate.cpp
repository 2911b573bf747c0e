#include "cli/applystate.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

namespace farlight::cli {

using namespace Qt::StringLiterals;

namespace {

/// Records of a few thousand devices; a larger file is not ours.
constexpr qint64 MaxStateSize = 16 * 1024 * 1024;

const QString DevicesKey = u"devices"_s;

// The file's whole object, or nothing when it is missing (empty object) or unreadable.
std::optional<QJsonObject> ReadObject(const QString &path, QString &warning)
{
    QFile file(path);
    if (!file.exists())
        return QJsonObject();
    if (!file.open(QIODevice::ReadOnly) || file.size() > MaxStateSize) {
        warning = file.errorString();
        return std::nullopt;
    }
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) {
        warning = error.error != QJsonParseError::NoError ? error.errorString() : u"not a JSON object"_s;
        return std::nullopt;
    }
    return document.object();
}

} // namespace

QString ApplyState::DefaultPath()
{
    QString base = qEnvironmentVariable("XDG_STATE_HOME");
    // A relative XDG_STATE_HOME is invalid and ignored, as other XDG programs do.
    if (!QDir::isAbsolutePath(base))
        base = QDir::homePath() + u"/.local/state"_s;
    return base + u"/farlight/applied.json"_s;
}

std::optional<QString> ApplyState::load()
{
    m_known.clear();
    QString warning;
    const std::optional<QJsonObject> object = ReadObject(m_path, warning);
    if (!object)
        return u"%1: %2; what was applied before is not known"_s.arg(m_path, warning);
    const QJsonObject devices = object->value(DevicesKey).toObject();
    for (auto it = devices.begin(); it != devices.end(); ++it) {
        const std::optional<MacAddress> mac = ParseMac(it.key());
        const QJsonObject entry = it.value().toObject();
        if (!mac || !entry.value(u"dhcp"_s).isBool())
            continue;
        AppliedAddress settings;
        settings.dhcp = entry.value(u"dhcp"_s).toBool();
        if (!settings.dhcp) {
            settings.ip = entry.value(u"ip"_s).toString();
            settings.mask = entry.value(u"mask"_s).toString();
            settings.gateway = entry.value(u"gateway"_s).toString();
        }
        m_known.insert(FormatMac(*mac), settings);
    }
    return std::nullopt;
}

std::optional<AppliedAddress> ApplyState::address(const MacAddress &mac) const
{
    const auto it = m_known.constFind(FormatMac(mac));
    if (it == m_known.cend())
        return std::nullopt;
    return *it;
}

void ApplyState::record(const MacAddress &mac, const AppliedAddress &settings)
{
    m_known.insert(FormatMac(mac), settings);
    m_recorded.insert(FormatMac(mac), settings);
}

std::optional<QString> ApplyState::save()
{
    if (m_recorded.isEmpty())
        return std::nullopt;
    // Another run may have written since load(): its records stay; a damaged file is replaced.
    QString ignored;
    QJsonObject object = ReadObject(m_path, ignored).value_or(QJsonObject());
    QJsonObject devices = object.value(DevicesKey).toObject();
    const QString now = QDateTime::currentDateTimeUtc().toString(Qt::ISODate);
    for (auto it = m_recorded.cbegin(); it != m_recorded.cend(); ++it) {
        QJsonObject entry{{u"dhcp"_s, it->dhcp}, {u"applied"_s, now}};
        if (!it->dhcp) {
            entry.insert(u"ip"_s, it->ip);
            entry.insert(u"mask"_s, it->mask);
            entry.insert(u"gateway"_s, it->gateway);
        }
        devices.insert(it.key(), entry);
    }
    object.insert(DevicesKey, devices);

    const QString folder = QFileInfo(m_path).absolutePath();
    if (!QDir().mkpath(folder))
        return u"%1: cannot create the folder"_s.arg(folder);
    QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QSaveFile file(m_path);
    if (!file.open(QIODevice::WriteOnly) || file.write(QJsonDocument(object).toJson()) < 0 || !file.commit())
        return u"%1: %2"_s.arg(m_path, file.errorString());
    m_recorded.clear();
    return std::nullopt;
}

} // namespace farlight::cli
