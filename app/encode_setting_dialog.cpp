// The encode settings dialog: shows what the device reports and writes the user's choices.
#include "YRA_HD_Capture_Dlg_Encode_Setting.h"
#include "resolution_tables.h"

#include "YRA_HD_Capture_SDK.h"

namespace {

// The tables' names are ASCII.
CString FromAscii(const char* psz) {
    std::u16string s;
    for (; *psz; ++psz) s.push_back(static_cast<char16_t>(static_cast<unsigned char>(*psz)));
    return CString(std::move(s));
}

} // namespace

BEGIN_MESSAGE_MAP(CYRA_HD_Capture_Dlg_Encode_Setting, CDialog)
ON_BN_CLICKED(IDOK, &CYRA_HD_Capture_Dlg_Encode_Setting::OnBnClickedOk)
ON_CBN_SELCHANGE(IDC_COMBO_INPUT_RESOLUTION, &CYRA_HD_Capture_Dlg_Encode_Setting::RebuildEncodeList)
END_MESSAGE_MAP()

CYRA_HD_Capture_Dlg_Encode_Setting::CYRA_HD_Capture_Dlg_Encode_Setting(IBaseFilter* pFilter, CWnd* pParent)
    : CDialog(IDD, pParent), m_pFilter(pFilter) {}

void CYRA_HD_Capture_Dlg_Encode_Setting::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_CHECK_AUDIO_ENABLE, m_chkAudioEnable);
    DDX_Control(pDX, IDC_COMBO_SAMPLE_RATE, m_cbSampleRate);
    DDX_Control(pDX, IDC_COMBO_VOLUME, m_cbVolume);
    DDX_Control(pDX, IDC_COMBO_INPUT_RESOLUTION, m_cbInputResolution);
    DDX_Control(pDX, IDC_COMBO_ENCODE_RESOLUTION, m_cbEncodeResolution);
    DDX_Control(pDX, IDC_COMBO_ENCODE_BITRATE, m_cbEncodeBitRate);
}

BOOL CYRA_HD_Capture_Dlg_Encode_Setting::OnInitDialog() {
    CDialog::OnInitDialog();

    for (LPCWSTR pszName : g_SampleRateNames) m_cbSampleRate.AddString(pszName);
    for (int i = 0; i < VOLUME_COUNT; ++i) {
        CString strVolume;
        strVolume.Format(u"%d", i);
        m_cbVolume.AddString(strVolume);
    }
    for (const RESOLUTION_ENTRY& row : g_InputResolutionTable) m_cbInputResolution.AddString(FromAscii(row.szName));
    for (const BIT_RATE_ENTRY& rate : g_BitRateTable) m_cbEncodeBitRate.AddString(rate.pszName);

    int nMajor = 0, nMinor = 0;
    CString strVersion;
    if (SUCCEEDED(YRA_HDC_SDK_GetMCUVersion(m_pFilter, &nMajor, &nMinor)))
        strVersion.Format(u"MCU Version: %d.%d\n", nMajor, nMinor);
    else
        strVersion = u"MCU Version: Get version failed.\n";
    SetDlgItemText(IDC_STATIC_MCU_VERSION, strVersion);

    // Codes 1..22 name input rows 0..21; anything else the receiver says is an unknown resolution.
    int nCode = 0;
    if (SUCCEEDED(YRA_HDC_SDK_GetHDMIRXResolution(m_pFilter, &nCode)))
        m_cbInputResolution.SetCurSel(nCode >= 1 && nCode <= INPUT_RESOLUTION_COUNT ? nCode - 1 : 0);

    RebuildEncodeList();

    HDC_FILTER_PARAM param{};
    HRESULT hr = YRA_HDC_SDK_GetFilterParam(m_pFilter, &param);
    if (FAILED(hr)) {
        CString strText;
        strText.Format(u"Get filter setting failed, HRESULT = 0x%X\n", static_cast<unsigned>(hr));
        MessageBox(strText, u"OnInitDialog()", MB_OK | MB_ICONERROR);
        return TRUE;
    }
    m_chkAudioEnable.SetCheck(param.bAudioEnable == 1 ? BST_CHECKED : BST_UNCHECKED);
    m_cbSampleRate.SetCurSel(static_cast<int>(param.nAudioSampleRate));
    m_cbVolume.SetCurSel(static_cast<int>(param.nAudioVolume));
    int nBitRateSel = CB_ERR;
    for (int i = 0; i < BIT_RATE_COUNT; ++i)
        if (static_cast<uint32_t>(g_BitRateTable[i].nKbps) == param.nBitRate) nBitRateSel = i;
    m_cbEncodeBitRate.SetCurSel(nBitRateSel);
    return TRUE;
}

