#include "dialogs/aboutdialog.h"

#include "dialogs/applicationicon.h"
#include "resources/strings.h"

#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

#if !defined(FARLIGHT_VERSION_MAJOR) || !defined(FARLIGHT_VERSION_MINOR) || !defined(FARLIGHT_VERSION_REVISION)
#error "The build passes the program's version as FARLIGHT_VERSION_MAJOR, _MINOR and _REVISION"
#endif

namespace farlight {

namespace {

constexpr int IconSize = 32;

} // namespace

AboutDialog::AboutDialog(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(text(StringId::ProductName));

    m_picIcon = new QLabel(this);
    m_picIcon->setObjectName(QStringLiteral("picIcon"));
    m_picIcon->setPixmap(ApplicationIcon().pixmap(IconSize, IconSize));
    m_picIcon->setAlignment(Qt::AlignTop | Qt::AlignHCenter);

    m_lblVersion = new QLabel(versionText(text(StringId::ProductName), currentVersion()), this);
    m_lblVersion->setObjectName(QStringLiteral("lblVersion"));
    m_lblVersion->setTextFormat(Qt::PlainText);
    QFont versionFont = m_lblVersion->font();
    versionFont.setBold(true);
    m_lblVersion->setFont(versionFont);

    m_label1 = new QLabel(text(StringId::Copyright), this);
    m_label1->setObjectName(QStringLiteral("Label1"));
    m_label1->setTextFormat(Qt::PlainText);

    m_line1 = new QFrame(this);
    m_line1->setObjectName(QStringLiteral("Line1"));
    m_line1->setFrameShape(QFrame::HLine);
    m_line1->setFrameShadow(QFrame::Sunken);

    m_cmdOk = new QPushButton(text(StringId::Ok), this);
    m_cmdOk->setObjectName(QStringLiteral("cmdOK"));
    m_cmdOk->setDefault(true);

    auto *buttonRow = new QHBoxLayout;
    buttonRow->addStretch();
    buttonRow->addWidget(m_cmdOk);

    auto *layout = new QGridLayout(this);
    layout->addWidget(m_picIcon, 0, 0, 2, 1);
    layout->addWidget(m_lblVersion, 0, 1);
    layout->addWidget(m_label1, 1, 1);
    layout->addWidget(m_line1, 2, 0, 1, 2);
    layout->addLayout(buttonRow, 3, 0, 1, 2);
    layout->setColumnStretch(1, 1);
    layout->setHorizontalSpacing(16);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(m_cmdOk, &QPushButton::clicked, this, &AboutDialog::accept);
}

ProgramVersion AboutDialog::currentVersion()
{
    return {FARLIGHT_VERSION_MAJOR, FARLIGHT_VERSION_MINOR, FARLIGHT_VERSION_REVISION};
}

QString AboutDialog::versionText(const QString &productName, const ProgramVersion &version)
{
    // One multi-argument pass, so a product name holding "%2" is not substituted into.
    return QStringLiteral("%1  %2.%3.%4")
        .arg(productName, QString::number(version.major), QString::number(version.minor),
             QString::number(version.revision));
}

void AboutDialog::showModal(QWidget *parent)
{
    AboutDialog dialog(parent);
    dialog.exec();
}

} // namespace farlight
