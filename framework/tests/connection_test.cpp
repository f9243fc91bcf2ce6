#include "plat/com.h"
#include "test_filters.h"

#include <gtest/gtest.h>

namespace {

using namespace testing_filters;

bool Contains(const std::vector<std::string>& v, const std::string& s) {
    return std::find(v.begin(), v.end(), s) != v.end();
}

// An upstream filter with one output pin and a downstream filter with one input pin.
class ConnectionTest : public ::testing::Test {
protected:
    void SetUp() override {
        up = CTestFilter::Create(&log);
        down = CTestFilter::Create(&log);
        out = up->AddOutput(u"out", "out");
        in = down->AddInput(u"in", "in");
    }
    void TearDown() override {
        out->Disconnect();
        in->Disconnect();
        EXPECT_EQ(up->Release(), 0u);
        EXPECT_EQ(down->Release(), 0u);
    }
    uint32_t ConnectedTypeId() {
        AM_MEDIA_TYPE mt;
        EXPECT_EQ(out->ConnectionMediaType(&mt), S_OK);
        uint32_t id = TypeId(mt);
        FreeMediaType(mt);
        return id;
    }

    ComScope com;
    CallLog log;
    CTestFilter* up = nullptr;
    CTestFilter* down = nullptr;
    CTestOutputPin* out = nullptr;
    CTestInputPin* in = nullptr;
};

TEST_F(ConnectionTest, ConnectsAndHoldsOneReferenceEachWay) {
    in->b.offered = {MakeType(MEDIATYPE_Stream, 1)};
    ASSERT_EQ(out->Connect(in, nullptr), S_OK);
    EXPECT_EQ(out->GetConnected(), static_cast<IPin*>(in));
    EXPECT_EQ(in->GetConnected(), static_cast<IPin*>(out));
    EXPECT_EQ(up->RefCount(), 2);   // the input pin holds the output pin
    EXPECT_EQ(down->RefCount(), 3); // the output pin holds the input as a pin and as IMemInputPin
    AM_MEDIA_TYPE mt;
    ASSERT_EQ(in->ConnectionMediaType(&mt), S_OK);
    EXPECT_EQ(TypeId(mt), 1u);
    FreeMediaType(mt);

    ASSERT_EQ(out->Disconnect(), S_OK);
    ASSERT_EQ(in->Disconnect(), S_OK);
    EXPECT_EQ(up->RefCount(), 1);
    EXPECT_EQ(down->RefCount(), 1);
    EXPECT_EQ(out->Disconnect(), S_FALSE);
    EXPECT_EQ(out->ConnectionMediaType(&mt), VFW_E_NOT_CONNECTED);
    EXPECT_EQ(mt.majortype, GUID_NULL);
    EXPECT_EQ(mt.lSampleSize, 1u);
}

TEST_F(ConnectionTest, PinsOfOneDirectionDoNotConnect) {
    CTestOutputPin* out2 = down->AddOutput(u"out2", "out2");
    CTestInputPin* in2 = up->AddInput(u"in2", "in2");
    out->b.offered = {MakeType(MEDIATYPE_Stream, 1)};
    in->b.offered = {MakeType(MEDIATYPE_Stream, 1)};
    EXPECT_EQ(out->Connect(out2, nullptr), VFW_E_INVALID_DIRECTION);
    EXPECT_EQ(in->Connect(in2, nullptr), VFW_E_INVALID_DIRECTION);
    EXPECT_FALSE(out->IsConnected());
    EXPECT_FALSE(out2->IsConnected());
    EXPECT_FALSE(in->IsConnected());
}

TEST_F(ConnectionTest, ConnectedPinsRefuseASecondConnection) {
    in->b.offered = {MakeType(MEDIATYPE_Stream, 1)};
    ASSERT_EQ(out->Connect(in, nullptr), S_OK);
    CTestInputPin* in2 = down->AddInput(u"in2", "in2");
    CMediaType mt = MakeType(MEDIATYPE_Stream, 1);
    EXPECT_EQ(out->Connect(in2, &mt), VFW_E_ALREADY_CONNECTED);
    CTestOutputPin* out2 = up->AddOutput(u"out2", "out2");
    EXPECT_EQ(in->ReceiveConnection(out2, &mt), VFW_E_ALREADY_CONNECTED);
    EXPECT_FALSE(in2->IsConnected());
    EXPECT_FALSE(out2->IsConnected());
}

TEST_F(ConnectionTest, NothingConnectsOrDisconnectsUnlessStopped) {
    CMediaType mt = MakeType(MEDIATYPE_Stream, 1);
    ASSERT_EQ(up->Pause(), S_OK);
    EXPECT_EQ(out->Connect(in, &mt), VFW_E_NOT_STOPPED);
    ASSERT_EQ(up->Stop(), S_OK);

    ASSERT_EQ(down->Pause(), S_OK);
    EXPECT_EQ(out->Connect(in, &mt), VFW_E_NOT_STOPPED); // the receiving side says so
    EXPECT_FALSE(out->IsConnected());
    EXPECT_EQ(in->ReceiveConnection(out, &mt), VFW_E_NOT_STOPPED);
    ASSERT_EQ(down->Stop(), S_OK);

    ASSERT_EQ(out->Connect(in, &mt), S_OK);
    ASSERT_EQ(up->Pause(), S_OK);
    EXPECT_EQ(out->Disconnect(), VFW_E_NOT_STOPPED);
    EXPECT_TRUE(out->IsConnected());
    up->Stop();
}

TEST_F(ConnectionTest, ReceivingPinsTypesAreTriedFirst) {
    in->b.offered = {MakeType(MEDIATYPE_Stream, 1), MakeType(MEDIATYPE_Stream, 2)};
    out->b.offered = {MakeType(MEDIATYPE_Stream, 3), MakeType(MEDIATYPE_Stream, 4)};
    in->b.check = [](const CMediaType* pmt) { return TypeId(*pmt) == 1 ? S_FALSE : S_OK; };
    ASSERT_EQ(out->Connect(in, nullptr), S_OK);
    EXPECT_EQ(ConnectedTypeId(), 2u);
    const auto e = log.Entries();
    ASSERT_GE(e.size(), 4u);
    EXPECT_EQ(e[0], "out check 1");
    EXPECT_EQ(e[1], "in check 1");
}

TEST_F(ConnectionTest, TryMyTypesFirstReversesTheOrder) {
    in->b.offered = {MakeType(MEDIATYPE_Stream, 1), MakeType(MEDIATYPE_Stream, 2)};
    out->b.offered = {MakeType(MEDIATYPE_Stream, 3), MakeType(MEDIATYPE_Stream, 4)};
    out->SetTryMyTypesFirst(TRUE);
    ASSERT_EQ(out->Connect(in, nullptr), S_OK);
    EXPECT_EQ(ConnectedTypeId(), 3u);
}

TEST_F(ConnectionTest, FallsBackToTheConnectingPinsTypes) {
    in->b.offered = {MakeType(MEDIATYPE_Stream, 1)};
    out->b.offered = {MakeType(MEDIATYPE_Stream, 3)};
    out->b.check = [](const CMediaType* pmt) { return TypeId(*pmt) == 3 ? S_OK : S_FALSE; };
    ASSERT_EQ(out->Connect(in, nullptr), S_OK);
    EXPECT_EQ(ConnectedTypeId(), 3u);
}

TEST_F(ConnectionTest, RefusalsEndWithNoAcceptableTypesAndUndoEverything) {
    in->b.offered = {MakeType(MEDIATYPE_Stream, 1)};
    out->b.offered = {MakeType(MEDIATYPE_Stream, 2)};
    out->b.check = [](const CMediaType*) { return S_FALSE; };
    EXPECT_EQ(out->Connect(in, nullptr), VFW_E_NO_ACCEPTABLE_TYPES);
    out->b.check = [](const CMediaType*) { return E_FAIL; };
    EXPECT_EQ(out->Connect(in, nullptr), VFW_E_NO_ACCEPTABLE_TYPES);
    out->b.check = [](const CMediaType*) { return E_INVALIDARG; };
    EXPECT_EQ(out->Connect(in, nullptr), VFW_E_NO_ACCEPTABLE_TYPES);
    EXPECT_FALSE(out->IsConnected());
    EXPECT_FALSE(in->IsConnected());
    EXPECT_EQ(up->RefCount(), 1);
    EXPECT_EQ(down->RefCount(), 1);
    EXPECT_TRUE(Contains(log.Entries(), "out break"));
}

TEST_F(ConnectionTest, NoTypesAnywhereIsNoAcceptableTypes) {
    EXPECT_EQ(out->Connect(in, nullptr), VFW_E_NO_ACCEPTABLE_TYPES);
}

TEST_F(ConnectionTest, RealFailuresAreReportedRatherThanRefusals) {
    // The last list tried decides the report; here the receiving pin offers nothing.
    out->b.offered = {MakeType(MEDIATYPE_Stream, 1), MakeType(MEDIATYPE_Stream, 2)};
    out->b.check = [](const CMediaType* pmt) { return TypeId(*pmt) == 2 ? E_OUTOFMEMORY : S_FALSE; };
    EXPECT_EQ(out->Connect(in, nullptr), E_OUTOFMEMORY);
    out->b.check = [](const CMediaType* pmt) { return TypeId(*pmt) == 1 ? E_OUTOFMEMORY : E_ABORT; };
    EXPECT_EQ(out->Connect(in, nullptr), E_OUTOFMEMORY); // the first real failure of a list
    // The receiving side maps its refusals the same way.
    CMediaType mt = MakeType(MEDIATYPE_Stream, 7);
    in->b.check = [](const CMediaType*) { return E_FAIL; };
    EXPECT_EQ(in->ReceiveConnection(out, &mt), VFW_E_TYPE_NOT_ACCEPTED);
    in->b.check = [](const CMediaType*) { return S_FALSE; };
    EXPECT_EQ(in->ReceiveConnection(out, &mt), VFW_E_TYPE_NOT_ACCEPTED);
    in->b.check = [](const CMediaType*) { return E_OUTOFMEMORY; };
    EXPECT_EQ(in->ReceiveConnection(out, &mt), E_OUTOFMEMORY);
    EXPECT_EQ(in->ReceiveConnection(nullptr, &mt), E_POINTER);
    EXPECT_EQ(in->ReceiveConnection(out, nullptr), E_POINTER);
    EXPECT_FALSE(in->IsConnected());
}

TEST_F(ConnectionTest, ACompleteTypeIsTheOnlyOneTried) {
    in->b.offered = {MakeType(MEDIATYPE_Stream, 1)};
    CMediaType mt = MakeType(MEDIATYPE_Video, 5);
    ASSERT_EQ(out->Connect(in, &mt), S_OK);
    EXPECT_EQ(ConnectedTypeId(), 5u);
    const auto e = log.Entries();
    EXPECT_FALSE(Contains(e, "out check 1"));
    EXPECT_TRUE(Contains(e, "in check 5"));
}

TEST_F(ConnectionTest, APartialTypeFiltersBothLists) {
    in->b.offered = {MakeType(MEDIATYPE_Audio, 1), MakeType(MEDIATYPE_Video, 2)};
    out->b.offered = {MakeType(MEDIATYPE_Video, 3)};
    CMediaType partial(&MEDIATYPE_Video);
    ASSERT_EQ(out->Connect(in, &partial), S_OK);
    EXPECT_EQ(ConnectedTypeId(), 2u);
    EXPECT_FALSE(Contains(log.Entries(), "out check 1"));
}

TEST_F(ConnectionTest, OutputTakesTheDownstreamAllocatorWithItsRequirements) {
    in->requirements = {0, 0, 16, 8};
    in->b.offered = {MakeType(MEDIATYPE_Stream, 1)};
    out->request = {3, 1000, 0, 0};
    ASSERT_EQ(out->Connect(in, nullptr), S_OK);
    ASSERT_NE(out->Allocator(), nullptr);
    EXPECT_EQ(out->Allocator(), in->Allocator());
    EXPECT_EQ(out->cInitAllocator, 0);
    ALLOCATOR_PROPERTIES props;
    out->Allocator()->GetProperties(&props);
    EXPECT_EQ(props.cBuffers, 3);
    EXPECT_EQ(props.cbAlign, 16);
    EXPECT_EQ(props.cbPrefix, 8);
    EXPECT_EQ(props.cbBuffer, 1000);
    EXPECT_EQ(in->IsReadOnly(), FALSE);
}

TEST_F(ConnectionTest, OutputFallsBackToItsOwnAllocator) {
    in->b.offered = {MakeType(MEDIATYPE_Stream, 1)};
    in->hrGetAllocator = E_FAIL;
    ASSERT_EQ(out->Connect(in, nullptr), S_OK);
    EXPECT_EQ(out->cInitAllocator, 1);
    ASSERT_NE(out->Allocator(), nullptr);
    EXPECT_EQ(in->Allocator(), out->Allocator()); // told about it
    ALLOCATOR_PROPERTIES props;
    out->Allocator()->GetProperties(&props);
    EXPECT_EQ(props.cbAlign, 1); // no requirements: alignment 1
}

// A downstream pin that claims success without giving the interface has given nothing.
TEST_F(ConnectionTest, InterfacesClaimedButNotGivenCountAsRefused) {
    in->b.offered = {MakeType(MEDIATYPE_Stream, 1)};
    in->bClaimNoAllocator = true;
    ASSERT_EQ(out->Connect(in, nullptr), S_OK);
    EXPECT_EQ(out->cInitAllocator, 1) << "the pin's own allocator stands in";
    ASSERT_NE(out->Allocator(), nullptr);
    EXPECT_EQ(in->Allocator(), out->Allocator());

    // Connected, the input pin now claims IMemInputPin without giving it: its filter's
    // downstream cannot be asked whether it blocks, so blocking is assumed.
    in->bClaimNoMemInput = true;
    in->canBlock = S_FALSE;
    CTestInputPin* upIn = up->AddInput(u"up in", "up in");
    EXPECT_EQ(upIn->ReceiveCanBlock(), S_OK);
    ASSERT_EQ(out->Disconnect(), S_OK);
    ASSERT_EQ(in->Disconnect(), S_OK);

    EXPECT_TRUE(FAILED(out->Connect(in, nullptr)));
    EXPECT_FALSE(out->IsConnected());
    EXPECT_FALSE(in->IsConnected());
}

TEST_F(ConnectionTest, WhenNeitherAllocatorSuitsTheConnectionFails) {
    CMediaType mt = MakeType(MEDIATYPE_Stream, 1);
    out->hrDecideBufferSize = E_FAIL;
    EXPECT_EQ(out->Connect(in, &mt), E_FAIL);
    ASSERT_EQ(out->decided.size(), 2u);
    EXPECT_NE(out->decided[0], out->decided[1]); // the peer's, then its own
    EXPECT_EQ(out->cInitAllocator, 1);
    EXPECT_EQ(out->Allocator(), nullptr);
    EXPECT_FALSE(out->IsConnected());
    EXPECT_FALSE(in->IsConnected());
    EXPECT_EQ(in->Allocator(), nullptr); // released by the undo
}

TEST_F(ConnectionTest, AFailedCompletionOnEitherSideUndoesBoth) {
    CMediaType mt = MakeType(MEDIATYPE_Stream, 1);
    out->b.hrCompleteConnect = E_UNEXPECTED;
    EXPECT_EQ(out->Connect(in, &mt), E_UNEXPECTED);
    EXPECT_FALSE(out->IsConnected());
    EXPECT_FALSE(in->IsConnected());
    out->b.hrCompleteConnect = S_OK;
    in->b.hrCompleteConnect = E_ABORT;
    EXPECT_EQ(out->Connect(in, &mt), E_ABORT);
    EXPECT_FALSE(out->IsConnected());
    EXPECT_FALSE(in->IsConnected());
    EXPECT_EQ(up->RefCount(), 1);
    EXPECT_EQ(down->RefCount(), 1);
}

TEST_F(ConnectionTest, DisconnectBreaksTheConnectionAndDropsTheAllocator) {
    in->b.offered = {MakeType(MEDIATYPE_Stream, 1)};
    ASSERT_EQ(out->Connect(in, nullptr), S_OK);
    log.Clear();
    ASSERT_EQ(out->Disconnect(), S_OK);
    EXPECT_EQ(log.Entries(), std::vector<std::string>{"out break"});
    EXPECT_EQ(out->Allocator(), nullptr);
    EXPECT_EQ(out->InputPin(), nullptr);
    IPin* peer = reinterpret_cast<IPin*>(1);
    EXPECT_EQ(out->ConnectedTo(&peer), VFW_E_NOT_CONNECTED);
    EXPECT_EQ(peer, nullptr);
}

TEST_F(ConnectionTest, QueryAcceptTurnsFailuresIntoNo) {
    CMediaType mt = MakeType(MEDIATYPE_Stream, 1);
    EXPECT_EQ(in->QueryAccept(&mt), S_OK);
    in->b.check = [](const CMediaType*) { return E_OUTOFMEMORY; };
    EXPECT_EQ(in->QueryAccept(&mt), S_FALSE);
}

TEST_F(ConnectionTest, PinInformationCutsLongNames) {
    std::u16string longName(200, u'x');
    CTestOutputPin* named = up->AddOutput(longName.c_str(), "named");
    PIN_INFO info;
    ASSERT_EQ(named->QueryPinInfo(&info), S_OK);
    EXPECT_EQ(std::u16string(info.achName), longName.substr(0, 127));
    EXPECT_EQ(info.dir, PINDIR_OUTPUT);
    EXPECT_EQ(info.pFilter, static_cast<IBaseFilter*>(up));
    info.pFilter->Release();
    LPWSTR id = nullptr;
    ASSERT_EQ(named->QueryId(&id), S_OK);
    EXPECT_EQ(std::u16string(id), longName);
    CoTaskMemFree(id);
}

} // namespace
