#pragma once

#include "macfilter/filtertable.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

#include <optional>

namespace farlight {

/// @brief What reading a .MAC file gave: the entries of its lines in file order, or the id of
/// the message that says why the file was refused (the list must then stay as it was).
struct MacFileContents
{
    QList<FilterEntry> entries;
    /// 0 when the file was read; else 28 (no name), 27 (no such file, or not a .MAC name)
    /// or 314 (a line is not a MAC filter line).
    int message = 0;

    bool ok() const { return message == 0; }
};

/// @brief MAC filter list files: one address per line as 12 hexadecimal characters, optionally
/// followed by "," and a note the program keeps but does not read; at most 128 lines; CR LF.
///
/// Lines read keep their letter case and note, so a list read and written back gives the same
/// lines in list order. A lone LF also ends a line when reading; writing always uses CR LF.
/// Bytes are taken one per character (Latin-1), so a note passes through byte for byte.
class MacFile
{
public:
    static constexpr qsizetype MaxLines = 128;
    static constexpr qsizetype KeyLength = 12;
    /// A list of 128 lines is a few kilobytes; a larger file is refused unread.
    static constexpr qint64 MaxFileSize = 1024 * 1024;

    /// @brief Reads the file @p path; a file over MaxFileSize is not a list (314). Nothing is dropped here: give the entries to
    /// FilterTable::load(), which drops the invalid addresses and repeats.
    static MacFileContents read(const QString &path);

    /// @brief Checks and splits a file's bytes into entries; nothing when a line is not acceptable
    /// (a 129th line, a line under 12 characters, a 13th character other than ",", or a
    /// non-hexadecimal character among the first 12). An empty text gives an empty list.
    static std::optional<QList<FilterEntry>> parse(QByteArrayView data);

    /// @brief The number (from 1) of the first line that keeps @p data from being a .MAC file,
    /// or 0 when it is one.
    static int firstUnacceptableLine(QByteArrayView data);

    /// @brief The file text for @p entries: Key, Tail and CR LF per entry, in order.
    static QByteArray format(const QList<FilterEntry> &entries);

    /// @brief Writes @p entries to @p path as a whole: on any failure the file that was there is
    /// left untouched. Returns 0, or 309 when the file could not be written.
    static int write(const QString &path, const QList<FilterEntry> &entries);

    /// @brief True when @p path is named as a .MAC file is (the extension in any case).
    static bool hasMacFileName(const QString &path);

private:
    // parse() and firstUnacceptableLine() in one pass: the entries when @p entries is given,
    // and the first unacceptable line's number, or 0.
    static int split(QByteArrayView data, QList<FilterEntry> *entries);
};

} // namespace farlight
