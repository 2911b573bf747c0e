#include "app/diagnosisdialog.h"

#include "diagnosis/diagnosis.h"
#include "diagnosis/report.h"

#include <QApplication>
#include <QClipboard>
#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace farlight {

DiagnosisDialog::DiagnosisDialog(Diagnosis *diagnosis, QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("diagnosisDialog"));
    setWindowTitle(QStringLiteral("Network Diagnosis"));
    diagnosis->setParent(this);

    m_report = new QPlainTextEdit(this);
    m_report->setObjectName(QStringLiteral("report"));
    m_report->setAccessibleName(QStringLiteral("Network diagnosis report"));
    m_report->setReadOnly(true);
    m_report->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_report->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_report->setPlainText(QStringLiteral("Checking this computer and searching the network..."));

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    m_copy = buttons->addButton(QStringLiteral("&Copy Report"), QDialogButtonBox::ActionRole);
    m_copy->setObjectName(QStringLiteral("copyReport"));
    m_copy->setEnabled(false);
    connect(m_copy, &QPushButton::clicked, this, [this] { QApplication::clipboard()->setText(m_report->toPlainText()); });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_report);
    layout->addWidget(buttons);
    resize(760, 480);

    connect(diagnosis, &Diagnosis::finished, this, &DiagnosisDialog::showReport);
    diagnosis->start();
}

void DiagnosisDialog::showReport(const QList<Finding> &findings)
{
    m_report->setPlainText(FormatReport(findings));
    m_copy->setEnabled(true);
}

} // namespace farlight
