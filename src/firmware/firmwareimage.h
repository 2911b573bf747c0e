#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace farlight {

/// @brief The text every firmware image of this product carries somewhere.
inline constexpr char FirmwareSignature[] = "Brightway QM735XL";

/// @brief True when @p path, trimmed of blanks, ends in ".bin" in any letter case.
bool IsFirmwareFileName(const QString &path);

/// @brief True when @p image holds FirmwareSignature anywhere, compared without regard to letter case.
bool ContainsFirmwareSignature(QByteArrayView image);

/// Images larger than this are refused as not valid rather than read into memory.
inline constexpr qint64 MaxFirmwareImageSize = qint64(1) << 30;

/// @brief What checking a firmware file gave: the whole image, or the id of the message that
/// refuses the file.
struct FirmwareFile
{
    QByteArray image;
    /// 0 when the image was read; else 28 (no path), 27 (no such file, or hidden) or 313 (not a
    /// .bin name, unreadable, too large, or without the signature).
    int message = 0;
    bool ok() const { return message == 0; }
};

/// @brief Checks the file @p path in the order the administrator is told about it (path, file,
/// name, contents) and reads the image whole.
FirmwareFile LoadFirmwareImage(const QString &path, qint64 maxSize = MaxFirmwareImageSize);

} // namespace farlight
