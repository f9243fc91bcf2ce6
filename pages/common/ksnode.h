// Property requests addressed to a topology node of the device, and the device's property-set
// interfaces as a connected page holds them.
#pragma once

#include "plat/ks.h"

// Sends one node property request: a get lets the device fill `pBuffer`, a set sends it. The
// byte count the device returns is not used; the call's result is returned unchanged.
HRESULT KsNodeProperty(IKsControl* pKsControl, REFGUID guidSet, ULONG ulNode, ULONG ulId, BOOL bSet,
                       LPVOID pBuffer, ULONG cbBuffer);
