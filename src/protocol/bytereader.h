#pragma once

#include "protocol/macaddress.h"

#include <QByteArray>
#include <QByteArrayView>

#include <optional>

namespace farlight {

/// @brief Bounds-checked view of received bytes: a read past the end yields nothing, never a crash.
class ByteReader
{
public:
    explicit ByteReader(QByteArrayView data) : m_data(data) {}

    qsizetype size() const { return m_data.size(); }
    bool has(qsizetype offset, qsizetype length) const;

    std::optional<quint8> u8(qsizetype offset) const;
    std::optional<quint16> u16be(qsizetype offset) const;
    std::optional<quint32> u32be(qsizetype offset) const;
    std::optional<MacAddress> mac(qsizetype offset) const;
    std::optional<QByteArrayView> bytes(qsizetype offset, qsizetype length) const;

    /// @brief True only when the bytes at @p offset are present and equal @p expected.
    bool equals(qsizetype offset, QByteArrayView expected) const;

private:
    QByteArrayView m_data;
};

/// @brief Writes big-endian fields into a buffer of fixed size; the caller sizes the buffer.
class ByteWriter
{
public:
    explicit ByteWriter(QByteArray &buffer) : m_buffer(buffer) {}

    void u8(qsizetype offset, quint8 value);
    void u16be(qsizetype offset, quint16 value);
    void u32be(qsizetype offset, quint32 value);
    void bytes(qsizetype offset, QByteArrayView value);
    void mac(qsizetype offset, const MacAddress &value);

private:
    void check(qsizetype offset, qsizetype length) const;
    QByteArray &m_buffer;
};

} // namespace farlight
