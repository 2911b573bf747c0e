#include "app/startwindow.h"
#include "diagnosis/diagnosis.h"
#include "netenv/fakeplatform.h"
#include "netenv/udppeer.h"
#include "protocol/searchcodec.h"
#include "resources/strings.h"
#include "session/appstate.h"
#include "session/devicelistmodel.h"

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
#include <QUdpSocket>

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
        for (const auto &[name, octet] : ThreeDevices) {
            SearchReplyFields f;
            f.sequence = sequence;
            f.requesterMac = AdapterMac;
            f.deviceMac = {0x00, 0x0A, 0x1B, 0x2C, 0x3D, quint8(octet)};
            f.hostName = name;
            f.channel = 6;
            QUdpSocket socket;
            socket.bind(QHostAddress(QStringLiteral("127.0.0.%1").arg(sharedAddress ? 21 : octet)), 0);
            socket.writeDatagram(BuildSearchReply(f), QHostAddress::LocalHost,
                                 window.searchSession().sockets().at(0)->localPort());
        }
    }

    QTreeView *list() const { return window.findChild<QTreeView *>("ListView1"); }
    int rows() const { return list()->model()->rowCount(); }
    QString cell(int row, int column) const { return list()->model()->index(row, column).data().toString(); }
    QLineEdit *filter() const { return window.findChild<QLineEdit *>("deviceFilter"); }
    QString count() const { return window.findChild<QLabel *>("deviceCount")->text(); }
    QAction *action(const char *name) const { return window.findChild<QAction *>(QString::fromLatin1(name)); }
    QPoint rowCenter(int row) const { return list()->visualRect(list()->model()->index(row, 0)).center(); }
    void clickHeader(int column) const { QTest::mouseClick(list()->header()->viewport(), Qt::LeftButton, {}, {list()->header()->sectionViewportPosition(column) + 5, 5}); }
    QPoint emptySpace() const { return {20, list()->viewport()->height() - 5}; }
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

        // Cancel ends the next search after its first step, with what was found by then.
        h.window.searchSession().setStepInterval(std::chrono::milliseconds(100));
        h.duringSearch = [&](int step) {
            if (step == 0)
                QTest::mouseClick(h.window.findChild<QPushButton *>("Command1"), Qt::LeftButton);
        };
        QElapsedTimer clock;
        clock.start();
        h.search();
        QVERIFY(clock.elapsed() < 1000);
        QCOMPARE(h.rows(), 3);
    }

    // An inventory without adapters clears the list with its message; Cancel on "Exit Farlight?" keeps the window.
    void messages()
    {
        Harness h;
        h.search();
        h.platform.adapterList.clear();
        ModalScript script;
        h.search();
        QCOMPARE(h.rows(), 0);
        script.queueBox(QMessageBox::Cancel);
        QVERIFY(!h.window.close());
        QVERIFY(h.window.isVisible());
        QCOMPARE(script.log(), (QStringList{text(StringId::NoAdapter), text(StringId::ExitQuestion)}));
        QCOMPARE(script.boxes()[0].title, ApplicationTitle);
        QCOMPARE(script.boxes()[1].defaultButton, QMessageBox::Cancel);
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

    // Sorted by host name (AP-Hall, AP-Lobby, AP-Roof), filtered, and after a deletion, the chosen
    // row opens the dialog of its own table entry.
    void deviceDialogFindsEntryByAddress()
    {
        Harness h;
        h.probeDialogs(StartWindow::DeviceDialog::SetIp);
        h.search();
        h.clickHeader(DeviceListModel::HostName);
        QTest::keyClicks(h.filter(), QStringLiteral("o"));
        h.click(Qt::LeftButton, h.rowCenter(1));
        h.action("setip")->trigger();
        QTest::keyClick(h.filter(), Qt::Key_Escape);
        h.click(Qt::LeftButton, h.rowCenter(1));
        h.action("delete")->trigger();
        h.click(Qt::LeftButton, h.rowCenter(0));
        h.action("setip")->trigger();
        QCOMPARE(h.opened, (QStringList{"00-0A-1B-2C-3D-17", "00-0A-1B-2C-3D-16"})); // AP-Roof, AP-Hall
    }

    // Devices fresh from the box answer from one address: each gets its own row, a command acts on
    // the device of its row, and what goes by address asks first.
    void fleetSharingOneAddress()
    {
        Harness h;
        h.sharedAddress = true;
        h.probeDialogs(StartWindow::DeviceDialog::SetIp);
        h.probeDialogs(StartWindow::DeviceDialog::Download);
        h.search();
        QCOMPARE(h.rows(), 3);
        QStringList listed;
        for (int row = 0; row < h.rows(); ++row) {
            listed.append(h.cell(row, DeviceListModel::Mac));
            h.click(Qt::LeftButton, h.rowCenter(row));
            h.action("setip")->trigger();
        }
        QCOMPARE(h.opened, listed);
        QCOMPARE(QSet<QString>(listed.cbegin(), listed.cend()).size(), 3);

        h.opened.clear();
        ModalScript script;
        script.queueBox(QMessageBox::No);
        script.queueBox(QMessageBox::Yes);
        h.click(Qt::LeftButton, h.rowCenter(1));
        h.action("Mload")->trigger();
        h.action("Mload")->trigger();
        QCOMPARE(script.log().size(), 2);
        for (const QString &mac : std::as_const(listed))
            QVERIFY(script.log().at(0).contains(mac));
        QCOMPARE(h.opened, QStringList{listed.at(1)});
    }

    void contextMenus_data()
    {
        QTest::addColumn<bool>("onRow");
        QTest::addColumn<QString>("menu");
        QTest::addColumn<QStringList>("enabled");
        QTest::newRow("row") << true << "Mpop" << QStringList{"connect", "setip", "delete", "copy"};
        QTest::newRow("empty space") << false << "Mall" << QStringList{"all"};
    }

    void contextMenus()
    {
        QFETCH(bool, onRow);
        QFETCH(QString, menu);
        QFETCH(QStringList, enabled);
        Harness h;
        h.probeDialogs(StartWindow::DeviceDialog::SetIp);
        h.search();
        QString shown;
        QStringList offered;
        whenShown<QMenu>([&](QMenu *popup) {
            shown = popup->objectName();
            for (QAction *a : popup->actions()) {
                if (!a->isSeparator() && a->isEnabled())
                    offered.append(a->objectName());
            }
            popup->close();
        });
        h.click(Qt::RightButton, onRow ? h.rowCenter(2) : h.emptySpace());
        QTRY_COMPARE(shown, menu);
        QCOMPARE(offered, enabled);
        QCOMPARE(h.list()->selectionModel()->selectedRows().size(), onRow ? 1 : 0);
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

    // What the window adds to Qt's own saving: the size wins over the default, the toolbar, a column
    // width the user chose survives the window's own column layout, and the sort applies to a search.
    void layoutRestoredOnNextStart()
    {
        constexpr int SsidWidth = 333;
        const QSize size(700, 400);
        {
            Harness h;
            h.action("toolbar")->trigger();
            h.list()->sortByColumn(DeviceListModel::IpAddress, Qt::DescendingOrder);
            h.list()->header()->resizeSection(DeviceListModel::Ssid, SsidWidth);
            h.window.resize(size);
        }
        Harness h;
        QCOMPARE(h.window.size(), size);
        QVERIFY(!h.action("toolbar")->isChecked());
        QCOMPARE(h.list()->header()->sectionSize(DeviceListModel::Ssid), SsidWidth);
        h.search();
        QCOMPARE(h.cell(0, DeviceListModel::IpAddress), QStringLiteral("127.0.0.23"));
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
