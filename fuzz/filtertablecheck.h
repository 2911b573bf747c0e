#pragma once

#include "fuzzinput.h"

#include "macfilter/filtertable.h"

namespace fuzz {

/// @brief What a MAC filter list must always be: at most 128 entries in strictly ascending key
/// order (so no repeats), no key the list refuses, and each address the one its key spells.
inline void CheckFilterTable(const farlight::FilterTable &table)
{
    FUZZ_CHECK(table.count() <= farlight::FilterTable::Capacity);
    for (qsizetype i = 0; i < table.count(); ++i) {
        const farlight::FilterEntry &entry = table.at(i);
        FUZZ_CHECK(!farlight::FilterTable::IsInvalidKey(entry.Key));
        FUZZ_CHECK(i == 0 || table.at(i - 1).Key < entry.Key);
        FUZZ_CHECK(farlight::FilterTable::EntryFromKey(entry.Key).Mac == entry.Mac);
    }
}

} // namespace fuzz
