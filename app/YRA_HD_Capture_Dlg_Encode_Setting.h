// The encode settings dialog: one device's MCU version and HDMI input, and its audio and video
// encoding settings, read from and written to the device through the SDK.
#pragma once

#include "resource.h"

#include "appfw/appfw.h"
#include "plat/media.h"

class CYRA_HD_Capture_Dlg_Encode_Setting : public CDialog {
public:
    enum { IDD = IDD_ENCODE_SETTING };

    // The filter is borrowed: the caller keeps it alive while the dialog runs.
    explicit CYRA_HD_Capture_Dlg_Encode_Setting(IBaseFilter* pFilter, CWnd* pParent = nullptr);

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;

    afx_msg void OnBnClickedOk();
    afx_msg void RebuildEncodeList();

    DECLARE_MESSAGE_MAP()

private:
    IBaseFilter* m_pFilter;
    CButton m_chkAudioEnable;
    CComboBox m_cbSampleRate;
    CComboBox m_cbVolume;
    CComboBox m_cbInputResolution;
    CComboBox m_cbEncodeResolution;
    CComboBox m_cbEncodeBitRate;
};
