#pragma once

#include "dialogs/devicedialog.h"
#include "firmware/tftpupload.h"
#include "session/devicetarget.h"

#include <QMessageBox>

#include <chrono>

class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;

namespace farlight {

class Platform;
class UpgradeBatch;

/// @brief The firmware upgrade dialog Download: picks an image for one device, checks it and
/// shows the upload, which an UpgradeBatch of that one device runs. Its load fails when port
/// 14321 cannot be bound on the device's adapter (DeviceDialog).
class DownloadDialog : public DeviceDialog
{
    Q_OBJECT

public:
    static constexpr std::chrono::milliseconds CloseDelay{200};

    DownloadDialog(Platform &platform, const DeviceTarget &device, QWidget *parent = nullptr);
    ~DownloadDialog() override;

    /// @brief The path last taken from the path box.
    QString firmwarePath() const { return m_firmwarePath; }
    /// @brief The upload; tests shorten its retransmission interval.
    UpgradeBatch &batch() { return *m_batch; }

    /// @brief The OK button: checks the path and the image, then starts the upload.
    void startDownload();
    /// @brief The drop-down of the path box: the file dialog.
    void browseForFile();

    void done(int result) override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void refuse(int textId);
    void showProgress(int percent);
    void uploadFinished(TftpUpload::Outcome outcome, int errorCode);
    void showMessage(QMessageBox::Icon icon, const QString &title, const QString &message);

    const DeviceTarget m_device;
    UpgradeBatch *m_batch = nullptr;
    QString m_firmwarePath;

    QLabel *m_pathCaption = nullptr;
    QComboBox *m_pathCombo = nullptr;
    QPushButton *m_okButton = nullptr;
    QPushButton *m_cancelButton = nullptr;
    QProgressBar *m_progressBar = nullptr;
    QLabel *m_percentLabel = nullptr;
};

} // namespace farlight
