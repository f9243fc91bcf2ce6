// The fake enumerator's objects: class enumerator, moniker and property bag.
#include "fake_device_enum.h"

#include "host/device_ks.h"
#include "plat/com.h"

#include <atomic>

namespace {

FakeDeviceEnumerator* g_current = nullptr;

template <class... Interfaces> class Object : public Interfaces... {
public:
    ULONG AddRef() override { return ++m_refs; }
    ULONG Release() override {
        ULONG n = --m_refs;
        if (n == 0) delete this;
        return n;
    }

protected:
    virtual ~Object() = default;
    std::atomic<ULONG> m_refs{1};
};

class FakePropertyBag final : public Object<IPropertyBag> {
public:
    explicit FakePropertyBag(std::u16string name) : m_name(std::move(name)) {}
    HRESULT QueryInterface(REFIID riid, void** ppv) override {
        if (riid != IID_IUnknown && riid != IID_IPropertyBag) return (*ppv = nullptr, E_NOINTERFACE);
        AddRef();
        *ppv = static_cast<IPropertyBag*>(this);
        return S_OK;
    }
    HRESULT Read(LPCOLESTR pszPropName, VARIANT* pVar, IErrorLog*) override {
        if (std::u16string_view(pszPropName) != u"FriendlyName") return E_FAIL;
        pVar->vt = VT_BSTR;
        pVar->bstrVal = SysAllocStringLen(m_name.data(), static_cast<UINT>(m_name.size()));
        return S_OK;
    }
    HRESULT Write(LPCOLESTR, VARIANT*) override { return E_NOTIMPL; }

private:
    std::u16string m_name;
};

class FakeMoniker final : public Object<IMoniker> {
public:
    explicit FakeMoniker(FakeDevice* device) : m_device(device), m_count(device->monikerCount) { ++*m_count; }
    ~FakeMoniker() override { --*m_count; }

