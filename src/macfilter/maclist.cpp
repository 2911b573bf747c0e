#include "macfilter/maclist.h"

#include "macfilter/macfile.h"
#include "resources/strings.h"

#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <algorithm>

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

// A line written in the program's own notation: twelve hexadecimal digits first.
bool InMacFileNotation(QByteArrayView line)
{
    return line.size() >= MacFile::KeyLength
        && std::all_of(line.begin(), line.begin() + MacFile::KeyLength, [](char c) { return HexDigitValue(QChar::fromLatin1(c)) >= 0; });
}

// Why line @p number of @p text keeps it from being a .MAC file.
MacListContents RefusedAsMacFile(QByteArrayView text, int number)
{
    if (number > MacFile::MaxLines)
        return Refused(number, u"more than %1 lines"_s.arg(MacFile::MaxLines));
    qsizetype pos = 0;
    for (int i = 1; i < number; ++i)
        pos = text.indexOf('\n', pos) + 1;
    QByteArrayView line = text.sliced(pos);
    if (const qsizetype lf = line.indexOf('\n'); lf >= 0)
        line = line.first(lf);
    if (line.endsWith('\r'))
        line.chop(1);
    if (line.isEmpty())
        return Refused(number, u"an empty line"_s);
    return Refused(number, u"'%1' is not 12 hexadecimal digits, optionally followed by \",\" and a note"_s
                               .arg(Shown(QString::fromLatin1(line))));
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
    return parse(data, MacFile::hasMacFileName(path));
}

MacListContents MacList::parse(QByteArrayView text, bool namedMacFile)
{
    if (auto entries = MacFile::parse(text))
        return {*entries, 0, 0, {}};
    if (namedMacFile) {
        // A file named .MAC and written in its notation must keep its rules: a blank line, a
        // 129th line or a stray character is a damaged file, not a list to guess at. One named
        // .MAC but written in another notation is read as any list is.
        bool otherNotation = false;
        for (qsizetype pos = 0; pos < text.size();) {
            const qsizetype lf = text.indexOf('\n', pos);
            const QByteArrayView line = text.sliced(pos, (lf < 0 ? text.size() : lf) - pos);
            pos = lf < 0 ? text.size() : lf + 1;
            if (InMacFileNotation(line))
                return RefusedAsMacFile(text, MacFile::firstUnacceptableLine(text));
            bool severalFields = false;
            otherNotation = otherNotation || FirstAddress(QString::fromUtf8(line), severalFields);
        }
        if (!otherNotation)
            return RefusedAsMacFile(text, MacFile::firstUnacceptableLine(text));
    }

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
