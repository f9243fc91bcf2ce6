// Recording: a row's Start builds a graph from the device's filter to a dump filter writing the
// chosen file and runs it; Stop stops and dismantles it.
#include "YRA_HD_Capture_APDlg.h"

#include "plat/com.h"

void CYRA_HD_Capture_APDlg::OnBtnClickedStart(UINT nID) {
    CFileDialog fileDlg(FALSE, u"ts", u"*.ts", OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY, u"ts|*.ts||", this);

    if (!m_pGraphList) {
        ShowMessage(u"OnBtnClickedStart()", MB_ICONERROR, u"No DirectShow graph.\n");
        return;
    }
    if (!m_pDeviceList) {
        ShowMessage(u"OnBtnClickedStart()", MB_ICONERROR, u"No device.\n");
        return;
    }
    int nIndex = static_cast<int>(nID) - IDC_START_BASE;
    if (nIndex < 0 || nIndex >= m_nDeviceCount) {
        ShowMessage(u"OnBtnClickedStart()", MB_ICONERROR, u"Index error, index = %d.\n", nIndex);
        return;
    }
    if (fileDlg.DoModal() != IDOK) return;

    // The path stays UTF-16 from the dialog to the dump filter, so any file name survives.
    CString strPath = fileDlg.GetPathName();

    HRESULT hr = CreateDSGraph(nIndex);
    if (FAILED(hr)) {
        ShowMessage(u"OnBtnClickedStart()", MB_ICONERROR, u"CreateDSGraph() failed, HRESULT = 0x%X.\n", hr);
        DestroyDSGraph(nIndex);
        return;
    }

    DeviceGraph& graph = m_pGraphList[nIndex];
    IBaseFilter* pSource = m_pDeviceList[nIndex].pFilter;
    hr = graph.pGraph->AddFilter(pSource, u"Source");
    if (FAILED(hr)) {
        ShowMessage(u"OnBtnClickedStart()", MB_ICONERROR, u"AddFilter(Source) failed, HRESULT = 0x%X.\n", hr);
        DestroyDSGraph(nIndex);
        return;
    }

    hr = CoCreateInstance(CLSID_YRA_HD_Capture_Dump, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                          reinterpret_cast<void**>(&graph.pDump));
    if (FAILED(hr)) {
        ShowMessage(u"OnBtnClickedStart()", MB_ICONERROR,
                    u"CoCreateInstance(CLSID_YRA_HD_Capture_Dump) failed, HRESULT = 0x%X.\n", hr);
        graph.pDump = nullptr;
    }

    // A dump filter that is missing, or that cannot be told the file, has nothing to record
    // into: it is neither added nor connected.
    IFileSinkFilter* pSink = nullptr;
    if (graph.pDump)
        graph.pDump->QueryInterface(IID_IFileSinkFilter, reinterpret_cast<void**>(&pSink));
    if (pSink) {
        hr = graph.pGraph->AddFilter(graph.pDump, u"Dump");
        if (FAILED(hr))
            ShowMessage(u"OnBtnClickedStart()", MB_ICONERROR, u"AddFilter(Dump) failed, HRESULT = 0x%X.\n", hr);

        hr = graph.pBuilder->RenderStream(nullptr, nullptr, pSource, nullptr, graph.pDump);
        if (FAILED(hr))
            ShowMessage(u"OnBtnClickedStart()", MB_ICONERROR,
                        u"RenderStream(Source, Dump) failed, HRESULT = 0x%X.\n", hr);

        pSink->SetFileName(strPath, nullptr);
        pSink->Release();
    }

    hr = graph.pControl->Run();
    if (FAILED(hr)) ShowMessage(u"OnBtnClickedStart()", MB_ICONERROR, u"Run() failed, HRESULT = 0x%X.\n", hr);

    graph.nState = 1;
    UpdateRowButtons(nIndex);
}

void CYRA_HD_Capture_APDlg::OnBtnClickedStop(UINT nID) {
    if (!m_pGraphList) {
        ShowMessage(u"OnBtnClickedStop()", MB_ICONERROR, u"No DirectShow graph.\n");
        return;
    }
    int nIndex = static_cast<int>(nID) - IDC_STOP_BASE;
    if (nIndex < 0 || nIndex >= m_nDeviceCount) {
        ShowMessage(u"OnBtnClickedStop()", MB_ICONERROR, u"Index error, index = %d.\n", nIndex);
        return;
    }
    DeviceGraph& graph = m_pGraphList[nIndex];
    // Stopping the graph is what closes the file.
    if (graph.pControl) graph.pControl->Stop();
    if (graph.pGraph) graph.pGraph->RemoveFilter(m_pDeviceList[nIndex].pFilter);
    DestroyDSGraph(nIndex);
    graph.nState = 0;
    UpdateRowButtons(nIndex);
}

HRESULT CYRA_HD_Capture_APDlg::CreateDSGraph(int nIndex) {
    if (nIndex < 0 || nIndex >= m_nDeviceCount) return E_INVALIDARG;
    if (!m_pGraphList) return E_OUTOFMEMORY;
    DeviceGraph& graph = m_pGraphList[nIndex];

    HRESULT hr = CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                                  reinterpret_cast<void**>(&graph.pGraph));
    if (FAILED(hr)) return hr;
    hr = CoCreateInstance(CLSID_CaptureGraphBuilder2, nullptr, CLSCTX_INPROC_SERVER, IID_ICaptureGraphBuilder2,
                          reinterpret_cast<void**>(&graph.pBuilder));
    if (FAILED(hr)) return hr;
    hr = graph.pBuilder->SetFiltergraph(graph.pGraph);
    if (FAILED(hr)) return hr;
    // A graph that claims the run control without giving it cannot be run.
    hr = SafeQueryInterface(graph.pGraph, IID_IMediaControl, reinterpret_cast<void**>(&graph.pControl));
    return FAILED(hr) ? hr : S_OK;
}

HRESULT CYRA_HD_Capture_APDlg::DestroyDSGraph(int nIndex) {
    if (nIndex < 0 || nIndex >= m_nDeviceCount) return E_INVALIDARG;
    if (!m_pGraphList) return E_OUTOFMEMORY;
    DeviceGraph& graph = m_pGraphList[nIndex];
    if (graph.pControl) graph.pControl->Stop();
    graph.nState = 0;
    SafeRelease(graph.pDump);
    SafeRelease(graph.pControl);
    SafeRelease(graph.pBuilder);
    SafeRelease(graph.pGraph);
    return S_OK;
}

HRESULT CYRA_HD_Capture_APDlg::UpdateRowButtons(int nIndex) {
    if (nIndex < 0 || nIndex >= m_nDeviceCount) return E_INVALIDARG;
    if (!m_pGraphList || !m_pSetButtons || !m_pStartButtons || !m_pStopButtons) return E_UNEXPECTED;
    switch (m_pGraphList[nIndex].nState) {
    case 0:
        m_pSetButtons[nIndex].EnableWindow(TRUE);
        m_pStartButtons[nIndex].EnableWindow(TRUE);
        m_pStopButtons[nIndex].EnableWindow(FALSE);
        break;
    case 1:
        m_pSetButtons[nIndex].EnableWindow(FALSE);
        m_pStartButtons[nIndex].EnableWindow(FALSE);
        m_pStopButtons[nIndex].EnableWindow(TRUE);
        break;
    default:
        break;
    }
    return S_OK;
}