    HRESULT QueryInterface(REFIID riid, void** ppv) override {
        if (riid != IID_IUnknown && riid != IID_IMoniker) return (*ppv = nullptr, E_NOINTERFACE);
        AddRef();
        *ppv = static_cast<IMoniker*>(this);
        return S_OK;
    }
    HRESULT BindToObject(IBindCtx*, IMoniker*, REFIID riid, void** ppv) override {
        *ppv = nullptr;
        if (FAILED(m_device->bindResult)) return m_device->bindResult;
        return m_device->filter->QueryInterface(riid, ppv);
    }
    HRESULT BindToStorage(IBindCtx*, IMoniker*, REFIID riid, void** ppv) override {
        *ppv = nullptr;
        if (FAILED(m_device->storageResult)) return m_device->storageResult;
        if (riid != IID_IPropertyBag) return E_NOINTERFACE;
        *ppv = static_cast<IPropertyBag*>(new FakePropertyBag(m_device->name));
        return S_OK;
    }
    HRESULT GetClassID(CLSID*) override { return E_NOTIMPL; }
    HRESULT IsDirty() override { return S_FALSE; }
    HRESULT Load(IStream*) override { return E_NOTIMPL; }
    HRESULT Save(IStream*, BOOL) override { return E_NOTIMPL; }
    HRESULT GetSizeMax(ULONGLONG*) override { return E_NOTIMPL; }
    HRESULT Reduce(IBindCtx*, DWORD, IMoniker**, IMoniker**) override { return E_NOTIMPL; }
    HRESULT ComposeWith(IMoniker*, BOOL, IMoniker**) override { return E_NOTIMPL; }
    HRESULT Enum(BOOL, IEnumMoniker**) override { return E_NOTIMPL; }
    HRESULT IsEqual(IMoniker*) override { return E_NOTIMPL; }
    HRESULT Hash(DWORD*) override { return E_NOTIMPL; }
    HRESULT IsRunning(IBindCtx*, IMoniker*, IMoniker*) override { return E_NOTIMPL; }
    HRESULT GetTimeOfLastChange(IBindCtx*, IMoniker*, FILETIME*) override { return E_NOTIMPL; }
    HRESULT Inverse(IMoniker**) override { return E_NOTIMPL; }
    HRESULT CommonPrefixWith(IMoniker*, IMoniker**) override { return E_NOTIMPL; }
    HRESULT RelativePathTo(IMoniker*, IMoniker**) override { return E_NOTIMPL; }
    HRESULT GetDisplayName(IBindCtx*, IMoniker*, LPOLESTR*) override { return E_NOTIMPL; }
    HRESULT ParseDisplayName(IBindCtx*, IMoniker*, LPOLESTR, ULONG*, IMoniker**) override { return E_NOTIMPL; }
    HRESULT IsSystemMoniker(DWORD*) override { return E_NOTIMPL; }

private:
    FakeDevice* m_device;
    std::shared_ptr<long> m_count;
};

class FakeEnumMoniker final : public Object<IEnumMoniker> {
public:
    HRESULT QueryInterface(REFIID riid, void** ppv) override {
        if (riid != IID_IUnknown && riid != IID_IEnumMoniker) return (*ppv = nullptr, E_NOINTERFACE);
        AddRef();
        *ppv = static_cast<IEnumMoniker*>(this);
        return S_OK;
    }
    HRESULT Next(ULONG celt, IMoniker** rgelt, ULONG* pceltFetched) override {
        ULONG fetched = 0;
        auto& devices = g_current->Devices();
        while (fetched < celt && m_next < devices.size())
            rgelt[fetched++] = new FakeMoniker(devices[m_next++].get());
        if (pceltFetched) *pceltFetched = fetched;
        return fetched == celt ? S_OK : S_FALSE;
    }
    HRESULT Skip(ULONG celt) override {
        m_next += celt;
        return S_OK;
    }
    HRESULT Reset() override {
        m_next = 0;
        ++g_current->resets;
        if (g_current->onReset) g_current->onReset(g_current->resets);
        return S_OK;
    }
    HRESULT Clone(IEnumMoniker**) override { return E_NOTIMPL; }

private:
    size_t m_next = 0;
};

class FakeCreateDevEnum final : public Object<ICreateDevEnum> {
public:
    HRESULT QueryInterface(REFIID riid, void** ppv) override {
        if (riid != IID_IUnknown && riid != IID_ICreateDevEnum) return (*ppv = nullptr, E_NOINTERFACE);
        AddRef();
        *ppv = static_cast<ICreateDevEnum*>(this);
        return S_OK;
    }
    HRESULT CreateClassEnumerator(REFCLSID category, IEnumMoniker** ppEnum, DWORD) override {
        *ppEnum = nullptr;
        if (category != AM_KSCATEGORY_DATACOMPRESSOR) return S_FALSE;
        if (g_current->createResult != S_OK) return g_current->createResult;
        *ppEnum = new FakeEnumMoniker;
        return S_OK;
    }
};

} // namespace

long FakeDevice::monikersAlive() const {
    return *monikerCount;
}

FakeDeviceEnumerator::FakeDeviceEnumerator() : m_override(CLSID_SystemDeviceEnum, &FakeDeviceEnumerator::Create) {
    g_current = this;
}

FakeDeviceEnumerator::~FakeDeviceEnumerator() {
    for (auto& d : m_devices) SafeRelease(d->filter);
    g_current = nullptr;
}

FakeDevice& FakeDeviceEnumerator::Add(std::u16string name) {
    auto device = std::make_unique<FakeDevice>();
    device->name = std::move(name);
    device->model = std::make_shared<host::DeviceModel>();
    host::CreateDeviceControlFilter(device->model, &device->filter);
    m_devices.push_back(std::move(device));
    return *m_devices.back();
}

HRESULT FakeDeviceEnumerator::Create(IUnknown*, REFIID riid, void** ppv) {
    auto* object = new FakeCreateDevEnum;
    HRESULT hr = object->QueryInterface(riid, ppv);
    object->Release();
    return hr;
}

ULONG RefCount(IUnknown* p) {
    p->AddRef();
    return p->Release();
}
