#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace fuzz {

/// @brief A fuzz input read as a script of small numbers and datagrams.
///
/// Every read past the end gives zero or an empty datagram, so every input is a valid script and
/// the fuzzer never wastes runs on framing. A datagram is a 16-bit big-endian length followed by
/// that many bytes, cut to what is left of the input and to the caller's limit.
class Input
{
public:
    Input(const uint8_t *data, size_t size) : m_data(data), m_size(size) {}

    bool atEnd() const { return m_pos >= m_size; }

    quint8 u8() { return atEnd() ? 0 : m_data[m_pos++]; }

    quint16 u16() { return quint16((u8() << 8) | u8()); }

    QByteArray datagram(qsizetype maxSize)
    {
        const size_t wanted = qMin<size_t>(u16(), size_t(maxSize));
        const size_t length = qMin(wanted, m_size - qMin(m_pos, m_size));
        const QByteArray bytes(reinterpret_cast<const char *>(m_data + m_pos), qsizetype(length));
        m_pos += length;
        return bytes;
    }

private:
    const uint8_t *m_data;
    size_t m_size;
    size_t m_pos = 0;
};

/// @brief Aborts the run, so that libFuzzer keeps the input, when an invariant does not hold.
#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "%s:%d: invariant broken: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                          \
        }                                                                                          \
    } while (false)

} // namespace fuzz
