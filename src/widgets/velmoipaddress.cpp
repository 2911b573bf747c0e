#include "widgets/velmoipaddress.h"

#include "resources/strings.h"
#include "widgets/ipfield.h"
#include "widgets/twips.h"
#include "widgets/velmoipaddresslayout.h"

#include <QApplication>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPixmap>
#include <QPointer>
#include <QScreen>

#include <limits>

namespace farlight {

namespace {

constexpr int LastField = VelmoIPAddress::FieldCount - 1;
// A line edit draws its text one pixel inside its top and bottom edges.
constexpr int FieldTextPadding = 1;
constexpr qint64 ValueCeiling = 1000000;
constexpr qreal FallbackDpi = 96;

const QString KeyFont = QStringLiteral("Font");
const QString KeyIPAddress = QStringLiteral("IPAddress");
const QString KeyUseDisabledBackColor = QStringLiteral("UseDisabledBackColor");
const QString KeyEnabled = QStringLiteral("Enabled");
const QString KeyBackColor = QStringLiteral("BackColor");
const QString KeyTextColor = QStringLiteral("TextColor");

// The number a text starts with: spaces skipped, an optional sign, then decimal digits;
// no digits give 0. Large runs of digits saturate well above any field value.
int leadingValue(QStringView text)
{
    qsizetype pos = 0;
    while (pos < text.size() && text[pos] == u' ')
        ++pos;
    bool negative = false;
    if (pos < text.size() && (text[pos] == u'-' || text[pos] == u'+')) {
        negative = text[pos] == u'-';
        ++pos;
    }
    qint64 value = 0;
    for (; pos < text.size() && text[pos] >= u'0' && text[pos] <= u'9'; ++pos)
        value = qMin(value * 10 + (text[pos].unicode() - u'0'), ValueCeiling);
    return int(negative ? -value : value);
}

bool inFieldRange(int value)
{
    return value >= 0 && value <= VelmoIPAddress::MaxFieldValue;
}

// Where a keystroke acts: the start of the selection, or the caret when nothing is selected.
int caretPosition(const QLineEdit *field)
{
    return field->hasSelectedText() ? field->selectionStart() : field->cursorPosition();
}

QPixmap dotPixmap()
{
    QPixmap dot(VelmoIPAddressLayout::DotSize, VelmoIPAddressLayout::DotSize);
    dot.fill(Qt::black);
    return dot;
}

} // namespace

QVariantMap VelmoIPAddress::Properties::toVariantMap() const
{
    QVariantMap map;
    if (Font)
        map.insert(KeyFont, *Font);
    if (IPAddress)
        map.insert(KeyIPAddress, *IPAddress);
    if (UseDisabledBackColor)
        map.insert(KeyUseDisabledBackColor, *UseDisabledBackColor);
    if (Enabled)
        map.insert(KeyEnabled, *Enabled);
    if (BackColor)
        map.insert(KeyBackColor, *BackColor);
    if (TextColor)
        map.insert(KeyTextColor, *TextColor);
    return map;
}

VelmoIPAddress::Properties VelmoIPAddress::Properties::fromVariantMap(const QVariantMap &map)
{
    Properties saved;
    if (map.contains(KeyFont))
        saved.Font = map.value(KeyFont).value<QFont>();
    if (map.contains(KeyIPAddress))
        saved.IPAddress = map.value(KeyIPAddress).toString();
    if (map.contains(KeyUseDisabledBackColor))
        saved.UseDisabledBackColor = map.value(KeyUseDisabledBackColor).toBool();
    if (map.contains(KeyEnabled))
        saved.Enabled = map.value(KeyEnabled).toBool();
    if (map.contains(KeyBackColor))
        saved.BackColor = map.value(KeyBackColor).toUInt();
    if (map.contains(KeyTextColor))
        saved.TextColor = map.value(KeyTextColor).toUInt();
    return saved;
}

VelmoIPAddress::VelmoIPAddress(QWidget *parent)
    : QWidget(parent)
{
    setAutoFillBackground(true);
    const QPixmap dot = dotPixmap();
    for (int i = 0; i < FieldCount; ++i) {
        auto *field = new IPField(this);
        field->setObjectName(QStringLiteral("txtIP%1").arg(i));
        field->setAccessibleName(QStringLiteral("IP field %1").arg(i + 1));
        field->installEventFilter(this);
        connect(field, &QLineEdit::textChanged, this, [this, i] { fieldTextChanged(i); });
        connect(field, &IPField::focusLost, this, [this, i](Qt::FocusReason reason) { fieldLostFocus(i, reason); });
        m_fields[i] = field;
        if (i < LastField) {
            auto *image = new QLabel(this);
            image->setObjectName(QStringLiteral("imgDot%1").arg(i));
            image->setPixmap(dot);
            m_dots[i] = image;
        }
    }
    // Focus given to the control as a whole goes to its first field.
    setFocusProxy(m_fields[0]);
    applyColours();
    // Fields are placed by the first resize; until then FieldWidth stays 0.
    m_minimumSize = layoutFor(QSize()).minimumSize;
    resize(m_minimumSize);
}

VelmoIPAddress::~VelmoIPAddress()
{
    // The fields outlive this part of the object; their last focus and text events must not reach it.
    for (IPField *field : m_fields) {
        field->removeEventFilter(this);
        disconnect(field, nullptr, this, nullptr);
    }
}

QString VelmoIPAddress::ipAddress() const
{
    QStringList parts;
    for (const IPField *field : m_fields)
        parts.append(field->text());
    return parts.join(QLatin1Char('.'));
}

void VelmoIPAddress::setIpAddress(const QString &address)
{
    m_settingAddress = true;
    // Four dots more guarantee four parts; whatever follows the fourth is ignored.
    const QStringList parts = (address + QStringLiteral("....")).split(QLatin1Char('.'));
    for (int i = 0; i < FieldCount; ++i) {
        const int value = qBound(0, leadingValue(parts[i]), MaxFieldValue);
        m_fields[i]->setText(QString::number(value));
    }
    emit Change(ipAddress());
    m_settingAddress = false;
}

int VelmoIPAddress::IPValue(int index) const
{
    if (index < 0 || index >= FieldCount)
        return 0;
    return leadingValue(m_fields[index]->text());
}

void VelmoIPAddress::setIPValue(int index, int value)
{
    m_settingAddress = true;
    if (index >= 0 && index < FieldCount && value == EmptyFieldValue)
        m_fields[index]->clear();
    emit Change(ipAddress());
    m_settingAddress = false;
}

void VelmoIPAddress::setUseDisabledBackColor(bool use)
{
    m_useDisabledBackColor = use;
    applyColours();
}

void VelmoIPAddress::setBackColor(quint32 value)
{
    m_backColorValue = value;
    applyColours();
}

void VelmoIPAddress::setTextColor(quint32 value)
{
    m_textColorValue = value;
    applyColours();
}

bool VelmoIPAddress::IsValidIP() const
{
    for (const IPField *field : m_fields) {
        if (!inFieldRange(leadingValue(field->text())))
            return false;
    }
    return true;
}

void VelmoIPAddress::SetIPFocus(int index)
{
    if (index >= 0 && index < FieldCount)
        m_fields[index]->setFocus(Qt::OtherFocusReason);
}

VelmoIPAddress::Properties VelmoIPAddress::properties() const
{
    Properties saved;
    if (font() != hostFont())
        saved.Font = font();
    if (const QString address = ipAddress(); address != DefaultIPAddress)
        saved.IPAddress = address;
    if (m_useDisabledBackColor != DefaultUseDisabledBackColor)
        saved.UseDisabledBackColor = m_useDisabledBackColor;
    // The control's own setting, not a disabled host's.
    if (const bool enabled = !testAttribute(Qt::WA_ForceDisabled); enabled != DefaultEnabled)
        saved.Enabled = enabled;
    if (m_backColorValue != DefaultBackColor)
        saved.BackColor = m_backColorValue;
    if (m_textColorValue != DefaultTextColor)
        saved.TextColor = m_textColorValue;
    return saved;
}

void VelmoIPAddress::setProperties(const Properties &saved)
{
    // Without a saved font the control takes its host's, and keeps following it.
    setFont(saved.Font.value_or(QFont()));
    setIpAddress(saved.IPAddress.value_or(DefaultIPAddress));
    m_useDisabledBackColor = saved.UseDisabledBackColor.value_or(DefaultUseDisabledBackColor);
    setEnabled(saved.Enabled.value_or(DefaultEnabled));
    // Enabling an enabled control changes nothing in Qt, yet the setter always re-applies the colours.
    applyColours();
    setBackColor(saved.BackColor.value_or(DefaultBackColor));
    setTextColor(saved.TextColor.value_or(DefaultTextColor));
}

void VelmoIPAddress::setGeometryTwips(const QRect &twips)
{
    const QScreen *where = screen();
    const qreal dpiX = where ? where->logicalDotsPerInchX() : FallbackDpi;
    const qreal dpiY = where ? where->logicalDotsPerInchY() : FallbackDpi;
    setGeometry(TwipsToPixels(twips, dpiX, dpiY));
    relayout();
}

QSize VelmoIPAddress::sizeHint() const
{
    return m_minimumSize;
}

QSize VelmoIPAddress::minimumSizeHint() const
{
    return m_minimumSize;
}

bool VelmoIPAddress::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress) {
        const int index = fieldIndex(watched);
        if (index >= 0)
            return handleKey(index, static_cast<QKeyEvent *>(event));
    }
    return QWidget::eventFilter(watched, event);
}

