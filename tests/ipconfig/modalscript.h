#pragma once

#include "../support/modalanswer.h"

#include "dialogs/logindialog.h"

#include <QLineEdit>
#include <QList>
#include <QStringList>
#include <QTest>

namespace testsupport {

/// Calls @p act once @p ready() holds, looking every 10 ms (inside modal loops too) for up to
/// @p timeoutMs; the timer that looks is gone once it has acted or given up.
inline void whenReady(std::function<bool()> ready, std::function<void()> act, int timeoutMs = 10000)
{
    auto *timer = new QTimer(QCoreApplication::instance()); // freed with the application at the latest
    int remaining = timeoutMs / 10;
    QObject::connect(timer, &QTimer::timeout, timer, [timer, ready, act, remaining]() mutable {
        const bool now = ready();
        if (now || --remaining <= 0) {
            timer->stop();
            timer->deleteLater();
        }
        if (now)
            act();
    });
    timer->start(10);
}

/// Answers every login dialog and message box that comes up while it exists, in the order they
/// come, and logs them: message boxes by their text, login dialogs as Login.
class ModalScript : public QObject
{
public:
    static inline const QString Login = QStringLiteral("login");

    /// Login dialogs without a queued answer are confirmed with @p password.
    explicit ModalScript(const QString &password = QStringLiteral("admin"))
        : m_password(password)
    {
        connect(&m_timer, &QTimer::timeout, this, &ModalScript::poll);
        m_timer.start(10);
    }

    /// The answer to the next login dialog; answers are used in the order queued.
    void queueLogin(const QString &password, bool ok) { m_logins.append({password, ok}); }

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
            m_boxes.append({box->text(), box->windowTitle(), box->icon(), box->standardButtons(), {}, true});
            box->button(QMessageBox::Ok) ? box->button(QMessageBox::Ok)->click() : box->reject();
        } else if (qobject_cast<farlight::LoginDialog *>(modal)) {
            m_log.append(Login);
            const auto [password, ok] = m_logins.isEmpty() ? std::pair(m_password, true) : m_logins.takeFirst();
            QTest::keyClicks(modal->findChild<QLineEdit *>(QStringLiteral("PasswordTxt")), password);
            modal->findChild<QPushButton *>(ok ? QStringLiteral("cmdOK") : QStringLiteral("cmdCancel"))->click();
        }
    }

    QString m_password;
    QList<std::pair<QString, bool>> m_logins;
    QStringList m_log;
    QList<MessageBoxRecord> m_boxes;
    QList<QPointer<QWidget>> m_handled;
    QTimer m_timer;
};

} // namespace testsupport
