#include "demux/pstsparser.h"

#include "demux/adts.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr BYTE TS_SYNC_BYTE = 0x47;
constexpr BYTE PS_END_CODE = 0xB9;
constexpr BYTE PS_PACK_HEADER = 0xBA;
constexpr BYTE PS_SYSTEM_HEADER = 0xBB;
constexpr DWORD PES_FIXED_HEADER = 9;
constexpr DWORD PS_PACK_HEADER_SIZE = 14;
constexpr BYTE PES_DATA_ALIGNMENT = 0x04;

// Where the video scan is: in plain bytes, after a start code (the next byte is a NAL unit
// header), or after a slice's header (the next byte begins first_mb_in_slice).
enum : DWORD { SCAN_BYTES = 0, SCAN_NAL_HEADER = 1, SCAN_FIRST_MB = 2 };
constexpr BYTE H264_NAL_AUD = 9;

// NAL units that begin an access unit when they follow a slice of the previous picture:
// SEI, sequence and picture parameter sets, and the types reserved for that place.
BOOL BeginsUnitAfterSlice(BYTE nType) {
    return nType == 6 || nType == 7 || nType == 8 || (nType >= 14 && nType <= 18);
}

BOOL IsSliceNal(BYTE nType) {
    return nType == 1 || nType == 2 || nType == 5;
}

// The bytes of an ADTS header that hold its frame length.
constexpr DWORD ADTS_LENGTH_BYTES = 6;

// The 12-bit sync word and the layer bits, which are 0 for AAC.
BOOL IsAdtsHeader(const BYTE* pb) {
    return pb[0] == 0xFF && (pb[1] & 0xF6) == 0xF0;
}

// The first position at or after nFrom where an ADTS frame may begin: a header whose next
// frame's header follows where that is held. A header that runs past the piece is taken on
// trust (its bytes are checked once they arrive). cb when there is none.
DWORD FindAdtsFrame(const BYTE* pb, DWORD cb, DWORD nFrom) {
    for (DWORD k = nFrom; k < cb; k++) {
        const BYTE* pFound = static_cast<const BYTE*>(std::memchr(pb + k, 0xFF, cb - k));
        if (!pFound) return cb;
        k = static_cast<DWORD>(pFound - pb);
        if (k + 1 == cb) return k;
        if (!IsAdtsHeader(pb + k)) continue;
        if (k + ADTS_LENGTH_BYTES > cb) return k;
        DWORD cbFrame = AdtsFrameLength(pb + k);
        if (cbFrame < ADTS_HEADER_SIZE) continue;
        if (cbFrame + 2 <= cb - k && !IsAdtsHeader(pb + k + cbFrame)) continue;
        return k;
    }
    return cb;
}

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
    ResetScans();
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
    ResetScans();
}

void CPsTsParser::ResetScans() {
    m_Scan[DEMUX_VIDEO] = UNIT_SCAN{};
    m_Scan[DEMUX_AUDIO] = UNIT_SCAN{};
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

// Hands the bytes still owed to the current packet to their stream (or passes over them).
CPsTsParser::OWED_RESULT CPsTsParser::PayOwed() {
    // Audio that lost its frame boundary is searched a whole packet at a time, so that a sync
    // word is checked against the next one wherever the input samples end.
    const UNIT_SCAN& audio = m_Scan[DEMUX_AUDIO];
    if (m_nOwedStream == DEMUX_AUDIO && audio.bCut && !audio.bSynced && m_nHeld < m_nPesOwed) return OWED_WAIT;
    DWORD cb = std::min(m_nPesOwed, m_nHeld);
    BOOL bOk = TRUE;
    if (m_nOwedStream == DEMUX_STREAMS) {
        m_Stats.cbSkipped += cb;
    } else {
        bOk = Payload(m_nOwedStream, m_pbParse + m_nReadPos, cb);
    }
    Consume(cb);
    m_nPesOwed -= cb;
    if (!bOk) return OWED_ERROR;
    return m_nPesOwed == 0 ? OWED_PAID : OWED_WAIT;
}

CPsTsParser::PASS_RESULT CPsTsParser::ProgramPass() {
    if (m_nPesOwed) {
        OWED_RESULT nOwed = PayOwed();
        if (nOwed == OWED_ERROR) return Error(0);
        if (nOwed == OWED_WAIT) return PASS_WAIT;
    }
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

        if (nId == PS_VIDEO_STREAM_ID || nId == PS_AUDIO_STREAM_ID) {
            if (m_nHeld < PES_FIXED_HEADER) return PASS_WAIT;
            DWORD cbPesHeader = PES_FIXED_HEADER + pb[8];
            if (cbPesHeader > cbPacket) return Error(1);
            if (m_nHeld < cbPesHeader) return PASS_WAIT;
            PASS_RESULT nResult =
                ProgramPes(nId == PS_VIDEO_STREAM_ID ? DEMUX_VIDEO : DEMUX_AUDIO, pb, cbPesHeader, cbPacket);
            if (nResult != PASS_DETECTED) return nResult;
        } else {
            // System header, stream map, padding, private and other streams: passed over by
            // their length.
            Consume(6);
            m_nPesOwed = cbPacket - 6;
            m_nOwedStream = DEMUX_STREAMS;
        }
        OWED_RESULT nOwed = PayOwed();
        if (nOwed == OWED_ERROR) return Error(0);
        if (nOwed == OWED_WAIT) return PASS_WAIT;
    }
    return PASS_WAIT;
}

