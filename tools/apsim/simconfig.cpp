#include "simconfig.h"

#include <QFile>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>

#include <cmath>
#include <stdexcept>

namespace farlight {

using namespace Qt::StringLiterals;

namespace {

constexpr qsizetype MaxTextField = 32;
constexpr qsizetype MaxPassword = 12;
constexpr qsizetype MaxFilterEntries = 128;
// Enough for a crowded /24 segment; each device holds two sockets.
constexpr qsizetype MaxDevices = 250;
constexpr int MaxDuplicates = 10;
constexpr int MaxDelayMs = 60000;
constexpr qint64 MaxRestartSeconds = 3600;

/// A configuration error; the message already names the offending key.
struct ConfigError : std::runtime_error
{
    using std::runtime_error::runtime_error;
};

[[noreturn]] void fail(const QString &where, const QString &what)
{
    throw ConfigError((where + QStringLiteral(": ") + what).toStdString());
}

void checkKeys(const QJsonObject &object, const QString &where, const QStringList &allowed)
{
    for (auto it = object.begin(); it != object.end(); ++it) {
        if (!allowed.contains(it.key()))
            fail(where, QStringLiteral("unknown key \"%1\" (allowed: %2)").arg(it.key(), allowed.join(u", ")));
    }
}

QString path(const QString &where, const QString &key)
{
    return where.isEmpty() ? key : where + u'.' + key;
}

qint64 integer(const QJsonValue &value, const QString &where, qint64 min, qint64 max)
{
    const double d = value.toDouble(std::nan(""));
    if (!value.isDouble() || std::floor(d) != d || d < double(min) || d > double(max))
        fail(where, QStringLiteral("must be a whole number from %1 to %2").arg(min).arg(max));
    return qint64(d);
}

QString string(const QJsonValue &value, const QString &where)
{
    if (!value.isString())
        fail(where, QStringLiteral("must be a text"));
    return value.toString();
}

QByteArray latin1Text(const QJsonValue &value, const QString &where, qsizetype minLength, qsizetype maxLength)
{
    const QString text = string(value, where);
    for (const QChar c : text) {
        if (c.unicode() > 0xFF || c.unicode() == 0)
            fail(where, QStringLiteral("must hold single-byte (Latin-1) characters only, no NUL"));
    }
    if (text.size() < minLength || text.size() > maxLength)
        fail(where, QStringLiteral("must be %1 to %2 characters long").arg(minLength).arg(maxLength));
    return text.toLatin1();
}

MacAddress mac(const QJsonValue &value, const QString &where)
{
    const auto parsed = ParseMac(string(value, where));
    if (!parsed)
        fail(where, QStringLiteral("\"%1\" is not a MAC address (00-0A-1B-2C-3D-4E, 00:0a:1b:2c:3d:4e or 000A1B2C3D4E)")
                        .arg(value.toString()));
    return *parsed;
}

QHostAddress ipv4(const QJsonValue &value, const QString &where)
{
    const QString text = string(value, where);
    QHostAddress address;
    // QHostAddress also takes short forms such as "10.1"; the file must spell out four fields.
    if (text.count(u'.') != 3 || !address.setAddress(text) || address.protocol() != QAbstractSocket::IPv4Protocol)
        fail(where, QStringLiteral("\"%1\" is not a dotted IPv4 address").arg(text));
    return address;
}

bool isContiguousMask(quint32 mask)
{
    return (~mask & (~mask + 1)) == 0;
}

template<typename Enum>
Enum choice(const QJsonValue &value, const QString &where, const QList<std::pair<QString, Enum>> &choices)
{
    const QString text = string(value, where);
    QStringList names;
    for (const auto &[name, result] : choices) {
        if (name == text)
            return result;
        names << u'"' + name + u'"';
    }
    fail(where, QStringLiteral("\"%1\" is not one of %2").arg(text, names.join(u", ")));
}

bool boolean(const QJsonValue &value, const QString &where)
{
    if (!value.isBool())
        fail(where, QStringLiteral("must be true or false"));
    return value.toBool();
}

QJsonArray array(const QJsonValue &value, const QString &where)
{
    if (!value.isArray())
        fail(where, QStringLiteral("must be a list"));
    return value.toArray();
}

DeviceConfig parseDevice(const QJsonValue &value, const QString &where)
{
    if (!value.isObject())
        fail(where, QStringLiteral("must be an object"));
    const QJsonObject o = value.toObject();
    checkKeys(o, where,
              {u"host_name"_s, u"mac"_s, u"ip"_s, u"mask"_s, u"gateway"_s, u"ssid"_s, u"channel"_s,
               u"wep"_s, u"password"_s, u"reply"_s, u"tftp"_s, u"filter"_s, u"segment"_s,
               u"read_needs_password"_s, u"spare_ips"_s, u"dhcp_ip"_s, u"move_after_ms"_s, u"restart_s"_s,
               u"comment"_s});
    for (const char16_t *key : {u"host_name", u"mac", u"ip"}) {
        if (!o.contains(key))
            fail(where, QStringLiteral("the required key \"%1\" is missing").arg(QString::fromUtf16(key)));
    }

    DeviceConfig d;
    // An empty host name would leave the password scrambling without a text to index.
    d.hostName = latin1Text(o[u"host_name"], path(where, u"host_name"_s), 1, MaxTextField);
    d.mac = mac(o[u"mac"], path(where, u"mac"_s));
    if (MacEqual(d.mac, MacAddress{}) || MacEqual(d.mac, MacAddress{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}))
        fail(path(where, u"mac"_s), QStringLiteral("must not be all zeros or all FF"));
    d.ip = ipv4(o[u"ip"], path(where, u"ip"_s));
    const quint32 ip = d.ip.toIPv4Address();
    if (ip == 0 || ip == 0xFFFFFFFF || (ip >> 24) == 127 || (ip >> 28) == 0xE)
        fail(path(where, u"ip"_s), QStringLiteral("must be a unicast address outside 127.0.0.0/8"));
    if (o.contains(u"mask")) {
        d.mask = ipv4(o[u"mask"], path(where, u"mask"_s));
        const quint32 m = d.mask.toIPv4Address();
        if (!isContiguousMask(m) || m == 0 || m == 0xFFFFFFFF)
            fail(path(where, u"mask"_s), QStringLiteral("must be a contiguous mask from /1 to /31"));
    }
    if (o.contains(u"gateway"))
        d.gateway = ipv4(o[u"gateway"], path(where, u"gateway"_s));
    if (o.contains(u"ssid"))
        d.ssid = latin1Text(o[u"ssid"], path(where, u"ssid"_s), 0, MaxTextField);
    if (o.contains(u"channel"))
        d.channel = quint8(integer(o[u"channel"], path(where, u"channel"_s), 0, 255));
    if (o.contains(u"wep"))
        d.wep = quint8(integer(o[u"wep"], path(where, u"wep"_s), 0, 255));
    if (o.contains(u"password"))
        d.password = latin1Text(o[u"password"], path(where, u"password"_s), 0, MaxPassword);
    if (o.contains(u"reply"))
        d.reply = choice<ReplyMode>(o[u"reply"], path(where, u"reply"_s),
                                    {{u"unicast"_s, ReplyMode::Unicast}, {u"broadcast"_s, ReplyMode::Broadcast}});
    if (o.contains(u"tftp"))
        d.tftp = choice<TftpMode>(o[u"tftp"], path(where, u"tftp"_s),
                                  {{u"fixed"_s, TftpMode::Fixed}, {u"ephemeral"_s, TftpMode::Ephemeral}});
    if (o.contains(u"filter")) {
        const QString filterPath = path(where, u"filter"_s);
        const QJsonArray list = array(o[u"filter"], filterPath);
        if (list.size() > MaxFilterEntries)
            fail(filterPath, QStringLiteral("holds %1 addresses; a device keeps at most %2")
                                 .arg(list.size())
                                 .arg(MaxFilterEntries));
        for (qsizetype i = 0; i < list.size(); ++i) {
            const QString entryPath = QStringLiteral("%1[%2]").arg(filterPath).arg(i);
            const MacAddress entry = mac(list[i], entryPath);
            if (d.filter.contains(entry))
                fail(entryPath, QStringLiteral("%1 is listed twice").arg(MacKey(entry)));
            d.filter.append(entry);
        }
    }
    if (o.contains(u"segment"))
        d.segment = int(integer(o[u"segment"], path(where, u"segment"_s), 1, 2));
    if (o.contains(u"read_needs_password"))
        d.readNeedsPassword = boolean(o[u"read_needs_password"], path(where, u"read_needs_password"_s));
    if (o.contains(u"spare_ips")) {
        const QString sparePath = path(where, u"spare_ips"_s);
        const QJsonArray list = array(o[u"spare_ips"], sparePath);
        for (qsizetype i = 0; i < list.size(); ++i) {
            const QString entryPath = QStringLiteral("%1[%2]").arg(sparePath).arg(i);
            const QHostAddress spare = ipv4(list[i], entryPath);
            const quint32 value = spare.toIPv4Address();
            if (value == 0 || value == 0xFFFFFFFF || (value >> 24) == 127 || (value >> 28) == 0xE || spare == d.ip)
                fail(entryPath, QStringLiteral("must be a unicast address outside 127.0.0.0/8, not the device's own"));
            d.spareIps.append(spare);
        }
    }
    if (o.contains(u"dhcp_ip")) {
        d.dhcpIp = ipv4(o[u"dhcp_ip"], path(where, u"dhcp_ip"_s));
        // The lab places only the spare addresses: a lease elsewhere could never be answered from.
        if (!d.spareIps.contains(d.dhcpIp))
            fail(path(where, u"dhcp_ip"_s), QStringLiteral("must be one of the device's spare_ips"));
    }
    if (o.contains(u"move_after_ms"))
        d.moveAfterMs = integer(o[u"move_after_ms"], path(where, u"move_after_ms"_s), 0, MaxDelayMs);
    if (o.contains(u"restart_s")) {
        const QJsonValue restart = o[u"restart_s"];
        const double seconds = restart.toDouble(-1);
        if (restart == u"never"_s) {
            d.restart = DeviceConfig::Restart::Never;
        } else if (restart.isDouble() && std::floor(seconds) == seconds && seconds >= 0 && seconds <= MaxRestartSeconds) {
            d.restart = DeviceConfig::Restart::For;
            d.restartMs = qint64(seconds) * 1000;
        } else {
            fail(path(where, u"restart_s"_s),
                 QStringLiteral("must be a whole number from 0 to %1, or \"never\"").arg(MaxRestartSeconds));
        }
    }
    if (o.contains(u"comment"))
        string(o[u"comment"], path(where, u"comment"_s));
    return d;
}

RequestKind requestKind(const QJsonValue &value, const QString &where)
{
    return choice<RequestKind>(value, where,
                               {{u"search"_s, RequestKind::Search},
                                {u"setip"_s, RequestKind::SetIp},
                                {u"confirm"_s, RequestKind::Confirm},
                                {u"filter"_s, RequestKind::Filter},
                                {u"tftp"_s, RequestKind::Tftp}});
}

FaultConfig parseFaults(const QJsonValue &value, const QList<DeviceConfig> &devices)
{
    const QString where = u"faults"_s;
    if (!value.isObject())
        fail(where, QStringLiteral("must be an object"));
    const QJsonObject o = value.toObject();
    checkKeys(o, where,
              {u"seed"_s, u"drop_rate"_s, u"drop_mode"_s, u"duplicate"_s, u"delay_ms"_s, u"late_rate"_s, u"late_ms"_s, u"status"_s,
               u"reply_mac"_s, u"tftp_error"_s, u"tftp_error_count"_s, u"devices"_s, u"requests"_s, u"comment"_s});

    FaultConfig f;
    if (o.contains(u"seed"))
        f.seed = quint32(integer(o[u"seed"], path(where, u"seed"_s), 0, 0xFFFFFFFFLL));
    const auto share = [&](const QString &key) {
        const QJsonValue rate = o[key];
        if (!rate.isDouble() || rate.toDouble() < 0.0 || rate.toDouble() > 1.0)
            fail(path(where, key), QStringLiteral("must be a number from 0 to 1"));
        return rate.toDouble();
    };
    if (o.contains(u"drop_rate"))
        f.dropRate = share(u"drop_rate"_s);
    if (o.contains(u"drop_mode"))
        f.dropMode = choice<FaultConfig::DropMode>(
            o[u"drop_mode"], path(where, u"drop_mode"_s),
            {{u"random"_s, FaultConfig::DropMode::Random}, {u"fixed"_s, FaultConfig::DropMode::Fixed}});
    if (o.contains(u"duplicate"))
        f.duplicate = int(integer(o[u"duplicate"], path(where, u"duplicate"_s), 0, MaxDuplicates));
    if (o.contains(u"delay_ms"))
        f.delayMs = int(integer(o[u"delay_ms"], path(where, u"delay_ms"_s), 0, MaxDelayMs));
    if (o.contains(u"late_rate"))
        f.lateRate = share(u"late_rate"_s);
    if (o.contains(u"late_ms"))
        f.lateMs = int(integer(o[u"late_ms"], path(where, u"late_ms"_s), 0, MaxDelayMs));
    if (o.contains(u"status"))
        f.status = quint16(integer(o[u"status"], path(where, u"status"_s), 0, 0xFFFF));
    if (o.contains(u"reply_mac"))
        f.replyMac = mac(o[u"reply_mac"], path(where, u"reply_mac"_s));
    if (o.contains(u"tftp_error"))
        f.tftpError = quint16(integer(o[u"tftp_error"], path(where, u"tftp_error"_s), 0, 0xFFFF));
    if (o.contains(u"tftp_error_count"))
        f.tftpErrorCount = int(integer(o[u"tftp_error_count"], path(where, u"tftp_error_count"_s), 0, 1000000));
    if (o.contains(u"devices")) {
        const QString listPath = path(where, u"devices"_s);
        const QJsonArray list = array(o[u"devices"], listPath);
        for (qsizetype i = 0; i < list.size(); ++i) {
            const QString entryPath = QStringLiteral("%1[%2]").arg(listPath).arg(i);
            const MacAddress m = mac(list[i], entryPath);
            const bool known = std::any_of(devices.begin(), devices.end(),
                                           [&](const DeviceConfig &d) { return MacEqual(d.mac, m); });
            if (!known)
                fail(entryPath, QStringLiteral("%1 is not the MAC of a configured device").arg(FormatMac(m)));
            f.devices.append(m);
        }
    }
    if (o.contains(u"requests")) {
        const QString listPath = path(where, u"requests"_s);
        const QJsonArray list = array(o[u"requests"], listPath);
        for (qsizetype i = 0; i < list.size(); ++i)
            f.kinds.append(requestKind(list[i], QStringLiteral("%1[%2]").arg(listPath).arg(i)));
    }
    if (o.contains(u"comment"))
        string(o[u"comment"], path(where, u"comment"_s));
    return f;
}

} // namespace

bool SimConfig::load(const QByteArray &json)
{
    m_devices.clear();
    m_faults = {};
    m_error.clear();

    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(json, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        m_error = QStringLiteral("not valid JSON at offset %1: %2").arg(parseError.offset).arg(parseError.errorString());
        return false;
    }
    try {
        if (!document.isObject())
            fail(u"(top level)"_s, QStringLiteral("must be an object with a \"devices\" list"));
        const QJsonObject root = document.object();
        checkKeys(root, u"(top level)"_s, {u"devices"_s, u"faults"_s, u"comment"_s});
        if (!root.contains(u"devices"))
            fail(u"(top level)"_s, QStringLiteral("the required key \"devices\" is missing"));
        const QJsonArray devices = array(root[u"devices"], u"devices"_s);
        if (devices.isEmpty() || devices.size() > MaxDevices)
            fail(u"devices"_s, QStringLiteral("must list 1 to %1 devices").arg(MaxDevices));

        QSet<QString> macs;
        // Devices fresh from the box share one address; they must then sit behind it alike.
        QHash<quint32, qsizetype> ips; // address: the first device with it
        for (qsizetype i = 0; i < devices.size(); ++i) {
            const QString where = QStringLiteral("devices[%1]").arg(i);
            DeviceConfig device = parseDevice(devices[i], where);
            if (macs.contains(MacKey(device.mac)))
                fail(where + u".mac"_s, QStringLiteral("%1 is used by another device").arg(FormatMac(device.mac)));
            const auto sharing = ips.constFind(device.ip.toIPv4Address());
            if (sharing != ips.cend()
                && (m_devices[*sharing].mask != device.mask || m_devices[*sharing].segment != device.segment))
                fail(where + u".ip"_s, QStringLiteral("%1 is shared with a device on another segment or with another mask")
                                           .arg(device.ip.toString()));
            macs.insert(MacKey(device.mac));
            if (sharing == ips.cend())
                ips.insert(device.ip.toIPv4Address(), m_devices.size());
            m_devices.append(std::move(device));
        }
        if (root.contains(u"faults"))
            m_faults = parseFaults(root[u"faults"], m_devices);
        if (root.contains(u"comment"))
            string(root[u"comment"], u"comment"_s);
    } catch (const ConfigError &e) {
        m_devices.clear();
        m_faults = {};
        m_error = QString::fromStdString(e.what());
        return false;
    }
    return true;
}

bool SimConfig::loadFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        m_error = QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
        return false;
    }
    return load(file.readAll());
}

} // namespace farlight
