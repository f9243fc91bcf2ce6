#include "demux/delivery.h"

#include <cstring>

namespace {

constexpr BYTE H264_SPS_HEADER = 0x67;
constexpr BYTE H264_AUD_HEADER = 0x09;

BOOL IsAdtsSync(const BYTE* pb) {
    return pb[0] == 0xFF && (pb[1] & 0xF0) == 0xF0;
}

DWORD SampleRoom(LONG cbDest) {
    return cbDest > 0 ? static_cast<DWORD>(cbDest) : 0;
}

} // namespace

BOOL IsVideoSyncPoint(const BYTE* pb, DWORD cb) {
    if (cb > 4 && pb[4] == H264_SPS_HEADER) return TRUE;
    return cb > 10 && pb[4] == H264_AUD_HEADER && pb[10] == H264_SPS_HEADER;
}

HRESULT CAdtsFrameWalk::Next(_MEDIA_SAMPLE* pRecord, DWORD cbCapacity, ADTS_FRAME* pFrame) {
    if (pRecord->nReadPos > cbCapacity || pRecord->nLength > cbCapacity - pRecord->nReadPos ||
        IsSpent(pRecord)) {
        pRecord->nLength = 0;
        return S_FALSE;
    }
    const BYTE* pb = pRecord->pData + pRecord->nReadPos;
    if (!IsAdtsSync(pb)) {
        // Resynchronise on the next frame; the bytes before it cannot be decoded anyway.
        DWORD i = 1;
        while (i + 1 < pRecord->nLength && !IsAdtsSync(pb + i))
            i++;
        pRecord->nReadPos += i;
        pRecord->nLength -= i;
        if (IsSpent(pRecord)) {
            pRecord->nLength = 0;
            return S_FALSE;
        }
        pb += i;
    }
    // The header is always taken as seven bytes.
    DWORD cbFrame = AdtsFrameLength(pb);
    if (cbFrame < ADTS_HEADER_SIZE || cbFrame > pRecord->nLength) {
        pRecord->nLength = 0;
        return S_FALSE;
    }
    pFrame->pbPayload = pb + ADTS_HEADER_SIZE;
    pFrame->cbPayload = cbFrame - ADTS_HEADER_SIZE;
    pFrame->cbFrame = cbFrame;
    pFrame->rtTime = pRecord->rtTime;
    pFrame->bNoTime = pRecord->bNoTime;
    return S_OK;
}

void CAdtsFrameWalk::Take(_MEDIA_SAMPLE* pRecord, const ADTS_FRAME& frame, REFERENCE_TIME rtFrame) {
    pRecord->rtTime += rtFrame;
    pRecord->nLength -= frame.cbFrame;
    pRecord->nReadPos += frame.cbFrame;
}

HRESULT ApplySampleInfo(IMediaSample* pSample, const DEMUX_SAMPLE_INFO& info) {
    HRESULT hr = pSample->SetActualDataLength(info.lActual);
    if (FAILED(hr)) return hr;
    REFERENCE_TIME rtStart = info.rtStart;
    hr = pSample->SetTime(info.bNoTime ? nullptr : &rtStart, nullptr);
    if (FAILED(hr)) return hr;
    LONGLONG llStart = info.llMediaStart;
    LONGLONG llStop = info.llMediaStop;
    hr = pSample->SetMediaTime(&llStart, &llStop);
    if (FAILED(hr)) return hr;
    hr = pSample->SetSyncPoint(info.bSyncPoint);
    if (FAILED(hr)) return hr;
    return S_OK;
}

HRESULT CVideoDelivery::MapRecord(const _MEDIA_SAMPLE* pRecord, BYTE* pbDest, LONG cbDest,
                                  DEMUX_SAMPLE_INFO* pInfo) {
    if (pRecord->nReadPos > VIDEO_RECORD_SIZE || pRecord->nLength > VIDEO_RECORD_SIZE - pRecord->nReadPos ||
        pRecord->nLength > SampleRoom(cbDest)) {
        return VFW_E_BUFFER_OVERFLOW;
    }
    const BYTE* pb = pRecord->pData + pRecord->nReadPos;
    if (pRecord->nLength) std::memcpy(pbDest, pb, pRecord->nLength);
    pInfo->lActual = static_cast<LONG>(pRecord->nLength);
    pInfo->rtStart = pRecord->rtTime;
    pInfo->bNoTime = pRecord->bNoTime;
    pInfo->bSyncPoint = IsVideoSyncPoint(pb, pRecord->nLength);
    StampMediaTime(&m_rtVideoMediaTime, &m_rtVideoMediaStop, m_rtVideoStep, pInfo);
    return S_OK;
}

