// The platform's property frame: a modal sheet that shows the property pages of objects.
#pragma once

#include "plat/media.h"
#include "plat/ui.h"

#define LOCALE_USER_DEFAULT 0x0400

// Shows a modal property frame with the pages `pPageClsID` for the objects `ppUnk` and returns
// when the user closes it. x and y place the frame in the owner's client area (screen
// coordinates without an owner). Pages that cannot be created or refuse the objects are left out.
YRA_PLATFORM_API HRESULT OleCreatePropertyFrame(HWND hwndOwner, UINT x, UINT y, LPCOLESTR lpszCaption,
                                                ULONG cObjects, LPUNKNOWN* ppUnk, ULONG cPages,
                                                LPCLSID pPageClsID, LCID lcid, DWORD dwReserved,
                                                LPVOID pvReserved);
