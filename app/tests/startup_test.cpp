// Start-up: the banner, discovery of the attached devices with its limits and faults, the rows'
// geometry, ids and fonts, the handlers' guards, the minimised icon, and the application object.
#include "app_fixture.h"
#include "tests/support/class_override.h"
#include "fake_device_enum.h"

#include "YRA_HD_Capture_AP.h"
#include "YRA_HD_Capture_SDK.h"
#include "plat/com.h"

#include <new>
#include <thread>

// The sanitizers bring their own allocation functions, so this program replaces the nothrow
// array allocation only without them; armed, the next such allocation fails.
#if defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define YRA_TEST_NO_ALLOCATION_FAULTS
#endif
#endif
namespace {
thread_local bool t_failNextArrayNew = false;
} // namespace
#ifndef YRA_TEST_NO_ALLOCATION_FAULTS
void* operator new[](std::size_t cb, const std::nothrow_t&) noexcept {
    if (t_failNextArrayNew) {
        t_failNextArrayNew = false;
        return nullptr;
    }
    try {
        return ::operator new[](cb);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}
#endif

namespace {

using host::ui::Kind;

class StartupTest : public AppTest {};

std::vector<HWND> Children(HWND dlg) {
    std::vector<HWND> all;
    for (Kind kind : {Kind::Static, Kind::Button})
        for (HWND h : uitest::Children(dlg, kind)) all.push_back(h);
    return all;
}

TEST_F(StartupTest, TitleIsTheVersionBannerAndHeadersStand) {
    FakeDeviceEnumerator devices;
    devices.Add();
    RunMainDialog([](HWND dlg, CYRA_HD_Capture_APDlg&) {
        EXPECT_EQ(uitest::Text(dlg), u"YRA HD Capture AP Ver = 20150415, SDK Ver = 20150303");
        EXPECT_EQ(uitest::Text(uitest::Item(dlg, IDC_STATIC_NAME)), u"Name");
        EXPECT_EQ(uitest::Text(uitest::Item(dlg, IDC_STATIC_OPERATION)), u"Operation");
    });
    EXPECT_TRUE(Boxes().empty());
}

TEST_F(StartupTest, NoDeviceLeavesOnlyTheHeaders) {
    for (HRESULT category : {S_OK, S_FALSE}) {
        SCOPED_TRACE(category);
        uitest::Reset();
        FakeDeviceEnumerator devices;
        devices.Add(u"Another Capture Card");
        devices.createResult = category; // S_FALSE: the category is empty and has no enumerator
        HWND shown = nullptr;
        INT_PTR result = RunMainDialog([&](HWND dlg, CYRA_HD_Capture_APDlg& app) {
            shown = dlg;
            EXPECT_EQ(app.GetDeviceCount(), 0);
            EXPECT_EQ(Children(dlg).size(), 2u);
            // A click on a row id that nothing answers to is guarded, not followed.
            SendClick(dlg, IDC_SET_BASE);
            SendClick(dlg, IDC_START_BASE);
            SendClick(dlg, IDC_STOP_BASE);
        });
        EXPECT_EQ(result, IDCANCEL);
        auto boxes = Boxes();
        ASSERT_EQ(boxes.size(), 4u);
        EXPECT_EQ(boxes[0].text, u"No Device.");
        EXPECT_EQ(boxes[0].caption, u"OnInitDialog()");
        EXPECT_EQ(boxes[0].icon(), UINT(MB_ICONINFORMATION));
        EXPECT_EQ(boxes[0].buttonSet(), UINT(MB_OK));
        EXPECT_EQ(boxes[0].owner, shown);
        EXPECT_EQ(boxes[1].text, u"No device.\n");
        EXPECT_EQ(boxes[1].caption, u"OnBtnClickedSet()");
        EXPECT_EQ(boxes[1].icon(), UINT(MB_ICONINFORMATION));
        EXPECT_EQ(boxes[2].text, u"No DirectShow graph.\n");
        EXPECT_EQ(boxes[2].caption, u"OnBtnClickedStart()");
        EXPECT_EQ(boxes[2].icon(), UINT(MB_ICONERROR));
        EXPECT_EQ(boxes[3].text, u"No DirectShow graph.\n");
        EXPECT_EQ(boxes[3].caption, u"OnBtnClickedStop()");
        EXPECT_EQ(boxes[3].icon(), UINT(MB_ICONERROR));
    }
}

TEST_F(StartupTest, OnlyTheExactFriendlyNameIsListed) {
    FakeDeviceEnumerator devices;
    devices.Add(u"yra usb device");
    devices.Add(u"YRA USB Device 2");
    devices.Add(u"YRA USB Devic");
    devices.Add(u"");
    devices.Add(u"YRA USB Device").storageResult = E_FAIL; // a name that cannot be read
    FakeDevice& wanted = devices.Add(u"YRA USB Device");
    devices.Add(u"YRA USB DEVICE");
    RunMainDialog([&](HWND dlg, CYRA_HD_Capture_APDlg& app) {
        ASSERT_EQ(app.GetDeviceCount(), 1);
        EXPECT_EQ(app.GetDeviceFilter(0), wanted.filter);
        EXPECT_TRUE(RowLabel(dlg, 0));
        EXPECT_FALSE(RowLabel(dlg, 1));
        // Only the kept device's moniker is still held.
        for (auto& d : devices.Devices()) EXPECT_EQ(d->monikersAlive(), d.get() == &wanted ? 1 : 0);
    });
    EXPECT_TRUE(Boxes().empty());
    for (auto& d : devices.Devices()) {
        EXPECT_EQ(d->monikersAlive(), 0);
        EXPECT_EQ(RefCount(d->filter), 1u);
    }
}

TEST_F(StartupTest, TenDevicesShowEightAndReleaseTheRestAtOnce) {
    FakeDeviceEnumerator devices;
    for (int i = 0; i < 10; ++i) devices.Add();
    RunMainDialog([&](HWND dlg, CYRA_HD_Capture_APDlg& app) {
        EXPECT_EQ(app.GetDeviceCount(), 8);
        EXPECT_TRUE(RowLabel(dlg, 7));
        EXPECT_FALSE(RowLabel(dlg, 8));
        EXPECT_EQ(Children(dlg).size(), 2u + 8 * 4);
        for (int i = 0; i < 10; ++i) {
            FakeDevice& d = *devices.Devices()[static_cast<size_t>(i)];
            bool kept = i < 8;
            EXPECT_EQ(app.GetDeviceFilter(i), kept ? d.filter : nullptr);
            EXPECT_EQ(RefCount(d.filter), kept ? 2u : 1u) << "device " << i;
            EXPECT_EQ(d.monikersAlive(), kept ? 1 : 0) << "device " << i;
        }
    });
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_EQ(Boxes()[0].text, u"Devices number over maximum limit.\nMaximum Limit = 8.\nCurrent Number = 10.\n");
    EXPECT_EQ(Boxes()[0].caption, u"OnInitDialog()");
    EXPECT_EQ(Boxes()[0].icon(), UINT(MB_ICONINFORMATION));
    for (auto& d : devices.Devices()) EXPECT_EQ(RefCount(d->filter), 1u);
}

TEST_F(StartupTest, ADeviceAttachedBetweenThePassesIsNotStored) {
    FakeDeviceEnumerator devices;
    devices.Add();
    devices.onReset = [&](int reset) {
        if (reset == 2) devices.Add();
    };
    RunMainDialog([&](HWND, CYRA_HD_Capture_APDlg& app) {
        EXPECT_EQ(app.GetDeviceCount(), 1);
        EXPECT_EQ(devices.Devices()[1]->monikersAlive(), 0);
        EXPECT_EQ(RefCount(devices.Devices()[1]->filter), 1u);
    });
    EXPECT_TRUE(Boxes().empty());
}

TEST_F(StartupTest, EveryDeviceIsInitialisedToTheDefaults) {
    FakeDeviceEnumerator devices;
    devices.Add();
    devices.Add();
    HDC_FILTER_PARAM changed{};
    ASSERT_EQ(YRA_HDC_SDK_GetFilterParam(devices.Devices()[1]->filter, &changed), S_OK);
    changed.nBitRate = changed.nBitRate2 = changed.nBitRate3 = 5000;
    changed.nAudioVolume = 2;
    ASSERT_EQ(YRA_HDC_SDK_SetFilterParam(devices.Devices()[1]->filter, &changed), S_OK);
    RunMainDialog([&](HWND, CYRA_HD_Capture_APDlg&) {
        for (auto& d : devices.Devices()) {
            HDC_FILTER_PARAM param{};
            ASSERT_EQ(YRA_HDC_SDK_GetFilterParam(d->filter, &param), S_OK);
            EXPECT_EQ(param.nBitRate, 30000u);
            EXPECT_EQ(param.nAudioVolume, 10u);
        }
    });
}

TEST_F(StartupTest, ADeviceThatCannotBeInitialisedStillGetsAWorkingRow) {
    FakeDeviceEnumerator devices;
    devices.Add();
    devices.Add().model->Refuse(PROPSETID_HDC_ENCODER, 72, host::PropertyAccess::Set, E_ACCESSDENIED);
    RunMainDialog([&](HWND dlg, CYRA_HD_Capture_APDlg& app) {
        ASSERT_EQ(app.GetDeviceCount(), 2);
        EXPECT_TRUE(RowIdle(dlg, 0));
        EXPECT_TRUE(RowIdle(dlg, 1));
        bool opened = false;
        uitest::OnNextModal([&](HWND settings) {
            opened = true;
            uitest::Click(settings, IDCANCEL);
        });
        EXPECT_TRUE(uitest::Click(SetButton(dlg, 1)));
        EXPECT_TRUE(opened);
    });
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_EQ(Boxes()[0].text, u"Initialize device failed, HRESULT = 0x80070005.\n");
    EXPECT_EQ(Boxes()[0].caption, u"OnInitDialog()");
    EXPECT_EQ(Boxes()[0].icon(), UINT(MB_ICONERROR));
}

TEST_F(StartupTest, AFilterThatCannotBeBoundStillGetsARowThatReportsItsFailures) {
    FakeDeviceEnumerator devices;
    devices.Add().bindResult = E_FAIL;
    RunMainDialog([&](HWND dlg, CYRA_HD_Capture_APDlg& app) {
        ASSERT_EQ(app.GetDeviceCount(), 1);
        EXPECT_EQ(app.GetDeviceFilter(0), nullptr);
        EXPECT_TRUE(RowIdle(dlg, 0));
    });
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_EQ(Boxes()[0].text, u"Initialize device failed, HRESULT = 0x80070057.\n");
}

TEST_F(StartupTest, ComponentLibraryFailureIsReportedAndEnumerationStillTried) {
    FakeDeviceEnumerator devices;
    devices.Add();
    // A thread already initialised for the other threading model refuses the single-threaded
    // apartment, yet can create objects.
    std::thread([&] {
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        RunMainDialog([](HWND, CYRA_HD_Capture_APDlg& app) { EXPECT_EQ(app.GetDeviceCount(), 1); });
    }).join();
    EXPECT_EQ(BoxTexts(), std::vector<std::u16string>{u"CoInitialize() failed, HRESULT = 0x80010106.\n"});
    EXPECT_EQ(Boxes()[0].caption, u"OnInitDialog()");
    EXPECT_EQ(Boxes()[0].icon(), UINT(MB_ICONINFORMATION));

    uitest::Reset();
    ScopedClassOverride noEnumerator(CLSID_SystemDeviceEnum, &FailCreation<REGDB_E_CLASSNOTREG>);
    std::thread([&] {
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        RunMainDialog([](HWND, CYRA_HD_Capture_APDlg& app) { EXPECT_EQ(app.GetDeviceCount(), 0); });
    }).join();
    EXPECT_EQ(BoxTexts(), (std::vector<std::u16string>{u"CoInitialize() failed, HRESULT = 0x80010106.\n",
                                                        u"EnumDevices() failed, HRESULT = 0x80040154.\n",
                                                        u"No Device."}));
    EXPECT_EQ(Boxes()[1].caption, u"OnInitDialog()");
    EXPECT_EQ(Boxes()[1].icon(), UINT(MB_ICONINFORMATION));
}

TEST_F(StartupTest, ADeviceListThatCannotBeAllocatedIsReportedAndLetsTheDevicesGo) {
#ifdef YRA_TEST_NO_ALLOCATION_FAULTS
    GTEST_SKIP() << "allocation faults need the program's own allocation functions";
#endif
    FakeDeviceEnumerator devices;
    devices.Add();
    devices.Add();
    // Armed when the counting pass begins: the list is the next array the program allocates.
    devices.onReset = [](int reset) { t_failNextArrayNew = reset == 1; };
    RunMainDialog([](HWND dlg, CYRA_HD_Capture_APDlg& app) {
        EXPECT_EQ(app.GetDeviceCount(), 0);
        EXPECT_EQ(Children(dlg).size(), 2u);
    });
    t_failNextArrayNew = false;
    EXPECT_EQ(devices.resets, 1) << "no second pass";
    EXPECT_EQ(BoxTexts(),
              (std::vector<std::u16string>{u"EnumDevices() failed, HRESULT = 0x8007000E.\n", u"No Device."}));
    for (auto& device : devices.Devices()) EXPECT_EQ(device->monikersAlive(), 0);
}

TEST_F(StartupTest, AClassEnumeratorFailureIsReported) {
    FakeDeviceEnumerator devices;
    devices.Add();
    devices.createResult = E_OUTOFMEMORY;
    RunMainDialog([](HWND, CYRA_HD_Capture_APDlg& app) { EXPECT_EQ(app.GetDeviceCount(), 0); });
    EXPECT_EQ(BoxTexts(),
              (std::vector<std::u16string>{u"EnumDevices() failed, HRESULT = 0x8007000E.\n", u"No Device."}));
}

TEST_F(StartupTest, RowsHaveTheirGeometryIdsStylesAndTheHeaderFont) {
    FakeDeviceEnumerator devices;
    for (int i = 0; i < 3; ++i) devices.Add();
    RunMainDialog([](HWND dlg, CYRA_HD_Capture_APDlg&) {
        HFONT headerFont = uitest::Font(uitest::Item(dlg, IDC_STATIC_NAME));
        ASSERT_TRUE(headerFont);
        struct Column {
            int base;
            int left, right;
            const char16_t* text;
            Kind kind;
        };
        const Column columns[] = {{IDC_DEVICE_LABEL_BASE, 8, 264, u"YRA Capture Device", Kind::Static},
                                  {IDC_SET_BASE, 296, 360, u"Set", Kind::Button},
                                  {IDC_START_BASE, 376, 440, u"Start", Kind::Button},
                                  {IDC_STOP_BASE, 456, 520, u"Stop", Kind::Button}};
        std::vector<HWND> expectedOrder;
        for (const Column& c : columns) {
            for (int row = 0; row < 3; ++row) {
                SCOPED_TRACE(testing::Message() << "column " << std::hex << c.base << " row " << row);
                HWND control = uitest::Item(dlg, c.base + row);
                ASSERT_TRUE(control);
                expectedOrder.push_back(control);
                host::ui::WindowInfo info;
                ASSERT_TRUE(host::ui::GetWindowInfo(control, &info));
                EXPECT_EQ(info.kind, c.kind);
                EXPECT_EQ(info.text, c.text);
                RECT r = uitest::Rect(control);
                EXPECT_EQ(r.left, c.left);
                EXPECT_EQ(r.right, c.right);
                EXPECT_EQ(r.top, 32 + 56 * row);
                EXPECT_EQ(r.bottom, 56 + 56 * row);
                DWORD style = info.style & ~WS_DISABLED;
                EXPECT_EQ(style, DWORD(WS_CHILD | WS_VISIBLE));
                EXPECT_EQ(info.font, headerFont);
            }
        }
        // Created one column at a time, each top to bottom, after the two headers.
        std::vector<HWND> created = host::ui::ChildWindows(dlg);
        ASSERT_EQ(created.size(), 2 + expectedOrder.size());
        EXPECT_EQ(std::vector<HWND>(created.begin() + 2, created.end()), expectedOrder);
        for (int row = 0; row < 3; ++row) EXPECT_TRUE(RowIdle(dlg, row));
    });
}

TEST_F(StartupTest, IdsPastTheLastRowAreIndexErrors) {
    FakeDeviceEnumerator devices;
    devices.Add();
    RunMainDialog([](HWND dlg, CYRA_HD_Capture_APDlg&) {
        SendClick(dlg, IDC_SET_BASE + 1);
        SendClick(dlg, IDC_START_BASE + 0x1FF);
        SendClick(dlg, IDC_STOP_BASE + 8);
    });
    auto boxes = Boxes();
    ASSERT_EQ(boxes.size(), 3u);
    EXPECT_EQ(boxes[0].text, u"Index error, index = 1.\n");
    EXPECT_EQ(boxes[0].caption, u"OnBtnClickedSet()");
    EXPECT_EQ(boxes[1].text, u"Index error, index = 511.\n");
    EXPECT_EQ(boxes[1].caption, u"OnBtnClickedStart()");
    EXPECT_EQ(boxes[2].text, u"Index error, index = 8.\n");
    EXPECT_EQ(boxes[2].caption, u"OnBtnClickedStop()");
    for (const auto& box : boxes) EXPECT_EQ(box.icon(), UINT(MB_ICONERROR));
    // An index error shows nothing else: no file dialog was asked for.
    EXPECT_TRUE(uitest::FileDialogs().empty());
}

TEST_F(StartupTest, MinimisedDialogDrawsItsIconCentred) {
    FakeDeviceEnumerator devices;
    RunMainDialog([](HWND dlg, CYRA_HD_Capture_APDlg& app) {
        EXPECT_EQ(reinterpret_cast<HICON>(SendMessageW(dlg, WM_QUERYDRAGICON, 0, 0)), app.m_hIcon);
        ASSERT_TRUE(app.m_hIcon);
        uitest::Minimize(dlg);
        uitest::Paint(dlg);
        auto draws = host::ui::IconDrawLog();
        ASSERT_EQ(draws.size(), 1u);
        RECT client = uitest::ClientRect(dlg);
        EXPECT_EQ(draws[0].icon, app.m_hIcon);
        EXPECT_EQ(draws[0].x, (client.right - GetSystemMetrics(SM_CXICON) + 1) / 2);
        EXPECT_EQ(draws[0].y, (client.bottom - GetSystemMetrics(SM_CYICON) + 1) / 2);
        uitest::Minimize(dlg, false);
        uitest::Paint(dlg);
        EXPECT_EQ(host::ui::IconDrawLog().size(), 1u);
    });
}

TEST_F(StartupTest, ApplicationRunsTheDialogAsItsMainWindowAndEnds) {
    FakeDeviceEnumerator devices;
    devices.Add();
    CYRA_HD_Capture_APApp app;
    bool ran = false;
    uitest::OnNextModal([&](HWND dlg) {
        ran = true;
        ASSERT_TRUE(AfxGetMainWnd());
        EXPECT_EQ(AfxGetMainWnd()->m_hWnd, dlg);
        EXPECT_EQ(host::ui::test::Text(RowLabel(dlg, 0)), u"YRA Capture Device");
        HICON big = reinterpret_cast<HICON>(SendMessageW(dlg, WM_GETICON, ICON_BIG, 0));
        HICON small = reinterpret_cast<HICON>(SendMessageW(dlg, WM_GETICON, ICON_SMALL, 0));
        EXPECT_TRUE(big);
        EXPECT_EQ(big, small);
        EXPECT_TRUE(uitest::PressEnter(dlg));
    });
    EXPECT_FALSE(app.InitInstance());
    EXPECT_TRUE(ran);
    EXPECT_EQ(std::u16string(app.m_pszRegistryKey), u"Local AppWizard-Generated Applications");
    EXPECT_EQ(AfxGetMainWnd(), nullptr);
    // Closing released the device.
    EXPECT_EQ(RefCount(devices.Devices()[0]->filter), 1u);
}

} // namespace
