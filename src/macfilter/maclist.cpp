#include "macfilter/maclist.h"

#include "macfilter/macfile.h"
#include "resources/strings.h"

#include <QFile>
#include <QFileInfo>
#include <QSet>

namespace farlight {

using namespace Qt::StringLiterals;

namespace {

constexpr QByteArrayView Utf8Bom = "\xEF\xBB\xBF";
constexpr char Comment = '#';
constexpr qsizetype ShownLineLength = 40;

MacListContents Refused(int line, const QString &reason)
{
    return {{}, StringId::NotValidMacFile, line, reason};
}

// A field as a spreadsheet writes it: blanks around it, and maybe quotes.
QStringView Unquoted(QStringView field)
{
    field = field.trimmed();
    if (field.size() >= 2 && (field.front() == u'"' || field.front() == u'\'') && field.back() == field.front())
        field = field.sliced(1, field.size() - 2).trimmed();
    return field;
}

// The line as a message shows it: shortened, every control character as "?".
QString Shown(QStringView line)
{
    QString shown = line.left(ShownLineLength).toString();
    for (QChar &c : shown) {
        if (!c.isPrint())
            c = u'?';
    }
    return line.size() > ShownLineLength ? shown + u"..."_s : shown;
}

bool IsFieldSeparator(QChar c)
{
    return c == u',' || c == u';' || c == u'\t';
}

std::optional<MacAddress> FirstAddress(QStringView line, bool &severalFields)
{
    if (const auto mac = ParseMac(Unquoted(line)))
        return mac;
    qsizetype start = 0;
    for (qsizetype i = 0; i <= line.size(); ++i) {
        const bool fieldEnds = i == line.size() || IsFieldSeparator(line[i]);
        if (!fieldEnds)
            continue;
        severalFields = severalFields || i < line.size();
        if (const auto mac = ParseMac(Unquoted(line.sliced(start, i - start))))
            return mac;
        start = i + 1;
    }
    return std::nullopt;
}

} // namespace

QString MacListContents::detail() const
{
    return line > 0 ? u"line %1: %2"_s.arg(line).arg(reason) : reason;
}

QList<MacAddress> MacListContents::addresses() const
{
    FilterTable table;
    table.load(entries);
    return table.macs();
}

MacListContents MacList::read(const QString &path)
{
    if (path.isEmpty())
        return {{}, StringId::PleaseKeyinPath, 0, {}};
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly))
        return {{}, StringId::FileNotExist, 0, {}};
    // The size is checked on what is read, not only on what the folder says: the file may grow.
    const QByteArray data = file.read(MacFile::MaxFileSize + 1);
    if (file.error() != QFileDevice::NoError)
        return Refused(0, file.errorString());
    if (data.size() > MacFile::MaxFileSize)
        return Refused(0, u"larger than %1 bytes"_s.arg(MacFile::MaxFileSize));
    return parse(data);
}

MacListContents MacList::parse(QByteArrayView text)
{
    if (auto entries = MacFile::parse(text))
        return {*entries, 0, 0, {}};

    if (text.startsWith(Utf8Bom))
        text = text.sliced(Utf8Bom.size());
    MacListContents contents;
    QSet<QString> keys;
    bool first = true;
    int number = 0;
    for (qsizetype pos = 0; pos < text.size();) {
        ++number;
        const qsizetype lf = text.indexOf('\n', pos);
        const qsizetype end = lf < 0 ? text.size() : lf;
        QByteArrayView raw = text.sliced(pos, end - pos);
        pos = end + 1;
        if (const qsizetype comment = raw.indexOf(Comment); comment >= 0)
            raw = raw.first(comment);
        const QString line = QString::fromUtf8(raw).trimmed();
        if (line.isEmpty())
            continue;
        bool severalFields = false;
        const std::optional<MacAddress> mac = FirstAddress(line, severalFields);
        if (!mac) {
            if (std::exchange(first, false) && severalFields)
                continue; // the header of a CSV export
            return Refused(number, u"no MAC address in '%1'"_s.arg(Shown(line)));
        }
        first = false;
        const QString key = MacKey(*mac);
        if (FilterTable::IsInvalidKey(key))
            return Refused(number, u"%1 cannot be filtered"_s.arg(FormatMac(*mac)));
        if (keys.contains(key))
            continue;
        keys.insert(key);
        contents.entries.append(FilterTable::EntryFromKey(key));
    }
    if (contents.entries.size() > FilterTable::Capacity)
        return Refused(0, u"%1 different addresses; a list holds at most %2"_s.arg(contents.entries.size())
                              .arg(FilterTable::Capacity));
    return contents;
}

} // namespace farlight
