#include "macfilter/filtertable.h"

#include "resources/strings.h"

#include <algorithm>

namespace farlight {

namespace {
constexpr qsizetype PairLength = 2;
const QString EmptyKey = QStringLiteral("000000000000");
const QString BroadcastKey = QStringLiteral("FFFFFFFFFFFF");
} // namespace

int FilterEdit::message() const
{
    switch (outcome) {
    case Invalid:
        return StringId::InvalidMac;
    case Duplicate:
        return StringId::MacExists;
    default:
        return 0;
    }
}

quint8 FilterTable::PairValue(QStringView pair)
{
    int value = 0;
    for (QChar c : pair.first(qMin(pair.size(), PairLength))) {
        const int digit = HexDigitValue(c);
        if (digit < 0)
            break;
        value = value * 16 + digit;
    }
    return quint8(value);
}

FilterEntry FilterTable::EntryFromKey(const QString &key, const QString &tail)
{
    FilterEntry entry{key, {}, tail};
    const QStringView view(key);
    for (std::size_t k = 0; k < entry.Mac.size(); ++k) {
        const qsizetype at = qsizetype(k) * PairLength;
        if (at < view.size())
            entry.Mac[k] = PairValue(view.sliced(at, qMin(PairLength, view.size() - at)));
    }
    return entry;
}

bool FilterTable::IsInvalidKey(QStringView key)
{
    return key == EmptyKey || key.compare(BroadcastKey, Qt::CaseInsensitive) == 0;
}

QString FilterTable::FormatEntry(qsizetype index) const
{
    if (index < 0 || index >= m_entries.size())
        return {};
    return FormatMac(m_entries[index].Mac);
}

FilterEdit FilterTable::add(const QString &key)
{
    if (isFull())
        return {FilterEdit::Full};
    if (IsInvalidKey(key))
        return {FilterEdit::Invalid};
    // Keys compare on character codes, which is QString's own ordering.
    const auto place = std::find_if(m_entries.cbegin(), m_entries.cend(),
                                    [&key](const FilterEntry &e) { return e.Key >= key; });
    if (place != m_entries.cend() && place->Key == key)
        return {FilterEdit::Duplicate};
    const qsizetype index = place - m_entries.cbegin();
    const bool appended = index == m_entries.size();
    m_entries.insert(index, EntryFromKey(key));
    return {appended ? FilterEdit::Appended : FilterEdit::Inserted, index};
}

FilterEdit FilterTable::replace(qsizetype index, const QString &key)
{
    if (index < 0 || index >= m_entries.size())
        return {FilterEdit::NoEntry};
    if (IsInvalidKey(key))
        return {FilterEdit::Invalid};
    // The entry's own key counts too: replacing an address by itself is a duplicate.
    if (indexOfKey(key) >= 0)
        return {FilterEdit::Duplicate};
    m_entries[index] = EntryFromKey(key, m_entries[index].Tail);
    sort();
    return {FilterEdit::Replaced, indexOfKey(key)};
}

bool FilterTable::remove(qsizetype index)
{
    if (index < 0 || index >= m_entries.size())
        return false;
    m_entries.removeAt(index);
    return true;
}

void FilterTable::load(const QList<FilterEntry> &entries)
{
    m_entries.clear();
    for (const FilterEntry &entry : entries) {
        if (isFull())
            break;
        // The earliest of equal keys stays, with its own tail.
        if (IsInvalidKey(entry.Key) || indexOfKey(entry.Key) >= 0)
            continue;
        m_entries.append(entry);
    }
    sort();
}

void FilterTable::loadAddresses(const QList<MacAddress> &addresses)
{
    QList<FilterEntry> entries;
    entries.reserve(addresses.size());
    for (const MacAddress &mac : addresses)
        entries.append(FilterEntry{MacKey(mac), mac, {}});
    load(entries);
}

QList<MacAddress> FilterTable::macs() const
{
    QList<MacAddress> out;
    out.reserve(m_entries.size());
    for (const FilterEntry &entry : m_entries)
        out.append(entry.Mac);
    return out;
}

qsizetype FilterTable::indexOfKey(const QString &key) const
{
    for (qsizetype i = 0; i < m_entries.size(); ++i) {
        if (m_entries[i].Key == key)
            return i;
    }
    return -1;
}

void FilterTable::sort()
{
    std::sort(m_entries.begin(), m_entries.end(),
              [](const FilterEntry &a, const FilterEntry &b) { return a.Key < b.Key; });
}

} // namespace farlight
