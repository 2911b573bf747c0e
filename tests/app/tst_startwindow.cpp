#include "app/startwindow.h"
#include "diagnosis/diagnosis.h"
#include "netenv/fakeplatform.h"
#include "netenv/udppeer.h"
#include "resources/strings.h"
#include "session/appstate.h"
#include "session/devicelistmodel.h"

#include "../support/loopback.h"
#include "../support/modalscript.h"
#include "../support/scriptedprobe.h"

#include <QAction>
#include <QClipboard>
#include <QDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>

using namespace farlight;
using testsupport::ModalScript;
using testsupport::ScriptedProbe;
using testsupport::whenShown;

// The window runs against a scripted platform with one adapter on the loopback interface of the test's private network
// namespace. "Devices" are sockets of the test bound to further loopback addresses, answering in the search's first
// step. The search itself is tested on its own; here only what the window makes of it.
namespace {

const MacAddress AdapterMac{0x02, 0x00, 0x00, 0x00, 0x00, 0x10};

class Harness
{
public:
    Harness()
    {
        platform.addAdapter(QStringLiteral("lo"), AdapterMac, 1, QStringLiteral("127.0.0.1"),
                            QStringLiteral("255.0.0.0"), QStringLiteral("0.0.0.0"));
        window.searchSession().setStepInterval(std::chrono::milliseconds(10));
        QObject::connect(&window.searchSession(), &SearchSession::progress, [this](int step) {
            if (step == 0 && !silent)
                answer();
            if (duringSearch)
                duringSearch(step);
        });
        window.show();
    }

    // Runs one search in which three devices answer.
    void search()
    {
        QSignalSpy finished(&window, &StartWindow::searchFinished);
        window.RunSearch();
        QVERIFY(!finished.isEmpty() || finished.wait(5000));
    }

    void answer()
    {
        ++sequence;
        for (const auto &[name, octet] : ThreeDevices)
            testsupport::sendSearchReply(QStringLiteral("127.0.0.%1").arg(sharedAddress ? 21 : octet),
                                         window.searchSession().sockets().at(0)->localPort(),
                                         {sequence, AdapterMac, {0x00, 0x0A, 0x1B, 0x2C, 0x3D, quint8(octet)}, name, {}, 6, 0});
    }

    QTreeView *list() const { return window.findChild<QTreeView *>("ListView1"); }
    int rows() const { return list()->model()->rowCount(); }
    QString cell(int row, int column) const { return list()->model()->index(row, column).data().toString(); }
    QLineEdit *filter() const { return window.findChild<QLineEdit *>("deviceFilter"); }
    QString count() const { return window.findChild<QLabel *>("deviceCount")->text(); }
    QAction *action(const char *name) const { return window.findChild<QAction *>(QString::fromLatin1(name)); }
    QPoint rowCenter(int row) const { return list()->visualRect(list()->model()->index(row, 0)).center(); }
    void click(Qt::MouseButton button, const QPoint &at) const
    {
        QTest::mousePress(list()->viewport(), button, {}, at);
        QTest::mouseRelease(list()->viewport(), button, {}, at);
    }
    // Dialogs of @p kind open empty and close at once; opened notes each one's device by MAC.
    void probeDialogs(StartWindow::DeviceDialog kind)
    {
        window.setDialogFactory(kind, [this](const DeviceTarget &device, QString &, QWidget *parent) {
            opened.append(FormatMac(device.mac));
            auto *dialog = new QDialog(parent);
            QTimer::singleShot(0, dialog, &QDialog::reject);
            return dialog;
        });
    }
    QStringList enabledActions() const
    {
        QStringList names;
        for (const char *name : {"mFilter", "connect", "delete", "all", "search", "setip", "Mload", "copy", "exportList"}) {
            if (action(name)->isEnabled())
                names.append(QString::fromLatin1(name));
        }
        return names;
    }

    static inline const QList<std::pair<QByteArray, int>> ThreeDevices = {{"AP-Lobby", 21}, {"AP-Hall", 22}, {"AP-Roof", 23}};

    FakePlatform platform;
    AppState state;
    StartWindow window{state, platform};
    QStringList opened;
    std::function<void(int)> duringSearch;
    bool silent = false; // no device answers
    bool sharedAddress = false; // every device answers from 127.0.0.21, as a fleet fresh from the box
    quint16 sequence = 0;
};

} // namespace

