// Which devices each page accepts: the node-2 identification, the power-line support query and
// the power page's register fallback, against the device model's answers.
#include "interposed_device.h"
#include "page_fixture.h"

namespace page_testing {
namespace {

constexpr HRESULT kUnsupported = E_PROP_ID_UNSUPPORTED;

class ProbeTest : public PageTest {
protected:
    HRESULT ConnectTo(REFCLSID clsid, Device& device) {
        IPropertyPage* page = CreatePage(clsid);
        HRESULT hr = Connect(page, device);
        page->Release();
        return hr;
    }
    static host::DeviceConfig Chip(uint32_t chipId) {
        host::DeviceConfig config;
        config.chipId = chipId;
        return config;
    }
};

TEST_F(ProbeTest, IdentificationIsWrittenThenReadBackOnNodeTwo) {
    Device device;
    ASSERT_EQ(ConnectTo(CLSID_VideoControlPage, device), S_OK);
    std::vector<PropertyCall> calls = device.model->Calls();
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0].set, PROPSETID_VIDCAP_VIDEOPROCAMP);
    EXPECT_EQ(calls[0].access, PropertyAccess::QuerySupported);
    EXPECT_EQ(calls[0].id, 13u);
    for (int i : {1, 2}) {
        EXPECT_EQ(calls[i].set, PROPSETID_EXT_NODE2);
        EXPECT_EQ(calls[i].id, 3u);
        EXPECT_EQ(calls[i].node, 2u);
        EXPECT_EQ(calls[i].dataSize, 8u);
    }
    EXPECT_EQ(calls[1].flags, 0x10000002u);
    EXPECT_EQ(Word(calls[1], 0), 0x38);
    EXPECT_EQ(Word(calls[1], 4), 1);
    EXPECT_EQ(calls[2].flags, 0x10000001u);
}

TEST_F(ProbeTest, VideoPageAcceptsOnlyOurChipIds) {
    for (uint32_t chip : {0x10020u, 0x10u}) {
        Device device(Chip(chip));
        EXPECT_EQ(ConnectTo(CLSID_VideoControlPage, device), S_OK) << std::hex << chip;
    }
    Device other(Chip(0x20));
    EXPECT_EQ(ConnectTo(CLSID_VideoControlPage, other), E_FAIL);
}

TEST_F(ProbeTest, AnIdentificationAnsweredWithSFalseFails) {
    for (PropertyAccess access : {PropertyAccess::Set, PropertyAccess::Get}) {
        Device device;
        device.model->Refuse(PROPSETID_EXT_NODE2, 3, access, S_FALSE);
        EXPECT_EQ(ConnectTo(CLSID_VideoControlPage, device), E_FAIL);
    }
}

TEST_F(ProbeTest, VideoPageIsRefusedWithTheSupportQuerysFailure) {
    Device device;
    device.model->Refuse(PROPSETID_VIDCAP_VIDEOPROCAMP, 13, PropertyAccess::QuerySupported, kUnsupported);
    EXPECT_EQ(ConnectTo(CLSID_VideoControlPage, device), kUnsupported);
}

TEST_F(ProbeTest, MissingInterfacesEndTheConnectionWithTheQuerysCode) {
    for (REFCLSID clsid : {CLSID_VideoControlPage, CLSID_PowerLinePage}) {
        Device noControl;
        noControl.model->FailQueryInterface(IID_IKsControl, E_NOINTERFACE);
        EXPECT_EQ(ConnectTo(clsid, noControl), E_NOINTERFACE);

        Device noSet;
        noSet.model->FailQueryInterface(IID_IKsPropertySet, E_ACCESSDENIED);
        IPropertyPage* page = CreatePage(clsid);
        EXPECT_EQ(Connect(page, noSet), E_ACCESSDENIED);
        EXPECT_EQ(noSet.Refs(), 2u) << "IKsControl stays held until the page disconnects";
        EXPECT_TRUE(noSet.model->Calls().empty());
        page->Release();
    }
}

TEST_F(ProbeTest, AnInterfaceClaimedButNotGivenIsMissing) {
    for (REFCLSID clsid : {CLSID_VideoControlPage, CLSID_PowerLinePage}) {
        for (REFIID iid : {IID_IKsControl, IID_IKsPropertySet}) {
            Device device;
            InterposedDevice interposed(device.filter);
            interposed.claimedOnly = iid;
            IPropertyPage* page = CreatePage(clsid);
            IUnknown* objects[] = {interposed.Object()};
            EXPECT_EQ(page->SetObjects(1, objects), E_NOINTERFACE);
            EXPECT_TRUE(device.model->Calls().empty());
            page->Release();
            EXPECT_EQ(interposed.refs, 1u);
        }
    }
}

