#pragma once

#include <QDialog>

class QFrame;
class QLabel;
class QPushButton;

namespace farlight {

/// @brief The version of the program shown to the user: major.minor.revision.
struct ProgramVersion
{
    int major = 0;
    int minor = 0;
    int revision = 0;
};

/// @brief The About box frmAbout: the application icon, the product name with the program's
/// version, a one-line copyright notice and an OK button that closes it.
class AboutDialog : public QDialog
{
    Q_OBJECT

public:
    explicit AboutDialog(QWidget *parent = nullptr);

    /// @brief The version this program was built as (from the project's version).
    static ProgramVersion currentVersion();

    /// @brief @p productName, two spaces, then major.minor.revision in plain decimal.
    static QString versionText(const QString &productName, const ProgramVersion &version);

    /// @brief Shows a new About box modally.
    static void showModal(QWidget *parent = nullptr);

private:
    QLabel *m_picIcon = nullptr;
    QLabel *m_lblVersion = nullptr;
    QLabel *m_label1 = nullptr;
    QFrame *m_line1 = nullptr;
    QPushButton *m_cmdOk = nullptr;
};

} // namespace farlight
