#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QLineEdit>
#include <QList>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QStringList>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

// Modal dialogs and popup menus block the test in their own event loop; these helpers answer
// them from a timer once they are on screen.
namespace testsupport {

/// Calls @p act with the first widget of type W that becomes the active popup (for menus) or
/// the active modal widget (for dialogs), looking every 10 ms for up to @p timeoutMs.
template <typename W>
void whenShown(std::function<void(W *)> act, int timeoutMs = 5000)
{
    auto *timer = new QTimer(QCoreApplication::instance());
    QObject::connect(timer, &QTimer::timeout, timer, [timer, act, remaining = timeoutMs / 10]() mutable {
        W *shown = qobject_cast<W *>(QApplication::activePopupWidget());
        shown = shown ? shown : qobject_cast<W *>(QApplication::activeModalWidget());
        if (shown || --remaining <= 0) {
            timer->stop();
            timer->deleteLater();
        }
        if (shown)
            act(shown);
    });
    timer->start(10);
}

/// What a message box showed.
struct MessageBoxRecord
{
    QString text;
    QString title;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
    bool shown = false;
};

/// Records @p box, then clicks its @p button, or rejects it when it has no such button.
inline MessageBoxRecord answer(QMessageBox *box, QMessageBox::StandardButton button)
{
    QAbstractButton *defaultButton = box->defaultButton();
    MessageBoxRecord record{box->text(), box->windowTitle(), box->icon(), box->standardButtons(),
                            defaultButton ? box->standardButton(defaultButton) : QMessageBox::NoButton, true};
    if (QAbstractButton *b = box->button(button))
        b->click();
    else
        box->reject();
    return record;
}

/// Answers the next message box with @p button; the record fills in once it has been shown.
inline std::shared_ptr<MessageBoxRecord> answerMessageBox(QMessageBox::StandardButton button, int timeoutMs = 5000)
{
    auto record = std::make_shared<MessageBoxRecord>();
    whenShown<QMessageBox>([record, button](QMessageBox *box) { *record = answer(box, button); }, timeoutMs);
    return record;
}

/// Answers every login dialog (frmLogin) and message box that comes up while it exists, in the
/// order they come, and logs them: message boxes by their text, login dialogs as Login. Any
/// other modal widget goes to the handler given to onOther().
class ModalScript : public QObject
{
public:
    static inline const QString Login = QStringLiteral("login");

    /// Login dialogs without a queued answer are confirmed with @p password; message boxes
    /// without one get Ok.
    explicit ModalScript(const QString &password = QStringLiteral("admin"))
        : m_password(password)
    {
        connect(&m_timer, &QTimer::timeout, this, &ModalScript::poll);
        m_timer.start(10);
    }

    /// The answer to the next login dialog; answers are used in the order queued.
    void queueLogin(const QString &password, bool ok) { m_logins.append({password, ok}); }
    /// The button that answers the next message box; answers are used in the order queued.
    void queueBox(QMessageBox::StandardButton button) { m_buttons.append(button); }
    /// Hands every other modal widget, once shown, to @p act.
    void onOther(std::function<void(QWidget *)> act) { m_other = std::move(act); }

    const QStringList &log() const { return m_log; }
    const QList<MessageBoxRecord> &boxes() const { return m_boxes; }

private:
    void poll()
    {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible() || m_handled.contains(modal))
            return;
        m_handled.append(modal);
        if (auto *box = qobject_cast<QMessageBox *>(modal)) {
            m_log.append(box->text());
            m_boxes.append(answer(box, m_buttons.isEmpty() ? QMessageBox::Ok : m_buttons.takeFirst()));
        } else if (modal->objectName() == QLatin1String("frmLogin")) {
            m_log.append(Login);
            const auto [password, ok] = m_logins.isEmpty() ? std::pair(m_password, true) : m_logins.takeFirst();
            QTest::keyClicks(modal->findChild<QLineEdit *>(QStringLiteral("PasswordTxt")), password);
            modal->findChild<QPushButton *>(ok ? QStringLiteral("cmdOK") : QStringLiteral("cmdCancel"))->click();
        } else if (m_other) {
            // Queued: a timer is not run again inside its own handler, so this script could not
            // answer the dialogs the handler opens.
            QTimer::singleShot(0, modal, [act = m_other, modal] { act(modal); });
        }
    }

    QString m_password;
    QList<std::pair<QString, bool>> m_logins;
    QList<QMessageBox::StandardButton> m_buttons;
    std::function<void(QWidget *)> m_other;
    QStringList m_log;
    QList<MessageBoxRecord> m_boxes;
    QList<QPointer<QWidget>> m_handled;
    QTimer m_timer;
};

} // namespace testsupport
