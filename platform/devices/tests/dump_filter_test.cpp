// The dump filter: what reaches its file, when the file is made and closed, and how a failure to
// make or write it reaches the graph.
#include "device_test_support.h"

#include "host/result_names.h"
#include "host/utf.h"
#include "testing/push_source.h"

#include <sys/resource.h>
#include <sys/stat.h>

#include <chrono>
#include <csignal>
#include <fstream>
#include <thread>

namespace device_test {
namespace {

class DumpTest : public ComTest {
protected:
    void SetUp() override {
        ComTest::SetUp();
        ASSERT_EQ(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                                   graph.ReceiveVoid()),
                  S_OK);
        ASSERT_EQ(graph->QueryInterface(IID_IMediaControl, control.ReceiveVoid()), S_OK);
        ASSERT_EQ(graph->QueryInterface(IID_IMediaEventEx, events.ReceiveVoid()), S_OK);
        ASSERT_EQ(CoCreateInstance(CLSID_YRA_HD_Capture_Dump, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                   dump.ReceiveVoid()),
                  S_OK);
        ASSERT_EQ(dump->QueryInterface(IID_IFileSinkFilter, sink.ReceiveVoid()), S_OK);
        ASSERT_EQ(graph->AddFilter(dump.Get(), u"Dump"), S_OK);
    }
    void TearDown() override {
        if (control) control->Stop();
        if (source) source->Release();
        sink.Reset();
        dump.Reset();
        events.Reset();
        control.Reset();
        graph.Reset();
        ComTest::TearDown();
    }

    void AddSource(const host::PushSourceOptions& options) {
        source = host::CPushSource::Create(options);
        ASSERT_NE(source, nullptr);
        ASSERT_EQ(graph->AddFilter(source, u"Source"), S_OK);
        ComPtr<ICaptureGraphBuilder2> builder;
        ASSERT_EQ(CoCreateInstance(CLSID_CaptureGraphBuilder2, nullptr, CLSCTX_INPROC_SERVER,
                                   IID_ICaptureGraphBuilder2, builder.ReceiveVoid()),
                  S_OK);
        ASSERT_EQ(builder->SetFiltergraph(graph.Get()), S_OK);
        ASSERT_EQ(
            builder->RenderStream(nullptr, nullptr, static_cast<IBaseFilter*>(source), nullptr, dump.Get()),
            S_OK);
    }

    HRESULT Name(const std::string& path) {
        return sink->SetFileName(host::WideFromUtf8(path).c_str(), nullptr);
    }

    // Runs the source to its end and stops; false when the run never completed.
    bool RecordAll() {
        if (control->Run() != S_OK) return false;
        LONG code = 0;
        const HRESULT hr = events->WaitForCompletion(20000, &code);
        control->Stop();
        return hr == S_OK && code == EC_COMPLETE;
    }

    std::optional<LONG_PTR> ErrorAbort(LONG ms) {
        LONG got = 0;
        LONG_PTR p1 = 0, p2 = 0;
        while (events->GetEvent(&got, &p1, &p2, ms) == S_OK)
            if (got == EC_ERRORABORT) return p1;
        return std::nullopt;
    }

    static std::vector<uint8_t> Pattern(LONG samples, LONG bytes) {
        std::vector<uint8_t> expected;
        for (LONG n = 0; n < samples; ++n)
            for (LONG i = 0; i < bytes; ++i)
                expected.push_back(host::CPushSource::PatternByte(n, i));
        return expected;
    }

