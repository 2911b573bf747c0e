#include "firmware/uploadtext.h"

#include "discovery/restartwatch.h"
#include "protocol/tftppacket.h"
#include "resources/strings.h"

#include <QLocale>

namespace farlight {

using namespace Qt::StringLiterals;

namespace {

// Below this, a rate says more about the timer than about the link.
constexpr qint64 MinRateMs = 300;

QString Size(qint64 bytes)
{
    return QLocale().formattedDataSize(bytes, 1, QLocale::DataSizeTraditionalFormat);
}

} // namespace

QString UploadOutcomeText(TftpUpload::Outcome outcome, int errorCode)
{
    using Outcome = TftpUpload::Outcome;
    switch (outcome) {
    case Outcome::Complete:
        return text(StringId::DataTransmitFinish);
    case Outcome::TimedOut:
        return text(StringId::TimeOut);
    case Outcome::DeviceError: {
        const QString message = TftpUpload::errorMessage(errorCode);
        return message.isEmpty() ? u"TFTP error %1"_s.arg(errorCode) : message;
    }
    case Outcome::Refused:
        return TftpUpload::errorMessage(Tftp::AccessViolation);
    case Outcome::Illegal:
        return TftpUpload::errorMessage(Tftp::IllegalOperation);
    case Outcome::Stalled:
        return TftpUpload::errorMessage(Tftp::NotDefined);
    case Outcome::SendFailed:
        return text(StringId::IpAddressNotSet);
    }
    return {};
}

QString UpgradeResultText(const UpgradeBatch::Result &result, bool uploadShownElsewhere)
{
    using Restart = UpgradeBatch::Result::Restart;
    QString words;
    if (result.restart == Restart::NotAwaited || !uploadShownElsewhere)
        words = UploadOutcomeText(result.outcome, result.errorCode);
    if (result.restart != Restart::NotAwaited) {
        if (!words.isEmpty())
            words += u"; "_s;
        words += RestartText(result.restart == Restart::Back, result.restartMs);
    }
    if (result.attempts > 1)
        words += u" (%1 attempts)"_s.arg(result.attempts);
    return words;
}

QString RetryText(TftpUpload::Outcome outcome, int errorCode)
{
    return UploadOutcomeText(outcome, errorCode) + u"; starting again"_s;
}

QString QueuedText()
{
    return u"waiting"_s;
}

QString RestartingText(qint64 elapsedMs)
{
    return elapsedMs < 0 ? u"restarting"_s : u"restarting, %1 s"_s.arg(elapsedMs / 1000);
}

QString TransferText(int percent, qint64 total, qint64 elapsedMs)
{
    const qint64 sent = total * percent / 100;
    QString words = u"%1 of %2"_s.arg(Size(sent), Size(total));
    if (elapsedMs < MinRateMs || sent <= 0)
        return words;
    const double bytesPerSecond = double(sent) * 1000.0 / double(elapsedMs);
    const qint64 left = qint64(double(total - sent) / bytesPerSecond + 0.5);
    words += u", %1/s"_s.arg(Size(qint64(bytesPerSecond)));
    if (sent < total)
        words += u", %1 s left"_s.arg(left);
    return words;
}

} // namespace farlight
