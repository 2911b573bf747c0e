#include "session/appstate.h"
#include "app/startwindow.h"
#include "dialogs/applicationicon.h"
#include "firmware/batchupgradedialog.h"
#include "firmware/downloaddialog.h"
#include "ipconfig/numberingdialog.h"
#include "ipconfig/setipdialog.h"
#include "macfilter/macfilterdialog.h"
#include "netenv/systemplatform.h"

#include <QApplication>
#include <QTimer>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    // Named, the program keeps the list's layout and the folders last used in the user's settings.
    QApplication::setOrganizationName(QStringLiteral("Farlight"));
    QApplication::setApplicationName(QStringLiteral("Farlight"));
    // The desktop entry's name, so the window and the menu entry are one application.
    QApplication::setDesktopFileName(QStringLiteral(FARLIGHT_APP_ID));
    QApplication::setWindowIcon(farlight::ApplicationIcon());

    const std::unique_ptr<farlight::Platform> platform = farlight::CreateSystemPlatform();
    // A second copy ends silently: no window, no message.
    if (!platform->claimSingleInstance())
        return 0;
    platform->prepareDesktop();

    farlight::AppState state;
    farlight::StartWindow window(state, *platform);
    using farlight::DeviceTarget;
    window.setDialogFactory(farlight::StartWindow::DeviceDialog::SetIp,
                            [&state](const DeviceTarget &device, QString &password, QWidget *parent) {
                                return new farlight::SetIpDialog(device, state.counters, password, parent);
                            });
    window.setFleetDialogFactory(farlight::StartWindow::DeviceDialog::SetIp,
                                 [&platform, &state](const QList<DeviceTarget> &devices, QString &password, QWidget *parent) {
                                     return new farlight::NumberingDialog(*platform, devices, state.addressesInUse(),
                                                                          state.counters, password, parent);
                                 });
    window.setDialogFactory(farlight::StartWindow::DeviceDialog::Download,
                            [&platform](const DeviceTarget &device, QString &, QWidget *parent) {
                                return new farlight::DownloadDialog(*platform, device, parent);
                            });
    window.setFleetDialogFactory(farlight::StartWindow::DeviceDialog::Download,
                                 [&platform, &state](const QList<DeviceTarget> &devices, QString &, QWidget *parent) {
                                     return new farlight::BatchUpgradeDialog(*platform, state, devices, parent);
                                 });
    window.setDialogFactory(farlight::StartWindow::DeviceDialog::MacFilter,
                            [&state](const DeviceTarget &device, QString &password, QWidget *parent) {
                                return new farlight::MacFilterDialog(device, state.counters, password, parent);
                            });
    window.setFleetDialogFactory(farlight::StartWindow::DeviceDialog::MacFilter,
                                 [&state](const QList<DeviceTarget> &devices, QString &password, QWidget *parent) {
                                     auto *dialog = new farlight::MacFilterDialog(devices.first(), state.counters,
                                                                                  password, parent);
                                     dialog->setFleet(devices);
                                     return dialog;
                                 });
    window.show();
    QTimer::singleShot(0, &window, &farlight::StartWindow::startUp);
    return app.exec();
}
