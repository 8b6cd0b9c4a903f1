#pragma once

#include "app/Applikation.h"

// The program: runs the main dialog modally and ends when it closes.
class CViewerApp : public CApplikation
{
    Q_OBJECT

public:
    CViewerApp(int& argc, char** argv);
    ~CViewerApp() override;

    bool InitInstance() override;
};
