// The page base: the property-frame protocol (IPropertyPage) over a dialog template, with hooks
// for the page that derives from it.
#pragma once

#include "framework/combase.h"
#include "plat/ui.h"

class CBasePropertyPage : public IPropertyPage, public CUnknown {
public:
    CBasePropertyPage(LPCWSTR pName, LPUNKNOWN pUnk, int DialogId, int TitleId);
    ~CBasePropertyPage() override;

    DECLARE_IUNKNOWN

    HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override;
    ULONG NonDelegatingRelease() override;

    // IPropertyPage
    HRESULT SetPageSite(IPropertyPageSite* pPageSite) override;
    HRESULT Activate(HWND hwndParent, LPCRECT pRect, BOOL fModal) override;
    HRESULT Deactivate() override;
    HRESULT GetPageInfo(PROPPAGEINFO* pPageInfo) override;
    HRESULT SetObjects(ULONG cObjects, LPUNKNOWN* ppUnk) override;
    HRESULT Show(UINT nCmdShow) override;
    HRESULT Move(LPCRECT pRect) override;
    HRESULT IsPageDirty() override;
    HRESULT Apply() override;
    HRESULT Help(LPCOLESTR pszHelpDir) override;
    HRESULT TranslateAccelerator(MSG* pMsg) override;

    // Hooks of the page.
    virtual HRESULT OnConnect(IUnknown* pUnknown);
    virtual HRESULT OnDisconnect();
    virtual HRESULT OnActivate();
    virtual HRESULT OnDeactivate();
    virtual HRESULT OnApplyChanges();
    virtual INT_PTR OnReceiveMessage(HWND hwnd, UINT uMsg, WPARAM wParam, LPARAM lParam);

protected:
    IPropertyPageSite* m_pPageSite = nullptr;
    HWND m_hwnd = nullptr; // the page window while active
    HWND m_Dlg = nullptr;  // the window the dialog procedure was initialised with
    BOOL m_bDirty = FALSE;
    int m_TitleId;
    int m_DialogId;
    BOOL m_bObjectSet = FALSE;

private:
    static INT_PTR DialogProc(HWND hwnd, UINT uMsg, WPARAM wParam, LPARAM lParam);
    void MeasureDialog(SIZE* pSize);
};