TEST_F(ProbeTest, ASupportQueryAnsweringSFalse) {
    Device video;
    video.model->Refuse(PROPSETID_VIDCAP_VIDEOPROCAMP, 13, PropertyAccess::QuerySupported, S_FALSE);
    EXPECT_EQ(ConnectTo(CLSID_VideoControlPage, video), S_FALSE) << "handed on as it came";

    Device power;
    power.model->Refuse(PROPSETID_VIDCAP_VIDEOPROCAMP, 13, PropertyAccess::QuerySupported, S_FALSE);
    EXPECT_EQ(ConnectTo(CLSID_PowerLinePage, power), S_OK);
    EXPECT_EQ(power.Calls(PROPSETID_HDC_DEVICE, 5, PropertyAccess::Get).size(), 1u) << "the register decided";

    Device refused;
    refused.model->Refuse(PROPSETID_VIDCAP_VIDEOPROCAMP, 13, PropertyAccess::QuerySupported, S_FALSE);
    refused.model->Refuse(PROPSETID_HDC_DEVICE, 5, PropertyAccess::Get, E_FAIL);
    EXPECT_EQ(ConnectTo(CLSID_PowerLinePage, refused), E_FAIL);
}

TEST_F(ProbeTest, PowerPageAcceptsAnIdentifiedDeviceWithThePowerLineProperty) {
    Device device;
    EXPECT_EQ(ConnectTo(CLSID_PowerLinePage, device), S_OK);
    EXPECT_TRUE(device.Calls(PROPSETID_HDC_DEVICE, 5, PropertyAccess::Get).empty()) << "no fallback needed";
}

TEST_F(ProbeTest, PowerPageFallsBackToTheChipRegister) {
    Device device;
    device.model->Refuse(PROPSETID_EXT_NODE2, 3, PropertyAccess::Get, E_FAIL);
    ASSERT_EQ(ConnectTo(CLSID_PowerLinePage, device), S_OK);
    std::vector<PropertyCall> reads = device.Calls(PROPSETID_HDC_DEVICE, 5, PropertyAccess::Get);
    ASSERT_EQ(reads.size(), 1u);
    EXPECT_EQ(reads[0].instanceSize, 8u);
    EXPECT_EQ(reads[0].dataSize, 8u);
    EXPECT_EQ(reads[0].instance[0], 0x38);

    Device other(Chip(0x20));
    EXPECT_EQ(ConnectTo(CLSID_PowerLinePage, other), E_FAIL);

    Device unreadable;
    unreadable.model->Refuse(PROPSETID_EXT_NODE2, 3, PropertyAccess::Get, E_FAIL);
    unreadable.model->Refuse(PROPSETID_HDC_DEVICE, 5, PropertyAccess::Get, S_FALSE);
    EXPECT_EQ(ConnectTo(CLSID_PowerLinePage, unreadable), E_FAIL);
}

TEST_F(ProbeTest, PowerPageLetsTheRegisterDecideWhenTheSupportQueryFails) {
    Device device;
    device.model->Refuse(PROPSETID_VIDCAP_VIDEOPROCAMP, 13, PropertyAccess::QuerySupported, kUnsupported);
    EXPECT_EQ(ConnectTo(CLSID_PowerLinePage, device), S_OK);
    EXPECT_EQ(device.Calls(PROPSETID_HDC_DEVICE, 5, PropertyAccess::Get).size(), 1u);

    Device refused;
    refused.model->Refuse(PROPSETID_VIDCAP_VIDEOPROCAMP, 13, PropertyAccess::QuerySupported, kUnsupported);
    refused.model->Refuse(PROPSETID_HDC_DEVICE, 5, PropertyAccess::Get, E_FAIL);
    EXPECT_EQ(ConnectTo(CLSID_PowerLinePage, refused), E_FAIL);
}

TEST_F(ProbeTest, APageThatRefusedTheDeviceStillLetsGoOfIt) {
    Device device(Chip(0x20));
    IPropertyPage* page = CreatePage(CLSID_VideoControlPage);
    EXPECT_EQ(Connect(page, device), E_FAIL);
    page->Release();
    EXPECT_EQ(device.Refs(), 1u);
}

} // namespace
} // namespace page_testing
