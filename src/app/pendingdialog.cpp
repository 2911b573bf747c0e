#include "app/pendingdialog.h"

#include "resources/strings.h"

#include <QCloseEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace farlight {

PendingDialog::PendingDialog(int stepCount, QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("pending"));
    setWindowTitle(text(StringId::SearchingCaption));
    setWindowModality(Qt::ApplicationModal);

    m_label = new QLabel(text(StringId::SearchingLabel), this);
    m_label->setObjectName(QStringLiteral("Label1"));
    m_progress = new QProgressBar(this);
    m_progress->setObjectName(QStringLiteral("ProgressBar1"));
    m_progress->setRange(0, stepCount - 1);
    m_progress->setValue(0);
    m_progress->setTextVisible(false);
    m_progress->setAccessibleName(text(StringId::SearchingCaption));
    m_cancel = new QPushButton(text(StringId::Cancel), this);
    m_cancel->setObjectName(QStringLiteral("Command1"));
    connect(m_cancel, &QPushButton::clicked, this, &PendingDialog::cancelRequested);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_label);
    layout->addWidget(m_progress);
    layout->addWidget(m_cancel, 0, Qt::AlignHCenter);
    setMinimumWidth(360);
}

void PendingDialog::setStep(int step)
{
    m_progress->setValue(step);
}

void PendingDialog::closeEvent(QCloseEvent *event)
{
    // The close box counts as Cancel; the search's end closes the dialog.
    emit cancelRequested();
    event->ignore();
}

void PendingDialog::reject()
{
    // Escape: the same as Cancel.
    emit cancelRequested();
}

} // namespace farlight
