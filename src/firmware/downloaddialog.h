#pragma once

#include "dialogs/devicedialog.h"
#include "firmware/tftpupload.h"
#include "session/devicetarget.h"

#include <QMessageBox>

class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;

namespace farlight {

class Platform;

/// @brief The firmware upgrade dialog Download: picks an image for one device, checks it and
/// shows the TFTP upload that TftpUpload runs. Its load fails when the device's adapter cannot
/// be bound (DeviceDialog).
class DownloadDialog : public DeviceDialog
{
    Q_OBJECT

public:
    static constexpr std::chrono::milliseconds CloseDelay{200};

    DownloadDialog(Platform &platform, const DeviceTarget &device, QWidget *parent = nullptr);
    ~DownloadDialog() override;

    const DeviceTarget &device() const { return m_device; }
    /// @brief The path last taken from the path box.
    QString firmwarePath() const { return m_firmwarePath; }
    TftpUpload &upload() { return *m_upload; }

    /// @brief The OK button: checks the path and the image, then starts the upload.
    void startDownload();
    /// @brief The drop-down of the path box: the file dialog.
    void BrowseForFile();

    void done(int result) override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool openSocket();
    void refuse(int textId);
    void showProgress(int percent);
    void uploadFinished(TftpUpload::Outcome outcome);
    void showMessage(QMessageBox::Icon icon, const QString &title, const QString &message);

    Platform &m_platform;
    const DeviceTarget m_device;
    TftpUpload *m_upload = nullptr;
    QString m_firmwarePath;

    QLabel *m_label2 = nullptr;
    QComboBox *m_combo1 = nullptr;
    QPushButton *m_command1 = nullptr;
    QPushButton *m_command2 = nullptr;
    QProgressBar *m_progressBar1 = nullptr;
    QLabel *m_label1 = nullptr;
};

} // namespace farlight