// Takes the header of a PES packet of one of our streams: PASS_DETECTED when its payload is
// owed to the stream.
CPsTsParser::PASS_RESULT CPsTsParser::ProgramPes(DEMUX_STREAM nStream, const BYTE* pb, DWORD cbPesHeader,
                                                 DWORD cbPacket) {
    UNIT_SCAN& scan = m_Scan[nStream];
    scan.stamp.nPes++;
    if (pb[6] & PES_DATA_ALIGNMENT) {
        // A unit begins with the payload: so does a record, with the packet's time.
        CloseRecord(nStream);
        REFERENCE_TIME rtTime = 0;
        if (!ReadPesTime(pb, cbPesHeader, &rtTime)) return Error(1);
        if (!BeginRecord(nStream, rtTime)) return Error(1);
        scan.bCut = FALSE;
        scan.stamp.bTime = FALSE;
        scan.nZeros = 0;
        scan.nState = SCAN_BYTES;
        scan.bSliceSeen = FALSE;
        scan.bInUnit = TRUE;
        scan.bSynced = TRUE;
        scan.cbFrameLeft = 0;
        scan.cbHeader = 0;
    } else {
        // Muxers cut units into packets anywhere: the time belongs to the first unit that
        // begins in the payload, and the payload up to it continues the open record.
        BYTE nTimeFlags = pb[7] >> 6;
        scan.bCut = TRUE;
        scan.stamp.bTime = nTimeFlags == 2 || nTimeFlags == 3;
        scan.stamp.rtTime = 0;
        if (scan.stamp.bTime && !ReadPesTime(pb, cbPesHeader, &scan.stamp.rtTime)) return Error(1);
    }
    Consume(cbPesHeader);
    m_nPesOwed = cbPacket - cbPesHeader;
    m_nOwedStream = nStream;
    return PASS_DETECTED;
}

BOOL CPsTsParser::Payload(DEMUX_STREAM nStream, const BYTE* pb, DWORD cb) {
    if (!m_Scan[nStream].bCut) Append(nStream, pb, cb);
    return nStream == DEMUX_VIDEO ? ScanVideo(pb, cb) : ScanAudio(pb, cb);
}

