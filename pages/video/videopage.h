// The video page: picture size, frame rates, bit rate and GOP size of the device's encoder,
// edited in the dialog and written to topology node 4 when the frame applies.
#pragma once

#include "pages/common/baseprop.h"
#include "pages/common/pageids.h"

class CKt3ProxyPluginPage : public CBasePropertyPage {
public:
    static CUnknown* CreateInstance(LPUNKNOWN pUnk, HRESULT* phr);

    HRESULT OnConnect(IUnknown* pUnknown) override;
    HRESULT OnDisconnect() override;
    HRESULT OnActivate() override;
    HRESULT OnDeactivate() override;
    HRESULT OnApplyChanges() override;
    INT_PTR OnReceiveMessage(HWND hwnd, UINT uMsg, WPARAM wParam, LPARAM lParam) override;

private:
    explicit CKt3ProxyPluginPage(LPUNKNOWN pUnk);

    void SetDirty();
    // Node 2 is addressed through its own set, every other node through node 4's.
    HRESULT GetNodeProperty(ULONG ulNode, ULONG ulId, ULONG cbBuffer, LPVOID pBuffer);
    HRESULT SetNodeProperty(ULONG ulNode, ULONG ulId, ULONG cbBuffer, LPVOID pBuffer);
    void ShowField(int nId, LONG lValue);
    BOOL ReadField(int nId, int cchMax, LONG* plValue);

    BOOL m_bActivated = FALSE;
    IKsControl* m_pKsControl = nullptr;
    IKsPropertySet* m_pKsPropertySet = nullptr;
};
