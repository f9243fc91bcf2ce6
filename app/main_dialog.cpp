// The main dialog's window: start-up, the device rows, painting and the Set button.
#include "YRA_HD_Capture_APDlg.h"
#include "YRA_HD_Capture_Dlg_Encode_Setting.h"

#include "YRA_HD_Capture_SDK.h"
#include "plat/com.h"

#include <cstdarg>

namespace {

// Row geometry in client pixels: rows 56 apart, controls 24 high, the label column then three
// 64-pixel button columns.
constexpr int kRowTop = 32;
constexpr int kRowPitch = 56;
constexpr int kRowHeight = 24;
constexpr int kLabelLeft = 8, kLabelRight = 264;
constexpr int kSetLeft = 296, kStartLeft = 376, kStopLeft = 456;
constexpr int kButtonWidth = 64;

// Visible children with no other style: a plain left-aligned label, plain push buttons.
constexpr DWORD kRowControlStyle = WS_CHILD | WS_VISIBLE;

CRect RowRect(int nRow, int nLeft, int nRight) {
    int top = kRowTop + kRowPitch * nRow;
    return CRect(nLeft, top, nRight, top + kRowHeight);
}

} // namespace

BEGIN_MESSAGE_MAP(CYRA_HD_Capture_APDlg, CDialog)
ON_WM_PAINT()
ON_WM_QUERYDRAGICON()
ON_CONTROL_RANGE(BN_CLICKED, IDC_SET_BASE, IDC_SET_BASE + IDC_ROW_RANGE - 1, &CYRA_HD_Capture_APDlg::OnBtnClickedSet)
ON_CONTROL_RANGE(BN_CLICKED, IDC_START_BASE, IDC_START_BASE + IDC_ROW_RANGE - 1,
                 &CYRA_HD_Capture_APDlg::OnBtnClickedStart)
ON_CONTROL_RANGE(BN_CLICKED, IDC_STOP_BASE, IDC_STOP_BASE + IDC_ROW_RANGE - 1,
                 &CYRA_HD_Capture_APDlg::OnBtnClickedStop)
END_MESSAGE_MAP()

CYRA_HD_Capture_APDlg::CYRA_HD_Capture_APDlg(CWnd* pParent)
    : CDialog(IDD, pParent), m_nDeviceCount(0), m_pDeviceList(nullptr), m_pGraphList(nullptr),
      m_pDeviceLabels(nullptr), m_pSetButtons(nullptr), m_pStartButtons(nullptr), m_pStopButtons(nullptr) {
    m_hIcon = ::LoadIconW(AfxGetResourceHandle(), MAKEINTRESOURCEW(IDR_MAINFRAME));
}

void CYRA_HD_Capture_APDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
}

IBaseFilter* CYRA_HD_Capture_APDlg::GetDeviceFilter(int nIndex) const {
    if (!m_pDeviceList || nIndex < 0 || nIndex >= m_nDeviceCount) return nullptr;
    return m_pDeviceList[nIndex].pFilter;
}

const DeviceGraph* CYRA_HD_Capture_APDlg::GetDeviceGraph(int nIndex) const {
    if (!m_pGraphList || nIndex < 0 || nIndex >= m_nDeviceCount) return nullptr;
    return &m_pGraphList[nIndex];
}

void CYRA_HD_Capture_APDlg::ShowMessage(LPCWSTR pszCaption, UINT nIcon, LPCWSTR pszFormat, ...) {
    CString text;
    va_list args;
    va_start(args, pszFormat);
    text.FormatV(pszFormat, args);
    va_end(args);
    MessageBox(text, pszCaption, MB_OK | nIcon);
}

