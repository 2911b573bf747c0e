#include "dialogs/devicedialog.h"

#include "resources/strings.h"

#include <QMessageBox>

namespace farlight {

int DeviceDialog::exec()
{
    if (m_loadFailed) {
        setVisible(true);
        return result();
    }
    return QDialog::exec();
}

void DeviceDialog::setVisible(bool visible)
{
    if (!visible || !m_loadFailed) {
        QDialog::setVisible(visible);
        return;
    }
    if (!m_loadFailureReported) {
        m_loadFailureReported = true;
        QMessageBox box(QMessageBox::NoIcon, ApplicationTitle, text(StringId::IpAddressNotSet), QMessageBox::Ok,
                        parentWidget());
        box.exec();
    }
    done(Rejected);
}

} // namespace farlight
