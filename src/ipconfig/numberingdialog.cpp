#include "ipconfig/numberingdialog.h"

#include "dialogs/logindialog.h"
#include "ipconfig/inetaddr.h"
#include "ipconfig/setipdialog.h"
#include "netenv/platformutils.h"
#include "resources/strings.h"
#include "widgets/velmoipaddress.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace farlight {

namespace {

// The address field the administrator completes: the first device's host part.
constexpr int HostField = 3;
constexpr int IpCaption = 33;
constexpr int MaskCaption = 34;
constexpr int GatewayCaption = 35;

VelmoIPAddress *makeAddressControl(const char *name, const QString &caption, QWidget *parent)
{
    auto *control = new VelmoIPAddress(parent);
    control->setObjectName(QString::fromLatin1(name));
    control->setAccessibleName(caption);
    return control;
}

void showMessage(QWidget *parent, QMessageBox::Icon icon, const QString &title, const QString &message)
{
    QMessageBox box(icon, title, message, QMessageBox::Ok, parent);
    box.exec();
}

} // namespace

NumberingDialog::NumberingDialog(Platform &platform, const QList<DeviceTarget> &devices,
                                 const QStringList &addressesInUse, SequenceCounters &counters, QString &password,
                                 QWidget *parent)
    : QDialog(parent)
    , m_devices(devices)
    , m_password(password)
    , m_presence(new PresenceCheck(platform, this))
    , m_batch(new SetIpBatch(counters, this))
    , m_outcomes(devices.size())
{
    setObjectName(QStringLiteral("numberingDialog"));
    for (const QString &address : addressesInUse) {
        if (const quint32 value = InetAddr(address); value != InetAddrNone)
            m_inUse.insert(value);
    }
    createControls();
    connect(m_batch, &SetIpBatch::jobStarted, this, [this](int job) { setRowResult(m_runRows.value(job), tr("Setting...")); });
    connect(m_batch, &SetIpBatch::jobFinished, this, &NumberingDialog::showOutcome);
    m_batch->setPresenceCheck(m_presence);
    connect(m_batch, &SetIpBatch::checking, this, [this](int count) {
        m_note->setText(tr("Checking that %1 devices answer at their new addresses...").arg(count));
    });
    connect(m_batch, &SetIpBatch::jobVerified, this, [this](int job, bool answered) {
        const int row = m_runRows.value(job, -1);
        if (row < 0)
            return;
        m_unverified += answered ? 0 : 1;
        setRowResult(row, SetIpBatch::outcomeText(SetIpBatch::Outcome::Ok, false) + QStringLiteral("; ") + PresenceText(answered));
    });
    connect(m_batch, &SetIpBatch::checked, this, &NumberingDialog::runFinished);

    // Proposed: the adapter's network with the host part left to type, its mask and gateway.
    if (!m_devices.isEmpty()) {
        const DeviceTarget &first = m_devices.first();
        m_firstEdit->setIpAddress(first.adapterAddress);
        m_firstEdit->setIPValue(HostField, VelmoIPAddress::EmptyFieldValue);
        m_maskEdit->setIpAddress(first.adapterMask);
        m_gatewayEdit->setIpAddress(first.adapterGateway);
    }
    updatePreview();
    m_firstEdit->SetIPFocus(HostField);
}

NumberingDialog::~NumberingDialog() = default;