BOOL CYRA_HD_Capture_APDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    SetIcon(m_hIcon, TRUE);
    SetIcon(m_hIcon, FALSE);

    m_nDeviceCount = 0;
    m_pDeviceList = nullptr;
    m_pGraphList = nullptr;
    m_pDeviceLabels = nullptr;
    m_pSetButtons = nullptr;
    m_pStartButtons = nullptr;
    m_pStopButtons = nullptr;

    CString title;
    title.Format(u"YRA HD Capture AP Ver = %d, SDK Ver = %d", YRA_HD_CAPTURE_AP_VERSION, YRA_HDC_SDK_GetVersion());
    SetWindowText(title);

    // A failure here is reported but not fatal: the thread may already be initialised in
    // another mode, in which case creation still works.
    HRESULT hr = CoInitialize(nullptr);
    if (FAILED(hr)) ShowMessage(u"OnInitDialog()", MB_ICONINFORMATION, u"CoInitialize() failed, HRESULT = 0x%X.\n", hr);

    hr = EnumDevices();
    if (FAILED(hr)) ShowMessage(u"OnInitDialog()", MB_ICONINFORMATION, u"EnumDevices() failed, HRESULT = 0x%X.\n", hr);

    if (m_nDeviceCount == 0) {
        ShowMessage(u"OnInitDialog()", MB_ICONINFORMATION, u"No Device.");
        return TRUE;
    }

    if (m_nDeviceCount > MAX_DEVICES) {
        ShowMessage(u"OnInitDialog()", MB_ICONINFORMATION,
                    u"Devices number over maximum limit.\nMaximum Limit = %d.\nCurrent Number = %d.\n", MAX_DEVICES,
                    m_nDeviceCount);
        for (int i = MAX_DEVICES; i < m_nDeviceCount; ++i) {
            SafeRelease(m_pDeviceList[i].pMoniker);
            SafeRelease(m_pDeviceList[i].pFilter);
        }
        m_nDeviceCount = MAX_DEVICES;
    }

    m_pGraphList = new DeviceGraph[m_nDeviceCount]();

    for (int i = 0; i < m_nDeviceCount; ++i) {
        hr = YRA_HDC_SDK_InitializeFilterParam(m_pDeviceList[i].pFilter);
        if (FAILED(hr))
            ShowMessage(u"OnInitDialog()", MB_ICONERROR, u"Initialize device failed, HRESULT = 0x%X.\n", hr);
    }

    CreateRowControls();
    for (int i = 0; i < m_nDeviceCount; ++i) UpdateRowButtons(i);
    return TRUE;
}

// One column at a time, each top to bottom, every control in the header label's font.
void CYRA_HD_Capture_APDlg::CreateRowControls() {
    CWnd* pHeader = GetDlgItem(IDC_STATIC_NAME);
    CFont* pFont = pHeader ? pHeader->GetFont() : nullptr;
    auto applyFont = [pFont](CWnd& control) {
        if (pFont) control.SetFont(pFont, TRUE);
    };

    m_pDeviceLabels = new CStatic[m_nDeviceCount];
    m_pSetButtons = new CButton[m_nDeviceCount];
    m_pStartButtons = new CButton[m_nDeviceCount];
    m_pStopButtons = new CButton[m_nDeviceCount];

    for (int i = 0; i < m_nDeviceCount; ++i) {
        m_pDeviceLabels[i].Create(u"YRA Capture Device", kRowControlStyle, RowRect(i, kLabelLeft, kLabelRight), this,
                                  IDC_DEVICE_LABEL_BASE + i);
        applyFont(m_pDeviceLabels[i]);
    }
    for (int i = 0; i < m_nDeviceCount; ++i) {
        m_pSetButtons[i].Create(u"Set", kRowControlStyle, RowRect(i, kSetLeft, kSetLeft + kButtonWidth), this,
                                IDC_SET_BASE + i);
        applyFont(m_pSetButtons[i]);
    }
    for (int i = 0; i < m_nDeviceCount; ++i) {
        m_pStartButtons[i].Create(u"Start", kRowControlStyle, RowRect(i, kStartLeft, kStartLeft + kButtonWidth),
                                  this, IDC_START_BASE + i);
        applyFont(m_pStartButtons[i]);
    }
    for (int i = 0; i < m_nDeviceCount; ++i) {
        m_pStopButtons[i].Create(u"Stop", kRowControlStyle, RowRect(i, kStopLeft, kStopLeft + kButtonWidth), this,
                                 IDC_STOP_BASE + i);
        applyFont(m_pStopButtons[i]);
    }
}

void CYRA_HD_Capture_APDlg::OnPaint() {
    if (!IsIconic()) {
        CDialog::OnPaint();
        return;
    }
    CPaintDC dc(this);
    SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.GetSafeHdc()), 0);
    int cxIcon = GetSystemMetrics(SM_CXICON);
    int cyIcon = GetSystemMetrics(SM_CYICON);
    CRect rect;
    GetClientRect(&rect);
    int x = (rect.Width() - cxIcon + 1) / 2;
    int y = (rect.Height() - cyIcon + 1) / 2;
    dc.DrawIcon(x, y, m_hIcon);
}

HCURSOR CYRA_HD_Capture_APDlg::OnQueryDragIcon() {
    return static_cast<HCURSOR>(m_hIcon);
}

void CYRA_HD_Capture_APDlg::OnBtnClickedSet(UINT nID) {
    if (!m_pDeviceList) {
        ShowMessage(u"OnBtnClickedSet()", MB_ICONINFORMATION, u"No device.\n");
        return;
    }
    int nIndex = static_cast<int>(nID) - IDC_SET_BASE;
    if (nIndex < 0 || nIndex >= m_nDeviceCount) {
        ShowMessage(u"OnBtnClickedSet()", MB_ICONERROR, u"Index error, index = %d.\n", nIndex);
        return;
    }
    CYRA_HD_Capture_Dlg_Encode_Setting dlg(m_pDeviceList[nIndex].pFilter);
    dlg.DoModal();
}
