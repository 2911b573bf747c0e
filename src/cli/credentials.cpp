#include "cli/credentials.h"

#include "cli/password.h"
#include "resources/strings.h"
#include "session/devicetarget.h"

#include <QFile>

namespace farlight::cli {

using namespace Qt::StringLiterals;

namespace {

constexpr char Separator = ',';
constexpr char Comment = '#';
const QString EveryDevice = u"*"_s;

} // namespace

std::variant<CredentialsFile, QString> CredentialsFile::load(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return u"cannot read the credentials file %1: %2"_s.arg(path, file.errorString());
    if (const QString refusal = RefuseOpenSecretFile(file, u"credentials file"_s); !refusal.isEmpty())
        return refusal;
    QByteArray text = file.read(MaxFileSize + 1);
    if (file.error() != QFileDevice::NoError)
        return u"cannot read the credentials file %1: %2"_s.arg(path, file.errorString());
    if (text.size() > MaxFileSize)
        return u"%1: larger than %2 bytes, not a credentials file"_s.arg(path).arg(MaxFileSize);
    auto result = parse(text, path);
    Wipe(text);
    return result;
}

std::variant<CredentialsFile, QString> CredentialsFile::parse(QByteArrayView text, const QString &path)
{
    CredentialsFile credentials;
    QList<int> lineNumbers; // of credentials.m_lines
    int fallbackLine = 0;
    int number = 0;
    qsizetype pos = 0;
    while (pos < text.size()) {
        ++number;
        const qsizetype lf = text.indexOf('\n', pos);
        const qsizetype end = lf < 0 ? text.size() : lf;
        const QByteArrayView line = text.sliced(pos, end - pos).trimmed();
        pos = end + 1;
        if (line.isEmpty() || line.startsWith(Comment))
            continue;
        const auto where = [&](const QString &what) { return u"%1:%2: %3"_s.arg(path).arg(number).arg(what); };
        const qsizetype comma = line.indexOf(Separator);
        if (comma < 0)
            return where(farlight::text(StringId::CliCredentialsLine));
        const QString device = QString::fromUtf8(line.first(comma).trimmed());
        const QString password = QString::fromUtf8(line.sliced(comma + 1).trimmed());
        if (device.isEmpty())
            return where(u"no device before the comma"_s);
        // The password itself never goes into a message.
        if (const QString refusal = CheckPassword(password); !refusal.isEmpty())
            return where(refusal);
        if (device == EveryDevice) {
            if (fallbackLine)
                return where(u"'*' was given on line %1 already"_s.arg(fallbackLine));
            fallbackLine = number;
            credentials.m_fallback = password;
            continue;
        }
        const DeviceName name(device);
        for (qsizetype i = 0; i < credentials.m_lines.size(); ++i) {
            if (credentials.m_lines[i].device == name)
                return where(farlight::text(StringId::CliGivenAlready).arg(device).arg(lineNumbers[i]));
        }
        credentials.m_lines.append({name, password});
        lineNumbers.append(number);
    }
    return credentials;
}

std::optional<QString> CredentialsFile::passwordFor(const DeviceTarget &device) const
{
    for (const DeviceName::Kind kind : {DeviceName::Kind::Mac, DeviceName::Kind::Address, DeviceName::Kind::HostName}) {
        for (const Line &line : m_lines) {
            if (line.device.kind() == kind && line.device.matches(device))
                return line.password;
        }
    }
    return m_fallback;
}

} // namespace farlight::cli