void NumberingDialog::createControls()
{
    setWindowTitle(QStringLiteral("%1: %2 devices").arg(text(StringId::SetIp)).arg(m_devices.size()));

    m_firstEdit = makeAddressControl("firstAddress", tr("First IP"), this);
    m_maskEdit = makeAddressControl("numberingMask", text(MaskCaption), this);
    m_gatewayEdit = makeAddressControl("numberingGateway", text(GatewayCaption), this);
    auto *form = new QFormLayout;
    form->addRow(tr("First %1").arg(text(IpCaption)), m_firstEdit);
    form->addRow(text(MaskCaption), m_maskEdit);
    form->addRow(text(GatewayCaption), m_gatewayEdit);
    form->setFieldGrowthPolicy(QFormLayout::FieldsStayAtSizeHint);

    m_note = new QLabel(this);
    m_note->setObjectName(QStringLiteral("numberingNote"));
    m_note->setWordWrap(true);

    m_table = new QTreeWidget(this);
    m_table->setObjectName(QStringLiteral("numberingTable"));
    m_table->setRootIsDecorated(false);
    m_table->setUniformRowHeights(true);
    m_table->setSelectionMode(QAbstractItemView::NoSelection);
    m_table->setHeaderLabels({text(101), QString(text(106)), tr("Now at"), tr("New address"), tr("Result")});
    for (const DeviceTarget &device : std::as_const(m_devices)) {
        auto *item = new QTreeWidgetItem(m_table);
        item->setText(HostName, device.hostName);
        item->setText(Mac, FormatMac(device.mac));
        item->setText(CurrentAddress, device.address);
    }
    // The columns follow the addresses and results as they come in.
    QHeaderView *header = m_table->header();
    header->setSectionResizeMode(QHeaderView::ResizeToContents);
    header->setStretchLastSection(true);
    header->setMinimumSectionSize(fontMetrics().horizontalAdvance(QStringLiteral("255.255.255.255")) + 12);

    m_numberButton = new QPushButton(tr("&Number"), this);
    m_numberButton->setObjectName(QStringLiteral("numberButton"));
    m_numberButton->setDefault(true);
    m_retryButton = new QPushButton(tr("&Retry failed"), this);
    m_retryButton->setObjectName(QStringLiteral("retryButton"));
    m_closeButton = new QPushButton(tr("&Close"), this);
    m_closeButton->setObjectName(QStringLiteral("closeButton"));
    auto *buttons = new QDialogButtonBox(this);
    buttons->addButton(m_numberButton, QDialogButtonBox::ActionRole);
    buttons->addButton(m_retryButton, QDialogButtonBox::ActionRole);
    buttons->addButton(m_closeButton, QDialogButtonBox::RejectRole);
    // Offered once a run has left failures.
    m_retryButton->hide();

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(m_note);
    layout->addWidget(m_table, 1);
    layout->addWidget(buttons);
    resize(qMax(sizeHint().width(), header->minimumSectionSize() * (ColumnCount + 1)), sizeHint().height());

    for (VelmoIPAddress *control : {m_firstEdit, m_maskEdit})
        connect(control, &VelmoIPAddress::Change, this, &NumberingDialog::updatePreview);
    connect(m_numberButton, &QPushButton::clicked, this, &NumberingDialog::numberDevices);
    connect(m_retryButton, &QPushButton::clicked, this, &NumberingDialog::retryFailed);
    connect(m_closeButton, &QPushButton::clicked, this, &NumberingDialog::reject);
}

void NumberingDialog::updatePreview()
{
    const quint32 first = InetAddr(m_firstEdit->ipAddress());
    const quint32 mask = InetAddr(m_maskEdit->ipAddress());
    m_numbering.reset();
    if (first != InetAddrNone && mask != InetAddrNone)
        m_numbering.emplace(first, mask, int(m_devices.size()), m_inUse);
    const QList<quint32> planned = plannedAddresses();
    for (int row = 0; row < m_table->topLevelItemCount(); ++row)
        m_table->topLevelItem(row)->setText(NewAddress, row < planned.size() ? AddressToText(planned[row])
                                                        : m_numbering ? QStringLiteral("none left") : QString());
    QString note;
    if (!m_numbering)
        note = tr("Type the first address; each device gets the next free one, in list order.");
    else if (!m_numbering->fits())
        note = m_numbering->problemText();
    else
        note = tr("Addresses in use by found devices are skipped. One password for all devices.");
    m_note->setText(note);
    m_numberButton->setEnabled(m_numbering && m_numbering->fits());
}

