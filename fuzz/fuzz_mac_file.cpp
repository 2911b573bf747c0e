// A MAC list's bytes (a .MAC file, a text or CSV list), as a user might receive them from anyone: a file that is read gives at
// most 128 entries of 12 hexadecimal characters with an optional ",note", writing them back
// reads the same again, and the list loaded from them, edited as the list editor does, stays
// sorted, unique and within 128 entries.
#include "filtertablecheck.h"

#include "macfilter/macfile.h"
#include "macfilter/maclist.h"
#include "resources/strings.h"

using namespace farlight;

namespace {

// Edits are tried with the first few keys only; each is checked against the whole list.
constexpr qsizetype EditedKeys = 8;

bool sameEntries(const QList<FilterEntry> &a, const QList<FilterEntry> &b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const FilterEntry &x, const FilterEntry &y) {
        return x.Key == y.Key && x.Mac == y.Mac && x.Tail == y.Tail;
    });
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView file(reinterpret_cast<const char *>(data), qsizetype(size));
    const std::optional<QList<FilterEntry>> entries = MacFile::parse(file);
    // Read as a list of any form: a .MAC file gives the same entries, anything else at most 128
    // different addresses, or a refusal that says why.
    const MacListContents list = MacList::parse(file);
    FUZZ_CHECK(list.ok() || (list.message == StringId::NotValidMacFile && !list.reason.isEmpty()));
    FUZZ_CHECK(entries || (list.entries.size() <= FilterTable::Capacity && list.addresses().size() == list.entries.size()));
    // Named .MAC, the same text is read as the .MAC file it is, or refused with a reason.
    const MacListContents named = MacList::parse(file, true);
    FUZZ_CHECK(named.ok() || (named.message == StringId::NotValidMacFile && !named.reason.isEmpty()));
    FUZZ_CHECK(!entries || (named.ok() && sameEntries(named.entries, *entries)));
    if (!entries)
        return 0;
    FUZZ_CHECK(list.ok() && sameEntries(list.entries, *entries));
    FUZZ_CHECK(entries->size() <= MacFile::MaxLines);
    for (const FilterEntry &entry : *entries) {
        FUZZ_CHECK(entry.Key.size() == MacFile::KeyLength);
        FUZZ_CHECK(std::all_of(entry.Key.begin(), entry.Key.end(), [](QChar c) { return HexDigitValue(c) >= 0; }));
        FUZZ_CHECK(entry.Tail.isEmpty() || entry.Tail.startsWith(u','));
        FUZZ_CHECK(ParseMac(entry.Key) == entry.Mac);
    }
    const std::optional<QList<FilterEntry>> again = MacFile::parse(MacFile::format(*entries));
    FUZZ_CHECK(again && sameEntries(*again, *entries));

    FilterTable table;
    table.load(*entries);
    fuzz::CheckFilterTable(table);
    for (qsizetype i = 0; i < qMin(entries->size(), EditedKeys); ++i) {
        const QString &key = (*entries)[i].Key;
        table.add(key.toUpper());
        fuzz::CheckFilterTable(table);
        if (!table.isEmpty()) {
            table.replace(i % table.count(), key.toLower());
            fuzz::CheckFilterTable(table);
        }
        if (i % 3 == 2)
            table.remove(i % (table.count() + 1));
    }
    fuzz::CheckFilterTable(table);
    return 0;
}
