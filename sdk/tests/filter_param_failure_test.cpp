// How reads and writes of the settings fail: at the first refused property, with its result,
// leaving the caller's record and (in the read phase) the device untouched.
#include "sdk_test_device.h"

namespace {

using host::PropertyAccess;
using host::PropertyCall;
using sdk_testing::DefaultParam;
using sdk_testing::kReadList;
using sdk_testing::kVolume;
using sdk_testing::PropertyRef;
using sdk_testing::SameBytes;
using sdk_testing::SdkDevice;
using sdk_testing::SentinelParam;

// A distinct failure per position, so a test can tell which refusal came back.
HRESULT FailureFor(size_t position) {
    return HRESULT(0x80071000u + position);
}

size_t CountSets(const std::vector<PropertyCall>& calls) {
    size_t n = 0;
    for (const PropertyCall& c : calls)
        n += c.access == PropertyAccess::Set;
    return n;
}

std::vector<std::vector<uint8_t>> Snapshot(const SdkDevice& device) {
    std::vector<std::vector<uint8_t>> words;
    for (const PropertyRef& p : kReadList)
        words.push_back(device.Stored(p));
    words.push_back(device.Stored(kVolume));
    return words;
}

TEST(FilterParamFailure, ARefusedReadFailsTheReadWithItsResultAndLeavesTheRecord) {
    std::vector<PropertyRef> reads(std::begin(kReadList), std::end(kReadList));
    reads.push_back(kVolume);
    for (size_t i = 0; i < reads.size(); ++i) {
        SCOPED_TRACE(testing::Message() << "position " << i << " id " << reads[i].id);
        SdkDevice device;
        device.model->Refuse(*reads[i].set, reads[i].id, PropertyAccess::Get, FailureFor(i));
        HDC_FILTER_PARAM param = SentinelParam();
        EXPECT_EQ(YRA_HDC_SDK_GetFilterParam(device.filter, &param), FailureFor(i));
        EXPECT_TRUE(SameBytes(param, SentinelParam()));
        EXPECT_EQ(device.model->Calls().size(), i + 1); // nothing after the refusal
    }
}

TEST(FilterParamFailure, ARefusedReadFailsTheWriteBeforeAnythingIsWritten) {
    for (size_t i = 0; i < 17; ++i) {
        SCOPED_TRACE(testing::Message() << "position " << i << " id " << kReadList[i].id);
        SdkDevice device;
        device.FillDistinctWords();
        auto before = Snapshot(device);
        device.model->Refuse(*kReadList[i].set, kReadList[i].id, PropertyAccess::Get, FailureFor(i));
        HDC_FILTER_PARAM param{0, 0, 3, 720, 480, 60, 0, 720, 480, 30, 1000, 1000, 1000};
        EXPECT_EQ(YRA_HDC_SDK_SetFilterParam(device.filter, &param), FailureFor(i));
        EXPECT_EQ(YRA_HDC_SDK_InitializeFilterParam(device.filter), FailureFor(i));
        EXPECT_EQ(CountSets(device.model->Calls()), 0u);
        EXPECT_EQ(Snapshot(device), before);
    }
}

TEST(FilterParamFailure, ARefusedWriteStopsThereAndKeepsWhatWasWritten) {
    std::vector<PropertyRef> writes(std::begin(kReadList), std::end(kReadList));
    writes.push_back(kVolume);
    const HDC_FILTER_PARAM param{0, 0, 3, 720, 480, 60, 0, 720, 480, 30, 1000, 1000, 1000};
    for (size_t j = 0; j < writes.size(); ++j) {
        SCOPED_TRACE(testing::Message() << "position " << j << " id " << writes[j].id);
        SdkDevice device;
        device.model->Refuse(*writes[j].set, writes[j].id, PropertyAccess::Set, FailureFor(j));
        EXPECT_EQ(YRA_HDC_SDK_SetFilterParam(device.filter, &param), FailureFor(j));

        std::vector<PropertyCall> calls = device.model->Calls();
        ASSERT_EQ(calls.size(), 17 + j + 1);
        EXPECT_EQ(calls.back().id, writes[j].id);
        EXPECT_EQ(calls.back().result, FailureFor(j));
        // What went out before the refusal stays on the device; there is no roll-back.
        for (size_t k = 0; k < j; ++k)
            EXPECT_EQ(device.Stored(writes[k]), calls[17 + k].data) << "write " << k;
    }
}

TEST(FilterParamFailure, SuccessCodesOtherThanOkDoNotStopTheWalk) {
    SdkDevice device;
    device.model->Refuse(PROPSETID_HDC_ENCODER, 3, PropertyAccess::Set, S_FALSE);
    device.model->Refuse(PROPSETID_HDC_ENCODER, 12, PropertyAccess::Get, S_FALSE);
    const HDC_FILTER_PARAM param = DefaultParam();
    EXPECT_EQ(YRA_HDC_SDK_SetFilterParam(device.filter, &param), S_OK);
    EXPECT_EQ(device.model->Calls().size(), 35u);
    HDC_FILTER_PARAM back = SentinelParam();
    EXPECT_EQ(YRA_HDC_SDK_GetFilterParam(device.filter, &back), S_OK);
}

TEST(FilterParamFailure, AFilterWithoutThePropertySetInterfaceFailsWithTheQueryResult) {
    for (HRESULT failure : {E_NOINTERFACE, E_OUTOFMEMORY}) {
        SdkDevice device;
        device.model->FailQueryInterface(IID_IKsPropertySet, failure);
        HDC_FILTER_PARAM param = SentinelParam();
        EXPECT_EQ(YRA_HDC_SDK_GetFilterParam(device.filter, &param), failure);
        EXPECT_TRUE(SameBytes(param, SentinelParam()));
        const HDC_FILTER_PARAM defaults = DefaultParam();
        EXPECT_EQ(YRA_HDC_SDK_SetFilterParam(device.filter, &defaults), failure);
        EXPECT_EQ(YRA_HDC_SDK_InitializeFilterParam(device.filter), failure);
        EXPECT_TRUE(device.model->Calls().empty());
    }
}

// A filter whose query for the property-set interface claims success without giving it.
class ClaimingFilter final : public IBaseFilter {
public:
    ULONG refs = 1;
    HRESULT QueryInterface(REFIID riid, void** ppv) override {
        *ppv = nullptr;
        if (riid == IID_IKsPropertySet) return S_OK;
        if (riid != IID_IUnknown && riid != IID_IBaseFilter) return E_NOINTERFACE;
        *ppv = static_cast<IBaseFilter*>(this);
        AddRef();
        return S_OK;
    }
    ULONG AddRef() override { return ++refs; }
    ULONG Release() override { return --refs; }
    HRESULT GetClassID(CLSID*) override { return E_NOTIMPL; }
    HRESULT Stop() override { return E_NOTIMPL; }
    HRESULT Pause() override { return E_NOTIMPL; }
    HRESULT Run(REFERENCE_TIME) override { return E_NOTIMPL; }
    HRESULT GetState(DWORD, FILTER_STATE*) override { return E_NOTIMPL; }
    HRESULT SetSyncSource(IReferenceClock*) override { return E_NOTIMPL; }
    HRESULT GetSyncSource(IReferenceClock**) override { return E_NOTIMPL; }
    HRESULT EnumPins(IEnumPins**) override { return E_NOTIMPL; }
    HRESULT FindPin(LPCWSTR, IPin**) override { return E_NOTIMPL; }
    HRESULT QueryFilterInfo(FILTER_INFO*) override { return E_NOTIMPL; }
    HRESULT JoinFilterGraph(IFilterGraph*, LPCWSTR) override { return E_NOTIMPL; }
    HRESULT QueryVendorInfo(LPWSTR*) override { return E_NOTIMPL; }
};

TEST(FilterParamFailure, AnInterfaceClaimedButNotGivenIsNoInterface) {
    ClaimingFilter filter;
    HDC_FILTER_PARAM param = SentinelParam();
    EXPECT_EQ(YRA_HDC_SDK_GetFilterParam(&filter, &param), E_NOINTERFACE);
    EXPECT_TRUE(SameBytes(param, SentinelParam()));
    const HDC_FILTER_PARAM defaults = DefaultParam();
    EXPECT_EQ(YRA_HDC_SDK_SetFilterParam(&filter, &defaults), E_NOINTERFACE);
    EXPECT_EQ(YRA_HDC_SDK_InitializeFilterParam(&filter), E_NOINTERFACE);
    int major = -7, minor = -8, code = -9;
    EXPECT_EQ(YRA_HDC_SDK_GetMCUVersion(&filter, &major, &minor), E_NOINTERFACE);
    EXPECT_EQ(YRA_HDC_SDK_GetHDMIRXResolution(&filter, &code), E_NOINTERFACE);
    EXPECT_EQ(major, -7);
    EXPECT_EQ(code, -9);
    EXPECT_EQ(filter.refs, 1u);
}

TEST(FilterParamFailure, NullArgumentsAreRefusedBeforeTheDeviceIsTouched) {
    SdkDevice device;
    HDC_FILTER_PARAM param = SentinelParam();
    EXPECT_EQ(YRA_HDC_SDK_GetFilterParam(nullptr, &param), E_INVALIDARG);
    EXPECT_EQ(YRA_HDC_SDK_GetFilterParam(device.filter, nullptr), E_INVALIDARG);
    EXPECT_EQ(YRA_HDC_SDK_SetFilterParam(nullptr, &param), E_INVALIDARG);
    EXPECT_EQ(YRA_HDC_SDK_SetFilterParam(device.filter, nullptr), E_INVALIDARG);
    EXPECT_EQ(YRA_HDC_SDK_InitializeFilterParam(nullptr), E_INVALIDARG);
    EXPECT_TRUE(SameBytes(param, SentinelParam()));
    EXPECT_TRUE(device.model->Calls().empty());
}

} // namespace
