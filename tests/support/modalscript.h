#pragma once

#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <functional>

// Modal dialogs and popup menus block the test in their own event loop; these helpers answer
// them from a timer once they are on screen.
namespace testsupport {

/// Calls @p act with the first widget of type W that becomes the active popup (for menus) or
/// the active modal widget (for dialogs), looking every 10 ms for up to @p timeoutMs. Its timer
/// is not the ModalScript's, so a script can answer the dialogs that @p act opens.
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

struct MessageBoxRecord
{
    QString text;
    QString title;
};

/// Answers every login dialog (frmLogin) and message box that comes up while it exists, in the
/// order they come, and logs them: message boxes by their text, login dialogs as Login.
class ModalScript : public QObject
{
public:
    static inline const QString Login = QStringLiteral("login");

    /// Login dialogs without a queued answer are confirmed with @p password; message boxes without one get Ok.
    explicit ModalScript(const QString &password = QStringLiteral("admin"))
        : m_password(password)
    {
        connect(&m_timer, &QTimer::timeout, this, &ModalScript::poll);
        m_timer.start(10);
    }

    /// The answer to the next login dialog; answers are used in the order queued.
    void queueLogin(const QString &password, bool ok) { m_logins.append({password, ok}); }
    /// The button that answers the next message box (rejected without it), in the order queued.
    void queueBox(QMessageBox::StandardButton button) { m_buttons.append(button); }

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
            m_boxes.append({box->text(), box->windowTitle()});
            QAbstractButton *answer = box->button(m_buttons.isEmpty() ? QMessageBox::Ok : m_buttons.takeFirst());
            answer ? answer->click() : box->reject();
        } else if (modal->objectName() == QLatin1String("frmLogin")) {
            m_log.append(Login);
            const auto [password, ok] = m_logins.isEmpty() ? std::pair(m_password, true) : m_logins.takeFirst();
            QTest::keyClicks(modal->findChild<QLineEdit *>(QStringLiteral("PasswordTxt")), password);
            modal->findChild<QPushButton *>(ok ? QStringLiteral("cmdOK") : QStringLiteral("cmdCancel"))->click();
        }
    }

    QString m_password;
    QList<std::pair<QString, bool>> m_logins;
    QList<QMessageBox::StandardButton> m_buttons;
    QStringList m_log;
    QList<MessageBoxRecord> m_boxes;
    QList<QPointer<QWidget>> m_handled;
    QTimer m_timer;
};

} // namespace testsupport
