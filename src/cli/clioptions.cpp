#include "cli/clioptions.h"

#include "resources/strings.h"

#include <QCommandLineOption>
#include <QCommandLineParser>

namespace farlight::cli {

using namespace Qt::StringLiterals;

namespace {

const QString Program = u"farlight-cli"_s;

const QString Overview = uR"(Usage: farlight-cli COMMAND [OPTIONS]

Finds the access points on the local network and acts on them, as the Farlight window does.

Commands:
  search                        list the devices found
  set-ip DEVICE --ip A --mask M [--gateway G]
  set-ip DEVICE... --dhcp       give a device a static address, or let devices use DHCP
  upgrade DEVICE... FILE.bin    upload firmware, several devices at once
  filter get DEVICE             read a device's MAC filter list
  filter set DEVICE... LIST     write a MAC filter list (.MAC, text or CSV) to devices
  doctor                        find out why devices are not found
  apply PLAN.csv                bring the devices of a plan to what it says, changing only what differs

DEVICE is a MAC address (00-0A-1B-2C-3D-4E, 00:0a:1b:2c:3d:4e, 000a.1b2c.3d4e or 000A1B2C3D4E),
an IP address or a host name; --all instead of DEVICE takes every device found (upgrade, set-ip
--dhcp, filter set), and --jobs N works on N of them at once (default 4). The search ends once
the devices named have answered, else after 4.5 s or --search-time SECONDS.
The password of set-ip and filter comes from --credentials FILE (a password per device), then
--password-file FILE, the FARLIGHT_PASSWORD environment variable or, on a terminal, a prompt.
set-ip, upgrade, filter set and apply print their results as JSON with --format json.

Exit status: 0 when every device succeeded, 1 when any failed, 2 for a usage error.
'farlight-cli COMMAND --help' describes a command.
)"_s;

// Things every command takes.
const QCommandLineOption HelpOption({u"h"_s, u"help"_s}, u"Show this help."_s);
const QCommandLineOption AdapterOption(u"adapter"_s, u"Only devices found through the adapter NAME (e.g. eth0)."_s,
                                       u"NAME"_s);
const QCommandLineOption PasswordFileOption(u"password-file"_s,
                                            u"Read the device password from the first line of FILE."_s, u"FILE"_s);
const QCommandLineOption CredentialsOption(
    u"credentials"_s,
    u"Passwords per device: lines DEVICE,PASSWORD (MAC, IP, host name or * for the rest); must not be readable "
    "by group or others. Devices it does not name take the usual password."_s,
    u"FILE"_s);
const QCommandLineOption SearchTimeOption(
    u"search-time"_s,
    u"Search for up to SECONDS, 0.5 to 60 (default 4.5); a search for named devices ends once they have answered."_s,
    u"SECONDS"_s);
const QCommandLineOption AllOption(u"all"_s, u"Every device found."_s);

struct CommandSpec
{
    Command::Kind kind;
    QString name;     // as typed
    QString synopsis; // after "farlight-cli "
    QString description;
};

const CommandSpec Specs[] = {
    {Command::Kind::Search, u"search"_s, u"search [--adapter NAME] [--format table|json|csv]"_s,
     u"Searches the network and lists each device: host name, IP, SSID, channel, WEP, MAC, adapter."_s},
    {Command::Kind::SetIp, u"set-ip"_s,
     u"set-ip DEVICE --ip A --mask M [--gateway G] [--credentials FILE]\n"
     "       farlight-cli set-ip (DEVICE... | --all) --dhcp [--jobs N] [--credentials FILE]"_s,
     u"Sets a device's static address, or lets devices take one by DHCP."_s},
    {Command::Kind::Upgrade, u"upgrade"_s, u"upgrade (DEVICE... | --all) FILE.bin [--jobs N] [--retries N] [--force] [--wait [--wait-timeout S]]"_s,
     u"Checks the firmware image, then uploads it to the devices by TFTP, several at a time. A device whose\n"
     "address other found devices share is refused unless --force: the upload reaches whichever answers.\n"
     "With --wait, a device that took the image has succeeded only once it answers a search again."_s},
    {Command::Kind::FilterGet, u"filter get"_s, u"filter get DEVICE [--out FILE.MAC] [--credentials FILE]"_s,
     u"Reads a device's MAC filter list: prints it, or saves it as a .MAC file."_s},
    {Command::Kind::FilterSet, u"filter set"_s, u"filter set (DEVICE... | --all) LIST [--jobs N] [--verify] [--credentials FILE]"_s,
     u"Writes a MAC list to the devices: a .MAC file, one address per line in any notation (# comments),\n"
     "or a CSV file whose lines each give the first field that is a MAC address."_s},
    {Command::Kind::Doctor, u"doctor"_s, u"doctor [--adapter NAME] [--format text|json]"_s,
     u"Checks the adapters, their reverse-path filters, the firewall (as root) and the TFTP port, then searches\n"
     "and counts what arrives. Changes nothing. Exit status 0 when no problem was found, 1 otherwise."_s},
    {Command::Kind::Apply, u"apply"_s, u"apply PLAN.csv [--dry-run] [--yes] [--jobs N] [--credentials FILE] [--format table|json]"_s,
     u"Reads the plan (columns mac, ip, mask, gateway, dhcp, filter), searches, reads the filter lists and shows\n"
     "what would change; after a yes (or --yes) changes only that, --jobs devices at a time, and checks with a\n"
     "new search that every changed device answers where it should."_s},
};

constexpr double MinSearchSeconds = 0.5;
constexpr double MaxSearchSeconds = 60;

ParsedArguments UsageError(const QString &message, const QString &command = {})
{
    const QString hint = command.isEmpty() ? u"farlight-cli --help"_s : u"farlight-cli %1 --help"_s.arg(command);
    return {std::nullopt, u"farlight-cli: %1\nTry '%2'.\n"_s.arg(message, hint), ExitCode::Usage};
}

std::optional<int> Number(const QString &text, int low, int high)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok || value < low || value > high)
        return std::nullopt;
    return value;
}

