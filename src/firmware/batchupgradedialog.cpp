#include "firmware/batchupgradedialog.h"

#include "firmware/firmwareimage.h"
#include "firmware/uploadtext.h"
#include "resources/strings.h"
#include "session/appstate.h"
#include "session/sharedaddress.h"
#include "session/usersettings.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <QTreeWidget>

namespace farlight {

using namespace Qt::StringLiterals;

namespace {

constexpr int PathCaption = 42;
constexpr int MaxJobs = 16;
constexpr int DefaultJobs = 4;
const QString JobsKey = u"firmware/uploadsAtOnce"_s;
const QString FileFilter = u"BIN FILE (*.bin)"_s;
constexpr auto WaitTick = std::chrono::seconds(1);

} // namespace

BatchUpgradeDialog::BatchUpgradeDialog(Platform &platform, const AppState &state, const QList<DeviceTarget> &devices,
                                       QWidget *parent)
    : QDialog(parent)
    , m_batch(new UpgradeBatch(platform, this))
{
    setObjectName(u"BatchDownload"_s);
    setWindowTitle(u"Upgrade Firmware of %1 Devices"_s.arg(devices.size()));

    auto *pathCaption = new QLabel(text(PathCaption), this);
    m_pathEdit = new QLineEdit(this);
    m_pathEdit->setObjectName(u"FirmwarePath"_s);
    m_pathEdit->setMinimumWidth(360);
    pathCaption->setBuddy(m_pathEdit);
    m_browseButton = new QPushButton(u"Browse..."_s, this);
    m_browseButton->setObjectName(u"Browse"_s);

    auto *jobsCaption = new QLabel(u"Uploads at once:"_s, this);
    m_jobsBox = new QSpinBox(this);
    m_jobsBox->setObjectName(u"Jobs"_s);
    m_jobsBox->setRange(1, MaxJobs);
    const auto settings = OpenUserSettings();
    m_jobsBox->setValue(settings ? settings->value(JobsKey, DefaultJobs).toInt() : DefaultJobs);
    jobsCaption->setBuddy(m_jobsBox);
    m_waitBox = new QCheckBox(u"Wait for each device to come back"_s, this);
    m_waitBox->setObjectName(u"WaitForRestart"_s);
    m_waitBox->setChecked(true);
    m_waitBox->setToolTip(u"After its upload, each device restarts; it has succeeded once it answers a search again "
                          "(within %1 s)."_s.arg(m_batch->restartWatch().timeout().count() / 1000));

    m_table = new QTreeWidget(this);
    m_table->setObjectName(u"Devices"_s);
    m_table->setRootIsDecorated(false);
    // Refused rows carry no bar; they keep the height of the others.
    m_table->setUniformRowHeights(true);
    m_table->setSelectionMode(QAbstractItemView::NoSelection);
    m_table->setColumnCount(ColumnCount);
    m_table->setHeaderLabels({u"Name"_s, u"MAC"_s, u"Address"_s, u"Progress"_s, u"Sent"_s, u"Result"_s});
    m_table->header()->setStretchLastSection(true);
    m_table->setMinimumSize(1040, 90 + 26 * int(qMin(devices.size(), qsizetype(10))));

    for (const DeviceTarget &device : devices) {
        Row row;
        row.device = device;
        if (const SharedAddress shared = FindSharedAddress(state, device); shared.shared())
            row.refusal = SharedAddressRefusal(shared);
        auto *item = new QTreeWidgetItem(m_table, {device.hostName, FormatMac(device.mac), device.address});
        // A refused device gets no upload, so no bar either; only its rows run.
        if (row.refusal.isEmpty()) {
            row.bar = new QProgressBar(m_table);
            row.bar->setRange(0, 100);
            row.bar->setValue(0);
            row.bar->setAccessibleName(u"Progress of %1"_s.arg(FormatMac(device.mac)));
            m_table->setItemWidget(item, Progress, row.bar);
        }
        m_rows.append(row);
        if (!row.refusal.isEmpty())
            setResult(int(m_rows.size() - 1), row.refusal, true);
    }
    for (int column : {Name, Mac, Address})
        m_table->resizeColumnToContents(column);
    m_table->setColumnWidth(Progress, 120);
    m_table->setColumnWidth(Sent, 240);

    m_summary = new QLabel(this);
    m_summary->setObjectName(u"Summary"_s);
    m_startButton = new QPushButton(u"Start"_s, this);
    m_startButton->setObjectName(u"Start"_s);
    m_startButton->setDefault(true);
    m_startButton->setEnabled(std::any_of(m_rows.cbegin(), m_rows.cend(), [](const Row &r) { return r.refusal.isEmpty(); }));
    m_retryButton = new QPushButton(u"Retry failed"_s, this);
    m_retryButton->setObjectName(u"RetryFailed"_s);
    m_retryButton->hide();
    m_closeButton = new QPushButton(text(StringId::Cancel), this);
    m_closeButton->setObjectName(u"Close"_s);

    auto *layout = new QGridLayout(this);
    layout->addWidget(pathCaption, 0, 0);
    layout->addWidget(m_pathEdit, 0, 1, 1, 2);
    layout->addWidget(m_browseButton, 0, 3);
    layout->addWidget(jobsCaption, 1, 0);
    auto *options = new QHBoxLayout;
    options->addWidget(m_jobsBox);
    options->addSpacing(24);
    options->addWidget(m_waitBox);
    options->addStretch();
    layout->addLayout(options, 1, 1, 1, 3);
    layout->addWidget(m_table, 2, 0, 1, 4);
    layout->addWidget(m_summary, 3, 0, 1, 4);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_startButton);
    buttons->addWidget(m_retryButton);
    buttons->addWidget(m_closeButton);
    layout->addLayout(buttons, 4, 0, 1, 4);
    layout->setColumnStretch(1, 1);

