#include "app/ViewerApp.h"

int main(int argc, char** argv)
{
    CViewerApp app(argc, argv);
    app.InitInstance();
    return app.ExitInstance();
}
