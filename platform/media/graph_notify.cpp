// The graph's event side: what filters post and what the application reads.
#include "filter_graph.h"

namespace host {

HRESULT FilterGraph::Notify(LONG EventCode, LONG_PTR EventParam1, LONG_PTR EventParam2) {
    IUnknown* pSender = nullptr;
    if (EventCode == EC_COMPLETE && EventParam2) pSender = IdentityOf(reinterpret_cast<IBaseFilter*>(EventParam2));
    m_events.Notify(EventCode, EventParam1, EventParam2, pSender);
    return S_OK;
}

// The host has no event handles and no window messages to signal an application with.
HRESULT FilterGraph::GetEventHandle(OAEVENT* hEvent) {
    if (hEvent) *hEvent = 0;
    return E_NOTIMPL;
}

HRESULT FilterGraph::SetNotifyWindow(OAHWND, LONG, LONG_PTR) { return E_NOTIMPL; }

HRESULT FilterGraph::GetEvent(LONG* lEventCode, LONG_PTR* lParam1, LONG_PTR* lParam2, LONG msTimeout) {
    return m_events.GetEvent(lEventCode, lParam1, lParam2, msTimeout);
}

HRESULT FilterGraph::WaitForCompletion(LONG msTimeout, LONG* pEvCode) {
    return m_events.WaitForCompletion(msTimeout, pEvCode);
}

HRESULT FilterGraph::CancelDefaultHandling(LONG lEvCode) { return m_events.CancelDefaultHandling(lEvCode); }

HRESULT FilterGraph::RestoreDefaultHandling(LONG lEvCode) { return m_events.RestoreDefaultHandling(lEvCode); }

// No event the host's filters post carries memory of its own.
HRESULT FilterGraph::FreeEventParams(LONG, LONG_PTR, LONG_PTR) { return S_OK; }

HRESULT FilterGraph::SetNotifyFlags(LONG lNoNotifyFlags) { return m_events.SetNotifyFlags(lNoNotifyFlags); }

HRESULT FilterGraph::GetNotifyFlags(LONG* lplNoNotifyFlags) { return m_events.GetNotifyFlags(lplNoNotifyFlags); }

HRESULT FilterGraph::GetTypeInfoCount(UINT* pctinfo) {
    if (pctinfo) *pctinfo = 0;
    return E_NOTIMPL;
}
HRESULT FilterGraph::GetTypeInfo(UINT, LCID, ITypeInfo** ppTInfo) {
    if (ppTInfo) *ppTInfo = nullptr;
    return E_NOTIMPL;
}
HRESULT FilterGraph::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) { return E_NOTIMPL; }
HRESULT FilterGraph::Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) { return E_NOTIMPL; }

HRESULT FilterGraph::RenderFile(BSTR) { return E_NOTIMPL; }
HRESULT FilterGraph::AddSourceFilter(BSTR, IDispatch** ppUnk) {
    if (ppUnk) *ppUnk = nullptr;
    return E_NOTIMPL;
}
HRESULT FilterGraph::get_FilterCollection(IDispatch** ppUnk) {
    if (ppUnk) *ppUnk = nullptr;
    return E_NOTIMPL;
}
HRESULT FilterGraph::get_RegFilterCollection(IDispatch** ppUnk) {
    if (ppUnk) *ppUnk = nullptr;
    return E_NOTIMPL;
}

} // namespace host
