#include "pages/power/powerpage.h"

#include "pages/common/ksprobe.h"
#include "pages/power/resource.h"

#include <new>

namespace {

constexpr ULONG DEVICE_REGISTER_READ = 5; // PROPSETID_HDC_DEVICE: word 0 address in, word 1 value out

// Frequency codes of the power-line property.
constexpr LONG POWERLINE_OUTDOOR = 0;
constexpr LONG POWERLINE_50HZ = 1;
constexpr LONG POWERLINE_60HZ = 2;

// The power-line request: the proc-amp record and a spare word the driver may use. The words
// the page does not fill are sent as zero.
struct POWERLINE_REQUEST {
    KSPROPERTY_VIDEOPROCAMP_S Record;
    ULONG Spare;
};
static_assert(sizeof(POWERLINE_REQUEST) == 40);
// From Value on: Value, Flags, Capabilities and the spare word.
constexpr DWORD POWERLINE_INSTANCE_BYTES = sizeof(POWERLINE_REQUEST) - offsetof(KSPROPERTY_VIDEOPROCAMP_S, Value);
static_assert(POWERLINE_INSTANCE_BYTES == 16);

} // namespace

CKt3ProxyPluginPage::CKt3ProxyPluginPage(LPUNKNOWN pUnk)
    : CBasePropertyPage(PAGE_SERVER_NAME, pUnk, IDD_PROPPAGE, IDS_TITLE) {}

CUnknown* CKt3ProxyPluginPage::CreateInstance(LPUNKNOWN pUnk, HRESULT* phr) {
    auto* pPage = new (std::nothrow) CKt3ProxyPluginPage(pUnk);
    if (!pPage) *phr = E_OUTOFMEMORY;
    return pPage;
}

HRESULT CKt3ProxyPluginPage::ReadDeviceRegister(DWORD dwAddress, DWORD* pdwValue) {
    if (!m_pKsPropertySet) return E_POINTER;
    // One buffer is both the request (the address) and the answer (the value).
    DWORD adwBuffer[2] = {dwAddress, 0};
    DWORD cbReturned = 0;
    HRESULT hr = m_pKsPropertySet->Get(PROPSETID_HDC_DEVICE, DEVICE_REGISTER_READ, adwBuffer, sizeof(adwBuffer),
                                       adwBuffer, sizeof(adwBuffer), &cbReturned);
    if (SUCCEEDED(hr)) *pdwValue = adwBuffer[1];
    return hr;
}

HRESULT CKt3ProxyPluginPage::OnConnect(IUnknown* pUnknown) {
    if (!pUnknown) return VFW_E_NEED_OWNER;
    HRESULT hr = TakeKsInterfaces(pUnknown, &m_pKsControl, &m_pKsPropertySet);
    if (FAILED(hr)) return hr;
    KSPROBERESULT probe{};
    ProbeDevice(m_pKsControl, m_pKsPropertySet, &probe);
    if (probe.bIdentified && probe.hrSupport == S_OK) return S_OK;
    // Devices that do not answer on node 2 still report the chip id in a register.
    DWORD dwChipId = 0;
    hr = ReadDeviceRegister(CHIP_ID_REGISTER, &dwChipId);
    return hr == S_OK && IsOurChipId(dwChipId) ? S_OK : E_FAIL;
}

HRESULT CKt3ProxyPluginPage::OnDisconnect() {
    ReleaseKsInterfaces(&m_pKsControl, &m_pKsPropertySet);
    return S_OK;
}

HRESULT CKt3ProxyPluginPage::GetPowerLineFrequency(LONG* plCode) {
    if (!m_pKsPropertySet) return E_POINTER;
    POWERLINE_REQUEST request{};
    request.Record.Property.Set = PROPSETID_VIDCAP_VIDEOPROCAMP;
    request.Record.Property.Id = KSPROPERTY_VIDEOPROCAMP_POWERLINE_FREQUENCY;
    request.Record.Property.Flags = KSPROPERTY_TYPE_GET;
    DWORD cbReturned = 0;
    HRESULT hr = m_pKsPropertySet->Get(PROPSETID_VIDCAP_VIDEOPROCAMP, KSPROPERTY_VIDEOPROCAMP_POWERLINE_FREQUENCY,
                                       &request.Record.Value, POWERLINE_INSTANCE_BYTES, &request, sizeof(request),
                                       &cbReturned);
    if (SUCCEEDED(hr)) *plCode = request.Record.Value;
    return hr;
}

HRESULT CKt3ProxyPluginPage::SetPowerLineFrequency(LONG lCode) {
    if (!m_pKsPropertySet) return E_POINTER;
    POWERLINE_REQUEST request{};
    request.Record.Property.Set = PROPSETID_VIDCAP_VIDEOPROCAMP;
    request.Record.Property.Id = KSPROPERTY_VIDEOPROCAMP_POWERLINE_FREQUENCY;
    request.Record.Property.Flags = KSPROPERTY_TYPE_SET;
    request.Record.Value = lCode;
    return m_pKsPropertySet->Set(PROPSETID_VIDCAP_VIDEOPROCAMP, KSPROPERTY_VIDEOPROCAMP_POWERLINE_FREQUENCY,
                                 &request.Record.Value, POWERLINE_INSTANCE_BYTES, &request, sizeof(request));
}

void CKt3ProxyPluginPage::ShowDeviceCode() {
    LONG lCode = POWERLINE_OUTDOOR;
    if (FAILED(GetPowerLineFrequency(&lCode))) {
        // An unread setting is shown as none, not as a setting the device may not have.
        CheckDlgButton(m_Dlg, IDC_OUTDOOR, BST_UNCHECKED);
        CheckDlgButton(m_Dlg, IDC_50HZ, BST_UNCHECKED);
        CheckDlgButton(m_Dlg, IDC_60HZ, BST_UNCHECKED);
        return;
    }
    int nButton = lCode == POWERLINE_OUTDOOR ? IDC_OUTDOOR : lCode == POWERLINE_50HZ ? IDC_50HZ : IDC_60HZ;
    CheckRadioButton(m_Dlg, IDC_50HZ, IDC_OUTDOOR, nButton);
}

HRESULT CKt3ProxyPluginPage::OnActivate() {
    ShowDeviceCode();
    m_bActivated = TRUE;
    return S_OK;
}

HRESULT CKt3ProxyPluginPage::OnDeactivate() {
    m_bActivated = FALSE;
    return S_OK;
}

INT_PTR CKt3ProxyPluginPage::OnReceiveMessage(HWND hwnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
    if (uMsg == WM_COMMAND && m_bActivated) {
        LONG lCode = IsDlgButtonChecked(m_Dlg, IDC_OUTDOOR) == BST_CHECKED ? POWERLINE_OUTDOOR
                     : IsDlgButtonChecked(m_Dlg, IDC_50HZ) == BST_CHECKED  ? POWERLINE_50HZ
                                                                           : POWERLINE_60HZ;
        // A refused choice must not stay checked: show what the device kept.
        if (FAILED(SetPowerLineFrequency(lCode))) ShowDeviceCode();
    }
    return CBasePropertyPage::OnReceiveMessage(hwnd, uMsg, wParam, lParam);
}
