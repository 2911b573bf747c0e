#pragma once

#include "firmware/upgradebatch.h"
#include "session/devicetarget.h"

#include <QDialog>
#include <QElapsedTimer>
#include <QList>
#include <QTimer>

class QCheckBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QTreeWidget;

namespace farlight {

class AppState;
class Platform;

/// @brief Upgrades the firmware of several devices at once: checks the image once, then shows one
/// row per device (progress, bytes sent, rate, time left, result) while an UpgradeBatch uploads
/// to them in parallel through the shared port 14321 and, on request, waits for each to come
/// back. Failed uploads can be tried again at the end.
///
/// A device whose address other found devices share is refused: an upload to that address would
/// reach whichever device answers. Such a fleet is numbered first.
class BatchUpgradeDialog : public QDialog
{
    Q_OBJECT

public:
    enum Column { Name, Mac, Address, Progress, Sent, Result, ColumnCount };

    /// @p state tells which other found devices share a target's address.
    BatchUpgradeDialog(Platform &platform, const AppState &state, const QList<DeviceTarget> &devices,
                       QWidget *parent = nullptr);
    ~BatchUpgradeDialog() override;

    /// @brief The engine; tests shorten its timing.
    UpgradeBatch &batch() { return *m_batch; }

    /// @brief Start: checks the image and the port, then uploads to every device not refused.
    void start();
    /// @brief Retry failed: uploads again to the devices whose upload failed.
    void retryFailed();

    void done(int result) override;

private:
    struct Row
    {
        DeviceTarget device;
        QString refusal; ///< why it gets no upload, or empty
        QProgressBar *bar = nullptr;
        QElapsedTimer waitClock; ///< since the upload ended, while it restarts
        bool uploading = false;  ///< the current attempt has sent its first block
        bool running = false;
        bool uploadFailed = false;
    };

    void browse();
    void run(const QList<int> &rows);
    void showProgress(int target, int percent);
    void showRestarting(int target);
    void showResult(int target, const UpgradeBatch::Result &result);
    void showWaits();
    void batchFinished();
    void setResult(int row, const QString &result, bool failed);

    UpgradeBatch *m_batch = nullptr;
    QList<Row> m_rows;
    QList<int> m_runRows; ///< the row of each target of the batch under way
    qint64 m_imageSize = 0;
    QByteArray m_image;
    QTimer m_waitTicker; ///< counts the seconds of the devices that are restarting

    QLineEdit *m_pathEdit = nullptr;
    QPushButton *m_browseButton = nullptr;
    QSpinBox *m_jobsBox = nullptr;
    QCheckBox *m_waitBox = nullptr;
    QTreeWidget *m_table = nullptr;
    QLabel *m_summary = nullptr;
    QPushButton *m_startButton = nullptr;
    QPushButton *m_retryButton = nullptr;
    QPushButton *m_closeButton = nullptr;
};

} // namespace farlight
