#include "device_fixture.h"

namespace {

using device_testing::ModelDevice;
using device_testing::PutWord;
using device_testing::WordAt;
using host::PropertyAccess;

constexpr ULONG GET = KSPROPERTY_TYPE_GET;
constexpr ULONG SET = KSPROPERTY_TYPE_SET;

TEST(DeviceKs, NodeTwoAnswersTheIdentificationProbe) {
    ModelDevice device;
    int32_t words[2] = {0x38, 1};
    ASSERT_EQ(device.Node(PROPSETID_EXT_NODE2, 3, 2, SET, words), S_OK);
    words[0] = words[1] = 0;
    ASSERT_EQ(device.Node(PROPSETID_EXT_NODE2, 3, 2, GET, words), S_OK);
    EXPECT_EQ(words[0], 0x10020);

    host::DeviceConfig older;
    older.chipId = 0x10;
    ModelDevice other(older);
    int32_t probe[2] = {0x38, 1};
    ASSERT_EQ(other.Node(PROPSETID_EXT_NODE2, 3, 2, SET, probe), S_OK);
    ASSERT_EQ(other.Node(PROPSETID_EXT_NODE2, 3, 2, GET, probe), S_OK);
    EXPECT_EQ(probe[0], 0x10);
}

TEST(DeviceKs, NodeFourPropertiesAreViewsOfTheEncoderState) {
    ModelDevice device;
    host::DeviceModel& m = *device.model;
    int32_t w[2] = {-1, -1};
    ASSERT_EQ(device.Node(PROPSETID_EXT_NODE4, 1, 4, GET, w), S_OK);
    EXPECT_EQ(w[0], 1920);
    EXPECT_EQ(w[1], 1080);
    ASSERT_EQ(device.Node(PROPSETID_EXT_NODE4, 2, 4, GET, w), S_OK);
    EXPECT_EQ(w[0], 30);
    EXPECT_EQ(w[1], 30);
    ASSERT_EQ(device.Node(PROPSETID_EXT_NODE4, 3, 4, GET, w), S_OK);
    EXPECT_EQ(w[0], 30000);
    EXPECT_EQ(w[1], 0);
    ASSERT_EQ(device.Node(PROPSETID_EXT_NODE4, 5, 4, GET, w), S_OK);
    EXPECT_EQ(w[0], 30);

    int32_t size[2] = {1280, 720};
    ASSERT_EQ(device.Node(PROPSETID_EXT_NODE4, 1, 4, SET, size), S_OK);
    EXPECT_EQ(m.StoredWord(PROPSETID_HDC_ENCODER, 8, 0), 1280u);
    EXPECT_EQ(m.StoredWord(PROPSETID_HDC_ENCODER, 8, 4), 720u);
    int32_t rates[2] = {25, 15};
    ASSERT_EQ(device.Node(PROPSETID_EXT_NODE4, 2, 4, SET, rates), S_OK);
    EXPECT_EQ(m.StoredWord(PROPSETID_HDC_ENCODER, 2, 64), 25u);
    int32_t bitRate[2] = {8000, 0};
    ASSERT_EQ(device.Node(PROPSETID_EXT_NODE4, 3, 4, SET, bitRate), S_OK);
    EXPECT_EQ(m.StoredWord(PROPSETID_HDC_ENCODER, 3, 20), 8000u);
    int32_t gop[2] = {60, 0};
    ASSERT_EQ(device.Node(PROPSETID_EXT_NODE4, 5, 4, SET, gop), S_OK);

    host::EncoderSettings s = m.Settings();
    EXPECT_EQ(s.width, 1280u);
    EXPECT_EQ(s.height, 720u);
    EXPECT_EQ(s.frameRate, 25u);
    EXPECT_EQ(s.bitRateKbps, 8000u);
    EXPECT_EQ(s.gopSize, 60u);
    ASSERT_EQ(device.Node(PROPSETID_EXT_NODE4, 2, 4, GET, w), S_OK);
    EXPECT_EQ(w[1], 15); // the MJPG rate is kept apart from the H.264 one
}

TEST(DeviceKs, NodeSetsAnswerOnlyRequestsForTheirNode) {
    ModelDevice device;
    int32_t w[2] = {};
    EXPECT_EQ(device.Node(PROPSETID_EXT_NODE4, 1, 2, GET, w), E_PROP_SET_UNSUPPORTED);
    EXPECT_EQ(device.Node(PROPSETID_EXT_NODE2, 3, 4, GET, w), E_PROP_SET_UNSUPPORTED);
    EXPECT_EQ(device.Node(PROPSETID_HDC_ENCODER, 8, 4, GET, w), E_PROP_SET_UNSUPPORTED);
    EXPECT_EQ(device.Node(PROPSETID_EXT_NODE4, 4, 4, GET, w), E_PROP_ID_UNSUPPORTED);

    KSPROPERTY plain{PROPSETID_EXT_NODE4, 1, GET};
    ULONG returned = 0;
    EXPECT_EQ(device.control->KsProperty(&plain, sizeof plain, w, sizeof w, &returned),
              E_PROP_SET_UNSUPPORTED);
    KSPROPERTY shortNode{PROPSETID_EXT_NODE4, 1, GET | KSPROPERTY_TYPE_TOPOLOGY};
    EXPECT_EQ(device.control->KsProperty(&shortNode, sizeof shortNode, w, sizeof w, &returned), E_INVALIDARG);
    EXPECT_EQ(device.control->KsProperty(nullptr, 0, w, sizeof w, &returned), E_INVALIDARG);
    int32_t small[1] = {};
    KSP_NODE node{{PROPSETID_EXT_NODE4, 1, GET | KSPROPERTY_TYPE_TOPOLOGY}, 4, 0};
    EXPECT_EQ(device.control->KsProperty(&node.Property, sizeof node, small, sizeof small, &returned),
              HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(returned, 8u);
}

TEST(DeviceKs, PlainKsPropertyRequestsReachTheSameWords) {
    ModelDevice device;
    std::vector<uint8_t> size(16);
    PutWord(size, 0, 720);
    PutWord(size, 4, 576);
    KSPROPERTY set{PROPSETID_HDC_ENCODER, 8, SET};
    ULONG returned = 0;
    ASSERT_EQ(device.control->KsProperty(&set, sizeof set, size.data(), 16, &returned), S_OK);
    std::vector<uint8_t> read(16);
    ASSERT_EQ(device.Get(PROPSETID_HDC_ENCODER, 8, read), S_OK);
    EXPECT_EQ(read, size);

    KSPROPERTY support{PROPSETID_HDC_DEVICE, 2, KSPROPERTY_TYPE_BASICSUPPORT};
    DWORD flags = 0;
    ASSERT_EQ(device.control->KsProperty(&support, sizeof support, &flags, sizeof flags, &returned), S_OK);
    EXPECT_EQ(flags, DWORD{KSPROPERTY_SUPPORT_GET});
    EXPECT_EQ(device.control->KsMethod(nullptr, 0, nullptr, 0, &returned), E_PROP_SET_UNSUPPORTED);
}

TEST(DeviceKs, TheLogRecordsEveryRequestWithItsWords) {
    ModelDevice device;
    std::vector<uint8_t> volume(4);
    PutWord(volume, 0, 7);
    ASSERT_EQ(device.Set(PROPSETID_HDC_ENCODER, 86, volume), S_OK);
    std::vector<uint8_t> size(16);
    ASSERT_EQ(device.Get(PROPSETID_HDC_ENCODER, 8, size), S_OK);
    int32_t w[2] = {0x38, 1};
    ASSERT_EQ(device.Node(PROPSETID_EXT_NODE2, 3, 2, SET, w), S_OK);
    std::vector<uint8_t> tooSmall(2);
    device.Get(PROPSETID_HDC_ENCODER, 70, tooSmall);

    std::vector<host::PropertyCall> calls = device.model->Calls();
    ASSERT_EQ(calls.size(), 4u);
    EXPECT_EQ(calls[0].set, PROPSETID_HDC_ENCODER);
    EXPECT_EQ(calls[0].id, 86u);
    EXPECT_EQ(calls[0].access, PropertyAccess::Set);
    EXPECT_EQ(calls[0].flags, SET);
    EXPECT_EQ(calls[0].instanceSize, 4u);
    EXPECT_EQ(calls[0].dataSize, 4u);
    EXPECT_EQ(calls[0].Word(0), 7u);
    EXPECT_FALSE(calls[0].node.has_value());

    EXPECT_EQ(calls[1].access, PropertyAccess::Get);
    EXPECT_EQ(calls[1].flags, GET);
    EXPECT_EQ(calls[1].Word(0), 1920u); // what the device answered
    EXPECT_EQ(calls[1].Word(4), 1080u);

    EXPECT_EQ(calls[2].flags, 0x10000002u);
    EXPECT_EQ(calls[2].node, 2u);
    EXPECT_EQ(calls[2].instanceSize, 0u);
    EXPECT_EQ(calls[2].Word(0), 0x38u);

    EXPECT_EQ(calls[3].result, HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_TRUE(calls[3].data.empty());

    device.model->ClearCalls();
    EXPECT_TRUE(device.model->Calls().empty());
}

TEST(DeviceKs, RefusalsAnswerWithTheGivenResultAndTouchNothing) {
    ModelDevice device;
    host::DeviceModel& m = *device.model;
    const HRESULT failure = HRESULT_FROM_WIN32(ERROR_WRITE_FAULT);
    m.Refuse(PROPSETID_HDC_ENCODER, 8, PropertyAccess::Set, failure);
    std::vector<uint8_t> size(16);
    PutWord(size, 0, 640);
    EXPECT_EQ(device.Set(PROPSETID_HDC_ENCODER, 8, size), failure);
    EXPECT_EQ(m.StoredWord(PROPSETID_HDC_ENCODER, 8, 0), 1920u);
    EXPECT_EQ(device.Get(PROPSETID_HDC_ENCODER, 8, size), S_OK); // gets still work
    EXPECT_EQ(m.Calls().front().result, failure);

    // A success code is answered as given, with nothing done.
    m.Refuse(PROPSETID_EXT_NODE2, 3, PropertyAccess::Get, S_FALSE);
    int32_t w[2] = {5, 6};
    EXPECT_EQ(device.Node(PROPSETID_EXT_NODE2, 3, 2, GET, w), S_FALSE);
    EXPECT_EQ(w[0], 5);

    m.Refuse(PROPSETID_VIDCAP_VIDEOPROCAMP, 13, PropertyAccess::QuerySupported, E_PROP_ID_UNSUPPORTED);
    DWORD support = 0;
    EXPECT_EQ(device.props->QuerySupported(PROPSETID_VIDCAP_VIDEOPROCAMP, 13, &support),
              E_PROP_ID_UNSUPPORTED);

    m.ClearRefusals();
    PutWord(size, 0, 640);
    EXPECT_EQ(device.Set(PROPSETID_HDC_ENCODER, 8, size), S_OK);
    EXPECT_EQ(m.StoredWord(PROPSETID_HDC_ENCODER, 8, 0), 640u);
}

TEST(DeviceKs, EitherInterfaceQueryCanBeMadeToFail) {
    ModelDevice device;
    device.model->FailQueryInterface(IID_IKsPropertySet);
    device.model->FailQueryInterface(IID_IKsControl, E_OUTOFMEMORY);
    void* p = reinterpret_cast<void*>(1);
    EXPECT_EQ(device.filter->QueryInterface(IID_IKsPropertySet, &p), E_NOINTERFACE);
    EXPECT_EQ(p, nullptr);
    EXPECT_EQ(device.filter->QueryInterface(IID_IKsControl, &p), E_OUTOFMEMORY);
    // The interfaces already handed out keep working, and so does the query through them.
    EXPECT_EQ(device.props->QueryInterface(IID_IKsControl, &p), E_OUTOFMEMORY);

    device.model->ClearInterfaceFaults();
    ASSERT_EQ(device.filter->QueryInterface(IID_IKsPropertySet, &p), S_OK);
    static_cast<IKsPropertySet*>(p)->Release();
}

TEST(DeviceKs, ControlFilterHasOneIdentityAndCountsReferences) {
    ModelDevice device;
    IUnknown* fromFilter = nullptr;
    IUnknown* fromControl = nullptr;
    ASSERT_EQ(device.filter->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&fromFilter)), S_OK);
    ASSERT_EQ(device.control->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&fromControl)), S_OK);
    EXPECT_EQ(fromFilter, fromControl);
    IBaseFilter* back = nullptr;
    ASSERT_EQ(device.props->QueryInterface(IID_IBaseFilter, reinterpret_cast<void**>(&back)), S_OK);
    EXPECT_EQ(back, device.filter);
    back->Release();
    fromControl->Release();
    EXPECT_EQ(fromFilter->Release(), 3u); // the fixture's filter, property-set and control references

    FILTER_INFO info{};
    ASSERT_EQ(device.filter->QueryFilterInfo(&info), S_OK);
    EXPECT_EQ(std::u16string(info.achName), u"YRA USB Device");
    EXPECT_EQ(info.pGraph, nullptr);
}

} // namespace
