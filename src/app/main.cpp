#include "TSubmitMain.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vantor Pro"));
    QApplication::setApplicationDisplayName(QStringLiteral("Vantor Pro"));
    QGuiApplication::setDesktopFileName(QStringLiteral("io.vantor.VantorPro"));
    TSubmitMain window;
    window.show();
    return app.exec();
}
