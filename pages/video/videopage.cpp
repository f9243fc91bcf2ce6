#include "pages/video/videopage.h"

#include "pages/common/decimal.h"
#include "pages/common/ksnode.h"
#include "pages/common/ksprobe.h"
#include "pages/video/resource.h"

#include <new>

namespace {

constexpr ULONG ENCODER_NODE = 4;
constexpr ULONG NODE4_PICTURE_SIZE = 1; // width, height
constexpr ULONG NODE4_FRAME_RATES = 2;  // H.264, MJPG
constexpr ULONG NODE4_BIT_RATE = 3;     // Kbps
constexpr ULONG NODE4_GOP_SIZE = 5;

// How many leading characters of a field are read back.
constexpr int SIZE_CHARS = 4;
constexpr int RATE_CHARS = 4;
constexpr int LONG_FIELD_CHARS = 5;

} // namespace

CKt3ProxyPluginPage::CKt3ProxyPluginPage(LPUNKNOWN pUnk)
    : CBasePropertyPage(PAGE_SERVER_NAME, pUnk, IDD_PROPPAGE, IDS_TITLE) {}

CUnknown* CKt3ProxyPluginPage::CreateInstance(LPUNKNOWN pUnk, HRESULT* phr) {
    auto* pPage = new (std::nothrow) CKt3ProxyPluginPage(pUnk);
    if (!pPage) *phr = E_OUTOFMEMORY;
    return pPage;
}

HRESULT CKt3ProxyPluginPage::GetNodeProperty(ULONG ulNode, ULONG ulId, ULONG cbBuffer, LPVOID pBuffer) {
    REFGUID guidSet = ulNode == 2 ? PROPSETID_EXT_NODE2 : PROPSETID_EXT_NODE4;
    return KsNodeProperty(m_pKsControl, guidSet, ulNode, ulId, FALSE, pBuffer, cbBuffer);
}

HRESULT CKt3ProxyPluginPage::SetNodeProperty(ULONG ulNode, ULONG ulId, ULONG cbBuffer, LPVOID pBuffer) {
    REFGUID guidSet = ulNode == 2 ? PROPSETID_EXT_NODE2 : PROPSETID_EXT_NODE4;
    return KsNodeProperty(m_pKsControl, guidSet, ulNode, ulId, TRUE, pBuffer, cbBuffer);
}

HRESULT CKt3ProxyPluginPage::OnConnect(IUnknown* pUnknown) {
    if (!pUnknown) return VFW_E_NEED_OWNER;
    HRESULT hr = TakeKsInterfaces(pUnknown, &m_pKsControl, &m_pKsPropertySet);
    if (FAILED(hr)) return hr;
    KSPROBERESULT probe{};
    ProbeDevice(m_pKsControl, m_pKsPropertySet, &probe);
    // A device of ours without the power-line property is refused with the support query's code.
    return probe.bIdentified ? probe.hrSupport : E_FAIL;
}

HRESULT CKt3ProxyPluginPage::OnDisconnect() {
    ReleaseKsInterfaces(&m_pKsControl, &m_pKsPropertySet);
    return S_OK;
}

void CKt3ProxyPluginPage::ShowField(int nId, LONG lValue) {
    WCHAR achText[DECIMAL_CHARS];
    FormatDecimal(lValue, achText);
    SetDlgItemTextW(m_Dlg, nId, achText);
}

HRESULT CKt3ProxyPluginPage::OnActivate() {
    // One buffer for every read: a failed read shows what the read before it left.
    LONG alValue[2] = {0, 0};
    GetNodeProperty(ENCODER_NODE, NODE4_PICTURE_SIZE, sizeof(alValue), alValue);
    ShowField(IDC_WIDTH, alValue[0]);
    ShowField(IDC_HEIGHT, alValue[1]);
    GetNodeProperty(ENCODER_NODE, NODE4_FRAME_RATES, sizeof(alValue), alValue);
    ShowField(IDC_FPS_H264, alValue[0]);
    ShowField(IDC_FPS_MJPG, alValue[1]);
    GetNodeProperty(ENCODER_NODE, NODE4_BIT_RATE, sizeof(alValue), alValue);
    ShowField(IDC_BITRATE, alValue[0]);
    GetNodeProperty(ENCODER_NODE, NODE4_GOP_SIZE, sizeof(alValue), alValue);
    ShowField(IDC_GOP, alValue[0]);
    // Only now: the texts set above sent commands that are not the user's edits.
    m_bActivated = TRUE;
    return S_OK;
}

HRESULT CKt3ProxyPluginPage::OnDeactivate() {
    m_bActivated = FALSE;
    return S_OK;
}

BOOL CKt3ProxyPluginPage::ReadField(int nId, int cchMax, LONG* plValue) {
    WCHAR achText[LONG_FIELD_CHARS + 1] = {};
    GetDlgItemTextW(m_Dlg, nId, achText, cchMax + 1);
    return ParseDecimal(achText, plValue);
}

HRESULT CKt3ProxyPluginPage::OnApplyChanges() {
    // The texts left with the window: there is nothing to write.
    if (!m_bActivated) return S_OK;

    LONG lWidth = 0, lHeight = 0, lRateH264 = 0, lRateMjpg = 0, lBitRate = 0, lGopSize = 0;
    // A field without a number would send a value nobody entered; nothing is written, and the
    // page stays dirty so that the edit can be put right.
    if (!ReadField(IDC_WIDTH, SIZE_CHARS, &lWidth) || !ReadField(IDC_HEIGHT, SIZE_CHARS, &lHeight) ||
        !ReadField(IDC_FPS_H264, RATE_CHARS, &lRateH264) || !ReadField(IDC_FPS_MJPG, RATE_CHARS, &lRateMjpg) ||
        !ReadField(IDC_BITRATE, LONG_FIELD_CHARS, &lBitRate) || !ReadField(IDC_GOP, LONG_FIELD_CHARS, &lGopSize))
        return E_INVALIDARG;

    // The writes are independent: a refused one does not stop the next, nor fail the apply.
    LONG alValue[2] = {lWidth, lHeight};
    SetNodeProperty(ENCODER_NODE, NODE4_PICTURE_SIZE, sizeof(alValue), alValue);
    alValue[0] = lRateH264;
    alValue[1] = lRateMjpg;
    SetNodeProperty(ENCODER_NODE, NODE4_FRAME_RATES, sizeof(alValue), alValue);
    alValue[0] = lBitRate;
    alValue[1] = 0;
    SetNodeProperty(ENCODER_NODE, NODE4_BIT_RATE, sizeof(alValue), alValue);
    alValue[0] = lGopSize;
    alValue[1] = 0;
    SetNodeProperty(ENCODER_NODE, NODE4_GOP_SIZE, sizeof(alValue), alValue);
    m_bDirty = FALSE;
    return S_OK;
}

void CKt3ProxyPluginPage::SetDirty() {
    if (!m_bActivated) return;
    m_bDirty = TRUE;
    if (m_pPageSite) m_pPageSite->OnStatusChange(PROPPAGESTATUS_DIRTY);
}

INT_PTR CKt3ProxyPluginPage::OnReceiveMessage(HWND hwnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
    // Any command counts as an edit: a change of text, and a field gaining or losing focus.
    if (uMsg == WM_COMMAND && m_bActivated) SetDirty();
    return CBasePropertyPage::OnReceiveMessage(hwnd, uMsg, wParam, lParam);
}
