#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <functional>

namespace farlight::test {

/// @brief Runs @p program and waits for it; true when it exits with status 0. Its standard
/// output goes to @p output when given; its error output is printed on failure.
bool RunProgram(const QString &program, const QStringList &arguments, QByteArray *output = nullptr);

/// @brief Runs "ip" with @p arguments in the test's own network namespace.
bool Ip(const QStringList &arguments, QByteArray *output = nullptr);

/// @brief The index of interface @p name in the calling thread's network namespace, or 0.
int InterfaceIndex(const QString &name);

/// @brief A second private network namespace next to the test's own, held by a child process
/// for the object's lifetime. Links moved into it vanish with it.
class PeerNamespace
{
public:
    PeerNamespace() = default;
    ~PeerNamespace();
    PeerNamespace(const PeerNamespace &) = delete;
    PeerNamespace &operator=(const PeerNamespace &) = delete;

    /// @brief Creates the namespace and brings its loopback up.
    bool start();
    /// @brief Moves link @p name of the test's namespace into this one.
    bool adoptLink(const QString &name);
    /// @brief Runs "ip" with @p arguments inside this namespace.
    bool ip(const QStringList &arguments);
    /// @brief Runs @p action with the calling thread inside this namespace; sockets created
    /// meanwhile stay in it.
    bool enter(const std::function<void()> &action);

private:
    QString namespacePath() const;

    QProcess m_holder;
    int m_ownNamespace = -1;
    int m_peerNamespace = -1;
};

} // namespace farlight::test