// Finds the access units that begin in a piece of video payload. A unit begins at the start
// code of a delimiter, or of a parameter set or SEI that follows a slice, or of a slice with
// first_mb_in_slice 0 that follows one; a start code split over packets is found too.
BOOL CPsTsParser::ScanVideo(const BYTE* pb, DWORD cb) {
    UNIT_SCAN& s = m_Scan[DEMUX_VIDEO];
    // Bytes of the piece already in a record, and zeros just before the scan position.
    DWORD cbHanded = 0;
    DWORD nZerosAt = s.nZeros;
    DWORD nFloor = 0;
    DWORD i = 0;
    while (i < cb) {
        if (s.nState == SCAN_NAL_HEADER) {
            BYTE nType = pb[i] & 0x1F;
            s.candidate[s.cbCandidate++] = pb[i];
            i++;
            nZerosAt = 0;
            nFloor = i;
            if (IsSliceNal(nType)) {
                s.nState = SCAN_FIRST_MB;
                continue;
            }
            s.nState = SCAN_BYTES;
            if (nType == H264_NAL_AUD || ((s.bSliceSeen || !s.bInUnit) && BeginsUnitAfterSlice(nType))) {
                s.bSliceSeen = FALSE;
                s.bInUnit = TRUE;
                if (!VideoUnitStart(pb, &cbHanded, i)) return FALSE;
            }
            continue;
        }
        if (s.nState == SCAN_FIRST_MB) {
            // first_mb_in_slice (Exp-Golomb) is 0 when the first bit is set.
            s.candidate[s.cbCandidate++] = pb[i];
            s.nState = SCAN_BYTES;
            BOOL bNewPicture = (s.bSliceSeen || !s.bInUnit) && (pb[i] & 0x80);
            s.bSliceSeen = TRUE;
            s.bInUnit = s.bInUnit || bNewPicture;
            if (bNewPicture && !VideoUnitStart(pb, &cbHanded, i + 1)) return FALSE;
            // The byte is scanned for start codes like any other.
        }
        const BYTE* pOne = static_cast<const BYTE*>(std::memchr(pb + i, 1, cb - i));
        if (!pOne) break;
        DWORD k = static_cast<DWORD>(pOne - pb);
        DWORD z = 0;
        while (z < 3 && k - z > i && pb[k - z - 1] == 0)
            z++;
        if (z < 3 && k - z == i) z = std::min<DWORD>(3, z + nZerosAt);
        i = k + 1;
        nZerosAt = 0;
        nFloor = i;
        if (z < 2) continue;
        // A unit would begin at the start code, a four-byte one included.
        DWORD cbZeros = z >= 3 ? 3 : 2;
        s.llCandidate = s.llPos + k - cbZeros;
        s.candidateStamp = k >= cbZeros ? s.stamp : s.zeroStamps[cbZeros - k - 1];
        std::memset(s.candidate, 0, cbZeros);
        s.candidate[cbZeros] = 1;
        s.cbCandidate = cbZeros + 1;
        s.nState = SCAN_NAL_HEADER;
    }
    // The zeros at the end may begin a start code that the next piece completes.
    DWORD t = 0;
    if (s.nState == SCAN_BYTES) {
        while (t < 3 && nFloor + t < cb && pb[cb - 1 - t] == 0)
            t++;
    }
    for (DWORD j = 3; j-- > 0;)
        s.zeroStamps[j] = j < t ? s.stamp : s.zeroStamps[j - t];
    s.nZeros = (nFloor + t == cb && t < 3) ? std::min<DWORD>(3, t + nZerosAt) : t;
    if (s.bCut && cb > cbHanded) Append(DEMUX_VIDEO, pb + cbHanded, cb - cbHanded);
    s.llPos += cb;
    return TRUE;
}

// An access unit begins at the candidate start code; the scan has read the piece up to nAt.
// The bytes before it go to the open record, and a new record begins there.
BOOL CPsTsParser::VideoUnitStart(const BYTE* pb, DWORD* pcbHanded, DWORD nAt) {
    UNIT_SCAN& s = m_Scan[DEMUX_VIDEO];
    if (!s.bCut) return TRUE;
    if (s.llCandidate >= s.llPos) {
        DWORD nCut = static_cast<DWORD>(s.llCandidate - s.llPos);
        if (nCut > nAt || nCut < *pcbHanded) return TRUE;
        Append(DEMUX_VIDEO, pb + *pcbHanded, nCut - *pcbHanded);
        *pcbHanded = nCut;
        return NextRecord(DEMUX_VIDEO, s.candidateStamp, nullptr, 0);
    }
    // The start code began in an earlier piece, whose bytes are in the open record already.
    DWORD cbCarry = static_cast<DWORD>(std::min<ULONGLONG>(s.llPos - s.llCandidate, s.cbCandidate));
    return NextRecord(DEMUX_VIDEO, s.candidateStamp, s.candidate, cbCarry);
}

