// Stream builders and a parser harness for the demultiplexer's tests: transport packets,
// PES packets, a program-stream muxer for H.264 and AAC, synthetic elementary streams, a
// downstream sample, and helpers that run the ffmpeg tools.
#pragma once

#include "demux/delivery.h"
#include "demux/pstsparser.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace demuxtest {

using Bytes = std::vector<uint8_t>;

// ---- elementary streams --------------------------------------------------------------------

// An ADTS frame (no CRC, AAC LC, 48 kHz index, two channels) whose payload is cbPayload
// bytes of nFill.
Bytes AdtsFrame(size_t cbPayload, uint8_t nFill);
// An H.264 access unit: delimiter, then for a key frame a sequence and a picture parameter
// set and an IDR slice, else a non-IDR slice, padded with nFill to about cbTotal bytes.
Bytes H264AccessUnit(bool bKey, size_t cbTotal, uint8_t nFill);
// Splits an Annex B stream before every access unit delimiter.
std::vector<Bytes> SplitAccessUnits(const Bytes& es);
// Splits an ADTS stream into whole frames (header included).
std::vector<Bytes> SplitAdtsFrames(const Bytes& es);
Bytes Concat(const std::vector<Bytes>& parts);

// ---- PES and transport packets ----------------------------------------------------------------

// The five-byte PTS/DTS field with its four-bit prefix and marker bits.
void PutTimeStamp(uint8_t* pb, uint8_t nPrefix, int64_t v);
// 90 kHz ticks to the parser's 100-ns units.
inline int64_t ToRefTime(int64_t ticks) {
    return ticks * 1000 / 9;
}

struct PesHeader {
    uint8_t nStreamId = 0xE0;
    // 0 none, 2 PTS, 3 PTS and DTS.
    int nTimeFlags = 2;
    int64_t pts = 0;
    int64_t dts = 0;
    bool bAligned = true;
    // Extra stuffing bytes inside the header.
    uint8_t cbStuffing = 0;
    // Write 0 as the packet length (allowed for video in a transport stream).
    bool bUnbounded = false;
};
Bytes Pes(const PesHeader& header, const Bytes& payload);

// One 188-byte packet: the payload (at most 184 bytes, less any adaptation field) padded
// with adaptation-field stuffing.
Bytes TsPacket(uint16_t nPid, bool bStart, const uint8_t* pbPayload, size_t cbPayload, uint8_t& nCounter);
// A PES cut into packets, the first one marked as a payload-unit start.
std::vector<Bytes> TsPackets(uint16_t nPid, const Bytes& pes, uint8_t& nCounter);

// ---- program streams ----------------------------------------------------------------------------

struct PsOptions {
    // Largest payload per PES packet; longer units are split, only the first packet of a unit
    // carrying its time.
    size_t cbMaxPesPayload = 2000;
    // PES packets between pack headers.
    int nPesPerPack = 4;
    uint8_t cbPackStuffing = 0;
    bool bSystemHeader = true;
    // The data-alignment bit on the first packet of each unit.
    bool bAligned = true;
    // Put a private-stream-1 packet, a private-stream-2 packet, a padding packet and packets of
    // other audio and video stream numbers between the units.
    bool bOtherStreams = false;
    bool bEndCode = true;
};

// Wraps H.264 access units and AAC units (runs of ADTS frames) into an MPEG-2 program
// stream: pack headers, an optional system header, PES packets of streams 0xE0 and 0xC0.
class PsMuxer {
public:
    explicit PsMuxer(const PsOptions& options) : m_Options(options) {}
    // dts < 0: PTS only.
    void AddVideo(const Bytes& au, int64_t pts, int64_t dts = -1);
    void AddAudio(const Bytes& frames, int64_t pts);
    Bytes Finish();

private:
    void AddUnit(uint8_t nStreamId, const Bytes& unit, int64_t pts, int64_t dts);
    void AddPes(const Bytes& pes);
    void AddOtherStreams();
    PsOptions m_Options;
    Bytes m_Out;
    int m_nPesInPack = 0;
    int64_t m_scr = 0;
    bool m_bStarted = false;
};
Bytes PackHeader(int64_t scr, uint8_t cbStuffing);

// ---- packets cut anywhere, as program-stream muxers cut them ---------------------------------

