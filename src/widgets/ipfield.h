#pragma once

#include <QLineEdit>

namespace farlight {

/// @brief One of the entry control's four number fields: selects its whole text when it gains
/// the focus, and reports a focus loss after the field itself has handled it.
class IPField : public QLineEdit
{
    Q_OBJECT

public:
    static constexpr int MaxLength = 3;

    explicit IPField(QWidget *parent = nullptr);

signals:
    /// @brief The focus moved elsewhere for @p reason; the field has already taken note of it.
    void focusLost(Qt::FocusReason reason);

protected:
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
};

} // namespace farlight
