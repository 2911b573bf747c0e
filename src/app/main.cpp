#include "app/appstate.h"
#include "netenv/platformutils.h"
#include "resources/strings.h"

#include <QApplication>
#include <QLabel>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    farlight::AppState state;
    state.OsVersionCode = farlight::GetOsVersionCode();

    // The main window replaces this placeholder once it exists.
    QLabel window(state.AppTitle);
    window.setWindowTitle(state.AppTitle);
    window.setObjectName(QStringLiteral("start"));
    window.resize(640, 400);
    window.show();
    return app.exec();
}
