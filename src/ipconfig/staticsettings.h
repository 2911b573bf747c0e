#pragma once

#include <QString>
#include <QStringList>

#include <array>
#include <optional>

namespace farlight {

/// @brief The numeric values of the gateway control's four fields (an empty field counts 0).
using GatewayFields = std::array<int, 4>;

/// @brief The four fields of @p gateway typed as dotted text, as the gateway control would hold
/// them (a missing or non-numeric field counts 0).
GatewayFields GatewayFieldsOf(const QString &gateway);

/// @brief Checks a static address, subnet mask and default gateway before they are sent.
///
/// The rules run in order (address, mask, gateway) and the first that fails gives its message,
/// ready to show: "10.0.0.0 is not a valid IP address", "Mask can't set 255.255.0.1",
/// "192.168.0.1 is not valid gateway address.". Nothing is returned when all three pass.
/// The values are not related to each other: the mask is not applied to the address, and the
/// gateway need not lie in the address's subnet.
///
/// @param address the address control's text, e.g. "192.168.1.10"
/// @param mask the mask control's text; it must be one of @p subnetMaskTable character for character
/// @param gateway the gateway control's text; "0.0.0.0" means no gateway and always passes;
/// any other gateway must be a dotted address whose four fields all lie in 1..254
/// @param gatewayFields the gateway control's four field values, checked only for a gateway other than 0.0.0.0
/// @param subnetMaskTable the accepted masks, AppState::SubnetMaskTable
std::optional<QString> ValidateStaticSettings(const QString &address, const QString &mask, const QString &gateway,
                                              const GatewayFields &gatewayFields,
                                              const QStringList &subnetMaskTable);

} // namespace farlight