HRESULT CVideoDelivery::FillVideoSample(IMediaSample* pSample) {
    if (!pSample) return E_POINTER;
    BYTE* pbDest = nullptr;
    HRESULT hr = pSample->GetPointer(&pbDest);
    if (FAILED(hr)) return hr;
    LONG cbDest = pSample->GetSize();

    DEMUX_SAMPLE_INFO info = {};
    {
        std::lock_guard<std::mutex> lock(m_csOut);
        m_pVideoOut = m_pRecords->Filled(DEMUX_VIDEO)->PopHead();
        if (!m_pVideoOut) return S_FALSE;
        hr = MapRecord(m_pVideoOut->pData, pbDest, cbDest, &info);
        m_pRecords->Recycle(DEMUX_VIDEO, m_pVideoOut);
        m_pVideoOut = nullptr;
    }
    if (hr != S_OK) return hr;
    return ApplySampleInfo(pSample, info);
}

void CVideoDelivery::Reset() {
    std::lock_guard<std::mutex> lock(m_csOut);
    if (m_pVideoOut) {
        m_pRecords->Recycle(DEMUX_VIDEO, m_pVideoOut);
        m_pVideoOut = nullptr;
    }
    m_rtVideoMediaTime = 0;
    m_rtVideoStep = 1;
}

BOOL CVideoDelivery::IsDrained() {
    std::lock_guard<std::mutex> lock(m_csOut);
    return !m_pVideoOut && m_pRecords->Filled(DEMUX_VIDEO)->GetCount() == 0;
}

HRESULT CAudioDelivery::MapFrame(_MEDIA_SAMPLE* pRecord, BYTE* pbDest, LONG cbDest,
                                 DEMUX_SAMPLE_INFO* pInfo) {
    ADTS_FRAME frame;
    if (CAdtsFrameWalk::Next(pRecord, AUDIO_RECORD_SIZE, &frame) != S_OK) return S_FALSE;
    if (frame.cbPayload > SampleRoom(cbDest)) {
        CAdtsFrameWalk::Take(pRecord, frame, m_rtAacFrame);
        return VFW_E_BUFFER_OVERFLOW;
    }
    if (frame.cbPayload) std::memcpy(pbDest, frame.pbPayload, frame.cbPayload);
    pInfo->lActual = static_cast<LONG>(frame.cbPayload);
    pInfo->rtStart = frame.rtTime;
    pInfo->bNoTime = frame.bNoTime;
    pInfo->bSyncPoint = TRUE;
    StampMediaTime(&m_rtAudioMediaTime, &m_rtAudioMediaStop, m_rtAudioStep, pInfo);
    CAdtsFrameWalk::Take(pRecord, frame, m_rtAacFrame);
    return S_OK;
}

HRESULT CAudioDelivery::FillAudioSample(IMediaSample* pSample) {
    if (!pSample) return E_POINTER;
    BYTE* pbDest = nullptr;
    HRESULT hr = pSample->GetPointer(&pbDest);
    if (FAILED(hr)) return hr;
    LONG cbDest = pSample->GetSize();

    DEMUX_SAMPLE_INFO info = {};
    {
        std::lock_guard<std::mutex> lock(m_csOut);
        // A record without a whole frame is returned and the next one tried, so that S_FALSE
        // always means there is nothing to deliver and the worker may sleep.
        do {
            if (!m_pAudioOut) {
                m_pAudioOut = m_pRecords->Filled(DEMUX_AUDIO)->PopHead();
                if (!m_pAudioOut) return S_FALSE;
            }
            hr = MapFrame(m_pAudioOut->pData, pbDest, cbDest, &info);
            if (CAdtsFrameWalk::IsSpent(m_pAudioOut->pData)) {
                m_pRecords->Recycle(DEMUX_AUDIO, m_pAudioOut);
                m_pAudioOut = nullptr;
            }
        } while (hr == S_FALSE);
    }
    if (hr != S_OK) return hr;
    return ApplySampleInfo(pSample, info);
}

void CAudioDelivery::Reset() {
    std::lock_guard<std::mutex> lock(m_csOut);
    if (m_pAudioOut) {
        m_pRecords->Recycle(DEMUX_AUDIO, m_pAudioOut);
        m_pAudioOut = nullptr;
    }
    m_rtAudioMediaTime = 0;
}

BOOL CAudioDelivery::IsDrained() {
    std::lock_guard<std::mutex> lock(m_csOut);
    return !m_pAudioOut && m_pRecords->Filled(DEMUX_AUDIO)->GetCount() == 0;
}

HRESULT CAudioDelivery::SetAudioSampleRate(DWORD nRate) {
    if (nRate == 0) return E_INVALIDARG;
    std::lock_guard<std::mutex> lock(m_csOut);
    m_nAudioRate = nRate;
    m_rtAudioStep = nRate;
    // 1024 samples per AAC frame, in 100-ns units.
    m_rtAacFrame = 10240000000LL / nRate;
    return S_OK;
}

DWORD CAudioDelivery::GetAudioSampleRate() {
    std::lock_guard<std::mutex> lock(m_csOut);
    return m_nAudioRate;
}

REFERENCE_TIME CAudioDelivery::GetAacFrameDuration() {
    std::lock_guard<std::mutex> lock(m_csOut);
    return m_rtAacFrame;
}
