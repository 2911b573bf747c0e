#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QString>
#include <QTimer>

#include <chrono>
#include <memory>

namespace farlight {

class TftpClient;
class TftpPort;
struct TftpClientStep;

/// @brief One TFTP write transfer of a firmware image to a device, without any window.
///
/// It talks through local port 14321 (its own, or one shared by uploads to several devices) to
/// port 69 of the device, owns the retransmission timer, and reports progress and its end by
/// signals. The dialog shows them; a command-line tool prints them.
class TftpUpload : public QObject
{
    Q_OBJECT

public:
    static constexpr quint16 LocalPort = 14321;
    static constexpr quint16 ServerPort = 69;
    static constexpr std::chrono::milliseconds RetransmitInterval{1000};

    enum class Outcome {
        Complete,      ///< the last block was acknowledged
        TimedOut,      ///< five expiries in a row without progress ("Time Out")
        DeviceError,   ///< the device sent ERROR; errorCode() tells which
        Refused,       ///< the device sent a read or write request; ERROR 2 went back
        Illegal,       ///< an unknown opcode; ERROR 4 went back
        Stalled,       ///< an acknowledgement of a block never sent; ERROR 0 went back, nothing more is sent
        SendFailed,    ///< an answer that must go out could not be sent ("IP Address is not set")
    };
    Q_ENUM(Outcome)

    explicit TftpUpload(QObject *parent = nullptr);
    ~TftpUpload() override;

    /// @brief Binds port 14321 on @p localAddress (interface @p interfaceIndex) towards
    /// @p deviceAddress, port 69. False when the socket cannot be bound.
    bool open(const QString &localAddress, qint32 interfaceIndex, const QString &deviceAddress);
    /// @brief As open(), through @p port, which must be bound and outlive the transfer's use of
    /// it. False when another upload on that port talks to the same device address.
    bool open(TftpPort &port, const QString &localAddress, qint32 interfaceIndex, const QString &deviceAddress);
    /// @brief Sends the write request for @p image and starts the retransmission timer.
    void start(const QByteArray &image);
    /// @brief Abandons the transfer: timers off, port released, nothing sent to the device.
    void cancel();

    /// @brief The system's version code; 5000 and 5100 ignore unknown opcodes.
    void setOsVersionCode(qint32 code) { m_osVersionCode = code; }
    /// @brief Tests shorten the retransmission interval.
    void setRetransmitInterval(std::chrono::milliseconds interval);

    bool isRunning() const;
    /// @brief The error code of the device's ERROR datagram (Outcome::DeviceError).
    int errorCode() const { return m_errorCode; }

    /// @brief Text of TFTP error @p code (0 to 7), or empty.
    static QString errorMessage(int code);

signals:
    /// @brief The share of the image sent before the block now going out, 0 to 100, each time
    /// it changes (never for images under 50 bytes); 100 once the last block is acknowledged.
    void progress(int percent);
    /// @brief The transfer has ended; after Complete the socket stays open until cancel() or
    /// destruction, as the device may still repeat its last acknowledgement.
    void finished(farlight::TftpUpload::Outcome outcome);

private:
    friend class TftpPort;

    bool attach(TftpPort &port, const QString &localAddress, qint32 interfaceIndex, const QString &deviceAddress);
    /// A datagram from the device's address, port @p fromPort.
    void receive(QByteArrayView datagram, quint16 fromPort);
    void retransmitTimerExpired();
    void carryOut(const TftpClientStep &step);

    qint32 m_osVersionCode = 0;
    int m_errorCode = -1;
    TftpPort *m_ownPort = nullptr;
    // The port in use: m_ownPort or a shared one, whose destructor clears this.
    TftpPort *m_port = nullptr;
    // Started afresh only when it expires: each send just notes its time, and an expiry that
    // comes before a full interval has passed since the last send waits out the rest.
    QTimer m_retransmitTimer;
    std::chrono::milliseconds m_retransmitInterval = RetransmitInterval;
    qint64 m_lastSendMs = 0; ///< on a clock a few milliseconds coarse, cheap to read per block
    qint32 m_interfaceIndex = 0;
    QHostAddress m_deviceAddress;
    // The same two as numbers, which each send takes without a conversion.
    quint32 m_localIPv4 = 0;
    quint32 m_deviceIPv4 = 0;
    bool m_addressable = false;
    std::unique_ptr<TftpClient> m_client;
    int m_shownPercent = -1;
};

} // namespace farlight
