// yra-demux: splits an MPEG-2 transport or program stream into its H.264 video and AAC audio
// with the demultiplexer plug-in, in a graph of a file source, the demultiplexer (created by
// class id, as any application would) and two elementary-stream sinks.
#include "built_module.h"
#include "host/module_loader.h"
#include "host/registry_store.h"
#include "host/result_names.h"
#include "output_paths.h"
#include "plat/com.h"
#include "standard_output.h"
#include "toolfilters/es_sink.h"
#include "toolfilters/file_source.h"

#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <unistd.h>

namespace {

// The demultiplexer's class, as its registration files it.
YRA_DEFINE_GUID(CLSID_DemuxFilter, 0x5B13AFDE, 0x230A, 0x44B5, 0x93, 0x7C, 0x9C, 0x85, 0x8D, 0x33, 0x8F, 0x27);

constexpr char kUsage[] =
    "usage: yra-demux INPUT [--video FILE] [--audio FILE] [--samples FILE.csv] [--chunk BYTES] [--quiet]\n"
    "\n"
    "Splits an MPEG-2 transport or program stream into H.264 video and AAC audio with the\n"
    "VELDualFmtDemux plug-in (register it first with yra-regsvr).\n"
    "\n"
    "  --video FILE        write the video stream (H.264, Annex B) to FILE\n"
    "  --audio FILE        write the audio stream (AAC with ADTS headers) to FILE\n"
    "  --samples FILE.csv  log every delivered sample:\n"
    "                      stream,index,length,time,media_start,media_stop,sync\n"
    "                      (times in 100-ns units, sync 0 or 1)\n"
    "  --chunk BYTES       read the input in samples of BYTES (default 65536)\n"
    "  --quiet             no progress line\n"
    "  --help              show this text\n"
    "\n"
    "Without --video or --audio the streams are only counted. An output may be neither the input\n"
    "nor another output. Exit status 0 on success, 1 on failure (also when nothing could be taken\n"
    "from an input that is not recognisably a stream), 2 for a usage mistake.\n";

struct Options {
    std::string input;
    std::string video;
    std::string audio;
    std::string samples;
    long chunk = 65536;
    bool quiet = false;
};

// 0: go on; -1: done (help shown); otherwise the exit status.
int ParseArguments(int argc, char** argv, Options* options) {
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        auto value = [&](std::string* out) {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "yra-demux: %s needs a value\n", arg.c_str());
                return false;
            }
            *out = argv[++i];
            return true;
        };
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return -1;
        } else if (arg == "--video") {
            if (!value(&options->video)) return 2;
        } else if (arg == "--audio") {
            if (!value(&options->audio)) return 2;
        } else if (arg == "--samples") {
            if (!value(&options->samples)) return 2;
        } else if (arg == "--chunk") {
            std::string text;
            if (!value(&text)) return 2;
            char* end = nullptr;
            errno = 0;
            options->chunk = std::strtol(text.c_str(), &end, 10);
            if (errno || end == text.c_str() || *end || options->chunk < 1 || options->chunk > (64L << 20)) {
                std::fprintf(stderr, "yra-demux: --chunk wants a size from 1 to %ld bytes, not '%s'\n", 64L << 20,
                             text.c_str());
                return 2;
            }
        } else if (arg == "--quiet" || arg == "-q") {
            options->quiet = true;
        } else if (!arg.empty() && arg[0] == '-' && arg != "-") {
            std::fprintf(stderr, "yra-demux: unknown option %s\n\n%s", arg.c_str(), kUsage);
            return 2;
        } else if (options->input.empty()) {
            options->input = arg;
        } else {
            std::fprintf(stderr, "yra-demux: only one INPUT, not '%s' as well\n", arg.c_str());
            return 2;
        }
    }
    if (options->input.empty()) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    std::vector<demux_tool::NamedOutput> outputs;
    for (const auto& [option, path] :
         {std::pair{"--video", &options->video}, std::pair{"--audio", &options->audio},
          std::pair{"--samples", &options->samples}})
        if (!path->empty()) outputs.push_back({option, *path});
    std::string clash = demux_tool::FindOutputClash(options->input, outputs);
    if (!clash.empty()) {
        std::fprintf(stderr, "yra-demux: %s\n", clash.c_str());
        return 2;
    }
    return 0;
}

struct Releaser {
    template <class T> void operator()(T* p) const {
        if (p) p->Release();
    }
};
template <class T> using Ref = std::unique_ptr<T, Releaser>;

int Fail(const std::string& what, HRESULT hr) {
    std::fprintf(stderr, "yra-demux: %s: %s\n", what.c_str(), host::FormatResult(hr).c_str());
    return 1;
}

