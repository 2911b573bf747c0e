#include "session/appstate.h"
#include "app/devicedialogs.h"
#include "app/startwindow.h"
#include "dialogs/applicationicon.h"
#include "netenv/systemplatform.h"

#include <QApplication>
#include <QTimer>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    // Named, the program keeps the list's layout and the folders last used in the user's settings.
    QApplication::setOrganizationName(QStringLiteral("Farlight"));
    QApplication::setApplicationName(QStringLiteral("Farlight"));
    // The desktop entry's name, so the window and the menu entry are one application.
    QApplication::setDesktopFileName(QStringLiteral(FARLIGHT_APP_ID));
    QApplication::setWindowIcon(farlight::ApplicationIcon());

    const std::unique_ptr<farlight::Platform> platform = farlight::CreateSystemPlatform();
    // A second copy ends silently: no window, no message.
    if (!platform->claimSingleInstance())
        return 0;
    platform->prepareDesktop();

    farlight::AppState state;
    farlight::StartWindow window(state, *platform);
    farlight::InstallDeviceDialogs(window, *platform, state);
    window.show();
    QTimer::singleShot(0, &window, &farlight::StartWindow::startUp);
    return app.exec();
}
