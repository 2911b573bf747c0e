#pragma once

#include <QDialog>

namespace farlight {

/// @brief A dialog for one device that checks at load whether it can reach the device.
///
/// When loading failed (no table entry, or an adapter the dialog's socket cannot be bound to),
/// the dialog never appears: showing it, with exec(), open() or show(), reports "IP Address is
/// not set. Please recheck." over whatever opened it and leaves it closed and rejected.
class DeviceDialog : public QDialog
{
    Q_OBJECT

public:
    using QDialog::QDialog;

    /// @brief True when loading failed; the dialog then only reports the failure when shown.
    bool loadFailed() const { return m_loadFailed; }

    int exec() override;
    void setVisible(bool visible) override;

protected:
    void setLoadFailed(bool failed) { m_loadFailed = failed; }

private:
    bool m_loadFailed = false;
    bool m_loadFailureReported = false;
};

} // namespace farlight
