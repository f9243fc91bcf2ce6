// The framework's own command and string ids, plain numbers so that resource scripts can use them.
#pragma once

#define ID_HELP 0xE146
#define AFX_IDS_APP_TITLE 0xE000
