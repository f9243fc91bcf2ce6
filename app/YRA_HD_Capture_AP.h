// The capture program's application object: runs the main dialog modally and ends.
#pragma once

#include "appfw/appfw.h"

#define ICC_WIN95_CLASSES 0x000000FF

class CYRA_HD_Capture_APApp : public CWinApp {
public:
    CYRA_HD_Capture_APApp();

    BOOL InitInstance() override;

    DECLARE_MESSAGE_MAP()
};
