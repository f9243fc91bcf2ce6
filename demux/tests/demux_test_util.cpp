#include "demux_test_util.h"

#include "tests/support/shell.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <unistd.h>
#include <cctype>

namespace demuxtest {

// ---- elementary streams --------------------------------------------------------------------

Bytes AdtsFrame(size_t cbPayload, uint8_t nFill) {
    size_t cbFrame = cbPayload + 7;
    Bytes frame(cbFrame, nFill);
    frame[0] = 0xFF;
    frame[1] = 0xF1;                                               // MPEG-4, no CRC
    frame[2] = 0x4C;                                               // AAC LC, 48 kHz index
    frame[3] = static_cast<uint8_t>(0x80 | ((cbFrame >> 11) & 3)); // two channels
    frame[4] = static_cast<uint8_t>(cbFrame >> 3);
    frame[5] = static_cast<uint8_t>(((cbFrame & 7) << 5) | 0x1F);
    frame[6] = 0xFC;
    return frame;
}

Bytes H264AccessUnit(bool bKey, size_t cbTotal, uint8_t nFill) {
    Bytes au = {0, 0, 0, 1, 0x09, 0xF0};
    auto nal = [&](uint8_t nHeader, size_t cb) {
        au.insert(au.end(), {0, 0, 0, 1, nHeader});
        au.insert(au.end(), cb, nFill);
    };
    if (bKey) {
        nal(0x67, 8);
        nal(0x68, 3);
        nal(0x65, 1);
    } else {
        nal(0x41, 1);
    }
    if (au.size() < cbTotal) au.insert(au.end(), cbTotal - au.size(), nFill);
    return au;
}

std::vector<Bytes> SplitAccessUnits(const Bytes& es) {
    std::vector<size_t> starts;
    for (size_t i = 0; i + 5 <= es.size(); i++) {
        if (es[i] == 0 && es[i + 1] == 0 && es[i + 2] == 0 && es[i + 3] == 1 && es[i + 4] == 0x09)
            starts.push_back(i);
    }
    std::vector<Bytes> units;
    if (starts.empty() || starts[0] != 0) starts.insert(starts.begin(), 0);
    for (size_t k = 0; k < starts.size(); k++) {
        size_t end = k + 1 < starts.size() ? starts[k + 1] : es.size();
        units.emplace_back(es.begin() + static_cast<long>(starts[k]), es.begin() + static_cast<long>(end));
    }
    return units;
}

std::vector<Bytes> SplitAdtsFrames(const Bytes& es) {
    std::vector<Bytes> frames;
    size_t i = 0;
    while (i + 7 <= es.size()) {
        size_t cb = (static_cast<size_t>(es[i + 3] & 3) << 11) | (static_cast<size_t>(es[i + 4]) << 3) |
                    (es[i + 5] >> 5);
        if (cb < 7 || i + cb > es.size()) break;
        frames.emplace_back(es.begin() + static_cast<long>(i), es.begin() + static_cast<long>(i + cb));
        i += cb;
    }
    return frames;
}

Bytes Concat(const std::vector<Bytes>& parts) {
    Bytes out;
    for (const Bytes& part : parts)
        out.insert(out.end(), part.begin(), part.end());
    return out;
}

// ---- PES and transport packets ----------------------------------------------------------------

void PutTimeStamp(uint8_t* pb, uint8_t nPrefix, int64_t v) {
    pb[0] = static_cast<uint8_t>((nPrefix << 4) | (((v >> 30) & 7) << 1) | 1);
    pb[1] = static_cast<uint8_t>(v >> 22);
    pb[2] = static_cast<uint8_t>((((v >> 15) & 0x7F) << 1) | 1);
    pb[3] = static_cast<uint8_t>(v >> 7);
    pb[4] = static_cast<uint8_t>(((v & 0x7F) << 1) | 1);
}

Bytes Pes(const PesHeader& header, const Bytes& payload) {
    size_t cbTime = header.nTimeFlags == 3 ? 10 : header.nTimeFlags == 2 ? 5 : 0;
    size_t cbHeaderData = cbTime + header.cbStuffing;
    Bytes pes = {0, 0, 1, header.nStreamId, 0, 0};
    pes.push_back(static_cast<uint8_t>(0x80 | (header.bAligned ? 0x04 : 0)));
    pes.push_back(static_cast<uint8_t>(header.nTimeFlags << 6));
    pes.push_back(static_cast<uint8_t>(cbHeaderData));
    size_t at = pes.size();
    pes.resize(at + cbHeaderData, 0xFF);
    if (header.nTimeFlags == 2) PutTimeStamp(&pes[at], 2, header.pts);
    if (header.nTimeFlags == 3) {
        PutTimeStamp(&pes[at], 3, header.pts);
        PutTimeStamp(&pes[at + 5], 1, header.dts);
    }
    pes.insert(pes.end(), payload.begin(), payload.end());
    size_t cbLength = pes.size() - 6;
    if (!header.bUnbounded) {
        EXPECT_LE(cbLength, 0xFFFFu) << "PES too long for its length field";
        pes[4] = static_cast<uint8_t>(cbLength >> 8);
        pes[5] = static_cast<uint8_t>(cbLength);
    }
    return pes;
}

Bytes TsPacket(uint16_t nPid, bool bStart, const uint8_t* pbPayload, size_t cbPayload, uint8_t& nCounter) {
    Bytes packet(188, 0xFF);
    packet[0] = 0x47;
    packet[1] = static_cast<uint8_t>((bStart ? 0x40 : 0) | ((nPid >> 8) & 0x1F));
    packet[2] = static_cast<uint8_t>(nPid);
    size_t at = 4;
    if (cbPayload < 184) {
        packet[3] = static_cast<uint8_t>(0x30 | nCounter);
        size_t cbField = 183 - cbPayload;
        packet[4] = static_cast<uint8_t>(cbField);
        if (cbField) packet[5] = 0x00;
        at = 5 + cbField;
    } else {
        packet[3] = static_cast<uint8_t>(0x10 | nCounter);
    }
    nCounter = (nCounter + 1) & 15;
    std::copy(pbPayload, pbPayload + cbPayload, packet.begin() + static_cast<long>(at));
    return packet;
}

std::vector<Bytes> TsPackets(uint16_t nPid, const Bytes& pes, uint8_t& nCounter) {
    std::vector<Bytes> packets;
    for (size_t at = 0; at < pes.size(); at += 184) {
        size_t cb = std::min<size_t>(184, pes.size() - at);
        packets.push_back(TsPacket(nPid, at == 0, pes.data() + at, cb, nCounter));
    }
    return packets;
}

// ---- program streams ----------------------------------------------------------------------------

Bytes PackHeader(int64_t scr, uint8_t cbStuffing) {
    Bytes pack = {0, 0, 1, 0xBA};
    pack.push_back(static_cast<uint8_t>(0x44 | ((scr >> 27) & 0x38) | ((scr >> 28) & 0x03)));
    pack.push_back(static_cast<uint8_t>(scr >> 20));
    pack.push_back(static_cast<uint8_t>(((scr >> 12) & 0xF8) | 0x04 | ((scr >> 13) & 0x03)));
    pack.push_back(static_cast<uint8_t>(scr >> 5));
    pack.push_back(static_cast<uint8_t>(((scr << 3) & 0xF8) | 0x04));
    pack.push_back(0x01);
    const uint32_t nMuxRate = 25200; // in units of 50 bytes/s
    pack.push_back(static_cast<uint8_t>(nMuxRate >> 14));
    pack.push_back(static_cast<uint8_t>(nMuxRate >> 6));
    pack.push_back(static_cast<uint8_t>(((nMuxRate << 2) & 0xFC) | 0x03));
    pack.push_back(static_cast<uint8_t>(0xF8 | cbStuffing));
    pack.insert(pack.end(), cbStuffing, 0xFF);
    return pack;
}

namespace {

Bytes SystemHeader() {
    return {0, 0, 1, 0xBB, 0, 12, 0x80, 0x01, 0x01, 0x04, 0xE1, 0xFF, 0xE0, 0xE0, 0xE8, 0xC0, 0xC0, 0x20};
}

Bytes RawPacket(uint8_t nId, size_t cb, uint8_t nFill) {
    Bytes packet = {0, 0, 1, nId, static_cast<uint8_t>(cb >> 8), static_cast<uint8_t>(cb)};
    packet.insert(packet.end(), cb, nFill);
    return packet;
}

} // namespace

void PsMuxer::AddVideo(const Bytes& au, int64_t pts, int64_t dts) {
    AddUnit(0xE0, au, pts, dts);
}

void PsMuxer::AddAudio(const Bytes& frames, int64_t pts) {
    AddUnit(0xC0, frames, pts, -1);
}

void PsMuxer::AddUnit(uint8_t nStreamId, const Bytes& unit, int64_t pts, int64_t dts) {
    for (size_t at = 0; at < unit.size() || at == 0; at += m_Options.cbMaxPesPayload) {
        bool bFirst = at == 0;
        PesHeader header;
        header.nStreamId = nStreamId;
        header.nTimeFlags = bFirst ? (dts >= 0 ? 3 : 2) : 0;
        header.pts = pts;
        header.dts = dts;
        header.bAligned = bFirst && m_Options.bAligned;
        size_t cb = std::min(m_Options.cbMaxPesPayload, unit.size() - at);
        AddPes(Pes(header,
                   Bytes(unit.begin() + static_cast<long>(at), unit.begin() + static_cast<long>(at + cb))));
        if (unit.empty()) break;
    }
    if (m_Options.bOtherStreams) AddOtherStreams();
}

void PsMuxer::AddPes(const Bytes& pes) {
    if (!m_bStarted || m_nPesInPack >= m_Options.nPesPerPack) {
        Bytes pack = PackHeader(m_scr, m_Options.cbPackStuffing);
        m_Out.insert(m_Out.end(), pack.begin(), pack.end());
        if (!m_bStarted && m_Options.bSystemHeader) {
            Bytes system = SystemHeader();
            m_Out.insert(m_Out.end(), system.begin(), system.end());
        }
        m_bStarted = true;
        m_scr += 1800;
        m_nPesInPack = 0;
    }
    m_Out.insert(m_Out.end(), pes.begin(), pes.end());
    m_nPesInPack++;
}

void PsMuxer::AddOtherStreams() {
    PesHeader other;
    other.nStreamId = 0xBD;
    AddPes(Pes(other, Bytes(30, 0x80)));
    AddPes(RawPacket(0xBF, 20, 0x00));
    AddPes(RawPacket(0xBE, 16, 0xFF));
    other.nStreamId = 0xE1;
    AddPes(Pes(other, H264AccessUnit(true, 64, 0x5A)));
    other.nStreamId = 0xC1;
    AddPes(Pes(other, AdtsFrame(40, 0x33)));
}

Bytes PsMuxer::Finish() {
    if (m_Options.bEndCode) m_Out.insert(m_Out.end(), {0, 0, 1, 0xB9});
    return std::move(m_Out);
}

// ---- packets cut anywhere ----------------------------------------------------------------------

Bytes Nal(bool bLongStartCode, uint8_t nHeader, uint8_t nFirst, size_t cbBody) {
    Bytes nal = bLongStartCode ? Bytes{0, 0, 0, 1} : Bytes{0, 0, 1};
    nal.push_back(nHeader);
    nal.push_back(nFirst);
    nal.insert(nal.end(), cbBody, static_cast<uint8_t>(0x20 + nHeader % 16));
    return nal;
}

std::vector<Bytes> UnitsWithoutDelimiters(int n) {
    std::vector<Bytes> units;
    for (int i = 0; i < n; i++) {
        bool bLong = i % 3 != 1;
        size_t cb = 5 + static_cast<size_t>(i * 7 % 23);
        if (i % 4 == 0) {
            units.push_back(Concat({Nal(true, 0x67, 0x42, 8), Nal(true, 0x68, 0xCE, 3), Nal(false, 0x06, 0x05, 6),
                                    Nal(bLong, 0x65, 0x88, cb), Nal(false, 0x65, 0x40, cb)}));
        } else if (i % 4 == 2) {
            units.push_back(Concat({Nal(bLong, 0x06, 0x01, 4), Nal(bLong, 0x41, 0x9A, cb)}));
        } else {
            units.push_back(Concat({Nal(bLong, 0x41, 0x9A, cb), Nal(true, 0x41, 0x21, cb)}));
        }
    }
    return units;
}

std::vector<Bytes> VariedAdtsFrames(int n) {
    std::vector<Bytes> frames;
    for (int i = 0; i < n; i++)
        frames.push_back(AdtsFrame(1 + static_cast<size_t>(i * 37 % 90), static_cast<uint8_t>(0x10 + i)));
    return frames;
}

Bytes CutIntoPackets(uint8_t nStreamId, const std::vector<Bytes>& units, size_t cbPayload, bool bTimeEveryPacket,
                     std::vector<CutUnit>* pExpected) {
    Bytes es = Concat(units);
    std::vector<size_t> starts;
    size_t at = 0;
    for (const Bytes& unit : units) {
        starts.push_back(at);
        at += unit.size();
    }
    Bytes ps;
    size_t nUnit = 0;
    for (size_t from = 0, nPes = 0; from < es.size(); from += cbPayload, nPes++) {
        size_t to = std::min(es.size(), from + cbPayload);
        bool bBegins = nUnit < starts.size() && starts[nUnit] < to;
        int64_t pts = 90000 + static_cast<int64_t>(nPes) * 1000;
        PesHeader header{nStreamId, bBegins || bTimeEveryPacket ? 2 : 0, pts, 0, false};
        if (bBegins) pExpected->push_back({units[nUnit], true, ToRefTime(pts)});
        for (nUnit += bBegins ? 1 : 0; nUnit < starts.size() && starts[nUnit] < to; nUnit++)
            pExpected->push_back({units[nUnit], false, 0});
        ps = Concat({ps, PackHeader(0, 0), Pes(header, Bytes(es.begin() + static_cast<long>(from),
                                                              es.begin() + static_cast<long>(to)))});
    }
    return ps;
}

// ---- a downstream sample ------------------------------------------------------------------------

HRESULT FakeSample::GetPointer(BYTE** ppBuffer) {
    if (FAILED(hrPointer)) return hrPointer;
    *ppBuffer = m_Buffer.data();
    return S_OK;
}

HRESULT FakeSample::GetTime(REFERENCE_TIME* pStart, REFERENCE_TIME* pEnd) {
    if (!bTime) return VFW_E_SAMPLE_TIME_NOT_SET;
    *pStart = rtStart;
    if (bStop) *pEnd = rtStop;
    return bStop ? S_OK : VFW_S_NO_STOP_TIME;
}

HRESULT FakeSample::SetTime(REFERENCE_TIME* pStart, REFERENCE_TIME* pEnd) {
    sCalls += 'T';
    bTime = pStart != nullptr;
    bStop = pEnd != nullptr;
    if (pStart) rtStart = *pStart;
    if (pEnd) rtStop = *pEnd;
    return S_OK;
}

HRESULT FakeSample::SetSyncPoint(BOOL b) {
    sCalls += 'S';
    bSync = b != FALSE;
    return S_OK;
}

HRESULT FakeSample::SetPreroll(BOOL b) {
    bPreroll = b != FALSE;
    return S_OK;
}

HRESULT FakeSample::SetActualDataLength(LONG l) {
    sCalls += 'L';
    if (FAILED(hrSetLength)) return hrSetLength;
    if (l < 0 || static_cast<size_t>(l) > m_Buffer.size()) return VFW_E_BUFFER_OVERFLOW;
    lActual = l;
    return S_OK;
}

HRESULT FakeSample::GetMediaType(AM_MEDIA_TYPE** ppmt) {
    *ppmt = nullptr;
    return S_FALSE;
}

HRESULT FakeSample::GetMediaTime(LONGLONG* pStart, LONGLONG* pEnd) {
    if (!bMediaTime) return VFW_E_MEDIA_TIME_NOT_SET;
    *pStart = llMediaStart;
    *pEnd = llMediaStop;
    return S_OK;
}

HRESULT FakeSample::SetMediaTime(LONGLONG* pStart, LONGLONG* pEnd) {
    sCalls += 'M';
    bMediaTime = pStart != nullptr;
    if (pStart) llMediaStart = *pStart;
    if (pEnd) llMediaStop = *pEnd;
    return S_OK;
}

// ---- the parser with its records and deliveries ------------------------------------------------

DemuxHarness::DemuxHarness() {
    HRESULT hr = S_OK;
    m_pRecords = new CDemuxRecords(&hr);
    EXPECT_EQ(hr, S_OK);
    m_pParser = std::make_unique<CPsTsParser>(m_pRecords, this);
    m_pVideo = std::make_unique<CVideoDelivery>(m_pRecords);
    m_pAudio = std::make_unique<CAudioDelivery>(m_pRecords);
}

DemuxHarness::~DemuxHarness() {
    m_pParser.reset();
    m_pVideo.reset();
    m_pAudio.reset();
    delete m_pRecords;
}

void DemuxHarness::OnParserReset() {
    m_nResets++;
    m_pVideo->Reset();
    m_pAudio->Reset();
}

HRESULT DemuxHarness::Feed(const Bytes& data, size_t cbChunk, bool bDrain) {
    HRESULT hrAll = S_OK;
    size_t at = 0;
    do {
        size_t cb = std::min(cbChunk, data.size() - at);
        HRESULT hr = m_pParser->ProcessInput(data.data() + at, static_cast<LONG>(cb), FALSE);
        EXPECT_TRUE(hr == S_OK || hr == S_FALSE) << std::hex << hr;
        if (hr != S_OK) {
            hrAll = hr;
            m_nFalseSamples++;
        }
        if (bDrain) Drain();
        at += cb;
    } while (at < data.size());
    return hrAll;
}

void DemuxHarness::Drain() {
    auto take = [](FakeSample& sample, std::vector<Delivered>& out) {
        out.push_back({Bytes(sample.m_Buffer.begin(), sample.m_Buffer.begin() + sample.lActual),
                       sample.bTime ? sample.rtStart : 0, sample.llMediaStart, sample.llMediaStop, sample.bSync, sample.bTime});
        EXPECT_FALSE(sample.bStop) << "no stop time is set";
    };
    while (m_pVideo->FillVideoSample(&m_VideoSample) == S_OK)
        take(m_VideoSample, m_Video);
    while (m_pAudio->FillAudioSample(&m_AudioSample) == S_OK)
        take(m_AudioSample, m_Audio);
}

void DemuxHarness::Finish() {
    EXPECT_EQ(m_pParser->EndOfStream(), S_OK);
    Drain();
}

std::vector<RawRecord> PeekFilled(CDemuxRecords* pRecords, DEMUX_STREAM nStream) {
    std::vector<RawRecord> records;
    RECORD_QUEUE* pQueue = pRecords->Filled(nStream);
    LONG n = pQueue->GetCount();
    for (LONG i = 0; i < n; i++) {
        RECORD_ENTRY* pEntry = pQueue->PopHead();
        _MEDIA_SAMPLE* p = pEntry->pData;
        records.push_back({Bytes(p->pData + p->nReadPos, p->pData + p->nReadPos + p->nLength), p->rtTime});
        pQueue->PushTail(pEntry);
    }
    return records;
}

// ---- expected output -----------------------------------------------------------------------------

std::vector<Unit> VideoUnits(int n, size_t cbBase) {
    std::vector<Unit> units;
    for (int i = 0; i < n; i++) {
        units.push_back(
            {H264AccessUnit(i % 5 == 0, cbBase + 37 * static_cast<size_t>(i), static_cast<uint8_t>(0x10 + i)),
             126000 + 3000 * i});
    }
    return units;
}

std::vector<Unit> AudioUnits(int n) {
    std::vector<Unit> units;
    for (int i = 0; i < n; i++) {
        Bytes frames;
        for (int k = 0; k < 3; k++) {
            Bytes frame = AdtsFrame(100 + 10 * static_cast<size_t>(k + i), static_cast<uint8_t>(0x20 + i));
            frames.insert(frames.end(), frame.begin(), frame.end());
        }
        units.push_back({frames, 126000 + 5760 * i});
    }
    return units;
}

void ExpectVideo(const std::vector<Delivered>& video, const std::vector<Unit>& units, size_t first) {
    ASSERT_EQ(video.size(), units.size() - first);
    for (size_t i = first; i < units.size(); i++) {
        const Delivered& d = video[i - first];
        EXPECT_EQ(d.data, units[i].payload) << "video unit " << i;
        EXPECT_EQ(d.rtStart, ToRefTime(units[i].pts)) << "video unit " << i;
    }
}

void ExpectAudio(const std::vector<Delivered>& audio, const std::vector<Unit>& units, REFERENCE_TIME rtFrame) {
    std::vector<Delivered> expected;
    for (const Unit& unit : units) {
        REFERENCE_TIME rt = ToRefTime(unit.pts);
        for (const Bytes& frame : SplitAdtsFrames(unit.payload)) {
            expected.push_back({Bytes(frame.begin() + 7, frame.end()), rt, 0, 0, true, true});
            rt += rtFrame;
        }
    }
    ASSERT_EQ(audio.size(), expected.size());
    for (size_t i = 0; i < expected.size(); i++) {
        EXPECT_EQ(audio[i].data, expected[i].data) << "audio frame " << i;
        EXPECT_EQ(audio[i].rtStart, expected[i].rtStart) << "audio frame " << i;
        EXPECT_TRUE(audio[i].bTime) << "audio frame " << i;
        EXPECT_TRUE(audio[i].bSync);
    }
}

void ExpectCutUnits(const std::vector<Delivered>& video, const std::vector<CutUnit>& expected) {
    ASSERT_EQ(video.size(), expected.size());
    for (size_t i = 0; i < expected.size(); i++) {
        EXPECT_EQ(video[i].data, expected[i].data) << "unit " << i;
        EXPECT_EQ(video[i].bTime, expected[i].bTime) << "unit " << i;
        EXPECT_EQ(video[i].rtStart, expected[i].rtTime) << "unit " << i;
    }
}

void ExpectCutFrames(const std::vector<Delivered>& audio, const std::vector<CutUnit>& expected,
                     REFERENCE_TIME rtFrame) {
    ASSERT_EQ(audio.size(), expected.size());
    REFERENCE_TIME rtNext = 0;
    for (size_t i = 0; i < expected.size(); i++) {
        const Bytes& frame = expected[i].data;
        EXPECT_EQ(audio[i].data, Bytes(frame.begin() + 7, frame.end())) << "frame " << i;
        REFERENCE_TIME rt = expected[i].bTime ? expected[i].rtTime : rtNext;
        EXPECT_TRUE(audio[i].bTime) << "frame " << i;
        EXPECT_EQ(audio[i].rtStart, rt) << "frame " << i;
        rtNext = rt + rtFrame;
    }
}

// ---- the ffmpeg tools -------------------------------------------------------------------------

bool HaveFfmpeg() {
    static const bool s_bHave =
        std::system("command -v ffmpeg >/dev/null 2>&1 && command -v ffprobe >/dev/null 2>&1") == 0;
    return s_bHave;
}

bool RunCommand(const std::string& command) {
    return std::system(command.c_str()) == 0;
}

std::string RunCapture(const std::string& command) { return test_support::RunShell(command).output; }

Bytes ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const std::string& path, const Bytes& data) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
}

