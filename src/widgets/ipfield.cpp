#include "widgets/ipfield.h"

#include <QFocusEvent>
#include <QRegularExpression>
#include <QRegularExpressionValidator>

namespace farlight {

IPField::IPField(QWidget *parent)
    : QLineEdit(parent)
{
    setFrame(false);
    setAlignment(Qt::AlignCenter);
    setMaxLength(MaxLength);
    // Typed keys are filtered by the control; this keeps pasted or dropped text to digits too.
    setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,3}")), this));
}

void IPField::focusInEvent(QFocusEvent *event)
{
    QLineEdit::focusInEvent(event);
    // Coming back to the window or closing a menu returns to the caret the user left.
    if (event->reason() != Qt::ActiveWindowFocusReason && event->reason() != Qt::PopupFocusReason)
        selectAll();
}

void IPField::focusOutEvent(QFocusEvent *event)
{
    QLineEdit::focusOutEvent(event);
    emit focusLost(event->reason());
}

} // namespace farlight
