#include "app/pendingdialog.h"

#include "netenv/platformutils.h"
#include "resources/strings.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace farlight {

PendingDialog::PendingDialog(QWidget *parent, std::function<void(float)> wait)
    : QDialog(parent)
    , m_wait(wait ? std::move(wait) : [](float s) { WaitSeconds(s); })
{
    setObjectName(QStringLiteral("pending"));
    setWindowTitle(text(StringId::SearchingCaption));
    setWindowModality(Qt::ApplicationModal);

    m_label = new QLabel(text(StringId::SearchingLabel), this);
    m_label->setObjectName(QStringLiteral("Label1"));
    m_progress = new QProgressBar(this);
    m_progress->setObjectName(QStringLiteral("ProgressBar1"));
    m_progress->setRange(0, StepCount - 1);
    m_progress->setValue(0);
    m_progress->setTextVisible(false);
    m_progress->setAccessibleName(text(StringId::SearchingCaption));
    m_cancel = new QPushButton(text(StringId::Cancel), this);
    m_cancel->setObjectName(QStringLiteral("Command1"));
    connect(m_cancel, &QPushButton::clicked, this, &PendingDialog::requestCancel);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_label);
    layout->addWidget(m_progress);
    layout->addWidget(m_cancel, 0, Qt::AlignHCenter);
    setMinimumWidth(360);
}

int PendingDialog::run()
{
    m_cancelRequested = false;
    show();
    raise();
    int steps = 0;
    for (int i = 0; i < StepCount && !m_cancelRequested; ++i) {
        m_progress->setValue(i);
        ++steps;
        m_wait(StepSeconds);
    }
    hide();
    return steps;
}

void PendingDialog::closeEvent(QCloseEvent *event)
{
    // The close box counts as Cancel; the count itself closes the dialog.
    requestCancel();
    event->ignore();
}

void PendingDialog::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        requestCancel();
        return;
    }
    QDialog::keyPressEvent(event);
}

} // namespace farlight
