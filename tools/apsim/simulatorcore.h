#pragma once

#include "faultinjector.h"
#include "simconfig.h"
#include "simdatagram.h"
#include "simdevice.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QList>

#include <functional>
#include <memory>
#include <vector>

namespace farlight {

/// @brief The simulator without sockets: maps each received datagram to the datagrams to send.
///
/// It holds the simulated devices, applies the configured faults, and collects the log entries
/// and state changes that the socket layer writes out.
class SimulatorCore
{
public:
    /// Exact lengths of the requests a device accepts; anything else is ignored.
    static constexpr qsizetype SearchRequestSize = 16;
    static constexpr qsizetype SetIpStaticSize = 44;
    static constexpr qsizetype SetIpDhcpSize = 32;
    static constexpr qsizetype ConfirmSize = 32;
    static constexpr qsizetype FilterReadSize = 32;
    static constexpr qsizetype FilterWriteSize = 800;
    static constexpr qsizetype DeviceMacOffset = 20;
    static constexpr qsizetype RequesterMacOffset = 8;
    static constexpr qsizetype AdapterMacOffset = 26;

    explicit SimulatorCore(const QList<DeviceConfig> &devices, const FaultConfig &faults = {});

    qsizetype deviceCount() const { return qsizetype(m_devices.size()); }
    SimDevice &device(qsizetype index) { return *m_devices[std::size_t(index)]; }
    const SimDevice &device(qsizetype index) const { return *m_devices[std::size_t(index)]; }

    /// @brief Handles a datagram that reached the management port at @p nowMs (the clock of handleTftp).
    QList<OutboundDatagram> handleManagement(const InboundDatagram &in, qint64 nowMs);

    /// @brief Handles a datagram that reached the TFTP server of device @p index (at in.destinationPort).
    QList<OutboundDatagram> handleTftp(qsizetype index, const InboundDatagram &in, qint64 nowMs);

    /// @brief Lets idle transfers of device @p index go; returns the transfer ports to close.
    QList<quint16> expireTftp(qsizetype index, qint64 nowMs);

    /// @brief Sets how an ephemeral TFTP port is opened for device @p index (0 = failure).
    void setTftpPortOpener(std::function<quint16(qsizetype index)> opener);

    /// @brief The state file's document: one entry per device, in configuration order.
    QJsonDocument stateDocument() const;

    /// @brief True once after anything in the state changed.
    bool takeStateChanged() { return std::exchange(m_stateChanged, false); }

    /// @brief One entry per received request since the last call.
    QList<QJsonObject> takeLogEntries() { return std::exchange(m_log, {}); }

    struct FinishedUpload
    {
        qsizetype device = 0;
        QByteArray image;
    };
    /// @brief Images whose upload completed since the last call.
    QList<FinishedUpload> takeFinishedUploads() { return std::exchange(m_uploads, {}); }

private:
    enum class Request { Search, SetIp, Confirm, FilterRead, FilterWrite };

    std::optional<Request> classify(QByteArrayView data, QString *reason) const;
    bool hears(const SimDevice &device, const InboundDatagram &in) const;
    bool isOwnAddress(const QHostAddress &address) const;
    void addReplies(QList<OutboundDatagram> &out, const SimDevice &device, RequestKind kind, QByteArray reply,
                    const InboundDatagram &in);

    std::vector<std::unique_ptr<SimDevice>> m_devices;
    FaultInjector m_faults;
    QList<QJsonObject> m_log;
    QList<FinishedUpload> m_uploads;
    bool m_stateChanged = false;
};

} // namespace farlight
