// The application object: runs the main window modally and then ends.
#pragma once

#include "framework/App.h"

class CMainApp : public CWinApp {
public:
    BOOL InitInstance() override;
};
