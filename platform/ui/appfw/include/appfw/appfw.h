// The dialog application framework: application object, windows and dialogs, controls,
// message maps, data exchange, fonts and painting, message boxes and the file dialog.
#pragma once

#include "appfw/app.h"
#include "appfw/basics.h"
#include "appfw/controls.h"
#include "appfw/dialog.h"
#include "appfw/filedialog.h"
#include "appfw/gdi.h"
#include "appfw/msgmap.h"
#include "appfw/string.h"
#include "appfw/wnd.h"
