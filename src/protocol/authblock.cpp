#include "protocol/authblock.h"

#include "protocol/bytereader.h"

namespace farlight {

void ScramblePassword(const AuthTarget &target, std::span<quint8, AuthBlock::PasswordSize> field)
{
    const qsizetype length = target.hostName.size();
    if (length == 0)
        return;
    for (std::size_t i = 0; i < field.size(); ++i) {
        const quint8 key = i < 6 ? target.deviceMac[i] : target.adapterMac[i - 6];
        field[i] ^= static_cast<quint8>(target.hostName[key % length]);
    }
}

bool IsSingleBytePassword(const QString &password)
{
    for (const QChar c : password) {
        if (c.unicode() > 0xFF)
            return false;
    }
    return true;
}

QByteArray PasswordField(const QString &password)
{
    QByteArray field(AuthBlock::PasswordSize, '\0');
    const qsizetype n = qMin(password.size(), AuthBlock::PasswordSize);
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t u = password[i].unicode();
        field[i] = u <= 0xFF ? char(u) : '?';
    }
    return field;
}

void AuthBlock::writeTo(QByteArray &buffer, const AuthTarget &target, const QString &password)
{
    QByteArray field = PasswordField(password);
    ScramblePassword(target, std::span<quint8, PasswordSize>(reinterpret_cast<quint8 *>(field.data()), PasswordSize));
    ByteWriter w(buffer);
    w.bytes(PasswordOffset, field);
    w.mac(DeviceMacOffset, target.deviceMac);
    w.mac(AdapterMacOffset, target.adapterMac);
}

} // namespace farlight
