#pragma once

#include "protocol/macaddress.h"

#include <QHash>
#include <QString>

#include <optional>

namespace farlight::cli {

/// @brief The address settings Farlight last applied to a device. The device reports only the
/// address it answers from; its mask, gateway and mode are known only from here.
struct AppliedAddress
{
    bool dhcp = false;
    QString ip; ///< static settings; empty for DHCP
    QString mask;
    QString gateway;

    bool operator==(const AppliedAddress &) const = default;
};

/// @brief What `apply` remembers between runs, per device MAC, in a JSON file of the user's
/// state folder.
///
/// The file is rewritten whole and atomically, after it has been read again, so two runs that
/// worked on different devices keep each other's records.
class ApplyState
{
public:
    /// @brief "$XDG_STATE_HOME/farlight/applied.json", or "~/.local/state/farlight/applied.json"
    /// when the variable is unset or not an absolute path.
    static QString DefaultPath();

    explicit ApplyState(QString path) : m_path(std::move(path)) {}

    const QString &path() const { return m_path; }

    /// @brief Reads the file; a missing file is an empty record. Returns a warning when the file
    /// exists but cannot be read as a record (it is then treated as empty), else nothing.
    std::optional<QString> load();

    /// @brief What was last applied to @p mac, if anything.
    std::optional<AppliedAddress> address(const MacAddress &mac) const;

    /// @brief Remembers that @p settings were applied to @p mac; save() writes it.
    void record(const MacAddress &mac, const AppliedAddress &settings);

    /// @brief Writes the records of this run over the file's current content (creating the
    /// folder, private to the user). Returns the reason it failed, else nothing.
    std::optional<QString> save();

private:
    QString m_path;
    QHash<QString, AppliedAddress> m_known;    ///< by FormatMac
    QHash<QString, AppliedAddress> m_recorded; ///< this run's records, by FormatMac
};

} // namespace farlight::cli
