#pragma once

#include "deviceconfig.h"
#include "faultconfig.h"

#include <QByteArray>
#include <QList>
#include <QString>

namespace farlight {

/// @brief The simulator's configuration: devices and faults, read from JSON.
///
/// Every key is checked: an unknown key, a missing required key or a value out of range makes
/// load() fail with a message naming the key, so a typing error never silently takes a default.
class SimConfig
{
public:
    /// @brief Parses @p json; on failure errorString() says what is wrong and where.
    bool load(const QByteArray &json);
    /// @brief Reads and parses the file at @p path.
    bool loadFile(const QString &path);

    const QList<DeviceConfig> &devices() const { return m_devices; }
    const FaultConfig &faults() const { return m_faults; }
    const QString &errorString() const { return m_error; }

private:
    QList<DeviceConfig> m_devices;
    FaultConfig m_faults;
    QString m_error;
};

} // namespace farlight
