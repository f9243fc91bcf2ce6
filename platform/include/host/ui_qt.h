// The Qt driver: the window core mirrored into Qt Widgets. Programs never include this; the
// core opens the driver's module itself when a display is wanted (see host/ui_core.h). Tests
// and tools that drive Qt directly use these calls.
#pragma once

#include "host/ui_core.h"

class QWidget;

#define YRA_UI_QT_API __attribute__((visibility("default")))

namespace host::ui::qt {

// A new Qt driver; creates the QApplication when there is none.
YRA_UI_QT_API std::unique_ptr<Driver> CreateDriver();
// The widget that shows a window, or null.
YRA_UI_QT_API QWidget* WidgetOf(HWND hwnd);
// The window a widget shows, or null.
YRA_UI_QT_API HWND WindowOf(const QWidget* widget);

} // namespace host::ui::qt