// Follows the ADTS frames of a piece of audio payload by their lengths; where the boundary is
// not known, a frame is found by its sync word. Each frame that begins a record goes whole
// into it; bytes outside any frame are dropped.
BOOL CPsTsParser::ScanAudio(const BYTE* pb, DWORD cb) {
    UNIT_SCAN& s = m_Scan[DEMUX_AUDIO];
    DWORD cbCarried = s.cbHeader;
    DWORD i = 0;
    while (i < cb) {
        if (s.cbFrameLeft) {
            DWORD n = std::min(s.cbFrameLeft, cb - i);
            if (s.bCut) Append(DEMUX_AUDIO, pb + i, n);
            s.cbFrameLeft -= n;
            i += n;
            continue;
        }
        if (!s.bSynced) {
            DWORD k = FindAdtsFrame(pb, cb, i);
            if (s.bCut) m_Stats.cbPayloadDropped += k - i;
            i = k;
            if (i == cb) break;
            s.bSynced = TRUE;
        }
        if (s.cbHeader == 0) s.headerStamp = s.stamp;
        DWORD n = std::min(ADTS_LENGTH_BYTES - s.cbHeader, cb - i);
        std::memcpy(s.header + s.cbHeader, pb + i, n);
        s.cbHeader += n;
        i += n;
        if (s.cbHeader < ADTS_LENGTH_BYTES) break;
        DWORD cbFrame = AdtsFrameLength(s.header);
        if (!IsAdtsHeader(s.header) || cbFrame < ADTS_HEADER_SIZE) {
            // No frame where one was due: search again from the byte after the false start.
            s.bSynced = FALSE;
            s.cbHeader = 0;
            if (cbCarried) {
                if (s.bCut) m_Stats.cbPayloadDropped += cbCarried;
                i = 0;
            } else {
                i = i - ADTS_LENGTH_BYTES + 1;
                if (s.bCut) m_Stats.cbPayloadDropped++;
            }
            cbCarried = 0;
            continue;
        }
        cbCarried = 0;
        if (!AudioFrameStart(cbFrame)) return FALSE;
        if (s.bCut) Append(DEMUX_AUDIO, s.header, ADTS_LENGTH_BYTES);
        s.cbHeader = 0;
        s.cbFrameLeft = cbFrame - ADTS_LENGTH_BYTES;
    }
    s.llPos += cb;
    return TRUE;
}

// A frame begins a record when its packet's time is still unused, when no record is open, or
// when it would not fit the open one; otherwise it continues the record, whose later frames
// are timed by the frame duration.
BOOL CPsTsParser::AudioFrameStart(DWORD cbFrame) {
    UNIT_SCAN& s = m_Scan[DEMUX_AUDIO];
    if (!s.bCut) return TRUE;
    RECORD_ENTRY* pOpen = m_pOpenEntry[DEMUX_AUDIO];
    if (s.headerStamp.bTime || !pOpen || pOpen->pData->nLength + cbFrame > AUDIO_RECORD_SIZE)
        return NextRecord(DEMUX_AUDIO, s.headerStamp, nullptr, 0);
    return TRUE;
}

// Closes the stream's open record and begins the next with the stamp's time (none when the
// stamp has none). cbCarry bytes that begin the new unit move from the end of the old record.
BOOL CPsTsParser::NextRecord(DEMUX_STREAM nStream, const PES_STAMP& stamp, const BYTE* pbCarry, DWORD cbCarry) {
    UNIT_SCAN& s = m_Scan[nStream];
    if (stamp.bTime && stamp.nPes == s.stamp.nPes) s.stamp.bTime = FALSE;
    RECORD_ENTRY* pNew = TakeRecord(nStream, stamp.bTime, stamp.rtTime);
    if (!pNew) return FALSE;
    RECORD_ENTRY* pOld = m_pOpenEntry[nStream];
    if (cbCarry) {
        _MEDIA_SAMPLE* pRecord = pOld ? pOld->pData : nullptr;
        if (pRecord && pRecord->nLength >= cbCarry &&
            std::memcmp(pRecord->pData + pRecord->nLength - cbCarry, pbCarry, cbCarry) == 0) {
            pRecord->nLength -= cbCarry;
        } else {
            // They had nowhere to go and were counted as dropped; now they are delivered.
            m_Stats.cbPayloadDropped -= std::min<ULONGLONG>(cbCarry, m_Stats.cbPayloadDropped);
        }
        std::memcpy(pNew->pData->pData, pbCarry, cbCarry);
        pNew->pData->nLength = cbCarry;
    }
    if (pOld && pOld->pData->nLength == 0) {
        // Nothing but the start code that moved: not a unit of its own.
        m_pOpenEntry[nStream] = nullptr;
        m_pRecords->Recycle(nStream, pOld);
    } else {
        CloseRecord(nStream);
    }
    m_pOpenEntry[nStream] = pNew;
    return TRUE;
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
    RECORD_ENTRY* pEntry = TakeRecord(nStream, TRUE, rtTime);
    if (!pEntry) return FALSE;
    m_pOpenEntry[nStream] = pEntry;
    return TRUE;
}

RECORD_ENTRY* CPsTsParser::TakeRecord(DEMUX_STREAM nStream, BOOL bTime, REFERENCE_TIME rtTime) {
    // While the filter runs a slow consumer makes the parser wait, not lose data; stopped,
    // a stream whose records are all filled is an error.
    RECORD_ENTRY* pEntry = m_pRecords->Free(nStream)->PopHeadWait(m_pSite);
    if (!pEntry) return nullptr;
    EmptyRecord(pEntry->pData);
    pEntry->pData->rtTime = bTime ? rtTime : 0;
    pEntry->pData->bNoTime = !bTime;
    return pEntry;
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
