// Connecting a page to a device: taking its property interfaces and asking whether it is one of
// ours. Each page decides what the answers mean.
#pragma once

#include "plat/ks.h"

// The node-2 identification property and the chip register that holds the same answer.
#define NODE2_ID_IDENTIFY 3
#define CHIP_ID_REGISTER 0x38

struct KSPROBERESULT {
    HRESULT hrSupport;   // the power-line property's support query
    BOOL bIdentified;    // the node-2 identification answered like one of our devices
};

// Queries `pUnknown` for IKsControl and IKsPropertySet into the two slots; an interface already
// held there is released first. A failed query returns its code; what was obtained stays held.
HRESULT TakeKsInterfaces(IUnknown* pUnknown, IKsControl** ppKsControl, IKsPropertySet** ppKsPropertySet);

// Releases both interfaces and clears the slots.
void ReleaseKsInterfaces(IKsControl** ppKsControl, IKsPropertySet** ppKsPropertySet);

// Asks for the power-line property and runs the node-2 identification.
void ProbeDevice(IKsControl* pKsControl, IKsPropertySet* pKsPropertySet, KSPROBERESULT* pResult);

// Whether a chip id is one of the values our devices report.
BOOL IsOurChipId(DWORD dwChipId);
