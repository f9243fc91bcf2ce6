// The dialog's end: every recording stopped, every graph and device released. It runs after the
// modal loop, when the windows are gone, so no control is touched.
#include "YRA_HD_Capture_APDlg.h"

CYRA_HD_Capture_APDlg::~CYRA_HD_Capture_APDlg() {
    if (m_pGraphList) {
        for (int i = 0; i < m_nDeviceCount; ++i) {
            DeviceGraph& graph = m_pGraphList[i];
            if (graph.pControl) graph.pControl->Stop();
            if (graph.pGraph && m_pDeviceList) graph.pGraph->RemoveFilter(m_pDeviceList[i].pFilter);
            DestroyDSGraph(i);
        }
        delete[] m_pGraphList;
        m_pGraphList = nullptr;
    }
    ReleaseDeviceList();

    delete[] m_pDeviceLabels;
    delete[] m_pSetButtons;
    delete[] m_pStartButtons;
    delete[] m_pStopButtons;
    m_pDeviceLabels = nullptr;
    m_pSetButtons = m_pStartButtons = m_pStopButtons = nullptr;
}

void CYRA_HD_Capture_APDlg::ReleaseDeviceList() {
    if (m_pDeviceList) {
        for (int i = 0; i < m_nDeviceCount; ++i) {
            SafeRelease(m_pDeviceList[i].pMoniker);
            SafeRelease(m_pDeviceList[i].pFilter);
        }
        delete[] m_pDeviceList;
        m_pDeviceList = nullptr;
    }
    m_nDeviceCount = 0;
}