std::string MediaDir(const char* pszDir) {
    std::string dir = pszDir ? pszDir : testing::TempDir() + "yra-demux-media";
    std::filesystem::create_directories(dir);
    return dir;
}

// ---- transport streams made by ffmpeg ---------------------------------------------------------------

std::vector<std::vector<std::string>> ProbeCsv(const std::string& ts, const char* pszStream,
                                               const char* pszFields) {
    std::string out = RunCapture("ffprobe -v error -select_streams " + std::string(pszStream) +
                                 " -show_entries packet=" + pszFields + " -of csv=p=0 '" + ts + "'");
    std::vector<std::vector<std::string>> rows;
    std::istringstream lines(out);
    std::string line;
    while (std::getline(lines, line)) {
        std::vector<std::string> fields;
        std::istringstream in(line);
        std::string field;
        while (std::getline(in, field, ','))
            fields.push_back(field);
        if (fields.size() >= 2 && !fields[0].empty() &&
            std::isdigit(static_cast<unsigned char>(fields[0][0]))) {
            rows.push_back(fields);
        }
    }
    return rows;
}

// Makes (once per build tree) a two-second stream and what ffmpeg itself demultiplexes from
// it. Files are written under a temporary name and renamed, so parallel tests share them.
const Media* GetMedia(const MediaRecipe& recipe, const char* pszDir) {
    static std::map<std::string, std::unique_ptr<Media>> s_cache;
    auto found = s_cache.find(recipe.pszName);
    if (found != s_cache.end()) return found->second.get();

    std::string base = MediaDir(pszDir) + "/" + recipe.pszName;
    std::string ts = base + ".ts", v = base + ".h264", a = base + ".aac";
    if (ReadFile(a).empty()) {
        std::string tmp = base + "." + std::to_string(getpid());
        std::ostringstream cmd;
        cmd << "ffmpeg -nostdin -hide_banner -loglevel error -y -f lavfi -i testsrc=size=320x240:rate=30"
            << " -f lavfi -i sine=frequency=440:sample_rate=" << recipe.nRate << " -t 2 -ac " << recipe.nChannels
            << " -c:v libx264 -g 30 -bf " << recipe.nBFrames << " -c:a aac"
            << " -streamid 0:68 -streamid 1:69 -f mpegts '" << tmp << ".ts'"
            << " && ffmpeg -nostdin -hide_banner -loglevel error -y -i '" << tmp << ".ts'"
            << " -map 0:v -c copy -f h264 '" << tmp << ".h264' -map 0:a -c copy -f adts '" << tmp << ".aac'"
            << " && mv -f '" << tmp << ".ts' '" << ts << "' && mv -f '" << tmp << ".h264' '" << v << "'"
            << " && mv -f '" << tmp << ".aac' '" << a << "'";
        if (!RunCommand(cmd.str())) return nullptr;
    }
    auto media = std::make_unique<Media>();
    media->ts = ReadFile(ts);
    media->videoEs = ReadFile(v);
    media->audioEs = ReadFile(a);
    media->nRate = recipe.nRate;
    media->tsPath = ts;
    media->videoPath = v;
    media->audioPath = a;
    for (const auto& row : ProbeCsv(ts, "v", "pts,dts,flags")) {
        media->videoPts.push_back(std::stoll(row[0]));
        media->videoDts.push_back(std::stoll(row[1]));
        media->videoKey.push_back(row.size() > 2 && row[2].find('K') != std::string::npos);
    }
    for (const auto& row : ProbeCsv(ts, "a", "pts,pos")) {
        media->audioPts.push_back(std::stoll(row[0]));
        media->audioPesStart.push_back(row[1] != "N/A");
    }
    if (media->ts.empty() || media->videoEs.empty() || media->audioEs.empty() || media->videoDts.empty())
        return nullptr;
    return (s_cache[recipe.pszName] = std::move(media)).get();
}

} // namespace demuxtest
