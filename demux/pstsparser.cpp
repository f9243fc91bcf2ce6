#include "demux/pstsparser.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr BYTE TS_SYNC_BYTE = 0x47;
constexpr BYTE PS_END_CODE = 0xB9;
constexpr BYTE PS_PACK_HEADER = 0xBA;
constexpr BYTE PS_SYSTEM_HEADER = 0xBB;
constexpr DWORD PES_FIXED_HEADER = 9;
constexpr DWORD PS_PACK_HEADER_SIZE = 14;

BOOL IsStartCodePrefix(const BYTE* pb, DWORD cb) {
    static const BYTE kPrefix[3] = {0, 0, 1};
    return std::memcmp(pb, kPrefix, std::min<DWORD>(cb, 3)) == 0;
}

// Reads the record time of a PES header whose cbHeader bytes are held: the PTS when only it
// is present, the DTS when both are. Fails when the flags announce neither or the field lies
// past the header.
BOOL ReadPesTime(const BYTE* pHeader, DWORD cbHeader, REFERENCE_TIME* prtTime) {
    switch (pHeader[7] >> 6) {
    case 2:
        if (cbHeader < PES_FIXED_HEADER + 5) return FALSE;
        *prtTime = CPsTsParser::ConvertTimeStamp(pHeader + 9);
        return TRUE;
    case 3:
        if (cbHeader < PES_FIXED_HEADER + 10) return FALSE;
        *prtTime = CPsTsParser::ConvertTimeStamp(pHeader + 14);
        return TRUE;
    default:
        return FALSE;
    }
}

} // namespace

CPsTsParser::CPsTsParser(CDemuxRecords* pRecords, IPsTsParserSite* pSite)
    : m_pRecords(pRecords), m_pSite(pSite) {}

REFERENCE_TIME CPsTsParser::ConvertTimeStamp(const BYTE* pb) {
    LONGLONG v = (static_cast<LONGLONG>((pb[0] >> 1) & 7) << 30) | (static_cast<LONGLONG>(pb[1]) << 22) |
                 (static_cast<LONGLONG>(pb[2] >> 1) << 15) | (static_cast<LONGLONG>(pb[3]) << 7) |
                 (pb[4] >> 1);
    return v * 1000 / 9;
}

HRESULT CPsTsParser::ProcessSample(IMediaSample* pSample) {
    if (!pSample) return E_POINTER;
    BYTE* pbData = nullptr;
    HRESULT hr = pSample->GetPointer(&pbData);
    if (FAILED(hr)) return hr;
    return ProcessInput(pbData, pSample->GetActualDataLength(), pSample->IsPreroll() == S_OK);
}

HRESULT CPsTsParser::ProcessInput(const BYTE* pbData, LONG cbData, BOOL bPreroll) {
    if (cbData < 0) return E_INVALIDARG;
    if (cbData > 0 && !pbData) return E_POINTER;

    HRESULT hr = S_OK;
    DWORD cbLeft = static_cast<DWORD>(cbData);
    if (!bPreroll) {
        // A transport packet that the previous sample split is completed first, so that the
        // rest starts on a packet boundary.
        if (m_nInputFormat == INPUT_TS && m_nHeld > 0 && m_nHeld < TS_PACKET_SIZE) {
            DWORD cbComplete = std::min(cbLeft, TS_PACKET_SIZE - m_nHeld);
            hr = ParseBuffered(pbData, cbComplete, FALSE);
            pbData += cbComplete;
            cbLeft -= cbComplete;
        }
        // With nothing held the sample is parsed where it lies: one copy less per byte.
        if (m_nHeld == 0 && cbLeft > 0) {
            if (ParseInPlace(pbData, cbLeft) != S_OK) hr = S_FALSE;
            return hr;
        }
    }
    if (ParseBuffered(pbData, cbLeft, bPreroll) != S_OK) hr = S_FALSE;
    return hr;
}

HRESULT CPsTsParser::ParseBuffered(const BYTE* pbData, DWORD cbLeft, BOOL bPreroll) {
    HRESULT hr = S_OK;
    // A sample larger than the room left is taken in pieces, each parsed before the next is
    // copied in; parsing keeps only an incomplete tail, so every piece makes progress.
    for (;;) {
        Compact();
        DWORD cbCopy = std::min(cbLeft, INPUT_BUFFER_SIZE - m_nHeld);
        if (cbCopy) {
            std::memcpy(m_InputBuffer + m_nHeld, pbData, cbCopy);
            m_nHeld += cbCopy;
            pbData += cbCopy;
            cbLeft -= cbCopy;
        }
        // Preroll bytes wait for the next sample, unless they do not fit.
        if (bPreroll && cbLeft == 0) break;
        if (Parse() != S_OK) hr = S_FALSE;
        if (m_nHeld == INPUT_BUFFER_SIZE) {
            // No pass leaves a full buffer behind; should one ever do so, drop it rather than
            // spin.
            Error(m_nHeld);
            ParseError();
            hr = S_FALSE;
        }
        if (cbLeft == 0) break;
    }
    Compact();
    return hr;
}