// A NAL unit with a three- or four-byte start code, its header, one more byte (for a slice,
// the one that begins first_mb_in_slice) and cbBody filler bytes.
Bytes Nal(bool bLongStartCode, uint8_t nHeader, uint8_t nFirst, size_t cbBody);
// Access units without delimiters: a key frame with parameter sets, SEI and two slices, then
// frames of one or two slices, some with SEI, with long and short start codes.
std::vector<Bytes> UnitsWithoutDelimiters(int n);
// ADTS frames of varied sizes.
std::vector<Bytes> VariedAdtsFrames(int n);

struct CutUnit {
    Bytes data;
    bool bTime;
    REFERENCE_TIME rtTime;
};

// Lays the units end to end and cuts them into unaligned packets of cbPayload bytes, each
// after a pack header. A packet is timed when a unit begins in it (or always, with
// bTimeEveryPacket); a unit takes the time of the packet it begins in when it is the first
// to begin there. *pExpected gets each unit with the time it must carry.
Bytes CutIntoPackets(uint8_t nStreamId, const std::vector<Bytes>& units, size_t cbPayload, bool bTimeEveryPacket,
                     std::vector<CutUnit>* pExpected);

// ---- a downstream sample ------------------------------------------------------------------------

class FakeSample final : public IMediaSample {
public:
    explicit FakeSample(size_t cbBuffer) : m_Buffer(cbBuffer) {}
    // A sample holding these bytes, as an upstream filter delivers it.
    explicit FakeSample(const Bytes& data) : m_Buffer(data), lActual(static_cast<LONG>(data.size())) {}
    HRESULT QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    // Counted but never freeing: the test owns the sample.
    ULONG AddRef() override {
        ++cAddRef;
        return 1;
    }
    ULONG Release() override {
        ++cRelease;
        return 1;
    }
    HRESULT GetPointer(BYTE** ppBuffer) override;
    LONG GetSize() override { return static_cast<LONG>(m_Buffer.size()); }
    HRESULT GetTime(REFERENCE_TIME* pStart, REFERENCE_TIME* pEnd) override;
    HRESULT SetTime(REFERENCE_TIME* pStart, REFERENCE_TIME* pEnd) override;
    HRESULT IsSyncPoint() override { return bSync ? S_OK : S_FALSE; }
    HRESULT SetSyncPoint(BOOL b) override;
    HRESULT IsPreroll() override { return bPreroll ? S_OK : S_FALSE; }
    HRESULT SetPreroll(BOOL b) override;
    LONG GetActualDataLength() override { return lActual; }
    HRESULT SetActualDataLength(LONG l) override;
    HRESULT GetMediaType(AM_MEDIA_TYPE** ppmt) override;
    HRESULT SetMediaType(AM_MEDIA_TYPE*) override { return E_NOTIMPL; }
    HRESULT IsDiscontinuity() override { return S_FALSE; }
    HRESULT SetDiscontinuity(BOOL) override { return S_OK; }
    HRESULT GetMediaTime(LONGLONG* pStart, LONGLONG* pEnd) override;
    HRESULT SetMediaTime(LONGLONG* pStart, LONGLONG* pEnd) override;

    std::vector<BYTE> m_Buffer;
    LONG lActual = 0;
    bool bTime = false, bStop = false, bMediaTime = false, bSync = false, bPreroll = false;
    REFERENCE_TIME rtStart = 0, rtStop = 0;
    LONGLONG llMediaStart = 0, llMediaStop = 0;
    HRESULT hrPointer = S_OK;
    HRESULT hrSetLength = S_OK;
    // The setters called, in order: L(ength), T(ime), M(edia time), S(ync point).
    std::string sCalls;
    std::atomic<LONG> cAddRef{0};
    std::atomic<LONG> cRelease{0};
};

// ---- the parser with its records and deliveries ------------------------------------------------

struct Delivered {
    Bytes data;
    REFERENCE_TIME rtStart;
    LONGLONG llMediaStart;
    LONGLONG llMediaStop;
    bool bSync;
    // The sample carries a start time.
    bool bTime;
    bool operator==(const Delivered&) const = default;
};

// Owns a parser over fresh pools and plays the filter: it answers whether a record start may
// wait and drains the filled queues through the two deliveries, as fast consumers.
class DemuxHarness final : public IPsTsParserSite {
public:
    DemuxHarness();
    ~DemuxHarness();

    BOOL MayWait() override { return m_bMayWait.load(); }
    void OnParserReset() override;

