// Start and Stop through every failure a recording can meet, on devices without a streaming side:
// what is reported, what the row shows, and that every graph object made is released again.
#include "app_fixture.h"
#include "tests/support/class_override.h"
#include "fake_device_enum.h"
#include "faulty_graph.h"

#include "plat/com.h"

namespace {

class RecordingFaultTest : public AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        devices.Add();
        devices.Add();
    }

    // Starts `row` answering the file dialog, as a person choosing a file would.
    static void Start(HWND dlg, int row) {
        uitest::AnswerFileDialog(u"/nonexistent/capture.ts");
        ASSERT_TRUE(uitest::Click(StartButton(dlg, row)));
    }

    FakeDeviceEnumerator devices;
    FaultyGraphClass graphs;
};

// Stands in for the dump filter: the first device's own filter, already in the graph as
// "Source" and without a file sink.
IBaseFilter* g_dumpStandIn = nullptr;
HRESULT CreateDumpStandIn(IUnknown*, REFIID riid, void** ppv) {
    return g_dumpStandIn->QueryInterface(riid, ppv);
}

TEST_F(RecordingFaultTest, CancellingTheFileDialogBuildsNothing) {
    RunMainDialog([&](HWND dlg, CYRA_HD_Capture_APDlg& app) {
        uitest::CancelFileDialog();
        ASSERT_TRUE(uitest::Click(StartButton(dlg, 1)));
        EXPECT_TRUE(RowIdle(dlg, 1));
        EXPECT_EQ(app.GetDeviceGraph(1)->pGraph, nullptr);
        auto requests = uitest::FileDialogs();
        ASSERT_EQ(requests.size(), 1u);
        const auto& r = requests[0];
        EXPECT_TRUE(r.save);
        EXPECT_EQ(r.owner, dlg);
        EXPECT_EQ(r.defaultExt, u"ts");
        EXPECT_EQ(r.initialName, u"*.ts");
        ASSERT_EQ(r.filters.size(), 1u);
        EXPECT_EQ(r.filters[0].description, u"ts");
        EXPECT_EQ(r.filters[0].pattern, u"*.ts");
        EXPECT_EQ(r.flags & (OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY), DWORD(OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY));
    });
    EXPECT_EQ(graphs.created, 0);
    EXPECT_TRUE(Boxes().empty());
}

TEST_F(RecordingFaultTest, AGraphThatCannotBeMadeAbandonsTheStart) {
    {
        ScopedClassOverride noGraph(CLSID_FilterGraph, &FailCreation<E_OUTOFMEMORY>);
        RunMainDialog([&](HWND dlg, CYRA_HD_Capture_APDlg&) {
            Start(dlg, 0);
            EXPECT_TRUE(RowIdle(dlg, 0));
        });
        EXPECT_EQ(BoxTexts(), std::vector<std::u16string>{u"CreateDSGraph() failed, HRESULT = 0x8007000E.\n"});
        EXPECT_EQ(Boxes()[0].caption, u"OnBtnClickedStart()");
        EXPECT_EQ(Boxes()[0].icon(), UINT(MB_ICONERROR));
    }
    // The graph was made but the builder was not: the graph goes at once, and the next Start
    // makes a new one.
    uitest::Reset();
    ScopedClassOverride noBuilder(CLSID_CaptureGraphBuilder2, &FailCreation<REGDB_E_CLASSNOTREG>);
    RunMainDialog([&](HWND dlg, CYRA_HD_Capture_APDlg& app) {
        Start(dlg, 1);
        EXPECT_TRUE(RowIdle(dlg, 1));
        EXPECT_EQ(graphs.created, 1);
        EXPECT_EQ(graphs.Alive(), 0);
        EXPECT_EQ(app.GetDeviceGraph(1)->pGraph, nullptr);
    });
    EXPECT_EQ(BoxTexts(), std::vector<std::u16string>{u"CreateDSGraph() failed, HRESULT = 0x80040154.\n"});
}

// A builder that already has a graph refuses the program's.
host::CreateBuiltinFn g_realBuilder = nullptr;
HRESULT CreateTakenBuilder(IUnknown* outer, REFIID riid, void** ppv) {
    ICaptureGraphBuilder2* builder = nullptr;
    HRESULT hr = g_realBuilder(outer, IID_ICaptureGraphBuilder2, reinterpret_cast<void**>(&builder));
    if (FAILED(hr)) return hr;
    IGraphBuilder* other = nullptr;
    hr = CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                          reinterpret_cast<void**>(&other));
    if (SUCCEEDED(hr)) hr = builder->SetFiltergraph(other);
    SafeRelease(other);
    if (SUCCEEDED(hr)) hr = builder->QueryInterface(riid, ppv);
    builder->Release();
    return hr;
}