int ReportCreateFailure(HRESULT hr) {
    if (hr == REGDB_E_CLASSNOTREG) {
        std::fprintf(stderr,
                     "yra-demux: the demultiplexer (VELDualFmtDemux) is not registered on this host.\n"
                     "Register it once with:\n    yra-regsvr %s\n",
                     tool_common::BuiltModulePath("VELDualFmtDemux.so").c_str());
        return 1;
    }
    Fail("cannot create the demultiplexer", hr);
    // Registering again cannot help while the registry itself cannot be read; its own
    // message names the file and says what to do.
    if (hr == REGDB_E_READREGDB) {
        std::fprintf(stderr, "  registry: %s\n", host::RegistryLastError().c_str());
        return 1;
    }
    std::string detail = host::LastModuleLoadError();
    if (!detail.empty()) std::fprintf(stderr, "  %s\n", detail.c_str());
    std::fprintf(stderr, "If the module moved, register it again: yra-regsvr %s\n",
                 tool_common::BuiltModulePath("VELDualFmtDemux.so").c_str());
    return 1;
}

double Megabytes(ULONGLONG bytes) { return static_cast<double>(bytes) / 1e6; }

class Progress {
public:
    Progress(bool enabled, ULONGLONG total) : m_enabled(enabled && total > 0), m_total(total) {}

    void Show(ULONGLONG done, double seconds) {
        if (!m_enabled) return;
        double rate = seconds > 0 ? Megabytes(done) / seconds : 0;
        std::fprintf(stderr, "\r%10.1f MB of %.1f MB  %3d%%  %8.1f MB/s", Megabytes(done), Megabytes(m_total),
                     static_cast<int>(done * 100 / m_total), rate);
        std::fflush(stderr);
        m_shown = true;
    }
    void End() {
        if (m_shown) std::fputc('\n', stderr);
    }

private:
    bool m_enabled;
    ULONGLONG m_total;
    bool m_shown = false;
};

template <class T> Ref<T> Query(IUnknown* p, REFIID riid, HRESULT* phr) {
    T* out = nullptr;
    *phr = p->QueryInterface(riid, reinterpret_cast<void**>(&out));
    return Ref<T>(SUCCEEDED(*phr) ? out : nullptr);
}

// Runs the graph until every sink has seen the end of its stream: S_OK, or why it stopped.
HRESULT RunToCompletion(IGraphBuilder* graph, host::CFileSource* source, bool quiet, double* seconds) {
    HRESULT hr = S_OK;
    Ref<IMediaControl> control = Query<IMediaControl>(graph, IID_IMediaControl, &hr);
    if (!control) return hr;
    Ref<IMediaEventEx> events = Query<IMediaEventEx>(graph, IID_IMediaEventEx, &hr);
    if (!events) return hr;

    Progress progress(!quiet, source->FileSize());
    const auto start = std::chrono::steady_clock::now();
    auto elapsed = [&] { return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(); };
    hr = control->Run();
    if (FAILED(hr)) return hr;
    HRESULT result = S_OK;
    for (bool done = false; !done;) {
        LONG code = 0;
        LONG_PTR param1 = 0, param2 = 0;
        hr = events->GetEvent(&code, &param1, &param2, 250);
        if (hr == E_ABORT) {
            progress.Show(source->BytesDelivered(), elapsed());
            continue;
        }
        if (FAILED(hr)) {
            result = hr;
            break;
        }
        if (code == EC_COMPLETE) {
            done = true;
            if (FAILED(static_cast<HRESULT>(param1))) result = static_cast<HRESULT>(param1);
        } else if (code == EC_ERRORABORT || code == EC_USERABORT) {
            done = true;
            result = FAILED(static_cast<HRESULT>(param1)) ? static_cast<HRESULT>(param1) : E_FAIL;
        }
        events->FreeEventParams(code, param1, param2);
    }
    *seconds = elapsed();
    progress.Show(source->BytesDelivered(), *seconds);
    progress.End();
    control->Stop();
    return result;
}

HRESULT Connect(IGraphBuilder* graph, IPin* out, IPin* in) { return graph->ConnectDirect(out, in, nullptr); }