class TestStartWindow : public QObject
{
    Q_OBJECT

private slots:
    // The windows keep their layout in settings of their own, apart from the user's, and each test starts without any.
    void init()
    {
        QCoreApplication::setOrganizationName(QStringLiteral("FarlightTest"));
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_settingsDir.path());
        QSettings().clear();
    }

    void searchShowsProgressAndListsDevices()
    {
        Harness h;
        h.search();
        QList<int> bar;
        QStringList enabledDuringSearch;
        int rowsDuringSearch = -1;
        h.duringSearch = [&](int) {
            const auto *progress = h.window.findChild<QProgressBar *>("ProgressBar1");
            bar.append(progress && progress->isVisible() ? progress->value() : -1);
            enabledDuringSearch += h.enabledActions();
            rowsDuringSearch = h.rows();
        };
        h.search();
        QCOMPARE(bar, (QList<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14}));
        QCOMPARE(enabledDuringSearch, QStringList());
        QCOMPARE(rowsDuringSearch, 0);
        QTRY_COMPARE(h.window.findChild<QProgressBar *>("ProgressBar1"), nullptr);
    }

    // Device commands need a selected row shown by the filter and, for the dialogs, a dialog to open;
    // Delete All and Export need shown rows, and Delete All takes only those.
    void commandsFollowSelectionAndDialogs()
    {
        Harness h;
        QCOMPARE(h.enabledActions(), QStringList{"search"});
        h.probeDialogs(StartWindow::DeviceDialog::SetIp);
        h.search();
        QCOMPARE(h.enabledActions(), (QStringList{"all", "search", "exportList"}));
        h.click(Qt::LeftButton, h.rowCenter(0));
        QCOMPARE(h.enabledActions(), (QStringList{"connect", "delete", "all", "search", "setip", "copy", "exportList"}));
        QTest::keyClicks(h.filter(), QStringLiteral("ROOF"));
        QCOMPARE(h.enabledActions(), (QStringList{"all", "search", "exportList"}));
        QCOMPARE(h.count(), QStringLiteral("1 of 3 devices"));
        h.action("all")->trigger();
        QCOMPARE(h.enabledActions(), QStringList{"search"});
        QCOMPARE(h.state.deviceCount, qint16(3)); // the table is untouched
    }

    // Shift and Ctrl pick several rows: a command made for many devices gets them in list order,
    // the others need one row; Ctrl+A and Delete take all.
    void severalRows()
    {
        Harness h;
        h.probeDialogs(StartWindow::DeviceDialog::SetIp);
        h.search();
        h.list()->sortByColumn(DeviceListModel::HostName, Qt::AscendingOrder); // not the order they answered in
        h.click(Qt::LeftButton, h.rowCenter(0));
        QTest::mouseClick(h.list()->viewport(), Qt::LeftButton, Qt::ShiftModifier, h.rowCenter(2));
        QCOMPARE(h.count(), QStringLiteral("3 devices, 3 selected"));
        QCOMPARE(h.enabledActions(), (QStringList{"delete", "all", "search", "exportList"}));
        QList<QStringList> fleets;
        h.window.setFleetDialogFactory(StartWindow::DeviceDialog::SetIp,
                                       [&](const QList<DeviceTarget> &devices, QString &, QWidget *parent) {
                                           fleets.append(QStringList());
                                           for (const DeviceTarget &device : devices)
                                               fleets.last().append(FormatMac(device.mac));
                                           auto *dialog = new QDialog(parent);
                                           QTimer::singleShot(0, dialog, &QDialog::reject);
                                           return dialog;
                                       });
        QTest::mouseClick(h.list()->viewport(), Qt::LeftButton, Qt::ControlModifier, h.rowCenter(1));
        QCOMPARE(h.enabledActions(), (QStringList{"delete", "all", "search", "setip", "exportList"}));
        h.action("setip")->trigger();
        QCOMPARE(fleets, QList<QStringList>{(QStringList{h.cell(0, DeviceListModel::Mac), h.cell(2, DeviceListModel::Mac)})});
        QVERIFY(h.opened.isEmpty());
        QTest::keyClick(h.list(), Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(h.list(), Qt::Key_Delete);
        QCOMPARE(h.rows(), 0);
    }

    // Devices fresh from the box answer from one address: an upload goes by address, so it asks
    // first, naming every device there. (That each row reaches its own device is the fleet lab's.)
    void fleetSharingOneAddress()
    {
        Harness h;
        h.sharedAddress = true;
        h.probeDialogs(StartWindow::DeviceDialog::Download);
        h.search();
        ModalScript script;
        script.queueBox(QMessageBox::No);
        script.queueBox(QMessageBox::Yes);
        h.click(Qt::LeftButton, h.rowCenter(1));
        h.action("Mload")->trigger();
        h.action("Mload")->trigger();
        QCOMPARE(script.log().size(), 2);
        for (int row = 0; row < 3; ++row)
            QVERIFY(script.log().at(0).contains(h.cell(row, DeviceListModel::Mac)));
        QCOMPARE(h.opened, QStringList{h.cell(1, DeviceListModel::Mac)});
    }

    // Two items of one menu with the same mnemonic make Alt and the letter only move the highlight
    // between them, so neither runs.
    void mnemonicsDifferWithinEachMenu()
    {
        Harness h;
        QList<QWidget *> menus{h.window.menuBar()};
        for (QMenu *menu : h.window.findChildren<QMenu *>())
            menus.append(menu);
        QStringList checked;
        for (const QWidget *menu : std::as_const(menus)) {
            QHash<QString, QString> taken; // mnemonic, item
            for (const QAction *item : menu->actions()) {
                const QString key = QKeySequence::mnemonic(item->text()).toString();
                if (item->isSeparator() || key.isEmpty())
                    continue;
                QVERIFY2(!taken.contains(key), qPrintable(QStringLiteral("%1 in %2: \"%3\" and \"%4\"")
                                                              .arg(key, menu->objectName(), taken.value(key), item->text())));
                taken.insert(key, item->text());
            }
            checked.append(menu->objectName());
        }
        for (const char *name : {"file", "edit", "view", "admin", "mHelp", "Mpop", "Mall"})
            QVERIFY2(checked.contains(QLatin1String(name)), name);
    }

    void webAdminAndKeys()
    {
        Harness h;
        h.search();
        h.click(Qt::LeftButton, h.rowCenter(0));
        QTest::keyClick(h.list(), Qt::Key_Return);
        QTest::mouseDClick(h.list()->viewport(), Qt::LeftButton, {}, h.rowCenter(1));
        QCOMPARE(h.platform.arpRemovals, (QList<FakePlatform::ArpRemoval>{{1, "127.0.0.21"}, {1, "127.0.0.22"}}));
        QCOMPARE(h.platform.openedUrls, (QList<QUrl>{QUrl("http://127.0.0.21"), QUrl("http://127.0.0.22")}));

        QTest::keyClick(h.list(), Qt::Key_Delete);
        QCOMPARE(h.rows(), 2);
        QCOMPARE(h.cell(1, DeviceListModel::HostName), QStringLiteral("AP-Roof"));

        h.click(Qt::LeftButton, h.rowCenter(1));
        QTest::keySequence(h.list(), QKeySequence::Copy);
        QCOMPARE(QGuiApplication::clipboard()->text().section(u'\n', 1, 1).section(u'\t', 0, 1), QStringLiteral("AP-Roof\t127.0.0.23"));
    }

    // A search that finds nothing leaves the likeliest reason over the list, until devices answer;
    // Help > Diagnose Network... shows the whole report.
    void emptySearchIsExplained()
    {
        Harness h;
        h.window.setDiagnosisFactory([&h] { return new Diagnosis(h.platform, std::make_unique<ScriptedProbe>()); });
        auto *hint = h.window.findChild<QLabel *>("emptyHint");
        h.silent = true;
        h.search();
        QTRY_VERIFY(hint->isVisible());
        QVERIFY(hint->text().contains(QStringLiteral("nft (nftables) is not installed")));
        h.silent = false;
        ++h.sequence; // the silent search used up a number
        h.search();
        QCOMPARE(h.rows(), 3);
        QVERIFY(!hint->isVisible());
    }

private:
    QTemporaryDir m_settingsDir;
};

QTEST_MAIN(TestStartWindow)
#include "tst_startwindow.moc"
