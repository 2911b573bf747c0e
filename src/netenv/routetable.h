#pragma once

#include <QByteArrayView>
#include <QHash>
#include <QString>

namespace farlight {

/// @brief Default gateways per interface name from the text of Linux's /proc/net/route.
///
/// Only routes to 0.0.0.0/0 that are up and go through a gateway count; where an interface
/// has several, the one with the lowest metric wins, and the earlier line on a tie. Gateways
/// come out dotted ("10.1.2.1"). Lines that do not parse are skipped.
QHash<QString, QString> DefaultGatewaysFromRouteTable(QByteArrayView routeTable);

} // namespace farlight
