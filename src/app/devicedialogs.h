#pragma once

namespace farlight {

class AppState;
class Platform;
class StartWindow;

/// @brief Gives @p window the dialogs it opens for the chosen devices: Set IP (the numbering
/// dialog for several), Download (the batch upgrade for several) and MAC filtering (one list
/// for several). @p platform and @p state must outlive the window.
void InstallDeviceDialogs(StartWindow &window, Platform &platform, AppState &state);

} // namespace farlight
