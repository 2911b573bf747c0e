#include "firmware/downloaddialog.h"

#include "firmware/firmwareimage.h"
#include "netenv/platform.h"
#include "netenv/platformutils.h"
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
    , m_platform(platform)
    , m_device(device)
    , m_upload(new TftpUpload(this))
{
    setObjectName(QStringLiteral("Download"));
    setWindowTitle(text(DownloadingCaption));
    m_upload->setOsVersionCode(platform.osVersionCode());

    m_label2 = new QLabel(text(PathCaption), this);
    m_label2->setObjectName(QStringLiteral("Label2"));
    auto *combo = new PathBox(this);
    combo->browse = [this] { BrowseForFile(); };
    m_combo1 = combo;
    m_combo1->setObjectName(QStringLiteral("Combo1"));
    m_combo1->setEditable(true);
    m_combo1->setInsertPolicy(QComboBox::NoInsert);
    m_combo1->setMinimumWidth(320);
    m_combo1->setAccessibleName(QString(text(PathCaption)));
    m_label2->setBuddy(m_combo1);
    m_combo1->lineEdit()->installEventFilter(this);
    m_command1 = new QPushButton(text(StringId::Ok), this);
    m_command1->setObjectName(QStringLiteral("Command1"));
    m_command2 = new QPushButton(text(StringId::Cancel), this);
    m_command2->setObjectName(QStringLiteral("Command2"));
    m_progressBar1 = new QProgressBar(this);
    m_progressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    m_progressBar1->setRange(0, 100);
    m_progressBar1->setTextVisible(false);
    m_progressBar1->setAccessibleName(text(DownloadingCaption));
    m_progressBar1->hide();
    m_label1 = new QLabel(this);
    m_label1->setObjectName(QStringLiteral("Label1"));
    m_label1->setAlignment(Qt::AlignCenter);
    m_label1->hide();

    auto *layout = new QGridLayout(this);
    layout->addWidget(m_label2, 0, 0, 1, 2);
    layout->addWidget(m_combo1, 1, 0, 1, 2);
    layout->addWidget(m_progressBar1, 2, 0, 1, 2);
    layout->addWidget(m_label1, 3, 0, 1, 2);
    layout->addWidget(m_command1, 4, 0);
    layout->addWidget(m_command2, 4, 1);

    connect(m_command1, &QPushButton::clicked, this, &DownloadDialog::startDownload);
    connect(m_command2, &QPushButton::clicked, this, &DownloadDialog::reject);
    connect(m_upload, &TftpUpload::progress, this, &DownloadDialog::showProgress);
    connect(m_upload, &TftpUpload::finished, this, &DownloadDialog::uploadFinished);

    // The port is checked at load and then given back until OK.
    setLoadFailed(!openSocket());
    m_upload->cancel();
}

DownloadDialog::~DownloadDialog() = default;

bool DownloadDialog::openSocket()
{
    return m_upload->open(m_device.adapterAddress, m_device.interfaceIndex, m_device.address);
}

void DownloadDialog::done(int result)
{
    // Every way of closing releases the port and stops the retransmissions; no ERROR is sent.
    m_upload->cancel();
    QDialog::done(result);
}

bool DownloadDialog::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_combo1->lineEdit() && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            m_firmwarePath = m_combo1->currentText();
            startDownload();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void DownloadDialog::BrowseForFile()
{
    m_command1->setFocus(Qt::OtherFocusReason);
    const QString chosen =
        QFileDialog::getOpenFileName(this, QString(), RememberedFolder(FileKind::FirmwareImage), FileFilter);
    if (chosen.isEmpty())
        return;
    RememberFolder(FileKind::FirmwareImage, chosen);
    m_combo1->setEditText(chosen);
    m_firmwarePath = chosen;
}

void DownloadDialog::startDownload()
{
    if (!openSocket() && m_platform.osVersionCode() != OsVersion::WindowsNt4) {
        showMessage(QMessageBox::NoIcon, ApplicationTitle, text(StringId::IpAddressNotSet));
        return;
    }
    // A stale cache entry could send the upload to a device that has since changed its address.
    m_platform.removeArpEntry(m_device.interfaceIndex, m_device.address);

    const QString path = m_combo1->currentText();
    const FirmwareFile file = LoadFirmwareImage(path);
    // The path is kept once it names an existing .bin file, even one whose contents are refused.
    if (file.ok() || (file.message == StringId::NotValidFirmware && IsFirmwareFileName(path)))
        m_firmwarePath = path;
    if (!file.ok())
        return refuse(file.message);

    m_combo1->hide();
    m_label2->hide();
    m_command1->hide();
    m_progressBar1->show();
    m_label1->show();
    setWindowTitle(text(DownloadingCaption));
    showProgress(0);
    m_upload->start(file.image);
}

void DownloadDialog::refuse(int textId)
{
    showMessage(QMessageBox::Information, text(StringId::ProductName), text(textId));
    m_combo1->setFocus(Qt::OtherFocusReason);
}

void DownloadDialog::showProgress(int percent)
{
    m_label1->setText(QStringLiteral("%1%").arg(percent));
    m_progressBar1->setValue(percent);
}

void DownloadDialog::uploadFinished(TftpUpload::Outcome outcome)
{
    using Outcome = TftpUpload::Outcome;
    switch (outcome) {
    case Outcome::Complete:
        showProgress(100);
        showMessage(QMessageBox::NoIcon, text(StringId::ProductName), text(StringId::DataTransmitFinish));
        QTimer::singleShot(CloseDelay, this, &DownloadDialog::accept);
        return;
    case Outcome::TimedOut:
        showMessage(QMessageBox::NoIcon, text(StringId::ProductName), text(StringId::TimeOut));
        break;
    case Outcome::DeviceError:
        if (const QString message = TftpUpload::errorMessage(m_upload->errorCode()); !message.isEmpty())
            showMessage(QMessageBox::NoIcon, text(StringId::ProductName), message);
        break;
    case Outcome::SendFailed:
        showMessage(QMessageBox::NoIcon, ApplicationTitle, text(StringId::IpAddressNotSet));
        break;
    case Outcome::Stalled:
        return; // the device was told; the administrator cancels
    case Outcome::Refused:
    case Outcome::Illegal:
        break;
    }
    reject();
}

void DownloadDialog::showMessage(QMessageBox::Icon icon, const QString &title, const QString &message)
{
    QMessageBox box(icon, title, message, QMessageBox::Ok, this);
    box.exec();
}

} // namespace farlight