TEST_F(RecordingFaultTest, AGraphThatCannotBeAssembledAbandonsTheStart) {
    {
        ScopedClassOverride takenBuilder(CLSID_CaptureGraphBuilder2, &CreateTakenBuilder);
        g_realBuilder = takenBuilder.Original();
        RunMainDialog([&](HWND dlg, CYRA_HD_Capture_APDlg& app) {
            Start(dlg, 0);
            EXPECT_TRUE(RowIdle(dlg, 0));
            EXPECT_EQ(app.GetDeviceGraph(0)->pGraph, nullptr);
            EXPECT_EQ(app.GetDeviceGraph(0)->pBuilder, nullptr);
        });
        EXPECT_EQ(BoxTexts(),
                  std::vector<std::u16string>{u"CreateDSGraph() failed, HRESULT = 0x8000FFFF.\n"});
    }
    // No run control: refused, or claimed without being given.
    graphs.controlQueryResult = E_NOINTERFACE;
    for (bool claimed : {false, true}) {
        uitest::Reset();
        graphs.claimNoControl = claimed;
        RunMainDialog([&](HWND dlg, CYRA_HD_Capture_APDlg& app) {
            Start(dlg, 1);
            EXPECT_TRUE(RowIdle(dlg, 1));
            EXPECT_EQ(app.GetDeviceGraph(1)->pGraph, nullptr);
            EXPECT_EQ(app.GetDeviceGraph(1)->pControl, nullptr);
        });
        EXPECT_EQ(BoxTexts(),
                  std::vector<std::u16string>{u"CreateDSGraph() failed, HRESULT = 0x80004002.\n"});
        graphs.controlQueryResult = S_OK;
    }
    EXPECT_EQ(graphs.Alive(), 0);
}

TEST_F(RecordingFaultTest, ASourceThatCannotBeAddedAbandonsTheStart) {
    graphs.failAddFilterName = u"Source";
    graphs.addFilterResult = VFW_E_NOT_STOPPED;
    int dumpsMade = 0;
    static int* s_dumps = nullptr;
    s_dumps = &dumpsMade;
    ScopedClassOverride dump(CLSID_YRA_HD_Capture_Dump, [](IUnknown*, REFIID, void** ppv) -> HRESULT {
        ++*s_dumps;
        *ppv = nullptr;
        return E_FAIL;
    });
    RunMainDialog([&](HWND dlg, CYRA_HD_Capture_APDlg& app) {
        ULONG before = RefCount(app.GetDeviceFilter(0));
        Start(dlg, 0);
        EXPECT_TRUE(RowIdle(dlg, 0));
        EXPECT_EQ(graphs.Alive(), 0);
        EXPECT_EQ(RefCount(app.GetDeviceFilter(0)), before);
        // Start again: a new graph, the same failure, nothing left over.
        Start(dlg, 0);
        EXPECT_EQ(graphs.created, 2);
        EXPECT_EQ(graphs.Alive(), 0);
    });
    EXPECT_EQ(dumpsMade, 0);
    EXPECT_EQ(BoxTexts(), std::vector<std::u16string>(2, u"AddFilter(Source) failed, HRESULT = 0x80040224.\n"));
}

TEST_F(RecordingFaultTest, AnUnboundDeviceFilterCannotBeAdded) {
    uitest::Reset();
    FakeDeviceEnumerator unbound;
    unbound.Add().bindResult = E_FAIL;
    RunMainDialog([&](HWND dlg, CYRA_HD_Capture_APDlg&) {
        Start(dlg, 0);
        EXPECT_TRUE(RowIdle(dlg, 0));
    });
    EXPECT_EQ(BoxTexts(), (std::vector<std::u16string>{u"Initialize device failed, HRESULT = 0x80070057.\n",
                                                        u"AddFilter(Source) failed, HRESULT = 0x80004003.\n"}));
    EXPECT_EQ(graphs.Alive(), 0);
}

TEST_F(RecordingFaultTest, NoDumpFilterSkipsItsStepsAndTheRowStillRecords) {
    ScopedClassOverride noDump(CLSID_YRA_HD_Capture_Dump, &FailCreation<REGDB_E_CLASSNOTREG>);
    RunMainDialog([&](HWND dlg, CYRA_HD_Capture_APDlg& app) {
        ULONG before = RefCount(app.GetDeviceFilter(1));
        Start(dlg, 1);
        EXPECT_TRUE(RowRecording(dlg, 1));
        EXPECT_TRUE(RowIdle(dlg, 0));
        const DeviceGraph* g = app.GetDeviceGraph(1);
        EXPECT_EQ(g->nState, 1);
        EXPECT_TRUE(g->pGraph && g->pBuilder && g->pControl);
        EXPECT_EQ(g->pDump, nullptr);
        ASSERT_TRUE(uitest::Click(StopButton(dlg, 1)));
        EXPECT_TRUE(RowIdle(dlg, 1));
        EXPECT_EQ(g->nState, 0);
        EXPECT_TRUE(!g->pGraph && !g->pBuilder && !g->pControl && !g->pDump);
        EXPECT_EQ(graphs.Alive(), 0);
        EXPECT_EQ(RefCount(app.GetDeviceFilter(1)), before);
    });
    EXPECT_EQ(BoxTexts(), std::vector<std::u16string>{
                              u"CoCreateInstance(CLSID_YRA_HD_Capture_Dump) failed, HRESULT = 0x80040154.\n"});
    EXPECT_EQ(Boxes()[0].icon(), UINT(MB_ICONERROR));
}

