#include "cli/plan.h"

#include "ipconfig/inetaddr.h"
#include "ipconfig/staticsettings.h"
#include "macfilter/filtertable.h"
#include "macfilter/maclist.h"
#include "resources/strings.h"
#include "session/appstate.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QHostAddress>

#include <array>

namespace farlight::cli {

using namespace Qt::StringLiterals;

namespace {

/// A plan for a fleet is a few hundred lines; anything far larger is not a plan.
constexpr qint64 MaxPlanSize = 4 * 1024 * 1024;

enum Column { Mac, Ip, Mask, Gateway, Dhcp, Filter, ColumnCount };
const std::array<QString, ColumnCount> ColumnNames{u"mac"_s, u"ip"_s, u"mask"_s, u"gateway"_s, u"dhcp"_s, u"filter"_s};

struct Record
{
    int line = 0;
    QStringList fields;
};

// Splits CSV text into records as spreadsheets write it: "," between fields, a field in double
// quotes may hold commas, line breaks and "" for a quote. Unquoted fields are trimmed.
QList<Record> SplitRecords(QStringView text, QString &error, int &errorLine)
{
    QList<Record> records;
    Record record{1, {}};
    QString field;
    bool quoted = false;     // inside quotes
    bool wasQuoted = false;  // the field had quotes, so its blanks are its own
    int line = 1;
    auto endField = [&] {
        record.fields.append(wasQuoted ? field : field.trimmed());
        field.clear();
        wasQuoted = false;
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (quoted) {
            if (c == u'"' && i + 1 < text.size() && text[i + 1] == u'"') {
                field += c;
                ++i;
            } else if (c == u'"') {
                quoted = false;
            } else {
                if (c == u'\n')
                    ++line;
                field += c;
            }
            continue;
        }
        if (c == u'"' && field.trimmed().isEmpty() && !wasQuoted) {
            field.clear();
            quoted = wasQuoted = true;
        } else if (c == u',') {
            endField();
        } else if (c == u'\n' || c == u'\r') {
            if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
                ++i;
            endField();
            records.append(record);
            record = {++line, {}};
        } else if (wasQuoted && !c.isSpace()) {
            error = u"text after the closing quote"_s;
            errorLine = line;
            return {};
        } else {
            field += c;
        }
    }
    if (quoted) {
        error = u"a quote is not closed"_s;
        errorLine = record.line;
        return {};
    }
    if (!field.isEmpty() || wasQuoted || !record.fields.isEmpty()) {
        endField();
        records.append(record);
    }
    return records;
}

bool Skipped(const Record &record)
{
    if (!record.fields.isEmpty() && record.fields.first().startsWith(u'#'))
        return true;
    for (const QString &field : record.fields) {
        if (!field.isEmpty())
            return false;
    }
    return true;
}

// The addresses of a MAC list file as the device would keep them, or why there are none.
std::optional<QList<MacAddress>> ReadMacList(const QString &path, QString &error)
{
    const MacListContents contents = MacList::read(path);
    if (!contents.ok()) {
        error = contents.reason.isEmpty() ? text(contents.message) : contents.detail();
        return std::nullopt;
    }
    return contents.addresses();
}

} // namespace

Plan ParsePlan(QStringView text, const QString &fileName, const QString &baseDir)
{
    Plan plan;
    auto refuse = [&](int line, const QString &reason) { plan.errors.append(u"%1:%2: %3"_s.arg(fileName).arg(line).arg(reason)); };
    QString error;
    int errorLine = 0;
    QList<Record> records = SplitRecords(text, error, errorLine);
    if (!error.isEmpty()) {
        refuse(errorLine, error);
        return plan;
    }
    records.removeIf(Skipped);
    if (records.isEmpty()) {
        refuse(1, u"no header line (mac and any of ip, mask, gateway, dhcp, filter)"_s);
        return plan;
    }

    // Which field of a row holds which column.
    std::array<qsizetype, ColumnCount> at;
    at.fill(-1);
    const Record &header = records.takeFirst();
    for (qsizetype i = 0; i < header.fields.size(); ++i) {
        const QString name = header.fields[i].toLower();
        const auto known = std::find(ColumnNames.begin(), ColumnNames.end(), name);
        if (known == ColumnNames.end())
            refuse(header.line, u"unknown column '%1' (columns: mac, ip, mask, gateway, dhcp, filter)"_s.arg(header.fields[i]));
        else if (at[std::size_t(known - ColumnNames.begin())] >= 0)
            refuse(header.line, u"column '%1' given twice"_s.arg(name));
        else
            at[std::size_t(known - ColumnNames.begin())] = i;
    }
    if (at[Mac] < 0)
        refuse(header.line, u"no 'mac' column"_s);
    if (!plan.ok())
        return plan;

    const QStringList subnetMasks = AppState::BuildSubnetMaskTable();
    QHash<QString, int> macLines;     // MAC key -> line that plans it
    QHash<quint32, int> addressLines; // static address -> line that plans it
    for (const Record &record : std::as_const(records)) {
        const qsizetype errorsBefore = plan.errors.size();
        auto reject = [&](const QString &reason) { refuse(record.line, reason); };
        if (record.fields.size() > header.fields.size()) {
            reject(u"%1 fields where the header has %2"_s.arg(record.fields.size()).arg(header.fields.size()));
            continue;
        }
        auto field = [&](Column column) { return at[column] < 0 ? QString() : record.fields.value(at[column]); };
        PlanRow row;
        row.line = record.line;

        const QString macText = field(Mac);
        const std::optional<MacAddress> mac = ParseMac(macText);
        if (macText.isEmpty())
            reject(u"no MAC address"_s);
        else if (!mac || FilterTable::IsInvalidKey(MacKey(*mac)))
            reject(u"'%1' is not a device's MAC address"_s.arg(macText));
        else if (const int first = macLines.value(MacKey(*mac)); first > 0)
            reject(u"%1 is planned on line %2 already"_s.arg(FormatMac(*mac)).arg(first));
        else {
            row.mac = *mac;
            macLines.insert(MacKey(*mac), record.line);
        }

        const QString dhcp = field(Dhcp).toLower();
        row.ip = field(Ip);
        row.mask = field(Mask);
        row.gateway = field(Gateway);
        const bool anyStatic = !row.ip.isEmpty() || !row.mask.isEmpty() || !row.gateway.isEmpty();
        if (dhcp == u"yes") {
            row.address = PlanRow::Address::Dhcp;
            if (anyStatic)
                reject(u"dhcp=yes takes no ip, mask or gateway"_s);
        } else if (!dhcp.isEmpty() && dhcp != u"no") {
            reject(u"dhcp is 'yes' or 'no', not '%1'"_s.arg(field(Dhcp)));
        } else if (anyStatic) {
            row.address = PlanRow::Address::Static;
            if (row.gateway.isEmpty())
                row.gateway = u"0.0.0.0"_s;
            if (row.ip.isEmpty() || row.mask.isEmpty()) {
                reject(u"a static address needs both ip and mask"_s);
            } else if (const auto refusal = ValidateStaticSettings(row.ip, row.mask, row.gateway, GatewayFieldsOf(row.gateway), subnetMasks)) {
                reject(*refusal);
            } else if (const int first = addressLines.value(InetAddr(row.ip)); first > 0) {
                reject(u"%1 is planned on line %2 already"_s.arg(row.ip).arg(first));
            } else {
                addressLines.insert(InetAddr(row.ip), record.line);
            }
        }

        row.filterFile = field(Filter);
        if (!row.filterFile.isEmpty()) {
            QString listError;
            row.filter = ReadMacList(QDir(baseDir).filePath(row.filterFile), listError);
            if (!row.filter)
                reject(u"filter %1: %2"_s.arg(row.filterFile, listError));
        }
        if (row.address == PlanRow::Address::Keep && row.filterFile.isEmpty() && plan.errors.size() == errorsBefore)
            reject(u"nothing planned (give ip and mask, dhcp=yes, or filter)"_s);
        if (plan.errors.size() == errorsBefore)
            plan.rows.append(row);
    }
    if (plan.ok() && plan.rows.isEmpty())
        refuse(header.line, u"no device planned"_s);
    if (!plan.ok())
        plan.rows.clear();
    return plan;
}

Plan ReadPlan(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {{}, {u"%1: %2"_s.arg(path, file.errorString())}};
    if (file.size() > MaxPlanSize)
        return {{}, {u"%1: larger than %2 MiB, not a plan"_s.arg(path).arg(MaxPlanSize / 1024 / 1024)}};
    QString text = QString::fromUtf8(file.readAll());
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    return ParsePlan(text, path, QFileInfo(path).absolutePath());
}

} // namespace farlight::cli
