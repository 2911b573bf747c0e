#include "dialogs/applicationicon.h"

#include <QApplication>

namespace farlight {

QIcon ApplicationIcon()
{
    const QIcon appIcon = QApplication::windowIcon();
    if (!appIcon.isNull())
        return appIcon;
    QIcon bundled;
    bundled.addFile(QStringLiteral(":/dialogs/images/farlight-32.png"), QSize(32, 32));
    bundled.addFile(QStringLiteral(":/dialogs/images/farlight-64.png"), QSize(64, 64));
    return bundled;
}

} // namespace farlight
