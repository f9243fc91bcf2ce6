// The capture program's main dialog: one row per attached device (name label, Set, Start, Stop),
// each row recording its device through a graph of its own.
#pragma once

#include "resource.h"

#include "appfw/appfw.h"
#include "plat/media.h"

#define MAX_DEVICES 8
#define IDC_DEVICE_LABEL_BASE 0x7000
#define IDC_SET_BASE 0x7200
#define IDC_START_BASE 0x7400
#define IDC_STOP_BASE 0x7600
// Each button column owns a range of 0x200 ids, far more than MAX_DEVICES rows need.
#define IDC_ROW_RANGE 0x200

#define YRA_HD_CAPTURE_AP_VERSION 20150415

// The friendly name under which the system device enumerator lists the device.
#define YRA_DEVICE_FRIENDLY_NAME u"YRA USB Device"

// One device found at start-up: its moniker and its filter object, one reference each.
struct DeviceEntry {
    IMoniker* pMoniker;
    IBaseFilter* pFilter;
};

// A row's recording graph; every non-null interface holds one reference.
struct DeviceGraph {
    IGraphBuilder* pGraph;
    ICaptureGraphBuilder2* pBuilder;
    IMediaControl* pControl;
    IBaseFilter* pDump;
    int nState; // 0 idle, 1 recording
};

class CYRA_HD_Capture_APDlg : public CDialog {
public:
    enum { IDD = IDD_YRA_HD_CAPTURE_AP_DIALOG };

    explicit CYRA_HD_Capture_APDlg(CWnd* pParent = nullptr);
    ~CYRA_HD_Capture_APDlg() override;

    // Read-only views for the headless front end and the tests.
    int GetDeviceCount() const { return m_nDeviceCount; }
    IBaseFilter* GetDeviceFilter(int nIndex) const;
    const DeviceGraph* GetDeviceGraph(int nIndex) const;

    HICON m_hIcon;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;

    afx_msg void OnPaint();
    afx_msg HCURSOR OnQueryDragIcon();
    afx_msg void OnBtnClickedSet(UINT nID);
    afx_msg void OnBtnClickedStart(UINT nID);
    afx_msg void OnBtnClickedStop(UINT nID);

    HRESULT EnumDevices();
    HRESULT CreateDSGraph(int nIndex);
    HRESULT DestroyDSGraph(int nIndex);
    HRESULT UpdateRowButtons(int nIndex);

    DECLARE_MESSAGE_MAP()

private:
    void CreateRowControls();
    void ReleaseDeviceList();
    void ShowMessage(LPCWSTR pszCaption, UINT nIcon, LPCWSTR pszFormat, ...);

    int m_nDeviceCount;
    DeviceEntry* m_pDeviceList;
    DeviceGraph* m_pGraphList;
    CStatic* m_pDeviceLabels;
    CButton* m_pSetButtons;
    CButton* m_pStartButtons;
    CButton* m_pStopButtons;
};
