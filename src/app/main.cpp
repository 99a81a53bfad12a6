#include "TSubmitMain.h"
#include "VantorApplication.h"

#include <QDir>

int main(int argc, char* argv[])
{
    VantorApplication app(argc, argv);
    if (!app.claimProgramDir(QDir::currentPath()))
        return 1;
    TSubmitMain window;
    window.show();
    return app.exec();
}
