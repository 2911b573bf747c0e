#pragma once

#include <QDialog>

class QLabel;
class QProgressBar;
class QPushButton;

namespace farlight {

/// @brief The search's progress dialog: shows the step a search has reached on a progress bar.
///
/// It counts nothing itself; the search session does. Cancel, Escape and the close box ask the
/// search to end after its current step; the search's end closes the dialog.
class PendingDialog : public QDialog
{
    Q_OBJECT

public:
    explicit PendingDialog(int stepCount, QWidget *parent = nullptr);

    /// @brief Shows step @p step (0 to stepCount - 1).
    void setStep(int step);

signals:
    void cancelRequested();

protected:
    void closeEvent(QCloseEvent *event) override;
    void reject() override;

private:
    QLabel *m_label = nullptr;
    QProgressBar *m_progress = nullptr;
    QPushButton *m_cancel = nullptr;
};

} // namespace farlight
