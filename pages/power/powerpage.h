// The power-line page: shows the device's power-line frequency setting and writes a new choice
// the moment it is made, so it is never dirty.
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
    INT_PTR OnReceiveMessage(HWND hwnd, UINT uMsg, WPARAM wParam, LPARAM lParam) override;

private:
    explicit CKt3ProxyPluginPage(LPUNKNOWN pUnk);

    HRESULT ReadDeviceRegister(DWORD dwAddress, DWORD* pdwValue);
    HRESULT GetPowerLineFrequency(LONG* plCode);
    HRESULT SetPowerLineFrequency(LONG lCode);
    void ShowDeviceCode();

    BOOL m_bActivated = FALSE;
    IKsControl* m_pKsControl = nullptr;
    IKsPropertySet* m_pKsPropertySet = nullptr;
};
