#pragma once

#include <QIcon>

namespace farlight {

/// @brief The application's window icon when one is set, otherwise the icon shipped with the dialogs
/// (which the main window can also install with QApplication::setWindowIcon).
QIcon ApplicationIcon();

} // namespace farlight
