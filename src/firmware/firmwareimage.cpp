#include "firmware/firmwareimage.h"

#include "resources/strings.h"

#include <QFile>
#include <QFileInfo>

#include <array>
#include <bit>
#include <cstddef>
#include <new>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define FARLIGHT_SCAN_SSE2 1
#endif

namespace farlight {

namespace {

constexpr QLatin1StringView FirmwareExtension(".bin");
constexpr std::size_t SignatureLength = sizeof FirmwareSignature - 1;

// Letters compare without regard to case as single-byte text does: A-Z against a-z only.
constexpr std::array<unsigned char, 256> FoldTable = [] {
    std::array<unsigned char, 256> fold{};
    for (std::size_t b = 0; b < fold.size(); ++b)
        fold[b] = (b >= 'A' && b <= 'Z') ? static_cast<unsigned char>(b - 'A' + 'a') : static_cast<unsigned char>(b);
    return fold;
}();

constexpr std::array<unsigned char, SignatureLength> FoldedSignature = [] {
    std::array<unsigned char, SignatureLength> folded{};
    for (std::size_t i = 0; i < SignatureLength; ++i)
        folded[i] = FoldTable[static_cast<unsigned char>(FirmwareSignature[i])];
    return folded;
}();

// Without SSE2, and for the last bytes: Boyer-Moore-Horspool shifts by the folded byte under
// the signature's last position, so most of the image is skipped without being compared.
constexpr std::array<std::size_t, 256> ShiftTable = [] {
    std::array<std::size_t, 256> shift{};
    shift.fill(SignatureLength);
    for (std::size_t i = 0; i + 1 < SignatureLength; ++i)
        shift[FoldedSignature[i]] = SignatureLength - 1 - i;
    // An upper-case byte folds before the lookup, so its own entry is never read.
    return shift;
}();

bool MatchesAt(const unsigned char *at)
{
    for (std::size_t i = 0; i < SignatureLength; ++i) {
        if (FoldTable[at[i]] != FoldedSignature[i])
            return false;
    }
    return true;
}

bool ContainsScalar(const unsigned char *data, std::size_t size)
{
    constexpr std::size_t last = SignatureLength - 1;
    for (std::size_t at = 0; at + last < size;) {
        const unsigned char tail = FoldTable[data[at + last]];
        if (tail == FoldedSignature[last] && MatchesAt(data + at))
            return true;
        at += ShiftTable[tail];
    }
    return false;
}

#ifdef FARLIGHT_SCAN_SSE2
// Sixteen start positions at a time: a candidate has the signature's first letter at its start
// and its last letter 16 bytes on, in either case. Setting bit 0x20 folds exactly the two cases
// of a letter together, and the two letters together leave few candidates to compare in full.
constexpr std::size_t Lanes = 16;
static_assert(FoldedSignature.front() >= 'a' && FoldedSignature.front() <= 'z'
              && FoldedSignature.back() >= 'a' && FoldedSignature.back() <= 'z');

std::size_t ScanLanes(const unsigned char *data, std::size_t size)
{
    const __m128i caseBit = _mm_set1_epi8(0x20);
    const __m128i first = _mm_set1_epi8(char(FoldedSignature.front()));
    const __m128i last = _mm_set1_epi8(char(FoldedSignature.back()));
    std::size_t at = 0;
    for (; at + Lanes + SignatureLength - 1 <= size; at += Lanes) {
        const __m128i head = _mm_loadu_si128(reinterpret_cast<const __m128i *>(data + at));
        const __m128i tail = _mm_loadu_si128(reinterpret_cast<const __m128i *>(data + at + SignatureLength - 1));
        unsigned mask = unsigned(_mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(_mm_or_si128(head, caseBit), first),
                                                                 _mm_cmpeq_epi8(_mm_or_si128(tail, caseBit), last))));
        for (; mask != 0; mask &= mask - 1) {
            if (MatchesAt(data + at + std::size_t(std::countr_zero(mask))))
                return std::size_t(-1);
        }
    }
    return at;
}
#endif

} // namespace

bool IsFirmwareFileName(const QString &path)
{
    // Only blanks are trimmed, as the path box has always done; other white space stays.
    qsizetype end = path.size();
    while (end > 0 && path.at(end - 1) == u' ')
        --end;
    return QStringView(path).first(end).endsWith(FirmwareExtension, Qt::CaseInsensitive);
}

bool ContainsFirmwareSignature(QByteArrayView image)
{
    const auto *data = reinterpret_cast<const unsigned char *>(image.data());
    std::size_t size = std::size_t(image.size());
#ifdef FARLIGHT_SCAN_SSE2
    const std::size_t scanned = ScanLanes(data, size);
    if (scanned == std::size_t(-1))
        return true;
    data += scanned;
    size -= scanned;
#endif
    return ContainsScalar(data, size);
}

FirmwareFile LoadFirmwareImage(const QString &path, qint64 maxSize)
{
    if (path.isEmpty())
        return {{}, StringId::PleaseKeyinPath};
    const QFileInfo info(path);
    if (!info.isFile() || info.isHidden())
        return {{}, StringId::FileNotExist};
    if (!IsFirmwareFileName(path))
        return {{}, StringId::NotValidFirmware};
    // An image that cannot be read whole (too large, an I/O error, no memory for it) is simply
    // not a valid image.
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > maxSize)
        return {{}, StringId::NotValidFirmware};
    try {
        QByteArray bytes = file.readAll();
        if (file.error() != QFileDevice::NoError || bytes.size() != file.size() || !ContainsFirmwareSignature(bytes))
            return {{}, StringId::NotValidFirmware};
        return {std::move(bytes), 0};
    } catch (const std::bad_alloc &) {
        return {{}, StringId::NotValidFirmware};
    }
}

} // namespace farlight