    ComPtr<IGraphBuilder> graph;
    ComPtr<IMediaControl> control;
    ComPtr<IMediaEventEx> events;
    ComPtr<IBaseFilter> dump;
    ComPtr<IFileSinkFilter> sink;
    host::CPushSource* source = nullptr;
};

TEST_F(DumpTest, WritesEveryByteOfEverySampleInOrderWhateverTheStream) {
    host::PushSourceOptions options;
    options.lSamples = 300;
    options.cbSample = 4099;
    options.majortype = MEDIATYPE_Audio;
    options.subtype = MEDIASUBTYPE_RAW_AAC1;
    AddSource(options);
    const std::string path = TestDir() + "/every-byte.bin";
    ASSERT_EQ(Name(path), S_OK);
    ASSERT_TRUE(RecordAll());
    EXPECT_EQ(ReadFile(path), Pattern(300, 4099));
}

TEST_F(DumpTest, EachRunStartsTheFileAfresh) {
    const std::string path = TestDir() + "/again.ts";
    std::ofstream(path) << std::string(100000, 'x');
    host::PushSourceOptions options;
    options.lSamples = 3;
    AddSource(options);
    ASSERT_EQ(Name(path), S_OK);
    ASSERT_TRUE(RecordAll());
    EXPECT_EQ(ReadFile(path), Pattern(3, 1316));
    ASSERT_TRUE(RecordAll());
    EXPECT_EQ(ReadFile(path), Pattern(3, 1316));
}

TEST_F(DumpTest, TheFileNameIsKeptAsGivenAndMayHoldAnyCharacter) {
    LPOLESTR name = reinterpret_cast<LPOLESTR>(0x1);
    EXPECT_EQ(sink->GetCurFile(&name, nullptr), E_FAIL);
    EXPECT_EQ(name, nullptr);
    EXPECT_EQ(sink->SetFileName(nullptr, nullptr), E_POINTER);
    EXPECT_EQ(sink->SetFileName(u"", nullptr), E_INVALIDARG);

    const std::string path = TestDir() + "/Aufnahme \xC3\xBC \xE6\x97\xA5\xE6\x9C\xAC.ts";
    ASSERT_EQ(Name(path), S_OK);
    AM_MEDIA_TYPE mt;
    mt.majortype = MEDIATYPE_Video;
    ASSERT_EQ(sink->GetCurFile(&name, &mt), S_OK);
    EXPECT_EQ(std::u16string(name), host::WideFromUtf8(path));
    EXPECT_EQ(mt.majortype, GUID_NULL);
    CoTaskMemFree(name);

    host::PushSourceOptions options;
    options.lSamples = -1;
    options.dwDelayMs = 5;
    AddSource(options);
    ASSERT_EQ(control->Run(), S_OK);
    // The open file belongs to the run.
    EXPECT_EQ(Name(TestDir() + "/other.ts"), VFW_E_NOT_STOPPED);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    control->Stop();
    struct stat st {};
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_GT(st.st_size, 0);
    EXPECT_EQ(st.st_size % 1316, 0);
}

TEST_F(DumpTest, AFileThatCannotBeMadeFailsTheRunAndIsRaisedAsErrorAbort) {
    host::PushSourceOptions options;
    AddSource(options);

    ASSERT_EQ(Name(TestDir() + "/no such folder/file.ts"), S_OK);
    EXPECT_EQ(control->Run(), HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND));
    EXPECT_EQ(ErrorAbort(0), HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND));

    // A folder where the file should be: refused even to root.
    ASSERT_EQ(Name(TestDir()), S_OK);
    EXPECT_EQ(control->Run(), E_ACCESSDENIED);
    EXPECT_EQ(ErrorAbort(0), E_ACCESSDENIED);

    OAFilterState state = State_Running;
    EXPECT_EQ(control->GetState(0, &state), S_OK);
    EXPECT_EQ(state, State_Stopped);
}

TEST_F(DumpTest, ARunWithoutAFileNameFails) {
    AddSource({});
    EXPECT_EQ(control->Run(), E_UNEXPECTED);
    EXPECT_EQ(ErrorAbort(0), E_UNEXPECTED);
}

// Limits the size of any file this process writes, as a full disk would, while it lives.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &m_saved);
        m_previousHandler = std::signal(SIGXFSZ, SIG_IGN); // the write fails with EFBIG instead
        rlimit limit = m_saved;
        limit.rlim_cur = bytes;
        m_applied = setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &m_saved);
        std::signal(SIGXFSZ, m_previousHandler);
    }
    bool Applied() const { return m_applied; }

private:
    rlimit m_saved{};
    void (*m_previousHandler)(int) = nullptr;
    bool m_applied = false;
};

