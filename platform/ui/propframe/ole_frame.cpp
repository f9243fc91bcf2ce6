// The platform's entry to the frame, and the page list an object names.
#include "host/propframe.h"

namespace host {

HRESULT GetObjectPages(IUnknown* object, std::vector<CLSID>* pages) {
    if (!object || !pages) return E_POINTER;
    pages->clear();
    ISpecifyPropertyPages* specify = nullptr;
    HRESULT hr = SafeQueryInterface(object, IID_ISpecifyPropertyPages, reinterpret_cast<void**>(&specify));
    if (FAILED(hr)) return hr;
    CAUUID list{};
    hr = specify->GetPages(&list);
    specify->Release();
    if (FAILED(hr)) return hr;
    if (list.pElems) pages->assign(list.pElems, list.pElems + list.cElems);
    CoTaskMemFree(list.pElems);
    return S_OK;
}

} // namespace host

HRESULT OleCreatePropertyFrame(HWND hwndOwner, UINT x, UINT y, LPCOLESTR lpszCaption, ULONG cObjects,
                               LPUNKNOWN* ppUnk, ULONG cPages, LPCLSID pPageClsID, LCID lcid, DWORD, LPVOID) {
    if ((cObjects && !ppUnk) || (cPages && !pPageClsID)) return E_POINTER;
    host::PropertyFrame::Options options;
    options.owner = hwndOwner;
    options.caption = lpszCaption ? lpszCaption : u"";
    options.x = static_cast<int>(x);
    options.y = static_cast<int>(y);
    options.lcid = lcid;
    std::vector<IUnknown*> objects(ppUnk, ppUnk + cObjects);
    std::vector<CLSID> pages(pPageClsID, pPageClsID + cPages);
    std::unique_ptr<host::PropertyFrame> frame;
    HRESULT hr = host::PropertyFrame::Open(options, objects, pages, &frame);
    if (FAILED(hr)) return hr;
    frame->RunModal();
    return S_OK;
}
