#include "pages/common/ksnode.h"

HRESULT KsNodeProperty(IKsControl* pKsControl, REFGUID guidSet, ULONG ulNode, ULONG ulId, BOOL bSet,
                       LPVOID pBuffer, ULONG cbBuffer) {
    if (!pKsControl) return E_POINTER;
    KSP_NODE request{};
    request.Property.Set = guidSet;
    request.Property.Id = ulId;
    request.Property.Flags = KSPROPERTY_TYPE_TOPOLOGY | (bSet ? KSPROPERTY_TYPE_SET : KSPROPERTY_TYPE_GET);
    request.NodeId = ulNode;
    request.Reserved = 0;
    ULONG cbReturned = 0;
    return pKsControl->KsProperty(&request.Property, sizeof(request), pBuffer, cbBuffer, &cbReturned);
}
