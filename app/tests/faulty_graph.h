// A filter graph that passes everything to the host's own graph except the failures a test asks
// for (adding a filter of a given name, running), and counts its live instances so that tests can
// tell whether the program released every graph it made.
#pragma once

#include "tests/support/class_override.h"

#include "plat/media.h"

#include <string>

class FaultyGraphClass {
public:
    FaultyGraphClass();
    ~FaultyGraphClass();

    std::u16string failAddFilterName; // AddFilter of a filter with this name fails ...
    HRESULT addFilterResult = E_FAIL; // ... with this
    HRESULT runResult = S_OK;         // a failure here fails Run without running
    HRESULT controlQueryResult = S_OK; // a failure here refuses IMediaControl ...
    bool claimNoControl = false;       // ... and this claims it without giving it

    int created = 0;
    int Alive() const;

private:
    static HRESULT Create(IUnknown* outer, REFIID riid, void** ppv);
    ScopedClassOverride m_override;
};
