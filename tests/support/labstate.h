#pragma once

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>

namespace testsupport {

/// What the simulator of a lab (lab/with-lab.sh) has written for the device @p mac under @p key;
/// undefined when there is no such device or state file.
inline QJsonValue labDeviceState(const QString &mac, const QString &key)
{
    QFile file(qEnvironmentVariable("FARLIGHT_LAB_STATE"));
    if (!file.open(QIODevice::ReadOnly))
        return QJsonValue::Undefined;
    for (const QJsonValue device : QJsonDocument::fromJson(file.readAll())[u"devices"].toArray()) {
        if (device[u"mac"] == mac)
            return device[key];
    }
    return QJsonValue::Undefined;
}

} // namespace testsupport