    m_waitTicker.setInterval(WaitTick);
    connect(&m_waitTicker, &QTimer::timeout, this, &BatchUpgradeDialog::showWaits);
    connect(m_browseButton, &QPushButton::clicked, this, &BatchUpgradeDialog::browse);
    connect(m_pathEdit, &QLineEdit::returnPressed, this, &BatchUpgradeDialog::start);
    connect(m_startButton, &QPushButton::clicked, this, &BatchUpgradeDialog::start);
    connect(m_retryButton, &QPushButton::clicked, this, &BatchUpgradeDialog::retryFailed);
    connect(m_closeButton, &QPushButton::clicked, this, &BatchUpgradeDialog::reject);
    connect(m_batch, &UpgradeBatch::progress, this, &BatchUpgradeDialog::showProgress);
    connect(m_batch, &UpgradeBatch::retrying, this, [this](int target, TftpUpload::Outcome outcome, int code) {
        const int rowIndex = m_runRows.value(target, -1);
        if (rowIndex < 0)
            return;
        m_rows[rowIndex].uploading = false;
        setResult(rowIndex, RetryText(outcome, code), false);
    });
    connect(m_batch, &UpgradeBatch::restarting, this, &BatchUpgradeDialog::showRestarting);
    connect(m_batch, &UpgradeBatch::targetFinished, this, &BatchUpgradeDialog::showResult);
    connect(m_batch, &UpgradeBatch::finished, this, &BatchUpgradeDialog::batchFinished);
}

BatchUpgradeDialog::~BatchUpgradeDialog() = default;

void BatchUpgradeDialog::done(int result)
{
    // Every way of closing releases the port and ends the uploads and the waits; no ERROR is sent.
    m_batch->cancel();
    m_waitTicker.stop();
    QDialog::done(result);
}

void BatchUpgradeDialog::browse()
{
    const QString chosen =
        QFileDialog::getOpenFileName(this, QString(), RememberedFolder(FileKind::FirmwareImage), FileFilter);
    if (chosen.isEmpty())
        return;
    RememberFolder(FileKind::FirmwareImage, chosen);
    m_pathEdit->setText(chosen);
}

void BatchUpgradeDialog::start()
{
    if (!m_startButton->isEnabled())
        return;
    const FirmwareFile file = LoadFirmwareImage(m_pathEdit->text());
    if (!file.ok()) {
        QMessageBox box(QMessageBox::Information, text(StringId::ProductName), text(file.message), QMessageBox::Ok, this);
        box.exec();
        m_pathEdit->setFocus(Qt::OtherFocusReason);
        return;
    }
    m_image = file.image;
    m_imageSize = file.image.size();
    if (const auto settings = OpenUserSettings())
        settings->setValue(JobsKey, m_jobsBox->value());
    QList<int> rows;
    for (qsizetype i = 0; i < m_rows.size(); ++i) {
        if (m_rows[i].refusal.isEmpty())
            rows.append(int(i));
    }
    run(rows);
}

void BatchUpgradeDialog::retryFailed()
{
    QList<int> rows;
    for (qsizetype i = 0; i < m_rows.size(); ++i) {
        if (m_rows[i].uploadFailed)
            rows.append(int(i));
    }
    run(rows);
}

