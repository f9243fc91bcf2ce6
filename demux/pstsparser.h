// The demultiplexer's stream parser: cuts the video (H.264) and audio (AAC in ADTS) payload
// out of an MPEG-2 transport or program stream into the pools' records.
//
// The input pin feeds every sample to ProcessSample (or its bytes to ProcessInput) on the
// upstream streaming thread; the delivery threads take the records from the filled queues.
// Nothing is allocated after construction.
#pragma once

#include "demux/records.h"

#include "plat/media.h"

enum INPUT_FORMAT : DWORD {
    INPUT_UNKNOWN = 0,
    INPUT_TS = 1,
    INPUT_PS = 2,
    // Neither: the parser is passing over bytes until a plausible synchronisation point.
    INPUT_OTHER = 3,
};

// Transport packet identifiers (low eight bits) and program-stream stream ids of the two
// elementary streams; the parser reads no program tables.
constexpr BYTE TS_VIDEO_PID = 0x44;
constexpr BYTE TS_AUDIO_PID = 0x45;
constexpr BYTE PS_VIDEO_STREAM_ID = 0xE0;
constexpr BYTE PS_AUDIO_STREAM_ID = 0xC0;
constexpr DWORD TS_PACKET_SIZE = 188;

// What the parser needs from the filter that owns it.
//  - MayWait (asked under a free queue's lock, so it must answer at once): TRUE while the
//    filter is paused or running, when a record start that finds no free record waits for a
//    delivery thread to hand one back. When the filter stops it must answer FALSE and then
//    call CDemuxRecords::WakeWaiters; a waiting start then fails as a parse error.
//  - OnParserReset: called on the streaming thread after every parse error, once the parser
//    has reset itself, so the filter resets what it owns (records out for delivery, media
//    times, picture size).
//  - IsStreamWanted: whether anything takes the stream's records (its output pin is
//    connected). A record of a stream nobody takes goes back to its free queue when it
//    closes, so that it neither fills the pool nor makes the parser wait for ever.
class IPsTsParserSite : public ICppWaitGate {
public:
    virtual void OnParserReset() = 0;
    virtual BOOL IsStreamWanted(DEMUX_STREAM) { return TRUE; }

protected:
    ~IPsTsParserSite() = default;
};

struct PSTS_PARSER_STATS {
    ULONG cParseErrors;
    // Input passed over while looking for a synchronisation point.
    ULONGLONG cbSkipped;
    // Payload with no record of its stream open, or past the end of a full record.
    ULONGLONG cbPayloadDropped;
    // Transport packets whose adaptation field claims more than the packet holds.
    ULONG cPacketsSkipped;
    ULONG cRecordsClosed;
};

// A program-stream packet's time as the units that begin in it see it: the packet (counted per
// stream) and its time while no unit has taken it.
struct PES_STAMP {
    DWORD nPes;
    BOOL bTime;
    REFERENCE_TIME rtTime;
};

// Where a stream's units (H.264 access units, ADTS frames) begin in program-stream payload.
// Packets without the data-alignment bit cut records there; aligned packets only keep the
// scan in step, so that the packets that continue them are cut right.
struct UNIT_SCAN {
    // The current packet is cut at unit starts (it has no data-alignment bit).
    BOOL bCut;
    PES_STAMP stamp;
    // Payload bytes scanned so far: positions of unit starts that lie in earlier packets.
    ULONGLONG llPos;

    // Video: zero bytes just before the scan position (at most three), the stamps of those of
    // them that lie in earlier payload pieces (newest first), where the scan is in a start
    // code, and whether the access unit has a slice yet.
    DWORD nZeros;
    PES_STAMP zeroStamps[3];
    DWORD nState;
    BOOL bSliceSeen;
    // An access unit has begun since the scan began: until one has, the first NAL unit that
    // may begin one does.
    BOOL bInUnit;
    // The start code being read: its bytes from where its unit would begin, that position
    // and the stamp there.
    BYTE candidate[6];
    DWORD cbCandidate;
    ULONGLONG llCandidate;
    PES_STAMP candidateStamp;

    // Audio: whether the frame boundary is known, the bytes of the current frame still to
    // come, and a frame header gathered over payload pieces with the stamp where it began.
    BOOL bSynced;
    DWORD cbFrameLeft;
    BYTE header[6];
    DWORD cbHeader;
    PES_STAMP headerStamp;
};

class CPsTsParser {
public:
    static constexpr DWORD INPUT_BUFFER_SIZE = 0x200000;