HRESULT CPsTsParser::ParseInPlace(const BYTE* pbData, DWORD cbData) {
    m_pbParse = pbData;
    m_nReadPos = 0;
    m_nHeld = cbData;
    HRESULT hr = Parse();
    if (m_nHeld > INPUT_BUFFER_SIZE) {
        // No pass leaves more than one incomplete unit behind; should one ever do so, drop it
        // rather than write past the buffer.
        Error(m_nHeld);
        ParseError();
        hr = S_FALSE;
    }
    // The incomplete tail waits in the buffer for the next sample.
    if (m_nHeld) std::memcpy(m_InputBuffer, pbData + m_nReadPos, m_nHeld);
    m_pbParse = m_InputBuffer;
    m_nReadPos = 0;
    return hr;
}

HRESULT CPsTsParser::EndOfStream() {
    CloseRecord(DEMUX_VIDEO);
    CloseRecord(DEMUX_AUDIO);
    m_Stats.cbSkipped += m_nHeld;
    m_nReadPos = 0;
    m_nHeld = 0;
    m_nPesOwed = 0;
    m_nOwedStream = DEMUX_STREAMS;
    m_nInputFormat = INPUT_UNKNOWN;
    return S_OK;
}

void CPsTsParser::ResetParser() {
    ResetState();
    m_nReadPos = 0;
    m_nHeld = 0;
}

void CPsTsParser::ResetState() {
    for (DEMUX_STREAM nStream : {DEMUX_VIDEO, DEMUX_AUDIO}) {
        if (m_pOpenEntry[nStream]) {
            m_pRecords->Recycle(nStream, m_pOpenEntry[nStream]);
            m_pOpenEntry[nStream] = nullptr;
        }
    }
    m_nInputFormat = INPUT_UNKNOWN;
    m_nPesOwed = 0;
    m_nOwedStream = DEMUX_STREAMS;
    m_nErrorSkip = 0;
}

HRESULT CPsTsParser::Parse() {
    HRESULT hr = S_OK;
    for (;;) {
        PASS_RESULT nResult;
        switch (m_nInputFormat) {
        case INPUT_TS:
            nResult = TransportPass();
            break;
        case INPUT_PS:
            nResult = ProgramPass();
            break;
        default:
            nResult = Detect();
            break;
        }
        if (nResult == PASS_WAIT) return hr;
        if (nResult == PASS_ERROR) {
            // The sample still reports the error, but what follows the next synchronisation
            // point is parsed rather than dropped.
            hr = S_FALSE;
            ParseError();
        }
    }
}

CPsTsParser::PASS_RESULT CPsTsParser::Error(DWORD cbSkip) {
    m_nErrorSkip = std::min(cbSkip, m_nHeld);
    return PASS_ERROR;
}

void CPsTsParser::ParseError() {
    DWORD cbSkip = m_nErrorSkip;
    m_Stats.cParseErrors++;
    m_Stats.cbSkipped += cbSkip;
    Consume(cbSkip);
    ResetState();
    if (m_pSite) m_pSite->OnParserReset();
}

