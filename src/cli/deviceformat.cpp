#include "cli/deviceformat.h"

#include "discovery/devicesearch.h"
#include "resources/strings.h"
#include "session/appstate.h"
#include "session/devicelistmodel.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace farlight::cli {

using namespace Qt::StringLiterals;

namespace {

constexpr int FirstColumnTextId = 101;
constexpr int WindowColumns = 6;

QString AdapterName(const AppState &state, int index)
{
    const AdapterRecord *adapter = state.adapterOf(index);
    return adapter ? adapter->Name : QString();
}

// JSON leaves DEL and the C1 controls as they are, and a UTF-8 terminal reads U+0080..U+009F as
// controls: they are written as escapes, which every JSON reader takes back. Outside strings the
// document holds only ASCII, so the whole text can be gone through.
QString EscapeControls(const QString &json)
{
    constexpr char16_t FirstEscaped = 0x7F, LastEscaped = 0x9F;
    QString out;
    out.reserve(json.size());
    for (QChar c : json) {
        if (c.unicode() >= FirstEscaped && c.unicode() <= LastEscaped)
            out += u"\\u%1"_s.arg(uint(c.unicode()), 4, 16, QLatin1Char('0'));
        else
            out += c;
    }
    return out;
}

} // namespace

QString AlignedTable(const QList<QStringList> &rows)
{
    QList<QStringList> cells;
    QList<qsizetype> widths;
    for (const QStringList &row : rows) {
        QStringList printable;
        for (const QString &cell : row)
            printable.append(Printable(cell));
        widths.resize(qMax(widths.size(), row.size()));
        for (qsizetype c = 0; c < row.size(); ++c)
            widths[c] = qMax(widths[c], printable[c].size());
        cells.append(printable);
    }
    QString out;
    for (const QStringList &row : std::as_const(cells)) {
        QString line;
        for (qsizetype c = 0; c < row.size(); ++c)
            line += c + 1 < row.size() ? row[c].leftJustified(widths[c] + 2) : row[c];
        out += line + u'\n';
    }
    return out;
}

QString FormatResultsJson(const QList<ResultRow> &rows)
{
    const auto textOrNull = [](const QString &text) { return text.isEmpty() ? QJsonValue() : QJsonValue(text); };
    QJsonArray array;
    for (const ResultRow &row : rows) {
        array.append(QJsonObject{{u"device"_s, row.device},
                                 {u"mac"_s, textOrNull(row.mac)},
                                 {u"address"_s, textOrNull(row.address)},
                                 {u"result"_s, row.result},
                                 {u"reason"_s, textOrNull(row.reason)},
                                 {u"seconds"_s, row.ms < 0 ? QJsonValue() : QJsonValue(double(row.ms) / 1000.0)}});
    }
    return EscapeControls(QString::fromUtf8(QJsonDocument(array).toJson(QJsonDocument::Indented)));
}

QString FormatDevices(const AppState &state, const QList<int> &indexes, OutputFormat format, bool terminal)
{
    if (format == OutputFormat::Json) {
        QJsonArray devices;
        for (int i : indexes) {
            const DeviceRecord &device = state.deviceTable[std::size_t(i)];
            devices.append(QJsonObject{{u"host_name"_s, device.HostName},
                                       {u"ip"_s, device.IpAddress},
                                       {u"ssid"_s, device.Ssid},
                                       {u"channel"_s, int(device.Channel)},
                                       {u"wep"_s, device.Wep == 1},
                                       {u"mac"_s, FormatMac(device.Mac)},
                                       {u"adapter"_s, AdapterName(state, i)}});
        }
        return EscapeControls(QString::fromUtf8(QJsonDocument(devices).toJson(QJsonDocument::Indented)));
    }
    if (format == OutputFormat::Csv) {
        QString out = u"host_name,ip,ssid,channel,wep,mac,adapter\r\n"_s;
        for (int i : indexes) {
            const DeviceRecord &device = state.deviceTable[std::size_t(i)];
            const QStringList cells{device.HostName,
                                    device.IpAddress,
                                    device.Ssid,
                                    QString::number(device.Channel),
                                    device.Wep == 1 ? u"true"_s : u"false"_s,
                                    FormatMac(device.Mac),
                                    AdapterName(state, i)};
            QStringList fields;
            for (const QString &cell : cells) {
                const QString safe = SpreadsheetText(cell);
                fields.append(CsvField(terminal ? Printable(safe) : safe));
            }
            out += fields.join(u',') + u"\r\n"_s;
        }
        return out;
    }
    QStringList header;
    for (int c = 0; c < WindowColumns; ++c)
        header.append(text(FirstColumnTextId + c));
    header.append(u"Adapter"_s);
    QList<QStringList> rows{header};
    for (int i : indexes)
        rows.append(DeviceRowTexts(state.deviceTable[std::size_t(i)]) << AdapterName(state, i));
    return AlignedTable(rows);
}

} // namespace farlight::cli