TEST_F(DumpTest, AFullDiskIsRaisedAsErrorAbortAndLaterSamplesAreRefused) {
    host::PushSourceOptions options;
    options.lSamples = 2000; // 2.6 MB, more than the file may hold and than the write buffer
    AddSource(options);
    const std::string path = TestDir() + "/full.ts";
    ASSERT_EQ(Name(path), S_OK);
    {
        FileSizeLimit limit(256 * 1024);
        if (!limit.Applied()) GTEST_SKIP() << "cannot limit the file size";
        ASSERT_EQ(control->Run(), S_OK);
        EXPECT_EQ(ErrorAbort(20000), HRESULT_FROM_WIN32(ERROR_DISK_FULL));
        control->Stop();
    }
    EXPECT_EQ(source->LastDeliverResult(), HRESULT_FROM_WIN32(ERROR_DISK_FULL));
    EXPECT_LT(source->SamplesDelivered(), 2000);
    const std::vector<uint8_t> written = ReadFile(path);
    EXPECT_EQ(written.size(), 256u * 1024u);
    const std::vector<uint8_t> expected = Pattern(2000, 1316);
    EXPECT_TRUE(std::equal(written.begin(), written.end(), expected.begin()));
}

// A second recorder into a file that one records is told the file is in use, and the first
// recording stays whole.
TEST_F(DumpTest, AFileAnotherRecorderHoldsIsInUse) {
    host::PushSourceOptions options;
    options.lSamples = -1;
    options.dwDelayMs = 2;
    AddSource(options);
    const std::string path = TestDir() + "/shared.ts";
    ASSERT_EQ(Name(path), S_OK);
    ASSERT_EQ(control->Run(), S_OK);

    ComPtr<IBaseFilter> second;
    ASSERT_EQ(CoCreateInstance(CLSID_YRA_HD_Capture_Dump, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                               second.ReceiveVoid()),
              S_OK);
    ComPtr<IFileSinkFilter> secondSink;
    ASSERT_EQ(second->QueryInterface(IID_IFileSinkFilter, secondSink.ReceiveVoid()), S_OK);
    ASSERT_EQ(secondSink->SetFileName(host::WideFromUtf8(path).c_str(), nullptr), S_OK);
    EXPECT_EQ(second->Pause(), HRESULT_FROM_WIN32(ERROR_SHARING_VIOLATION));
    EXPECT_EQ(host::FormatResult(HRESULT_FROM_WIN32(ERROR_SHARING_VIOLATION)),
              "0x80070020 HRESULT_FROM_WIN32(ERROR_SHARING_VIOLATION)");

    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    ASSERT_EQ(control->Stop(), S_OK);
    const std::vector<uint8_t> written = ReadFile(path);
    ASSERT_GT(written.size(), 0u);
    ASSERT_EQ(written.size() % 1316, 0u);
    const std::vector<uint8_t> expected = Pattern(static_cast<LONG>(written.size() / 1316), 1316);
    EXPECT_EQ(written, expected) << "the second recorder left the file alone";

    // Free again once the first recording closed it.
    EXPECT_EQ(second->Pause(), S_OK);
    EXPECT_EQ(second->Stop(), S_OK);
    EXPECT_EQ(ReadFile(path).size(), 0u);
}

// Without a handler of the program's, a file-size limit fails the write (reported as for a full
// disk) instead of killing the process.
TEST_F(DumpTest, AFileSizeLimitFailsTheWriteRatherThanEndingTheProcess) {
    host::PushSourceOptions options;
    options.lSamples = 2000;
    AddSource(options);
    const std::string path = TestDir() + "/limited.ts";
    ASSERT_EQ(Name(path), S_OK);
    {
        FileSizeLimit limit(256 * 1024);
        if (!limit.Applied()) GTEST_SKIP() << "cannot limit the file size";
        std::signal(SIGXFSZ, SIG_DFL);
        ASSERT_EQ(control->Run(), S_OK);
        EXPECT_EQ(ErrorAbort(20000), HRESULT_FROM_WIN32(ERROR_DISK_FULL));
        control->Stop();
    }
    EXPECT_EQ(ReadFile(path).size(), 256u * 1024u);
}

} // namespace
} // namespace device_test