int Demux(const Options& options) {
    std::string why;
    host::FileSourceOptions sourceOptions;
    sourceOptions.cbChunk = static_cast<LONG>(options.chunk);
    host::CFileSource* rawSource = nullptr;
    HRESULT hr = host::CFileSource::Create(options.input, sourceOptions, &rawSource, &why);
    if (FAILED(hr)) {
        std::fprintf(stderr, "yra-demux: cannot read %s: %s (%s)\n", options.input.c_str(), why.c_str(),
                     host::FormatResult(hr).c_str());
        return 1;
    }
    Ref<host::CFileSource> source(rawSource);

    std::shared_ptr<host::SampleLog> log;
    if (!options.samples.empty()) {
        int error = 0;
        log = host::SampleLog::Open(options.samples, &error);
        if (!log) {
            std::fprintf(stderr, "yra-demux: cannot write %s: %s\n", options.samples.c_str(), std::strerror(error));
            return 1;
        }
    }
    auto makeSink = [&](host::EsKind kind, const std::string& path) -> Ref<host::CEsSink> {
        host::CEsSink* sink = nullptr;
        int error = 0;
        HRESULT hrSink = host::CEsSink::Create({kind, path, log}, &sink, &error);
        if (FAILED(hrSink)) {
            std::fprintf(stderr, "yra-demux: cannot write %s: %s\n", path.c_str(),
                         error ? std::strerror(error) : host::FormatResult(hrSink).c_str());
        }
        return Ref<host::CEsSink>(sink);
    };
    Ref<host::CEsSink> videoSink = makeSink(host::EsKind::Video, options.video);
    if (!videoSink) return 1;
    Ref<host::CEsSink> audioSink = makeSink(host::EsKind::Audio, options.audio);
    if (!audioSink) return 1;

    IBaseFilter* rawDemux = nullptr;
    hr = CoCreateInstance(CLSID_DemuxFilter, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                          reinterpret_cast<void**>(&rawDemux));
    if (FAILED(hr)) return ReportCreateFailure(hr);
    Ref<IBaseFilter> demux(rawDemux);

    IGraphBuilder* rawGraph = nullptr;
    hr = CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                          reinterpret_cast<void**>(&rawGraph));
    if (FAILED(hr)) return Fail("cannot create a filter graph", hr);
    Ref<IGraphBuilder> graph(rawGraph);

    const std::pair<IBaseFilter*, const char16_t*> members[] = {
        {source.get(), u"Source"}, {demux.get(), u"Demux"}, {videoSink.get(), u"Video"}, {audioSink.get(), u"Audio"}};
    for (const auto& [filter, name] : members) {
        hr = graph->AddFilter(filter, name);
        if (FAILED(hr)) return Fail("cannot add a filter to the graph", hr);
    }
    IPin* demuxPins[3] = {};
    const char16_t* demuxPinNames[3] = {u"input", u"video", u"audio"};
    for (int i = 0; i < 3; ++i) {
        hr = demux->FindPin(demuxPinNames[i], &demuxPins[i]);
        if (FAILED(hr)) {
            for (IPin* pin : demuxPins)
                if (pin) pin->Release();
            return Fail("the demultiplexer has no expected pin", hr);
        }
    }
    struct Link {
        IPin* out;
        IPin* in;
        const char* what;
    } links[] = {{source->GetPin(0), demuxPins[0], "the file source to the demultiplexer"},
                 {demuxPins[1], videoSink->GetPin(0), "the demultiplexer's video to its sink"},
                 {demuxPins[2], audioSink->GetPin(0), "the demultiplexer's audio to its sink"}};
    HRESULT hrConnect = S_OK;
    const char* failedLink = nullptr;
    for (const Link& link : links) {
        hrConnect = Connect(graph.get(), link.out, link.in);
        if (FAILED(hrConnect)) {
            failedLink = link.what;
            break;
        }
    }
    for (IPin* pin : demuxPins)
        pin->Release();
    if (failedLink) return Fail(std::string("cannot connect ") + failedLink, hrConnect);

    double seconds = 0;
    hr = RunToCompletion(graph.get(), source.get(), options.quiet, &seconds);
    if (FAILED(hr)) return Fail("the graph stopped before the end of " + options.input, hr);

    // A stray sync byte is enough to try a file; an empty result then means it was no stream.
    if (!source->Probe().recognised && videoSink->Samples() == 0 && audioSink->Samples() == 0) {
        std::fprintf(
            stderr,
            "yra-demux: nothing was delivered from %s: it is not recognisably an MPEG-2 transport or "
            "program stream\n",
            options.input.c_str());
        return 1;
    }
    const bool transport = source->Probe().subtype == MEDIASUBTYPE_MPEG2_TRANSPORT;
    std::printf("%s: %s, %.1f MB in %.2f s (%.1f MB/s)\n", options.input.c_str(),
                transport ? "transport stream" : "program stream", Megabytes(source->BytesDelivered()), seconds,
                seconds > 0 ? Megabytes(source->BytesDelivered()) / seconds : 0.0);
    auto line = [](const char* stream, const host::CEsSink* sink, const std::string& path) {
        std::printf("  %s: %ld samples, %llu bytes%s%s", stream, static_cast<long>(sink->Samples()),
                    static_cast<unsigned long long>(sink->Bytes()), path.empty() ? "" : " -> ", path.c_str());
        // Audio samples are raw AAC frames; the file is larger by the header written before each.
        std::error_code ec;
        const std::uintmax_t written = path.empty() ? 0 : std::filesystem::file_size(path, ec);
        if (!path.empty() && !ec && written != sink->Bytes())
            std::printf(" (%ju bytes with the ADTS headers)", written);
        std::printf("\n");
    };
    line("video", videoSink.get(), options.video);
    line("audio", audioSink.get(), options.audio);
    std::printf("  parse errors: %ld\n", static_cast<long>(source->SamplesRefused()));
    return 0;
}

int Main(int argc, char** argv) {
    Options options;
    if (int status = ParseArguments(argc, argv, &options)) return status < 0 ? 0 : status;
    // Past a file-size limit a write then fails with "file too large", which is reported,
    // instead of the process being killed with half-written outputs and no word.
    std::signal(SIGXFSZ, SIG_IGN);
    HRESULT hr = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    if (FAILED(hr)) return Fail("CoInitializeEx failed", hr);
    int status = Demux(options);
    CoFreeUnusedLibraries();
    CoUninitialize();
    return status;
}

} // namespace

int main(int argc, char** argv) {
    return tool_common::FinishStandardOutput("yra-demux", Main(argc, argv));
}
