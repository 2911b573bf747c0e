#pragma once

#include "dialogs/logindialog.h"

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

#include <algorithm>
#include <functional>

// Answers every login dialog and message box that comes up while it exists, in the order they
// come, and keeps a log of them. Modal dialogs run their own event loops, so the answers come
// from a timer that looks at the active modal widget.
namespace testsupport {

struct ShownBox
{
    QString text;
    QString title;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
};

struct LoginAnswer
{
    QString password;
    bool ok = true;
    /// Runs while the login dialog is up, before it is answered.
    std::function<void()> meanwhile;
};

/// Calls @p act once @p ready() holds, looking every 10 ms for up to @p timeoutMs; it keeps
/// looking inside modal event loops. The timer that looks is gone once it has acted or given up.
inline void whenReady(std::function<bool()> ready, std::function<void()> act, int timeoutMs = 10000)
{
    auto *timer = new QTimer;
    timer->setInterval(10);
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
    timer->start();
}

/// Calls @p act with the first widget of type W that becomes the active modal widget.
template <typename W>
void whenModal(std::function<void(W *)> act, int timeoutMs = 5000)
{
    whenReady([] { return qobject_cast<W *>(QApplication::activeModalWidget()) != nullptr; },
              [act] {
                  if (W *widget = qobject_cast<W *>(QApplication::activeModalWidget()))
                      act(widget);
              },
              timeoutMs);
}

class ModalScript : public QObject
{
public:
    /// Entry of log() for each login dialog shown; message boxes are logged by their text.
    static inline const QString Login = QStringLiteral("login");

    /// Login dialogs without a queued answer are confirmed with @p password.
    explicit ModalScript(const QString &password = QStringLiteral("admin"))
        : m_defaultPassword(password)
    {
        connect(&m_timer, &QTimer::timeout, this, &ModalScript::poll);
        m_timer.start(10);
    }

    /// The answer to the next login dialog; answers are used in the order queued.
    void queueLogin(const QString &password, bool ok, std::function<void()> meanwhile = {})
    {
        m_logins.append({password, ok, std::move(meanwhile)});
    }

    const QStringList &log() const { return m_log; }
    const QList<ShownBox> &boxes() const { return m_boxes; }
    qsizetype loginCount() const { return std::count(m_log.cbegin(), m_log.cend(), Login); }

private:
    void poll()
    {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible() || m_handled.contains(modal))
            return;
        if (auto *box = qobject_cast<QMessageBox *>(modal)) {
            m_handled.append(modal);
            m_log.append(box->text());
            m_boxes.append({box->text(), box->windowTitle(), box->icon(), box->standardButtons()});
            if (QAbstractButton *ok = box->button(QMessageBox::Ok))
                ok->click();
            else
                box->reject();
        } else if (auto *login = qobject_cast<farlight::LoginDialog *>(modal)) {
            m_handled.append(modal);
            m_log.append(Login);
            const LoginAnswer answer = m_logins.isEmpty() ? LoginAnswer{m_defaultPassword, true, {}} : m_logins.takeFirst();
            // Answered from a timer of its own, so this one keeps answering message boxes while
            // the login waits for its meanwhile part.
            const QPointer<farlight::LoginDialog> alive(login);
            QTimer::singleShot(0, this, [alive, answer] {
                if (answer.meanwhile)
                    answer.meanwhile();
                if (!alive)
                    return;
                if (auto *field = alive->findChild<QLineEdit *>(QStringLiteral("PasswordTxt")))
                    QTest::keyClicks(field, answer.password);
                const QString name = answer.ok ? QStringLiteral("cmdOK") : QStringLiteral("cmdCancel");
                if (auto *button = alive->findChild<QPushButton *>(name))
                    button->click();
                else
                    alive->reject();
            });
        }
    }

    QString m_defaultPassword;
    QList<LoginAnswer> m_logins;
    QStringList m_log;
    QList<ShownBox> m_boxes;
    QList<QPointer<QWidget>> m_handled;
    QTimer m_timer;
};

} // namespace testsupport