// Decides the format from the first bytes held. Input that begins with neither a sync byte
// nor a start code is passed over up to the earliest plausible synchronisation point: a
// sync byte whose next packet begins with one too, or a pack start code.
CPsTsParser::PASS_RESULT CPsTsParser::Detect() {
    if (m_nHeld == 0) return PASS_WAIT;
    const BYTE* pb = m_pbParse + m_nReadPos;
    if (m_nInputFormat == INPUT_UNKNOWN) {
        if (pb[0] == TS_SYNC_BYTE) {
            m_nInputFormat = INPUT_TS;
            return PASS_DETECTED;
        }
        if (IsStartCodePrefix(pb, m_nHeld)) {
            if (m_nHeld < 3) return PASS_WAIT;
            m_nInputFormat = INPUT_PS;
            return PASS_DETECTED;
        }
        m_nInputFormat = INPUT_OTHER;
    }

    static const BYTE kPackStart[4] = {0, 0, 1, PS_PACK_HEADER};
    DWORD i = 0;
    DWORD nFound = INPUT_OTHER;
    for (; i < m_nHeld; i++) {
        DWORD cbLeft = m_nHeld - i;
        if (pb[i] == TS_SYNC_BYTE) {
            // Wait for the next packet's first byte rather than guess from one byte.
            if (cbLeft <= TS_PACKET_SIZE) break;
            if (pb[i + TS_PACKET_SIZE] == TS_SYNC_BYTE) {
                nFound = INPUT_TS;
                break;
            }
        } else if (pb[i] == 0) {
            if (std::memcmp(pb + i, kPackStart, std::min<DWORD>(cbLeft, 4)) != 0) continue;
            if (cbLeft < 4) break;
            nFound = INPUT_PS;
            break;
        }
    }
    m_Stats.cbSkipped += i;
    Consume(i);
    if (nFound == INPUT_OTHER) return PASS_WAIT;
    m_nInputFormat = nFound;
    return PASS_DETECTED;
}

// Every whole packet held is parsed; an incomplete tail waits for the next sample.
CPsTsParser::PASS_RESULT CPsTsParser::TransportPass() {
    while (m_nHeld > 0) {
        const BYTE* pPacket = m_pbParse + m_nReadPos;
        if (pPacket[0] != TS_SYNC_BYTE) return Error(1);
        if (m_nHeld < TS_PACKET_SIZE) return PASS_WAIT;
        if (!TransportPacket(pPacket)) return Error(TS_PACKET_SIZE);
        Consume(TS_PACKET_SIZE);
    }
    return PASS_WAIT;
}

BOOL CPsTsParser::TransportPacket(const BYTE* pPacket) {
    // Only the low eight bits of the packet identifier select a stream.
    DEMUX_STREAM nStream;
    if (pPacket[2] == TS_VIDEO_PID) {
        nStream = DEMUX_VIDEO;
    } else if (pPacket[2] == TS_AUDIO_PID) {
        nStream = DEMUX_AUDIO;
    } else {
        return TRUE;
    }

    DWORD cbHeader = 4;
    if (pPacket[3] & 0x20) cbHeader = 5 + pPacket[4];
    if (cbHeader > TS_PACKET_SIZE) {
        m_Stats.cPacketsSkipped++;
        return TRUE;
    }

    const BYTE* pPayload = pPacket + cbHeader;
    if (pPacket[1] & 0x40) {
        // A payload-unit start closes only its own stream's record.
        CloseRecord(nStream);
        const BYTE* pPes = pPayload;
        DWORD cbAvail = TS_PACKET_SIZE - cbHeader;
        if (cbAvail < PES_FIXED_HEADER || !IsStartCodePrefix(pPes, 3)) return FALSE;
        DWORD cbPesHeader = PES_FIXED_HEADER + pPes[8];
        if (cbPesHeader > cbAvail) return FALSE;
        REFERENCE_TIME rtTime = 0;
        if (!ReadPesTime(pPes, cbPesHeader, &rtTime)) return FALSE;
        if (!BeginRecord(nStream, rtTime)) return FALSE;
        pPayload += cbPesHeader;
    }
    Append(nStream, pPayload, static_cast<DWORD>(pPacket + TS_PACKET_SIZE - pPayload));
    return TRUE;
}

// Hands the bytes still owed to the current packet to their record (or passes over them);
// TRUE when nothing is owed any more.
BOOL CPsTsParser::PayOwed() {
    DWORD cb = std::min(m_nPesOwed, m_nHeld);
    if (m_nOwedStream == DEMUX_STREAMS) {
        m_Stats.cbSkipped += cb;
    } else {
        Append(m_nOwedStream, m_pbParse + m_nReadPos, cb);
    }
    Consume(cb);
    m_nPesOwed -= cb;
    return m_nPesOwed == 0;
}

