#include "netnamespace.h"

#include <QFile>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace farlight {

namespace {

/// The target text of a namespace link, such as "net:[4026531840]"; empty when unreadable.
QString linkTarget(const QString &link)
{
#ifdef Q_OS_UNIX
    char buffer[256];
    const ssize_t n = ::readlink(QFile::encodeName(link).constData(), buffer, sizeof buffer - 1);
    if (n > 0)
        return QString::fromLocal8Bit(buffer, qsizetype(n));
#else
    Q_UNUSED(link);
#endif
    return {};
}

} // namespace

NetNamespace::Verdict NetNamespace::check(const QString &selfLink, const QStringList &referenceLinks, QString *detail)
{
    const QString self = linkTarget(selfLink);
    if (self.isEmpty()) {
        if (detail)
            *detail = QStringLiteral("cannot read %1").arg(selfLink);
        return Verdict::Unknown;
    }
    for (const QString &reference : referenceLinks) {
        const QString other = linkTarget(reference);
        if (other.isEmpty())
            continue;
        if (detail)
            *detail = QStringLiteral("%1 is %2, %3 is %4").arg(selfLink, self, reference, other);
        return self == other ? Verdict::RootNamespace : Verdict::Isolated;
    }
    if (detail)
        *detail = QStringLiteral("cannot read any of %1").arg(referenceLinks.join(u", "));
    return Verdict::Unknown;
}

NetNamespace::Verdict NetNamespace::checkCurrent(QString *detail)
{
    QStringList references{QStringLiteral("/proc/1/ns/net")};
    // Where PID 1's entry is hidden, the kernel thread daemon (PID 2) still lives in the initial namespace.
    QFile comm(QStringLiteral("/proc/2/comm"));
    if (comm.open(QIODevice::ReadOnly) && comm.readAll().trimmed() == "kthreadd")
        references << QStringLiteral("/proc/2/ns/net");
    return check(QStringLiteral("/proc/self/ns/net"), references, detail);
}

} // namespace farlight