    // pSite may be none: the parser then never waits for a record and tells nobody of resets.
    CPsTsParser(CDemuxRecords* pRecords, IPsTsParserSite* pSite);
    CPsTsParser(const CPsTsParser&) = delete;
    CPsTsParser& operator=(const CPsTsParser&) = delete;

    // Parses one input sample: its actual data, held back while it is a preroll sample.
    HRESULT ProcessSample(IMediaSample* pSample);
    // Parses cbData bytes. S_OK, or S_FALSE when a parse error happened in them (the parser
    // has then reset and resumed at the next synchronisation point); E_POINTER or
    // E_INVALIDARG for bad arguments. A preroll sample's bytes are held and parsed with the
    // next sample that is not one.
    HRESULT ProcessInput(const BYTE* pbData, LONG cbData, BOOL bPreroll);
    // The input has ended: the open records go to their filled queues, an incomplete tail
    // is dropped, and the next input is detected anew.
    HRESULT EndOfStream();
    // Forgets the input and returns the open records, emptied, to their free queues. Must
    // not overlap ProcessInput.
    void ResetParser();

    DWORD GetInputFormat() const { return m_nInputFormat; }
    const PSTS_PARSER_STATS& GetStats() const { return m_Stats; }

    // A 33-bit 90 kHz PTS or DTS field (five bytes, marker bits ignored) in 100-ns units.
    static REFERENCE_TIME ConvertTimeStamp(const BYTE* pb);

private:
    enum PASS_RESULT { PASS_WAIT, PASS_ERROR, PASS_DETECTED };

    HRESULT ParseBuffered(const BYTE* pbData, DWORD cbData, BOOL bPreroll);
    HRESULT ParseInPlace(const BYTE* pbData, DWORD cbData);
    HRESULT Parse();
    PASS_RESULT Detect();
    PASS_RESULT TransportPass();
    BOOL TransportPacket(const BYTE* pPacket);
    PASS_RESULT ProgramPass();
    PASS_RESULT ProgramPes(DEMUX_STREAM nStream, const BYTE* pb, DWORD cbPesHeader, DWORD cbPacket);
    enum OWED_RESULT { OWED_PAID, OWED_WAIT, OWED_ERROR };
    OWED_RESULT PayOwed();
    BOOL Payload(DEMUX_STREAM nStream, const BYTE* pb, DWORD cb);
    BOOL ScanVideo(const BYTE* pb, DWORD cb);
    BOOL VideoUnitStart(const BYTE* pb, DWORD* pcbHanded, DWORD nAt);
    BOOL ScanAudio(const BYTE* pb, DWORD cb);
    BOOL AudioFrameStart(DWORD cbFrame);
    BOOL NextRecord(DEMUX_STREAM nStream, const PES_STAMP& stamp, const BYTE* pbCarry, DWORD cbCarry);
    void ResetScans();
    PASS_RESULT Error(DWORD cbSkip);
    void ParseError();
    void ResetState();

    void CloseRecord(DEMUX_STREAM nStream);
    BOOL BeginRecord(DEMUX_STREAM nStream, REFERENCE_TIME rtTime);
    RECORD_ENTRY* TakeRecord(DEMUX_STREAM nStream, BOOL bTime, REFERENCE_TIME rtTime);
    void Append(DEMUX_STREAM nStream, const BYTE* pb, DWORD cb);
    void Consume(DWORD cb);
    void Compact();

    CDemuxRecords* const m_pRecords;
    IPsTsParserSite* const m_pSite;
    // One record open per stream, so that interleaved packets each continue their own.
    RECORD_ENTRY* m_pOpenEntry[DEMUX_STREAMS] = {};
    DWORD m_nReadPos = 0;
    DWORD m_nHeld = 0;
    DWORD m_nInputFormat = INPUT_UNKNOWN;
    // Program stream: bytes of the current packet still to come, and where they go
    // (a stream, or DEMUX_STREAMS for a packet that is passed over).
    DWORD m_nPesOwed = 0;
    DEMUX_STREAM m_nOwedStream = DEMUX_STREAMS;
    DWORD m_nErrorSkip = 0;
    UNIT_SCAN m_Scan[DEMUX_STREAMS] = {};
    PSTS_PARSER_STATS m_Stats = {};
    BYTE m_InputBuffer[INPUT_BUFFER_SIZE];
    // What the passes read: the input buffer, or a sample parsed where it lies.
    const BYTE* m_pbParse = m_InputBuffer;
};
