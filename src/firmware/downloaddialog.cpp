#include "firmware/downloaddialog.h"

#include "firmware/firmwareimage.h"
#include "firmware/upgradebatch.h"
#include "firmware/uploadtext.h"
#include "resources/strings.h"
#include "session/usersettings.h"

#include <QComboBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>


namespace farlight {

namespace {

constexpr int DownloadingCaption = 41;
constexpr int PathCaption = 42;
const QString FileFilter = QStringLiteral("BIN FILE (*.bin)");

// The path box opens the file dialog instead of a list of its own.
class PathBox : public QComboBox
{
public:
    using QComboBox::QComboBox;
    std::function<void()> browse;
    void showPopup() override
    {
        if (browse)
            browse();
    }
};

} // namespace

DownloadDialog::DownloadDialog(Platform &platform, const DeviceTarget &device, QWidget *parent)
    : DeviceDialog(parent)
    , m_device(device)
    , m_batch(new UpgradeBatch(platform, this))
{
    setObjectName(QStringLiteral("Download"));
    setWindowTitle(text(DownloadingCaption));
    m_batch->setJobs(1);
    m_batch->setRetries(0);

    m_pathCaption = new QLabel(text(PathCaption), this);
    m_pathCaption->setObjectName(QStringLiteral("Label2"));
    auto *combo = new PathBox(this);
    combo->browse = [this] { browseForFile(); };
    m_pathCombo = combo;
    m_pathCombo->setObjectName(QStringLiteral("Combo1"));
    m_pathCombo->setEditable(true);
    m_pathCombo->setInsertPolicy(QComboBox::NoInsert);
    m_pathCombo->setMinimumWidth(320);
    m_pathCombo->setAccessibleName(QString(text(PathCaption)));
    m_pathCaption->setBuddy(m_pathCombo);
    m_pathCombo->lineEdit()->installEventFilter(this);
    m_okButton = new QPushButton(text(StringId::Ok), this);
    m_okButton->setObjectName(QStringLiteral("Command1"));
    m_cancelButton = new QPushButton(text(StringId::Cancel), this);
    m_cancelButton->setObjectName(QStringLiteral("Command2"));
    m_progressBar = new QProgressBar(this);
    m_progressBar->setObjectName(QStringLiteral("ProgressBar1"));
    m_progressBar->setRange(0, 100);
    m_progressBar->setTextVisible(false);
    m_progressBar->setAccessibleName(text(DownloadingCaption));
    m_progressBar->hide();
    m_percentLabel = new QLabel(this);
    m_percentLabel->setObjectName(QStringLiteral("Label1"));
    m_percentLabel->setAlignment(Qt::AlignCenter);
    m_percentLabel->hide();

    auto *layout = new QGridLayout(this);
    layout->addWidget(m_pathCaption, 0, 0, 1, 2);
    layout->addWidget(m_pathCombo, 1, 0, 1, 2);
    layout->addWidget(m_progressBar, 2, 0, 1, 2);
    layout->addWidget(m_percentLabel, 3, 0, 1, 2);
    layout->addWidget(m_okButton, 4, 0);
    layout->addWidget(m_cancelButton, 4, 1);

    connect(m_okButton, &QPushButton::clicked, this, &DownloadDialog::startDownload);
    connect(m_cancelButton, &QPushButton::clicked, this, &DownloadDialog::reject);
    connect(m_batch, &UpgradeBatch::progress, this, [this](int, int percent) { showProgress(percent); });
    connect(m_batch, &UpgradeBatch::targetFinished, this,
            [this](int, const UpgradeBatch::Result &result) { uploadFinished(result.outcome, result.errorCode); });

    // The port is checked at load and then given back until OK.
    setLoadFailed(m_device.address.isEmpty() || !m_batch->probe({m_device}));
}

DownloadDialog::~DownloadDialog() = default;

void DownloadDialog::done(int result)
{
    // Every way of closing releases the port and stops the retransmissions; no ERROR is sent.
    m_batch->cancel();
    QDialog::done(result);
}

bool DownloadDialog::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_pathCombo->lineEdit() && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            m_firmwarePath = m_pathCombo->currentText();
            startDownload();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void DownloadDialog::browseForFile()
{
    m_okButton->setFocus(Qt::OtherFocusReason);
    const QString chosen =
        QFileDialog::getOpenFileName(this, QString(), RememberedFolder(FileKind::FirmwareImage), FileFilter);
    if (chosen.isEmpty())
        return;
    RememberFolder(FileKind::FirmwareImage, chosen);
    m_pathCombo->setEditText(chosen);
    m_firmwarePath = chosen;
}

void DownloadDialog::startDownload()
{
    if (!m_batch->canStart({m_device})) {
        showMessage(QMessageBox::NoIcon, ApplicationTitle, text(StringId::IpAddressNotSet));
        return;
    }
    const QString path = m_pathCombo->currentText();
    const FirmwareFile file = LoadFirmwareImage(path);
    // The path is kept once it names an existing .bin file, even one whose contents are refused.
    if (file.ok() || (file.message == StringId::NotValidFirmware && IsFirmwareFileName(path)))
        m_firmwarePath = path;
    if (!file.ok())
        return refuse(file.message);

    m_pathCombo->hide();
    m_pathCaption->hide();
    m_okButton->hide();
    m_progressBar->show();
    m_percentLabel->show();
    setWindowTitle(text(DownloadingCaption));
    showProgress(0);
    if (!m_batch->start({m_device}, file.image))
        uploadFinished(TftpUpload::Outcome::SendFailed, -1); // the port was taken since the check
}

void DownloadDialog::refuse(int textId)
{
    showMessage(QMessageBox::Information, text(StringId::ProductName), text(textId));
    m_pathCombo->setFocus(Qt::OtherFocusReason);
}

void DownloadDialog::showProgress(int percent)
{
    m_percentLabel->setText(QStringLiteral("%1%").arg(percent));
    m_progressBar->setValue(percent);
}

void DownloadDialog::uploadFinished(TftpUpload::Outcome outcome, int errorCode)
{
    using Outcome = TftpUpload::Outcome;
    // The upload is over: the port goes back now, not when the message or the dialog is closed.
    m_batch->cancel();
    const QString message = UploadOutcomeText(outcome, errorCode);
    switch (outcome) {
    case Outcome::Complete:
        showProgress(100);
        showMessage(QMessageBox::NoIcon, text(StringId::ProductName), message);
        QTimer::singleShot(CloseDelay, this, &DownloadDialog::accept);
        return;
    case Outcome::TimedOut:
        showMessage(QMessageBox::NoIcon, text(StringId::ProductName), message);
        break;
    case Outcome::DeviceError:
        // Only the codes the standard defines have a text worth showing.
        if (!TftpUpload::errorMessage(errorCode).isEmpty())
            showMessage(QMessageBox::NoIcon, text(StringId::ProductName), message);
        break;
    case Outcome::SendFailed:
        showMessage(QMessageBox::NoIcon, ApplicationTitle, message);
        break;
    case Outcome::Stalled:
        return; // the device was told; the administrator cancels
    case Outcome::Refused:
    case Outcome::Illegal:
        break; // the device was told; the dialog closes without a word
    }
    reject();
}

void DownloadDialog::showMessage(QMessageBox::Icon icon, const QString &title, const QString &message)
{
    QMessageBox box(icon, title, message, QMessageBox::Ok, this);
    box.exec();
}

} // namespace farlight
