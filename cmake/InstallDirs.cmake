# Where an installation puts things, and the names the desktop knows Farlight by. Included before
# the subdirectories, which use these for their own install rules and run-time lookups.
include(GNUInstallDirs)

# Reverse-DNS application id: the name of the desktop entry, the AppStream metadata and the icons,
# and the desktop file name the running program reports, so the window is matched with its entry.
set(FARLIGHT_APP_ID "io.github.farlight.Farlight")
# The project's web page; the AppStream metadata points at its screenshot there.
set(FARLIGHT_HOMEPAGE "https://farlight.github.io/")

set(FARLIGHT_HELP_INSTALL_DIR ${CMAKE_INSTALL_DATADIR}/farlight/help)
# The installed program finds its help relative to its own folder, so a package built for /usr
# and a copy installed under another prefix both find it.
file(RELATIVE_PATH FARLIGHT_HELP_DIR_FROM_BIN
    ${CMAKE_INSTALL_FULL_BINDIR} ${CMAKE_INSTALL_FULL_DATADIR}/farlight/help)

# Farlight installs no libraries of its own and links the system's Qt, so its installed programs
# need no run-time search path (Qt's project setup would give them $ORIGIN/../lib).
set(CMAKE_INSTALL_RPATH "")
