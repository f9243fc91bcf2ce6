// A framework object that answers ITestProbe; shared by the test plug-ins.
#pragma once

#include "framework/classfactory.h"
#include "plat/com.h"
#include "test_plugin_ids.h"

class CTestObject : public CUnknown, public ITestProbe {
public:
    CTestObject(LPCWSTR pName, LPUNKNOWN pUnk) : CUnknown(pName, pUnk) {}
    DECLARE_IUNKNOWN

    HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override {
        if (riid == IID_ITestProbe) return GetInterface(static_cast<ITestProbe*>(this), ppv);
        return CUnknown::NonDelegatingQueryInterface(riid, ppv);
    }
    HINSTANCE Module() override { return g_hInst; }
    LONG ModuleObjects() override { return CBaseObject::ObjectsActive(); }
};

#define YRA_TEST_EXPORT extern "C" __attribute__((visibility("default")))
