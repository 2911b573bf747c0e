#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace farlight::cli {

enum class OutputFormat { Table, Json, Csv };

/// @brief One run of farlight-cli as its arguments describe it.
struct Command
{
    enum class Kind { Search, SetIp, Upgrade, FilterGet, FilterSet, Doctor, Apply };

    Kind kind = Kind::Search;
    QString adapter;             ///< only devices found through this adapter (interface name)
    OutputFormat format = OutputFormat::Table; ///< doctor: Table is its plain text
    QStringList devices;         ///< as typed: MAC, IP address or host name
    bool all = false;            ///< every device found
    QString passwordFile;
    QString credentials;         ///< --credentials: a password per device
    // set-ip
    bool dhcp = false;
    QString ip;
    QString mask;
    QString gateway = QStringLiteral("0.0.0.0");
    int jobs = 4;                ///< devices worked on at once (upgrade, set-ip, filter set)
    int searchMs = 0;            ///< --search-time: the search's full length; 0 for the usual 4.5 s
    // upgrade
    QString firmware;
    int retries = 0;
    bool force = false;          ///< upload also to an address several found devices share
    bool wait = false;           ///< a device succeeds once it answers a search after its upload
    int waitTimeoutS = 180;      ///< how long --wait gives each device
    // filter get (--out) and filter set (the list to write)
    QString macFile;
    bool verify = false;         ///< filter set: read each list back and compare
    // apply
    QString plan;                ///< the plan file
    bool dryRun = false;         ///< show the plan, change nothing
    bool yes = false;            ///< apply without asking
};

/// @brief What the arguments gave: a command to run, or a text to print and the exit status
/// to end with (help: 0 on standard output; a usage error: 2 on standard error).
struct ParsedArguments
{
    std::optional<Command> command;
    QString text;
    int exitCode = 0;
};

/// @brief Exit statuses of farlight-cli.
namespace ExitCode {
inline constexpr int Success = 0;
inline constexpr int Failure = 1; ///< a device failed, refused, did not answer or was not found
inline constexpr int Usage = 2;   ///< the command line (or a file or value it names) is wrong
} // namespace ExitCode

/// @brief Reads the arguments after the program name.
ParsedArguments ParseArguments(const QStringList &arguments);

} // namespace farlight::cli
