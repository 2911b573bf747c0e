#pragma once

#include <QDialog>

#include <functional>

class QLabel;
class QProgressBar;
class QPushButton;

namespace farlight {

/// @brief The search's clock: counts 15 steps of 0.3 s on a progress bar while events keep
/// flowing (so replies are taken in), then closes. Cancel ends it after the current step.
class PendingDialog : public QDialog
{
    Q_OBJECT

public:
    static constexpr int StepCount = 15;
    static constexpr float StepSeconds = 0.3f;

    /// @brief @p wait waits the given seconds while processing events; WaitSeconds by default.
    explicit PendingDialog(QWidget *parent = nullptr, std::function<void(float)> wait = {});

    /// @brief Shows the dialog modally, counts the steps and closes it; returns the steps started.
    int run();

    bool cancelRequested() const { return m_cancelRequested; }

    /// @brief Asks the count to stop before its next step, as the Cancel button does.
    void requestCancel() { m_cancelRequested = true; }

protected:
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    QLabel *m_label = nullptr;
    QProgressBar *m_progress = nullptr;
    QPushButton *m_cancel = nullptr;
    std::function<void(float)> m_wait;
    bool m_cancelRequested = false;
};

} // namespace farlight
