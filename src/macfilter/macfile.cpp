#include "macfilter/macfile.h"

#include "resources/strings.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace farlight {

namespace {
const QString Extension = QStringLiteral(".MAC");
constexpr char NoteSeparator = ',';
constexpr QByteArrayView LineEnd = "\r\n";

bool isHexDigit(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

bool acceptable(QByteArrayView line)
{
    if (line.size() < MacFile::KeyLength)
        return false;
    if (line.size() > MacFile::KeyLength && line[MacFile::KeyLength] != NoteSeparator)
        return false;
    for (char c : line.first(MacFile::KeyLength)) {
        if (!isHexDigit(c))
            return false;
    }
    return true;
}
} // namespace

std::optional<QList<FilterEntry>> MacFile::parse(QByteArrayView data)
{
    QList<FilterEntry> entries;
    if (split(data, &entries) != 0)
        return std::nullopt;
    return entries;
}

int MacFile::firstUnacceptableLine(QByteArrayView data)
{
    return split(data, nullptr);
}

int MacFile::split(QByteArrayView data, QList<FilterEntry> *entries)
{
    qsizetype pos = 0;
    for (int number = 1; pos < data.size(); ++number) {
        if (number > MaxLines)
            return number;
        // Files edited on Linux end their lines with a lone LF; it ends a line as CR LF does.
        const qsizetype lf = data.indexOf('\n', pos);
        const qsizetype next = lf < 0 ? data.size() : lf + 1;
        QByteArrayView line = data.sliced(pos, (lf < 0 ? data.size() : lf) - pos);
        if (lf >= 0 && line.endsWith('\r'))
            line.chop(1);
        pos = next;
        if (!acceptable(line))
            return number;
        if (entries)
            entries->append(FilterTable::EntryFromKey(QString::fromLatin1(line.first(KeyLength)),
                                                      QString::fromLatin1(line.sliced(KeyLength))));
    }
    return 0;
}

QByteArray MacFile::format(const QList<FilterEntry> &entries)
{
    QByteArray out;
    for (const FilterEntry &entry : entries) {
        out += entry.Key.toLatin1();
        out += entry.Tail.toLatin1();
        out += LineEnd;
    }
    return out;
}

MacFileContents MacFile::read(const QString &path)
{
    if (path.isEmpty())
        return {{}, StringId::PleaseKeyinPath};
    const QFileInfo info(path);
    if (!info.isFile() || !hasMacFileName(path))
        return {{}, StringId::FileNotExist};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {{}, StringId::FileNotExist};
    // The size is checked on what is read, not only on what the folder says: the file may grow.
    if (file.size() > MaxFileSize)
        return {{}, StringId::NotValidMacFile};
    const QByteArray data = file.read(MaxFileSize + 1);
    if (file.error() != QFileDevice::NoError || data.size() > MaxFileSize)
        return {{}, StringId::NotValidMacFile};
    auto entries = parse(data);
    if (!entries)
        return {{}, StringId::NotValidMacFile};
    return {*entries, 0};
}

bool MacFile::hasMacFileName(const QString &path)
{
    return path.trimmed().endsWith(Extension, Qt::CaseInsensitive);
}

int MacFile::write(const QString &path, const QList<FilterEntry> &entries)
{
    // The new text goes to a file of its own that replaces the old one only once it is whole,
    // so a save that fails half-way leaves the earlier list where it was.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return StringId::PermissionDenied;
    const QByteArray text = format(entries);
    // commit() does not see a failure of the final flush of buffered text (a full disk, a file
    // size limit) and would put the short file in place, so the text is flushed first.
    if (file.write(text) != text.size() || !file.flush() || !file.commit())
        return StringId::PermissionDenied;
    return 0;
}

} // namespace farlight
