#pragma once

#include <QByteArrayView>
#include <QString>

namespace farlight {

/// @brief The text every firmware image of this product carries somewhere.
inline constexpr char FirmwareSignature[] = "Brightway QM735XL";

/// @brief True when @p path, trimmed of blanks, ends in ".bin" in any letter case.
bool IsFirmwareFileName(const QString &path);

/// @brief True when @p image holds FirmwareSignature anywhere, compared without regard to letter case.
bool ContainsFirmwareSignature(QByteArrayView image);

} // namespace farlight
