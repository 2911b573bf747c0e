// The firmware signature scan, which skips ahead with shift tables and compares sixteen start
// positions at a time, against the plainest search there is: at every position, every byte
// folded with A-Z to a-z only. The image starts at every alignment of the first sixteen bytes,
// so the vector loop's end and the scalar tail meet the signature at each boundary; the script
// may plant the signature, in mixed case or one byte wrong, where the fuzzer would rarely write it.
#include "fuzzinput.h"

#include "firmware/firmwareimage.h"

#include <cstring>

using namespace farlight;

namespace {

constexpr qsizetype SignatureLength = qsizetype(sizeof FirmwareSignature - 1);
constexpr qsizetype Alignments = 16;

unsigned char Fold(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c - 'A' + 'a') : static_cast<unsigned char>(c);
}

bool NaiveContains(QByteArrayView image)
{
    for (qsizetype at = 0; at + SignatureLength <= image.size(); ++at) {
        qsizetype i = 0;
        while (i < SignatureLength && Fold(image[at + i]) == Fold(FirmwareSignature[i]))
            ++i;
        if (i == SignatureLength)
            return true;
    }
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::Input input(data, size);
    const quint8 plants = input.u8() % 4; // how many signatures to plant
    struct Plant
    {
        quint16 at;
        quint32 upperCase;
        quint8 wrongByte;
        quint8 wrongValue;
    } plant[4];
    for (quint8 p = 0; p < plants; ++p)
        plant[p] = {input.u16(), quint32(input.u16()) << 16 | input.u16(), input.u8(), input.u8()};
    QByteArray image = input.datagram(0xffff);
    for (quint8 p = 0; p < plants; ++p) {
        if (image.size() < SignatureLength)
            break;
        char *at = image.data() + plant[p].at % (image.size() - SignatureLength + 1);
        for (qsizetype i = 0; i < SignatureLength; ++i) {
            const char c = char(Fold(FirmwareSignature[i]));
            at[i] = (plant[p].upperCase >> i & 1) && c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c;
        }
        // 0xff in the first field leaves the signature whole; else one byte becomes another.
        if (plant[p].wrongByte < SignatureLength)
            at[plant[p].wrongByte] = char(plant[p].wrongValue);
    }
    for (qsizetype skip = 0; skip < Alignments && skip <= image.size(); ++skip) {
        const QByteArrayView view = QByteArrayView(image).sliced(skip);
        FUZZ_CHECK(ContainsFirmwareSignature(view) == NaiveContains(view));
    }
    return 0;
}