void CYRA_HD_Capture_Dlg_Encode_Setting::RebuildEncodeList() {
    m_cbEncodeResolution.ResetContent();
    BuildEncodeResolutionList(m_cbInputResolution.GetCurSel(), &g_EncodeResolutionList);
    for (int i = 0; i < g_EncodeResolutionList.nCount; ++i)
        m_cbEncodeResolution.AddString(FromAscii(g_EncodeResolutionList.entries[i].szName));
    m_cbEncodeResolution.SetCurSel(g_EncodeResolutionList.nCount - 1);
}

void CYRA_HD_Capture_Dlg_Encode_Setting::OnBnClickedOk() {
    HDC_FILTER_PARAM param{};
    param.bAudioEnable = m_chkAudioEnable.GetCheck() == BST_CHECKED ? 1 : 0;
    param.nAudioSampleRate = static_cast<uint32_t>(m_cbSampleRate.GetCurSel());
    param.nAudioVolume = static_cast<uint32_t>(m_cbVolume.GetCurSel());

    int nInput = m_cbInputResolution.GetCurSel();
    if (nInput <= 0 || nInput >= INPUT_RESOLUTION_COUNT) {
        AfxMessageBox(u"Unknown resolution.", MB_ICONEXCLAMATION);
        return;
    }
    if (nInput == 1) {
        AfxMessageBox(u"No HDMI Signal.", MB_ICONEXCLAMATION);
        return;
    }
    const RESOLUTION_ENTRY& input = g_InputResolutionTable[nInput];
    param.nInputWidth = static_cast<uint32_t>(input.nWidth);
    param.nInputHeight = static_cast<uint32_t>(input.nHeight);
    param.nInputFrameRate = static_cast<uint32_t>(input.nFrameRate);
    param.bInputProgressive = input.bProgressive == 1 ? 1 : 0;

    // The list always has a selection; should it ever lose it, the entry the list selects by
    // default stands in rather than reading outside the table.
    int nEncode = m_cbEncodeResolution.GetCurSel();
    if (nEncode < 0 || nEncode >= g_EncodeResolutionList.nCount) nEncode = g_EncodeResolutionList.nCount - 1;
    if (nEncode >= 0) {
        const RESOLUTION_ENTRY& encode = g_EncodeResolutionList.entries[nEncode];
        param.nEncodeWidth = static_cast<uint32_t>(encode.nWidth);
        param.nEncodeHeight = static_cast<uint32_t>(encode.nHeight);
        param.nEncodeFrameRate = static_cast<uint32_t>(encode.nFrameRate);
    }

    int nBitRate = m_cbEncodeBitRate.GetCurSel();
    if (nBitRate >= 0 && nBitRate < BIT_RATE_COUNT) {
        param.nBitRate = param.nBitRate2 = param.nBitRate3 = static_cast<uint32_t>(g_BitRateTable[nBitRate].nKbps);
    }

    HRESULT hr = YRA_HDC_SDK_SetFilterParam(m_pFilter, &param);
    if (FAILED(hr)) {
        CString strText;
        strText.Format(u"Set filter parameter failed, HRESULT = 0x%X.\n", static_cast<unsigned>(hr));
        MessageBox(strText, u"OnBnClickedOk()", MB_OK | MB_ICONERROR);
    }
    CDialog::OnOK();
}
