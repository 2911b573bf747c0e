#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QPushButton>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>

#include <functional>
#include <memory>

// Modal message boxes and popup menus block the test in their own event loop; these helpers
// answer them from a timer once they are on screen.
namespace testsupport {

/// Calls @p act with the first widget of type W that becomes the active modal widget (for
/// dialogs) or the active popup (for menus), polling every 10 ms for up to @p timeoutMs.
template <typename W>
void whenShown(std::function<void(W *)> act, int timeoutMs = 5000)
{
    auto *timer = new QTimer;
    timer->setInterval(10);
    auto remaining = std::make_shared<int>(timeoutMs / 10);
    QObject::connect(timer, &QTimer::timeout, [timer, act, remaining] {
        QWidget *candidate = QApplication::activePopupWidget();
        if (!qobject_cast<W *>(candidate))
            candidate = QApplication::activeModalWidget();
        W *widget = qobject_cast<W *>(candidate);
        if (widget || --*remaining <= 0) {
            timer->stop();
            timer->deleteLater();
        }
        if (widget)
            act(widget);
    });
    timer->start();
}

/// Answers the next message box with @p button and records its text, title and icon.
struct MessageBoxRecord
{
    QString text;
    QString title;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
    bool shown = false;
};

inline std::shared_ptr<MessageBoxRecord> answerMessageBox(QMessageBox::StandardButton button, int timeoutMs = 5000)
{
    auto record = std::make_shared<MessageBoxRecord>();
    whenShown<QMessageBox>(
        [record, button](QMessageBox *box) {
            record->shown = true;
            record->text = box->text();
            record->title = box->windowTitle();
            record->icon = box->icon();
            record->buttons = box->standardButtons();
            record->defaultButton = box->defaultButton() ? box->standardButton(box->defaultButton())
                                                         : QMessageBox::NoButton;
            if (QAbstractButton *b = box->button(button))
                b->click();
            else
                box->reject();
        },
        timeoutMs);
    return record;
}

} // namespace testsupport