    // Feeds the bytes in samples of cbChunk, draining after each; S_FALSE if any sample
    // reported a parse error.
    HRESULT Feed(const Bytes& data, size_t cbChunk = 65536, bool bDrain = true);
    HRESULT FeedOne(const Bytes& data) { return Feed(data, data.size() ? data.size() : 1, false); }
    void Drain();
    // End of stream, then drain.
    void Finish();

    CDemuxRecords* m_pRecords = nullptr;
    std::unique_ptr<CPsTsParser> m_pParser;
    std::unique_ptr<CVideoDelivery> m_pVideo;
    std::unique_ptr<CAudioDelivery> m_pAudio;
    std::atomic<BOOL> m_bMayWait{FALSE};
    int m_nResets = 0;
    int m_nFalseSamples = 0;
    std::vector<Delivered> m_Video;
    std::vector<Delivered> m_Audio;
    FakeSample m_VideoSample{VIDEO_RECORD_SIZE};
    FakeSample m_AudioSample{AUDIO_RECORD_SIZE};
};

// Payload bytes of the records waiting in a filled queue, in order, with their times.
struct RawRecord {
    Bytes data;
    REFERENCE_TIME rtTime;
};
std::vector<RawRecord> PeekFilled(CDemuxRecords* pRecords, DEMUX_STREAM nStream);

// ---- expected output -----------------------------------------------------------------------------

// One PES worth of an elementary stream: an access unit, or a run of ADTS frames.
struct Unit {
    Bytes payload;
    int64_t pts;
};
// Video units of varied sizes (a key frame every fifth) and audio units of three frames.
std::vector<Unit> VideoUnits(int n, size_t cbBase = 900);
std::vector<Unit> AudioUnits(int n);
// The delivered video samples are the units from index first on, with their times.
void ExpectVideo(const std::vector<Delivered>& video, const std::vector<Unit>& units, size_t first = 0);
inline void ExpectVideo(const DemuxHarness& h, const std::vector<Unit>& units, size_t first = 0) {
    ExpectVideo(h.m_Video, units, first);
}
// The delivered audio samples are the units' frames, each timed from its unit's time.
void ExpectAudio(const std::vector<Delivered>& audio, const std::vector<Unit>& units, REFERENCE_TIME rtFrame = 213333);
inline void ExpectAudio(const DemuxHarness& h, const std::vector<Unit>& units, REFERENCE_TIME rtFrame = 213333) {
    ExpectAudio(h.m_Audio, units, rtFrame);
}
// The delivered video samples are the cut units, each whole and with the time it must carry.
void ExpectCutUnits(const std::vector<Delivered>& video, const std::vector<CutUnit>& expected);
// The delivered audio samples are the frames' payloads, all timed: a frame with a time of its
// own carries it, any other the time of the frame before moved on by rtFrame.
void ExpectCutFrames(const std::vector<Delivered>& audio, const std::vector<CutUnit>& expected,
                     REFERENCE_TIME rtFrame = 213333);

// ---- the ffmpeg tools -------------------------------------------------------------------------

bool HaveFfmpeg();
// Runs a shell command; true when it exits 0.
bool RunCommand(const std::string& command);
std::string RunCapture(const std::string& command);
Bytes ReadFile(const std::string& path);
void WriteFile(const std::string& path, const Bytes& data);
// A directory for generated media: pszDir (made if missing), or one in the test temp dir.
std::string MediaDir(const char* pszDir);

// ---- transport streams made by ffmpeg ---------------------------------------------------------------

struct MediaRecipe {
    const char* pszName;
    int nRate;
    int nBFrames;
    int nChannels;
};

// A two-second H.264 + AAC transport stream (video PID 0x44, audio 0x45) and what ffmpeg itself
// demultiplexes from it, with the packets' time stamps as ffprobe reports them.
struct Media {
    std::string tsPath, videoPath, audioPath;
    Bytes ts;
    Bytes videoEs;
    Bytes audioEs;
    std::vector<int64_t> videoPts, videoDts;
    std::vector<bool> videoKey;
    std::vector<int64_t> audioPts;
    // The frame opens a PES packet (ffprobe gives only those a position).
    std::vector<bool> audioPesStart;
    int nRate = 0;
};

// Made once per build tree under pszDir (see MediaDir) and cached; null when ffmpeg fails.
const Media* GetMedia(const MediaRecipe& recipe, const char* pszDir);
std::vector<std::vector<std::string>> ProbeCsv(const std::string& path, const char* pszStream, const char* pszFields);

} // namespace demuxtest
