#pragma once

#include "app/startwindow.h"
#include "firmware/downloaddialog.h"
#include "ipconfig/numberingdialog.h"
#include "ipconfig/setipdialog.h"
#include "macfilter/macfilterdialog.h"
#include "netenv/systemplatform.h"
#include "session/appstate.h"
#include "session/devicelistmodel.h"

#include <QAbstractItemView>
#include <QAction>
#include <QSignalSpy>
#include <QTest>

#include <memory>

namespace testsupport {

/// The main window inside a lab (lab/with-lab.sh): the system's platform, the real Set IP, MAC
/// filtering and Download dialogs, shown.
struct LabWindow
{
    std::unique_ptr<farlight::Platform> platform = farlight::CreateSystemPlatform();
    farlight::AppState state;
    farlight::StartWindow window{state, *platform};

    LabWindow()
    {
        using farlight::DeviceTarget;
        using Kind = farlight::StartWindow::DeviceDialog;
        window.setDialogFactory(Kind::SetIp, [this](const DeviceTarget &device, QString &password, QWidget *parent) {
            return new farlight::SetIpDialog(device, state.counters, password, parent);
        });
        window.setDialogFactory(Kind::MacFilter, [this](const DeviceTarget &device, QString &password, QWidget *parent) {
            return new farlight::MacFilterDialog(device, state.counters, password, parent);
        });
        window.setDialogFactory(Kind::Download, [this](const DeviceTarget &device, QString &, QWidget *parent) {
            return new farlight::DownloadDialog(*platform, device, parent);
        });
        window.setFleetDialogFactory(Kind::SetIp, [this](const QList<DeviceTarget> &devices, QString &password, QWidget *parent) {
            return new farlight::NumberingDialog(*platform, devices, state.addressesInUse(), state.counters, password, parent);
        });
        window.setFleetDialogFactory(Kind::MacFilter, [this](const QList<DeviceTarget> &devices, QString &password, QWidget *parent) {
            auto *dialog = new farlight::MacFilterDialog(devices.first(), state.counters, password, parent);
            dialog->setFleet(devices);
            return dialog;
        });
        window.show();
    }

    /// Runs the window's search; false when it did not finish within @p timeoutMs.
    bool search(int timeoutMs = 15000)
    {
        QSignalSpy searched(&window, &farlight::StartWindow::searchFinished);
        window.RunSearch();
        return searched.wait(timeoutMs);
    }

    /// Selects the row of the device @p mac and triggers @p action, which shows a dialog modally.
    void openFor(const QString &mac, const char *action)
    {
        auto *list = window.findChild<QAbstractItemView *>(QStringLiteral("ListView1"));
        const QModelIndexList rows = list->model()->match(list->model()->index(0, farlight::DeviceListModel::Mac),
                                                          Qt::DisplayRole, mac, -1, Qt::MatchExactly);
        QCOMPARE(rows.size(), 1);
        list->scrollTo(rows[0]);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(rows[0]).center());
        window.findChild<QAction *>(QString::fromLatin1(action))->trigger();
    }
};

} // namespace testsupport