// The positional arguments DEVICE... FILE, or --all FILE.
bool SplitDevicesAndFile(const QStringList &positional, bool all, Command &command, QString &file, QString &error)
{
    if (positional.isEmpty()) {
        error = u"name the file"_s;
        return false;
    }
    file = positional.last();
    command.devices = positional.first(positional.size() - 1);
    if (all && !command.devices.isEmpty()) {
        error = u"give either devices or --all, not both"_s;
        return false;
    }
    if (!all && command.devices.isEmpty()) {
        error = text(StringId::CliDevicesOrAll);
        return false;
    }
    return true;
}

} // namespace

ParsedArguments ParseArguments(const QStringList &arguments)
{
    if (arguments.isEmpty())
        return UsageError(u"no command given"_s);
    const QString &first = arguments.first();
    if (first == u"--help" || first == u"-h" || first == u"help")
        return {std::nullopt, Overview, ExitCode::Success};
    if (first == u"--version")
        return {std::nullopt, u"farlight-cli %1\n"_s.arg(QStringLiteral(FARLIGHT_VERSION)), ExitCode::Success};
    for (const QString &argument : arguments) {
        // A password on the command line shows in every user's process list.
        if (argument == u"--password" || argument.startsWith(u"--password="))
            return UsageError(text(StringId::CliPasswordOnCommandLine));
    }

    QString name = first;
    qsizetype consumed = 1;
    if (first == u"filter") {
        if (arguments.size() < 2 || (arguments[1] != u"get" && arguments[1] != u"set"))
            return UsageError(u"'filter' needs 'get' or 'set'"_s);
        name = u"filter "_s + arguments[1];
        consumed = 2;
    }
    const CommandSpec *spec = nullptr;
    for (const CommandSpec &candidate : Specs) {
        if (candidate.name == name)
            spec = &candidate;
    }
    if (!spec)
        return UsageError(text(StringId::CliUnknownCommand).arg(first));

    Command command;
    command.kind = spec->kind;
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.addOption(HelpOption);
    parser.addOption(AdapterOption);
    parser.addOption(SearchTimeOption);
    const QCommandLineOption formatOption(u"format"_s, u"table (default), json or csv."_s, u"FORMAT"_s);
    const QCommandLineOption ipOption(u"ip"_s, u"The static address."_s, u"A"_s);
    const QCommandLineOption maskOption(u"mask"_s, u"The subnet mask, e.g. 255.255.255.0."_s, u"M"_s);
    const QCommandLineOption gatewayOption(u"gateway"_s, u"The default gateway (none when left out)."_s, u"G"_s);
    const QCommandLineOption dhcpOption(u"dhcp"_s, u"Let the device take its address by DHCP."_s);
    const QCommandLineOption jobsOption(u"jobs"_s, u"Devices worked on at once, 1 to 64 (default 4)."_s, u"N"_s);
    const QCommandLineOption retriesOption(
        u"retries"_s, u"Start a failed upload again from the beginning, at most N times, 0 to 10 (default 0)."_s,
        u"N"_s);
    const QCommandLineOption resultFormatOption(u"format"_s, u"The result table as table (default) or json."_s,
                                                u"FORMAT"_s);
    const QCommandLineOption reportFormatOption(u"format"_s, u"text (default) or json."_s, u"FORMAT"_s);
    const QCommandLineOption forceOption(
        u"force"_s, u"Upload also to an address that several found devices share; whichever answers gets it."_s);
    const QCommandLineOption waitOption(u"wait"_s, u"After each upload, wait until the device answers a search again."_s);
    const QCommandLineOption waitTimeoutOption(
        u"wait-timeout"_s, u"How long --wait waits for each device, 1 to 3600 seconds (default 180)."_s, u"S"_s);
    const QCommandLineOption verifyOption(u"verify"_s, u"Read each list back and compare it with the file."_s);
    const QCommandLineOption dryRunOption(u"dry-run"_s, u"Show the plan and stop."_s);
    const QCommandLineOption yesOption(u"yes"_s, u"Apply without asking."_s);
    const QCommandLineOption outOption(u"out"_s, u"Save the list as FILE.MAC instead of printing it."_s, u"FILE"_s);
    switch (command.kind) {
    case Command::Kind::Search:
        parser.addOption(formatOption);
        break;
    case Command::Kind::SetIp:
        parser.addOptions({ipOption, maskOption, gatewayOption, dhcpOption, PasswordFileOption, CredentialsOption,
                           AllOption, jobsOption, resultFormatOption});
        break;
    case Command::Kind::Upgrade:
        parser.addOptions({AllOption, jobsOption, retriesOption, forceOption, waitOption, waitTimeoutOption,
                           resultFormatOption});
        break;
    case Command::Kind::FilterGet:
        parser.addOptions({outOption, PasswordFileOption, CredentialsOption});
        break;
    case Command::Kind::FilterSet:
        parser.addOptions({AllOption, PasswordFileOption, CredentialsOption, jobsOption, verifyOption, resultFormatOption});
        break;
    case Command::Kind::Doctor:
        parser.addOption(reportFormatOption);
        break;
    case Command::Kind::Apply:
        parser.addOptions({dryRunOption, yesOption, PasswordFileOption, CredentialsOption, jobsOption, resultFormatOption});
        break;
    }
    if (!parser.parse(QStringList{Program} + arguments.mid(consumed)))
        return UsageError(parser.errorText(), name);
    if (parser.isSet(HelpOption)) {
        // Qt's own usage line names the program by its path; ours names the command.
        QString options = parser.helpText();
        options = options.mid(options.indexOf(u'\n') + 1).trimmed();
        return {std::nullopt, u"Usage: farlight-cli %1\n\n%2\n\n%3\n"_s.arg(spec->synopsis, spec->description, options),
                ExitCode::Success};
    }

    command.adapter = parser.value(AdapterOption);
    // Qt warns about options asked for that the command does not have.
    const QStringList given = parser.optionNames();
    command.passwordFile = given.contains(u"password-file"_s) ? parser.value(PasswordFileOption) : QString();
    command.credentials = given.contains(u"credentials"_s) ? parser.value(CredentialsOption) : QString();
    command.all = given.contains(u"all"_s);
    const QStringList positional = parser.positionalArguments();
    QString error;
    if (given.contains(u"search-time"_s)) {
        bool ok = false;
        const double seconds = parser.value(SearchTimeOption).toDouble(&ok);
        if (!ok || !(seconds >= MinSearchSeconds && seconds <= MaxSearchSeconds))
            return UsageError(u"--search-time takes seconds from 0.5 to 60"_s, name);
        command.searchMs = int(seconds * 1000);
    }
    if (const auto jobs = Number(given.contains(u"jobs"_s) ? parser.value(jobsOption) : u"4"_s, 1, 64))
        command.jobs = *jobs;
    else
        return UsageError(text(StringId::CliJobsRange), name);
    if (command.kind == Command::Kind::SetIp || command.kind == Command::Kind::Upgrade
        || command.kind == Command::Kind::FilterSet || command.kind == Command::Kind::Apply) {
        const QString format = parser.value(resultFormatOption);
        if (!format.isEmpty() && format != u"table" && format != u"json")
            return UsageError(u"unknown format '%1' (table or json)"_s.arg(format), name);
        command.format = format == u"json" ? OutputFormat::Json : OutputFormat::Table;
    }
    switch (command.kind) {
    case Command::Kind::Search: {
        if (!positional.isEmpty())
            return UsageError(u"search takes no device"_s, name);
        const QString format = parser.value(formatOption);
        if (format.isEmpty() || format == u"table")
            command.format = OutputFormat::Table;
        else if (format == u"json")
            command.format = OutputFormat::Json;
        else if (format == u"csv")
            command.format = OutputFormat::Csv;
        else
            return UsageError(text(StringId::CliUnknownSearchFormat).arg(format), name);
        break;
    }
    case Command::Kind::SetIp:
        command.devices = positional;
        command.dhcp = parser.isSet(dhcpOption);
        if (command.all && !positional.isEmpty())
            return UsageError(u"give either devices or --all, not both"_s, name);
        // One static address for several devices would give them all the same one.
        if (command.dhcp ? (positional.isEmpty() && !command.all) : (positional.size() != 1 || command.all))
            return UsageError(text(command.dhcp ? StringId::CliDevicesOrAll : StringId::CliOneDeviceForStatic), name);
        command.ip = parser.value(ipOption);
        command.mask = parser.value(maskOption);
        if (parser.isSet(gatewayOption))
            command.gateway = parser.value(gatewayOption);
        if (command.dhcp && (parser.isSet(ipOption) || parser.isSet(maskOption) || parser.isSet(gatewayOption)))
            return UsageError(u"--dhcp takes no --ip, --mask or --gateway"_s, name);
        if (!command.dhcp && (!parser.isSet(ipOption) || !parser.isSet(maskOption)))
            return UsageError(u"give --ip and --mask, or --dhcp"_s, name);
        break;
    case Command::Kind::Upgrade: {
        if (!SplitDevicesAndFile(positional, command.all, command, command.firmware, error))
            return UsageError(error, name);
        const auto retries = Number(parser.isSet(retriesOption) ? parser.value(retriesOption) : u"0"_s, 0, 10);
        if (!retries)
            return UsageError(u"--retries takes a number from 0 to 10"_s, name);
        command.retries = *retries;
        command.force = parser.isSet(forceOption);
        command.wait = parser.isSet(waitOption);
        const auto waitTimeout = Number(parser.isSet(waitTimeoutOption) ? parser.value(waitTimeoutOption) : u"180"_s, 1, 3600);
        if (!waitTimeout)
            return UsageError(u"--wait-timeout takes a number of seconds from 1 to 3600"_s, name);
        if (parser.isSet(waitTimeoutOption) && !command.wait)
            return UsageError(text(StringId::CliWaitTimeoutWithoutWait), name);
        command.waitTimeoutS = *waitTimeout;
        break;
    }
    case Command::Kind::FilterGet:
        if (positional.size() != 1)
            return UsageError(u"name exactly one device"_s, name);
        command.devices = positional;
        command.macFile = parser.value(outOption);
        break;
    case Command::Kind::FilterSet:
        if (!SplitDevicesAndFile(positional, command.all, command, command.macFile, error))
            return UsageError(error, name);
        command.verify = parser.isSet(verifyOption);
        break;
    case Command::Kind::Doctor: {
        if (!positional.isEmpty())
            return UsageError(u"doctor takes no device"_s, name);
        const QString format = parser.value(reportFormatOption);
        if (format != u"json" && !format.isEmpty() && format != u"text")
            return UsageError(u"unknown format '%1' (text or json)"_s.arg(format), name);
        command.format = format == u"json" ? OutputFormat::Json : OutputFormat::Table;
        break;
    }
    case Command::Kind::Apply:
        if (positional.size() != 1)
            return UsageError(text(StringId::CliOnePlanFile), name);
        command.plan = positional.first();
        command.dryRun = parser.isSet(dryRunOption);
        command.yes = parser.isSet(yesOption);
        break;
    }
    return {command, {}, ExitCode::Success};
}

} // namespace farlight::cli
