#pragma once

#include "macfilter/filtertable.h"

#include <QByteArrayView>
#include <QList>
#include <QString>

namespace farlight {

/// @brief What reading a MAC list gave: its entries in file order, or why it was refused.
struct MacListContents
{
    QList<FilterEntry> entries;
    /// 0 when the list was read; else 28 (no name), 27 (no such file) or 314 (not a list).
    int message = 0;
    int line = 0;   ///< for 314: the line at fault, or 0 when the file as a whole is
    QString reason; ///< for 314: what is wrong, for the administrator

    bool ok() const { return message == 0; }
    /// @brief "LINE 7: ..." or the reason alone: what the window adds to message 314.
    QString detail() const;
    /// @brief The addresses as a write request carries them (FilterTable::load's rules).
    QList<MacAddress> addresses() const;
};

/// @brief MAC filter lists in the forms administrators keep them in: the program's own .MAC
/// files, one address per line in any common notation, or a spreadsheet's CSV export.
///
/// A file named .MAC and written in that notation must be a valid .MAC file.
/// A text every line of which is a .MAC line (12 hexadecimal digits, optionally "," and a note;
/// at most 128 lines) is read as a .MAC file whatever its name: letter case and notes are kept,
/// and addresses that cannot be filtered are dropped, so the window saves it back unchanged.
/// Any other text is read line by line: "#" starts a comment, blank lines are skipped, and a
/// line gives the first of its fields (split at ",", ";" or tab, quotes removed) that is a MAC
/// address (00:11:22:33:44:55, 00-11-22-33-44-55, 0011.2233.4455 or 001122334455, either
/// case); the whole line may be one too. A first line without any address but with several
/// fields is a CSV header. Every other line without an address, or with 00-00-00-00-00-00 or
/// FF-FF-FF-FF-FF-FF, refuses the list with its line number; repeats collapse into one entry;
/// more than 128 different addresses refuse it too.
class MacList
{
public:
    /// @brief Reads the file @p path; a file over MacFile::MaxFileSize is refused unread.
    static MacListContents read(const QString &path);
    /// @brief Reads a list from its text. With @p namedMacFile (the file's name ends in .MAC), a
    /// text in the .MAC notation is held to the .MAC file's rules: any line that breaks them refuses it.
    static MacListContents parse(QByteArrayView text, bool namedMacFile = false);
};

} // namespace farlight