CPsTsParser::PASS_RESULT CPsTsParser::ProgramPass() {
    if (m_nPesOwed && !PayOwed()) return PASS_WAIT;
    while (m_nHeld > 0) {
        const BYTE* pb = m_pbParse + m_nReadPos;
        if (!IsStartCodePrefix(pb, m_nHeld)) return Error(1);
        if (m_nHeld < 4) return PASS_WAIT;
        BYTE nId = pb[3];
        if (nId == PS_END_CODE) {
            Consume(4);
            continue;
        }
        if (nId == PS_PACK_HEADER) {
            if (m_nHeld < PS_PACK_HEADER_SIZE) return PASS_WAIT;
            DWORD cbPack = PS_PACK_HEADER_SIZE + (pb[13] & 7);
            if (m_nHeld < cbPack) return PASS_WAIT;
            Consume(cbPack);
            continue;
        }
        // Below the system header are no program-stream start codes.
        if (nId < PS_SYSTEM_HEADER) return Error(1);
        if (m_nHeld < 6) return PASS_WAIT;
        DWORD cbPacket = ((static_cast<DWORD>(pb[4]) << 8) | pb[5]) + 6;

        DEMUX_STREAM nStream;
        if (nId == PS_VIDEO_STREAM_ID) {
            nStream = DEMUX_VIDEO;
        } else if (nId == PS_AUDIO_STREAM_ID) {
            nStream = DEMUX_AUDIO;
        } else {
            // System header, stream map, padding, private and other streams: passed over by
            // their length.
            Consume(6);
            m_nPesOwed = cbPacket - 6;
            m_nOwedStream = DEMUX_STREAMS;
            if (!PayOwed()) return PASS_WAIT;
            continue;
        }

        if (m_nHeld < PES_FIXED_HEADER) return PASS_WAIT;
        DWORD cbPesHeader = PES_FIXED_HEADER + pb[8];
        if (cbPesHeader > cbPacket) return Error(1);
        if (m_nHeld < cbPesHeader) return PASS_WAIT;

        // An aligned packet, or one that carries a time stamp, begins a record; any other
        // continues its own stream's record.
        BOOL bAligned = (pb[6] & 0x04) != 0;
        BYTE nTimeFlags = pb[7] >> 6;
        if (bAligned || nTimeFlags == 2 || nTimeFlags == 3) {
            CloseRecord(nStream);
            REFERENCE_TIME rtTime = 0;
            if (!ReadPesTime(pb, cbPesHeader, &rtTime)) return Error(1);
            if (!BeginRecord(nStream, rtTime)) return Error(1);
        }
        Consume(cbPesHeader);
        m_nPesOwed = cbPacket - cbPesHeader;
        m_nOwedStream = nStream;
        if (!PayOwed()) return PASS_WAIT;
    }
    return PASS_WAIT;
}

void CPsTsParser::CloseRecord(DEMUX_STREAM nStream) {
    RECORD_ENTRY* pEntry = m_pOpenEntry[nStream];
    if (!pEntry) return;
    m_pOpenEntry[nStream] = nullptr;
    if (m_pSite && !m_pSite->IsStreamWanted(nStream)) {
        m_pRecords->Recycle(nStream, pEntry);
        return;
    }
    m_Stats.cRecordsClosed++;
    m_pRecords->Filled(nStream)->PushTail(pEntry);
}

BOOL CPsTsParser::BeginRecord(DEMUX_STREAM nStream, REFERENCE_TIME rtTime) {
    // While the filter runs a slow consumer makes the parser wait, not lose data; stopped,
    // a stream whose records are all filled is an error.
    RECORD_ENTRY* pEntry = m_pRecords->Free(nStream)->PopHeadWait(m_pSite);
    if (!pEntry) return FALSE;
    EmptyRecord(pEntry->pData);
    pEntry->pData->rtTime = rtTime;
    m_pOpenEntry[nStream] = pEntry;
    return TRUE;
}

// Payload goes only into its own stream's open record and never past the record's buffer:
// what fits is kept and delivered, the rest of the packet is dropped.
void CPsTsParser::Append(DEMUX_STREAM nStream, const BYTE* pb, DWORD cb) {
    RECORD_ENTRY* pEntry = m_pOpenEntry[nStream];
    if (!pEntry) {
        m_Stats.cbPayloadDropped += cb;
        return;
    }
    _MEDIA_SAMPLE* pRecord = pEntry->pData;
    DWORD cbRoom = CDemuxRecords::RecordSize(nStream) - pRecord->nLength;
    DWORD cbCopy = std::min(cb, cbRoom);
    std::memcpy(pRecord->pData + pRecord->nLength, pb, cbCopy);
    pRecord->nLength += cbCopy;
    m_Stats.cbPayloadDropped += cb - cbCopy;
}

void CPsTsParser::Consume(DWORD cb) {
    m_nReadPos += cb;
    m_nHeld -= cb;
    if (m_nHeld == 0) m_nReadPos = 0;
}

void CPsTsParser::Compact() {
    if (m_nReadPos == 0) return;
    std::memmove(m_InputBuffer, m_InputBuffer + m_nReadPos, m_nHeld);
    m_nReadPos = 0;
}
