#include "CliApp.h"

#include "net/DescriptorLimit.h"

#include <QCoreApplication>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("vantor-cli"));
    // A command may open as many sockets as the window's run does.
    raiseDescriptorLimit();
    return runCli(QCoreApplication::arguments());
}
