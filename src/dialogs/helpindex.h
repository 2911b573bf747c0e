#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>

namespace farlight {

/// @brief The application's help-file setting: the name of the help file the Help Topics command
/// asks to open at its index.
///
/// This is the legacy name of the help file; on this platform the help is the HTML page that
/// HelpIndexUrl() finds, and the name is kept so the setting reads as it always has.
inline const QString HelpFileName = QStringLiteral("QM735XLE.HLP");

/// @brief File name of the help page's index inside a help folder.
inline const QString HelpIndexFileName = QStringLiteral("index.html");

/// @brief The folders searched for the help page, most specific first: a "help" folder next to the
/// executable, the installed layout (the installation's help folder, reached from the executable's
/// folder, e.g. ../share/farlight/help), the build tree's copy, then the system's data folders.
QStringList HelpSearchDirs();

/// @brief A file URL of the first index.html found in @p dirs, or an empty URL when none exists.
QUrl HelpIndexUrlIn(const QStringList &dirs);

/// @brief A file URL of the help page's index, or an empty URL when no copy of it is found; the
/// caller opens it in the browser or tells the user that the help is missing.
QUrl HelpIndexUrl();

} // namespace farlight