void BatchUpgradeDialog::run(const QList<int> &rows)
{
    QList<DeviceTarget> targets;
    for (int row : rows)
        targets.append(m_rows[row].device);
    m_batch->setJobs(m_jobsBox->value());
    m_batch->setWaitForRestart(m_waitBox->isChecked());
    // The batch reports nothing from inside start(), so the rows are set up after it.
    if (!m_batch->start(targets, m_image)) {
        QMessageBox box(QMessageBox::NoIcon, ApplicationTitle, text(StringId::IpAddressNotSet), QMessageBox::Ok, this);
        box.exec();
        return;
    }
    for (QWidget *control : std::initializer_list<QWidget *>{m_pathEdit, m_browseButton, m_jobsBox, m_waitBox})
        control->setEnabled(false);
    m_startButton->hide();
    m_retryButton->hide();
    m_closeButton->setText(text(StringId::Cancel));
    m_runRows = rows;
    for (int row : rows) {
        Row &r = m_rows[row];
        r.running = true;
        r.uploadFailed = false;
        r.bar->setValue(0);
        r.uploading = false;
        r.waitClock.invalidate();
        m_table->topLevelItem(row)->setText(Sent, QString());
        setResult(row, QueuedText(), false);
    }
    showWaits();
}

void BatchUpgradeDialog::showProgress(int target, int percent)
{
    const int rowIndex = m_runRows.value(target, -1);
    if (rowIndex < 0)
        return;
    Row &row = m_rows[rowIndex];
    if (!std::exchange(row.uploading, true))
        setResult(rowIndex, u"uploading"_s, false);
    row.bar->setValue(percent);
    m_table->topLevelItem(rowIndex)->setText(Sent, TransferText(percent, m_imageSize, m_batch->attemptElapsedMs(target)));
}

void BatchUpgradeDialog::showRestarting(int target)
{
    const int rowIndex = m_runRows.value(target, -1);
    if (rowIndex < 0)
        return;
    m_rows[rowIndex].waitClock.start();
    m_rows[rowIndex].bar->setValue(100);
    showWaits();
    m_waitTicker.start();
}

void BatchUpgradeDialog::showWaits()
{
    int uploading = 0;
    int restarting = 0;
    for (qsizetype i = 0; i < m_rows.size(); ++i) {
        const Row &row = m_rows[i];
        if (row.running && row.waitClock.isValid()) {
            ++restarting;
            setResult(int(i), RestartingText(row.waitClock.elapsed()), false);
        } else if (row.running) {
            ++uploading;
        }
    }
    QStringList phases;
    if (uploading > 0)
        phases << u"Uploading to %1 device(s), %2 at a time"_s.arg(uploading).arg(qMin(m_jobsBox->value(), uploading));
    if (restarting > 0)
        phases << u"%1aiting for %2 device(s) to come back"_s.arg(phases.isEmpty() ? u"W"_s : u"w"_s).arg(restarting);
    if (!phases.isEmpty())
        m_summary->setText(phases.join(u"; "_s));
}

void BatchUpgradeDialog::showResult(int target, const UpgradeBatch::Result &result)
{
    const int rowIndex = m_runRows.value(target, -1);
    if (rowIndex < 0)
        return;
    Row &row = m_rows[rowIndex];
    row.running = false;
    row.waitClock.invalidate();
    row.uploadFailed = result.outcome != TftpUpload::Outcome::Complete;
    if (!row.uploadFailed)
        row.bar->setValue(100);
    showWaits();
    // The bar says the image went over; what the row adds is whether the device came back.
    setResult(rowIndex, UpgradeResultText(result, true), !result.ok());
}

void BatchUpgradeDialog::batchFinished()
{
    // The port goes back now, not when the dialog is closed.
    m_batch->cancel();
    m_waitTicker.stop();
    int failed = 0;
    int uploadsFailed = 0;
    for (int row : std::as_const(m_runRows)) {
        const QTreeWidgetItem *item = m_table->topLevelItem(row);
        failed += item->data(Result, Qt::UserRole).toBool() ? 1 : 0;
        uploadsFailed += m_rows[row].uploadFailed ? 1 : 0;
    }
    QString summary = failed == 0 ? u"%1 device(s) upgraded."_s.arg(m_runRows.size())
                                  : u"%1 of %2 device(s) failed."_s.arg(failed).arg(m_runRows.size());
    if (const auto refused = std::count_if(m_rows.cbegin(), m_rows.cend(), [](const Row &r) { return !r.refusal.isEmpty(); }))
        summary += u" %1 refused: number them first."_s.arg(refused);
    m_summary->setText(summary);
    m_retryButton->setVisible(uploadsFailed > 0);
    m_closeButton->setText(u"Close"_s);
    m_runRows.clear();
}

void BatchUpgradeDialog::setResult(int row, const QString &result, bool failed)
{
    QTreeWidgetItem *item = m_table->topLevelItem(row);
    item->setText(Result, result);
    item->setToolTip(Result, result);
    item->setData(Result, Qt::UserRole, failed);
    item->setForeground(Result, failed ? QBrush(Qt::darkRed) : palette().text());
}

} // namespace farlight
