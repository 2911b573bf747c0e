#pragma once

#include "deviceconfig.h"
#include "tftpservice.h"

#include <QByteArrayView>
#include <QJsonObject>

#include <limits>

namespace farlight {

/// @brief One simulated access point: its configuration, the settings it was given and its state.
///
/// The methods take requests whose framing the SimulatorCore has already checked (magic,
/// opcode, flag, exact length, and that the request names this device).
class SimDevice
{
public:
    explicit SimDevice(DeviceConfig config);

    const DeviceConfig &config() const { return m_config; }
    const MacAddress &mac() const { return m_config.mac; }

    /// @brief The interface that carries the device's address (0: unknown, hears every interface).
    int interfaceIndex() const { return m_interfaceIndex; }
    void setInterfaceIndex(int index) { m_interfaceIndex = index; }

    /// @brief False when the device's address is missing from the namespace: it then hears nothing.
    bool present() const { return m_present; }
    void setPresent(bool present) { m_present = present; }

    /// @brief The 185-byte answer to a search with @p sequence from @p requester.
    QByteArray searchReply(quint16 sequence, const MacAddress &requester) const;

    /// @brief Unscrambles the request's password with this device's MAC, the request's adapter MAC
    /// and the host name, and compares it with the configured password padded with zeros to 12.
    bool passwordMatches(QByteArrayView request) const;

    /// @brief Judges and applies a set-IP request (44 bytes static, 32 bytes DHCP) that arrived at
    /// @p nowMs; returns the status.
    quint16 setIp(QByteArrayView request, qint64 nowMs);
    /// @brief Takes the address a set-IP request moved the device to, once its move is due.
    void settle(qint64 nowMs);

    /// @brief Records a confirmation request.
    void confirm() { ++m_confirmations; }

    /// @brief Status of a filter read request (the list itself is filter()).
    quint16 readFilter(QByteArrayView request) const;

    /// @brief Judges an 800-byte write request and stores its list; returns the status.
    quint16 writeFilter(QByteArrayView request);

    const QList<MacAddress> &filter() const { return m_filter; }

    /// @brief Keeps an uploaded image: its size and SHA-256 go into the state.
    void recordFirmware(const QByteArray &fileName, const QByteArray &image);
    const QByteArray &firmware() const { return m_firmware; }

    /// @brief After a complete image at @p nowMs: the silence of a restart begins, if configured.
    void restartAfterUpload(qint64 nowMs);
    /// @brief True while the device restarts: it hears nothing and answers nothing.
    bool restarting(qint64 nowMs) const { return nowMs < m_silentUntilMs; }

    QHostAddress appliedIp() const { return m_ip; }
    /// The address the device answers from: its configured one until a static address set to
    /// one of its spare addresses, or a DHCP lease, moves it there.
    QHostAddress answeringIp() const { return m_answeringIp.isNull() ? m_config.ip : m_answeringIp; }
    QHostAddress appliedMask() const { return m_mask; }
    QHostAddress appliedGateway() const { return m_gateway; }
    bool dhcp() const { return m_dhcp; }
    int confirmations() const { return m_confirmations; }

    /// @brief This device's entry of the state file.
    QJsonObject stateJson() const;

    TftpService &tftp() { return m_tftp; }

private:
    DeviceConfig m_config;
    int m_interfaceIndex = 0;
    bool m_present = true;
    QHostAddress m_ip;
    QHostAddress m_answeringIp;
    QHostAddress m_movingTo; ///< where a set-IP request sends it once m_moveAtMs has come
    qint64 m_moveAtMs = 0;
    QHostAddress m_mask;
    QHostAddress m_gateway;
    bool m_dhcp = false;
    int m_confirmations = 0;
    QList<MacAddress> m_filter;
    QByteArray m_firmware;
    QByteArray m_firmwareName;
    int m_uploads = 0;
    qint64 m_silentUntilMs = std::numeric_limits<qint64>::min();
    TftpService m_tftp;
};

} // namespace farlight