void NumberingDialog::numberDevices()
{
    if (!m_numbering || !m_numbering->fits() || m_batch->isActive())
        return;
    // Every address must pass what Set IP would check of it.
    for (const quint32 address : m_numbering->addresses()) {
        if (const std::optional<QString> failure = ValidateWithControls(AddressToText(address), *m_maskEdit, *m_gatewayEdit)) {
            showMessage(this, QMessageBox::Warning, text(StringId::ProductName), *failure);
            return;
        }
    }
    const std::optional<QString> password = LoginDialog::ask(this);
    if (!password)
        return;
    m_password = *password;
    m_mask = InetAddr(m_maskEdit->ipAddress());
    m_gateway = InetAddr(m_gatewayEdit->ipAddress());
    for (VelmoIPAddress *control : {m_firstEdit, m_maskEdit, m_gatewayEdit})
        control->setEnabled(false);
    QList<int> rows;
    for (int row = 0; row < m_devices.size(); ++row)
        rows.append(row);
    run(rows, *password);
}

void NumberingDialog::retryFailed()
{
    QList<int> rows;
    for (int row = 0; row < m_devices.size(); ++row) {
        if (m_outcomes[row].value_or(SetIpBatch::Outcome::Ok) != SetIpBatch::Outcome::Ok)
            rows.append(row);
    }
    if (rows.isEmpty() || m_batch->isActive())
        return;
    // A device that refused the password may have one of its own.
    const std::optional<QString> password = LoginDialog::ask(this);
    if (!password)
        return;
    m_password = *password;
    run(rows, *password);
}

void NumberingDialog::run(const QList<int> &rows, const QString &password)
{
    const QList<quint32> planned = plannedAddresses();
    QList<SetIpBatch::Job> jobs;
    for (int row : rows) {
        jobs.append({m_devices[row], password, {false, planned[row], m_mask, m_gateway}});
        setRowResult(row, QString());
    }
    m_runRows = rows;
    m_unverified = 0;
    m_numberButton->setEnabled(false);
    m_retryButton->setEnabled(false);
    m_closeButton->setEnabled(false);
    m_batch->start(jobs);
}

void NumberingDialog::showOutcome(int job, SetIpBatch::Outcome outcome)
{
    const int row = m_runRows.value(job, -1);
    if (row < 0)
        return;
    m_outcomes[row] = outcome;
    setRowResult(row, SetIpBatch::outcomeText(outcome, false));
}

void NumberingDialog::runFinished()
{
    m_closeButton->setEnabled(true);
    int failed = 0;
    for (int row = 0; row < m_devices.size(); ++row)
        failed += m_outcomes[row].value_or(SetIpBatch::Outcome::Ok) != SetIpBatch::Outcome::Ok ? 1 : 0;
    m_retryButton->setVisible(failed > 0);
    m_retryButton->setEnabled(failed > 0);
    QString note = failed > 0 ? tr("%1 of %2 devices did not take their address.").arg(failed).arg(m_devices.size())
                              : tr("Every device took its address; closing searches again.");
    if (m_unverified > 0)
        note += u' ' + tr("%1 said so but did not answer at the new address.").arg(m_unverified);
    m_note->setText(note);
    (failed > 0 ? m_retryButton : m_closeButton)->setFocus();
}

void NumberingDialog::setRowResult(int row, const QString &result)
{
    if (QTreeWidgetItem *item = m_table->topLevelItem(row))
        item->setText(Result, result);
}

void NumberingDialog::reject()
{
    // The requests under way are not abandoned: their devices may already have moved.
    if (m_batch->isActive() || m_presence->isActive())
        return;
    const bool changed = std::any_of(m_outcomes.cbegin(), m_outcomes.cend(),
                                     [](const auto &outcome) { return outcome == SetIpBatch::Outcome::Ok; });
    changed ? QDialog::accept() : QDialog::reject();
}

} // namespace farlight
