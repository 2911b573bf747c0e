#pragma once

#include "diagnosis/finding.h"

#include <QDialog>

class QPlainTextEdit;
class QPushButton;

namespace farlight {

class Diagnosis;

/// @brief Help > Diagnose Network...: runs a diagnosis and shows its whole report, to read or
/// copy into a ticket.
class DiagnosisDialog : public QDialog
{
    Q_OBJECT

public:
    /// @brief Takes @p diagnosis over and starts it.
    DiagnosisDialog(Diagnosis *diagnosis, QWidget *parent = nullptr);

private:
    void showReport(const QList<Finding> &findings);

    QPlainTextEdit *m_report = nullptr;
    QPushButton *m_copy = nullptr;
};

} // namespace farlight
