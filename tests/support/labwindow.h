#pragma once

#include "app/devicedialogs.h"
#include "app/startwindow.h"
#include "netenv/systemplatform.h"
#include "session/appstate.h"
#include "session/devicelistmodel.h"

#include <QAbstractItemView>
#include <QAction>
#include <QSignalSpy>
#include <QTest>

#include <memory>

namespace testsupport {

/// The main window inside a lab (lab/with-lab.sh) as the program shows it: the system's platform
/// and the program's own dialogs.
struct LabWindow
{
    std::unique_ptr<farlight::Platform> platform = farlight::CreateSystemPlatform();
    farlight::AppState state;
    farlight::StartWindow window{state, *platform};

    LabWindow()
    {
        farlight::InstallDeviceDialogs(window, *platform, state);
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