TEST_F(RecordingFaultTest, ADumpWithoutAFileSinkIsNeitherAddedNorConnected) {
    g_dumpStandIn = devices.Devices()[0]->filter;
    ScopedClassOverride dump(CLSID_YRA_HD_Capture_Dump, &CreateDumpStandIn);
    RunMainDialog([&](HWND dlg, CYRA_HD_Capture_APDlg& app) {
        ULONG before = RefCount(app.GetDeviceFilter(0));
        Start(dlg, 0);
        EXPECT_TRUE(RowRecording(dlg, 0));
        IBaseFilter* member = nullptr;
        EXPECT_EQ(app.GetDeviceGraph(0)->pGraph->FindFilterByName(u"Dump", &member), VFW_E_NOT_FOUND);
        SafeRelease(member);
        ASSERT_TRUE(uitest::Click(StopButton(dlg, 0)));
        EXPECT_TRUE(RowIdle(dlg, 0));
        EXPECT_EQ(RefCount(app.GetDeviceFilter(0)), before);
    });
    EXPECT_TRUE(Boxes().empty());
    EXPECT_EQ(graphs.Alive(), 0);
}

// With the host's dump filter: it is made, but cannot join the graph, so nothing connects to it.
TEST_F(RecordingFaultTest, ADumpFilterThatCannotBeAddedIsReportedAndTheStartGoesOn) {
    graphs.failAddFilterName = u"Dump";
    graphs.addFilterResult = E_OUTOFMEMORY;
    RunMainDialog([&](HWND dlg, CYRA_HD_Capture_APDlg& app) {
        Start(dlg, 0);
        EXPECT_TRUE(RowRecording(dlg, 0));
        EXPECT_TRUE(app.GetDeviceGraph(0)->pDump);
        ASSERT_TRUE(uitest::Click(StopButton(dlg, 0)));
        EXPECT_TRUE(RowIdle(dlg, 0));
    });
    auto texts = BoxTexts();
    ASSERT_GE(texts.size(), 2u);
    EXPECT_EQ(texts[0], u"AddFilter(Dump) failed, HRESULT = 0x8007000E.\n");
    EXPECT_EQ(texts[1].rfind(u"RenderStream(Source, Dump) failed, HRESULT = 0x8", 0), 0u) << host::ui::Utf8(texts[1]);
    for (const auto& box : Boxes()) EXPECT_EQ(box.caption, u"OnBtnClickedStart()");
    EXPECT_EQ(graphs.Alive(), 0);
}

// A device without an output pin (the control filter) cannot be connected to the dump filter.
TEST_F(RecordingFaultTest, AStreamThatCannotBeRenderedIsReported) {
    RunMainDialog([&](HWND dlg, CYRA_HD_Capture_APDlg&) {
        Start(dlg, 1);
        EXPECT_TRUE(RowRecording(dlg, 1));
        ASSERT_TRUE(uitest::Click(StopButton(dlg, 1)));
    });
    auto texts = BoxTexts();
    ASSERT_GE(texts.size(), 1u);
    EXPECT_EQ(texts[0].rfind(u"RenderStream(Source, Dump) failed, HRESULT = 0x8", 0), 0u) << host::ui::Utf8(texts[0]);
    EXPECT_EQ(graphs.Alive(), 0);
}

TEST_F(RecordingFaultTest, ARunFailureLeavesTheRowRecordingUntilStopped) {
    ScopedClassOverride noDump(CLSID_YRA_HD_Capture_Dump, &FailCreation<E_FAIL>);
    graphs.runResult = VFW_E_NOT_CONNECTED;
    RunMainDialog([&](HWND dlg, CYRA_HD_Capture_APDlg&) {
        Start(dlg, 0);
        EXPECT_TRUE(RowRecording(dlg, 0));
        ASSERT_TRUE(uitest::Click(StopButton(dlg, 0)));
        EXPECT_TRUE(RowIdle(dlg, 0));
    });
    EXPECT_EQ(BoxTexts(),
              (std::vector<std::u16string>{u"CoCreateInstance(CLSID_YRA_HD_Capture_Dump) failed, HRESULT = 0x80004005.\n",
                                           u"Run() failed, HRESULT = 0x80040209.\n"}));
    EXPECT_EQ(graphs.Alive(), 0);
}

TEST_F(RecordingFaultTest, ClosingWhileRowsRecordReleasesEverything) {
    ScopedClassOverride noDump(CLSID_YRA_HD_Capture_Dump, &FailCreation<E_FAIL>);
    RunMainDialog([&](HWND dlg, CYRA_HD_Capture_APDlg&) {
        Start(dlg, 0);
        Start(dlg, 1);
        EXPECT_TRUE(RowRecording(dlg, 0));
        EXPECT_TRUE(RowRecording(dlg, 1));
        EXPECT_EQ(graphs.Alive(), 2);
    });
    EXPECT_EQ(graphs.Alive(), 0);
    for (auto& d : devices.Devices()) {
        EXPECT_EQ(RefCount(d->filter), 1u);
        EXPECT_EQ(d->monikersAlive(), 0);
    }
}

} // namespace
