#pragma once

#include "protocol/macaddress.h"

#include <QList>
#include <QString>
#include <QStringView>

namespace farlight {

/// @brief One address of a MAC filter list.
struct FilterEntry
{
    /// The address as 12 hexadecimal characters, in the letter case it was obtained in: typed
    /// and device addresses are upper case, file addresses keep the file's case.
    QString Key;
    /// The address bytes, first byte first.
    MacAddress Mac{};
    /// What followed the 12 characters on the file line ("," and a note), else empty.
    QString Tail;
};

/// @brief What add() or replace() did with an address.
struct FilterEdit
{
    enum Outcome {
        Appended, ///< added after every other entry
        Inserted, ///< added before an existing entry, which moved down
        Replaced, ///< the entry took the new address and the list was sorted again
        Full,     ///< refused: the list already holds Capacity entries (not reported to the user)
        Invalid,  ///< refused: 000000000000 or FFFFFFFFFFFF (message 303)
        Duplicate,///< refused: the key is already in the list, the replaced entry included (message 304)
        NoEntry,  ///< refused: replace() was given an index outside the list
    };

    Outcome outcome = NoEntry;
    /// 0-based position of the new or replaced entry after the edit; -1 when refused.
    qsizetype index = -1;

    bool accepted() const { return outcome == Appended || outcome == Inserted || outcome == Replaced; }
    /// @brief The string id to show for a refusal (303, 304), or 0 when there is nothing to show.
    int message() const;
};

/// @brief The MAC filter list: at most 128 entries, always in ascending order of Key compared
/// on character codes (digits, then "A" to "F", then "a" to "f"), no two equal keys (letter
/// case counts), and never the key 000000000000 or one that reads FFFFFFFFFFFF in upper case.
///
/// Indices are 0-based; the dialog numbers its rows from 1.
class FilterTable
{
public:
    static constexpr qsizetype Capacity = 128;

    /// @brief An entry for @p key: the key and tail as given, each pair of the key read as a
    /// hexadecimal byte the way an address box is read (see PairValue).
    static FilterEntry EntryFromKey(const QString &key, const QString &tail = {});

    /// @brief The value of a two-character address box: hexadecimal, reading stops at the first
    /// character that is not a hexadecimal digit; no leading digit gives 0.
    static quint8 PairValue(QStringView pair);

    /// @brief True for the keys no list may hold: 000000000000, and FFFFFFFFFFFF in any case.
    static bool IsInvalidKey(QStringView key);

    qsizetype count() const { return m_entries.size(); }
    bool isEmpty() const { return m_entries.isEmpty(); }
    bool isFull() const { return m_entries.size() >= Capacity; }

    /// @brief Entry @p index; the index must lie in 0 .. count()-1.
    const FilterEntry &at(qsizetype index) const { return m_entries.at(index); }
    const QList<FilterEntry> &entries() const { return m_entries; }

    /// @brief "00-1A-2B-3C-4D-5E" for entry @p index, or "" outside the list.
    QString FormatEntry(qsizetype index) const;

    /// @brief Adds the typed address @p key (the six box texts joined) with an empty tail.
    /// A full list refuses before anything else is looked at.
    FilterEdit add(const QString &key);

    /// @brief Gives entry @p index the address @p key, keeps its tail, and sorts again; the
    /// result's index is where the entry ended up.
    FilterEdit replace(qsizetype index, const QString &key);

    /// @brief Removes entry @p index; the entries after it move up one place. False outside the list.
    bool remove(qsizetype index);

    void clear() { m_entries.clear(); }

    /// @brief Replaces the list with @p entries (a file's lines in file order): the invalid
    /// addresses and every repeat of an earlier key are dropped, at most Capacity entries are
    /// kept, and the rest is sorted.
    void load(const QList<FilterEntry> &entries);

    /// @brief Replaces the list with addresses read from the device: upper-case keys, empty tails,
    /// the same dropping and sorting as load().
    void loadAddresses(const QList<MacAddress> &addresses);

    /// @brief The addresses in list order, as a write request carries them.
    QList<MacAddress> macs() const;

private:
    qsizetype indexOfKey(const QString &key) const;
    void sort();

    QList<FilterEntry> m_entries;
};

} // namespace farlight