void VelmoIPAddress::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    switch (event->type()) {
    case QEvent::EnabledChange:
        applyColours();
        break;
    case QEvent::FontChange:
        for (IPField *field : m_fields)
            field->setFont(font());
        relayout();
        break;
    default:
        break;
    }
}

void VelmoIPAddress::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    relayout();
}

void VelmoIPAddress::mouseReleaseEvent(QMouseEvent *event)
{
    QWidget::mouseReleaseEvent(event);
    if (event->button() != Qt::LeftButton || !rect().contains(event->position().toPoint()))
        return;
    const int index = int(event->position().x() / (m_fieldWidth + VelmoIPAddressLayout::FieldSpacing));
    focusField(qBound(0, index, LastField));
}

void VelmoIPAddress::beep()
{
    QApplication::beep();
}

void VelmoIPAddress::showMessage(QMessageBox::Icon icon, const QString &title, const QString &text)
{
    QMessageBox box(icon, title, text, QMessageBox::Ok, this);
    box.exec();
}

int VelmoIPAddress::fieldIndex(const QObject *object) const
{
    for (int i = 0; i < FieldCount; ++i) {
        if (m_fields[i] == object)
            return i;
    }
    return -1;
}

// True when the key is consumed here; false lets the field handle it.
bool VelmoIPAddress::handleKey(int index, QKeyEvent *event)
{
    IPField *field = m_fields[index];
    switch (event->key()) {
    case Qt::Key_Left:
        if (caretPosition(field) == 0 && index > 0) {
            focusField(index - 1);
            m_fields[index - 1]->deselect();
            m_fields[index - 1]->end(false);
            return true;
        }
        return false;
    case Qt::Key_Right:
        if (caretPosition(field) == field->text().size() && index < LastField) {
            focusField(index + 1);
            m_fields[index + 1]->deselect();
            m_fields[index + 1]->home(false);
            return true;
        }
        return false;
    case Qt::Key_Backspace:
        return false;
    default:
        break;
    }

    // Shortcuts (copy, cut, paste, undo) stay with the field, whose validator admits digits only.
    if (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        return false;
    const QString typed = event->text();
    if (typed.isEmpty())
        return false;
    const QChar first = typed.front();
    // Tab, Return and Escape belong to the dialog; Delete to the field.
    if (first.unicode() < 0x20 || first.unicode() == 0x7F)
        return false;
    if (typed == QLatin1String(".")) {
        focusField(index == LastField ? 0 : index + 1);
        return true;
    }
    if (typed.size() != 1 || first < u'0' || first > u'9') {
        beep();
        return true;
    }

    // Judge the text this digit would really make: inserted at the caret, replacing any selection.
    QString candidate = field->text();
    if (field->hasSelectedText())
        candidate.remove(field->selectionStart(), field->selectedText().size());
    candidate.insert(caretPosition(field), first);
    if (candidate.size() > IPField::MaxLength)
        return false; // a full field refuses the digit by itself
    if (leadingValue(candidate) > MaxFieldValue) {
        beep();
        return true;
    }
    return false;
}

void VelmoIPAddress::fieldTextChanged(int index)
{
    // The setters raise Change once with the finished address instead of once per field.
    if (m_settingAddress)
        return;
    if (IsValidIP())
        emit Change(ipAddress());
    if (m_fields[index]->text().size() == IPField::MaxLength && index < LastField)
        focusField(index + 1);
}

void VelmoIPAddress::fieldLostFocus(int index, Qt::FocusReason reason)
{
    // Another window or a menu taking the focus leaves the field as it is.
    if (reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason)
        return;

    IPField *field = m_fields[index];
    bool isNumber = false;
    const int number = field->text().toInt(&isNumber);
    if (isNumber && number >= std::numeric_limits<qint16>::min() && number <= std::numeric_limits<qint16>::max()) {
        const QString normalised = QString::number(number);
        if (normalised != field->text())
            field->setText(normalised);
    }

    // The field that briefly had the focus while this one is reported is not reported in turn,
    // so two bad fields cannot pass the focus and their messages back and forth.
    if (m_reportingRange || inFieldRange(leadingValue(field->text())))
        return;
    QPointer<VelmoIPAddress> alive(this);
    m_reportingRange = true;
    showMessage(QMessageBox::Warning, text(StringId::ProductName), text(StringId::ValueRange));
    if (!alive)
        return;
    field->setFocus(Qt::OtherFocusReason);
    field->selectAll();
    m_reportingRange = false;
}

void VelmoIPAddress::focusField(int index)
{
    m_fields[index]->setFocus(Qt::OtherFocusReason);
}

VelmoIPAddressLayout VelmoIPAddress::layoutFor(QSize size) const
{
    const QFontMetrics metrics(font());
    return VelmoIPAddressLayout::compute(size, metrics.horizontalAdvance(QStringLiteral("XXX")),
                                         metrics.height() + 2 * FieldTextPadding);
}

void VelmoIPAddress::relayout()
{
    const VelmoIPAddressLayout layout = layoutFor(size());
    if (layout.minimumSize != m_minimumSize) {
        m_minimumSize = layout.minimumSize;
        updateGeometry();
    }
    if (layout.size != size())
        resize(layout.size);
    m_fieldWidth = layout.FieldWidth;
    for (int i = 0; i < FieldCount; ++i)
        m_fields[i]->setGeometry(layout.fields[i].toRect());
    for (int i = 0; i < LastField; ++i)
        m_dots[i]->setGeometry(layout.dots[i].toRect());
}

void VelmoIPAddress::applyColours()
{
    const QPalette system = QGuiApplication::palette();
    const quint32 backValue =
        (isEnabled() || !m_useDisabledBackColor) ? m_backColorValue : ColorValue::ButtonFace;
    const QColor back = ColorFromValue(backValue, system);
    const QColor fore = ColorFromValue(m_textColorValue, system);

    for (IPField *field : m_fields) {
        QPalette palette = field->palette();
        palette.setColor(QPalette::Base, back);
        // Disabled text keeps the platform's greyed colour.
        palette.setColor(QPalette::Active, QPalette::Text, fore);
        palette.setColor(QPalette::Inactive, QPalette::Text, fore);
        field->setPalette(palette);
    }
    QPalette own = palette();
    own.setColor(QPalette::Window, back);
    own.setColor(QPalette::Active, QPalette::WindowText, fore);
    own.setColor(QPalette::Inactive, QPalette::WindowText, fore);
    setPalette(own);
}

QFont VelmoIPAddress::hostFont() const
{
    return parentWidget() ? parentWidget()->font() : QApplication::font();
}

} // namespace farlight
