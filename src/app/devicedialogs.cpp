#include "app/devicedialogs.h"

#include "app/startwindow.h"
#include "firmware/batchupgradedialog.h"
#include "firmware/downloaddialog.h"
#include "ipconfig/numberingdialog.h"
#include "ipconfig/setipdialog.h"
#include "macfilter/macfilterdialog.h"
#include "netenv/platform.h"
#include "session/appstate.h"

namespace farlight {

void InstallDeviceDialogs(StartWindow &window, Platform &platform, AppState &state)
{
    using Kind = StartWindow::DeviceDialog;
    window.setDialogFactory(Kind::SetIp, [&state](const DeviceTarget &device, QString &password, QWidget *parent) {
        return new SetIpDialog(device, state.counters, password, parent);
    });
    window.setFleetDialogFactory(
        Kind::SetIp, [&platform, &state](const QList<DeviceTarget> &devices, QString &password, QWidget *parent) {
            return new NumberingDialog(platform, devices, state.addressesInUse(), state.counters, password, parent);
        });
    window.setDialogFactory(Kind::Download, [&platform](const DeviceTarget &device, QString &, QWidget *parent) {
        return new DownloadDialog(platform, device, parent);
    });
    window.setFleetDialogFactory(
        Kind::Download, [&platform, &state](const QList<DeviceTarget> &devices, QString &, QWidget *parent) {
            return new BatchUpgradeDialog(platform, state, devices, parent);
        });
    window.setDialogFactory(Kind::MacFilter, [&state](const DeviceTarget &device, QString &password, QWidget *parent) {
        return new MacFilterDialog(device, state.counters, password, parent);
    });
    window.setFleetDialogFactory(
        Kind::MacFilter, [&state](const QList<DeviceTarget> &devices, QString &password, QWidget *parent) {
            auto *dialog = new MacFilterDialog(devices.first(), state.counters, password, parent);
            dialog->setFleet(devices);
            return dialog;
        });
}

} // namespace farlight
