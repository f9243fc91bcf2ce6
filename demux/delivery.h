// What the output pins' worker threads do with a filled record: the video pin sends it whole
// as one sample, the audio pin one ADTS frame of it per sample. The pins only get a
// downstream sample, call Fill, deliver and release.
#pragma once

#include "demux/adts.h"
#include "demux/records.h"

#include "plat/media.h"

#include <mutex>

// How one downstream sample is stamped.
struct DEMUX_SAMPLE_INFO {
    LONG lActual;
    // Start time; no stop time is set. With bNoTime no time is set at all.
    REFERENCE_TIME rtStart;
    BOOL bNoTime;
    LONGLONG llMediaStart;
    LONGLONG llMediaStop;
    BOOL bSyncPoint;
};

// A video record is a sync point when it begins (after a four-byte start code) with a
// sequence parameter set, or with an access unit delimiter followed by one.
BOOL IsVideoSyncPoint(const BYTE* pb, DWORD cb);

// Media time of one sample: [time, time + step), and the running time moves on by step.
inline void StampMediaTime(REFERENCE_TIME* prtTime, REFERENCE_TIME* prtStop, REFERENCE_TIME rtStep,
                           DEMUX_SAMPLE_INFO* pInfo) {
    *prtStop = *prtTime + rtStep;
    pInfo->llMediaStart = *prtTime;
    pInfo->llMediaStop = *prtStop;
    *prtTime += rtStep;
}

// One frame found in an audio record: the payload after its seven-byte header.
struct ADTS_FRAME {
    const BYTE* pbPayload;
    DWORD cbPayload;
    // Header and payload together: what taking the frame removes from the record.
    DWORD cbFrame;
    REFERENCE_TIME rtTime;
    BOOL bNoTime;
};

// Walks an audio record frame by frame. A record that does not begin at a frame is searched
// for the next 12-bit sync word (the bytes before it are dropped); a frame whose length is
// below a header or past the record ends the record. Nothing outside the record's buffer of
// cbCapacity bytes is read.
class CAdtsFrameWalk {
public:
    // S_OK with the next frame (not yet taken), or S_FALSE when the record has no whole
    // frame left; the record's unusable bytes are dropped either way.
    static HRESULT Next(_MEDIA_SAMPLE* pRecord, DWORD cbCapacity, ADTS_FRAME* pFrame);
    // Removes the frame from the record; the record's time moves on by one frame.
    static void Take(_MEDIA_SAMPLE* pRecord, const ADTS_FRAME& frame, REFERENCE_TIME rtFrame);
    // A record of a header's length or less holds nothing deliverable.
    static BOOL IsSpent(const _MEDIA_SAMPLE* pRecord) { return pRecord->nLength <= ADTS_HEADER_SIZE; }
};

// Writes the stamp onto a downstream sample; the first failure is returned.
HRESULT ApplySampleInfo(IMediaSample* pSample, const DEMUX_SAMPLE_INFO& info);

// The video pin's delivery state: the record out for delivery and the media time. The lock
// keeps a reset (from the control thread or from the parser's error path) out of a fill.
class CVideoDelivery {
public:
    explicit CVideoDelivery(CDemuxRecords* pRecords) : m_pRecords(pRecords) {}
    CVideoDelivery(const CVideoDelivery&) = delete;
    CVideoDelivery& operator=(const CVideoDelivery&) = delete;

    // S_OK: the next filled record was copied into the sample and stamped; S_FALSE: none
    // was waiting. VFW_E_BUFFER_OVERFLOW: the record did not fit the sample and was dropped.
    // A failure of the sample's own calls is returned as it came.
    HRESULT FillVideoSample(IMediaSample* pSample);
    // Pure form of the fill: copies the record into pbDest and says how to stamp it.
    HRESULT MapRecord(const _MEDIA_SAMPLE* pRecord, BYTE* pbDest, LONG cbDest, DEMUX_SAMPLE_INFO* pInfo);
    // Returns the record out for delivery, emptied, to the free queue; media time 0, step 1.
    void Reset();
    // Nothing filled is waiting: after the parser's end of stream, the pin may send its own.
    BOOL IsDrained();

private:
    CDemuxRecords* const m_pRecords;
    std::mutex m_csOut;
    RECORD_ENTRY* m_pVideoOut = nullptr;
    REFERENCE_TIME m_rtVideoMediaTime = 0;
    REFERENCE_TIME m_rtVideoMediaStop = 0;
    // With a step of one, video media times count samples.
    REFERENCE_TIME m_rtVideoStep = 1;
};

// The audio pin's delivery state: the record being split into frames, the media time (whose
// step is the sampling rate in hertz) and the duration of one AAC frame.
class CAudioDelivery {
public:
    explicit CAudioDelivery(CDemuxRecords* pRecords) : m_pRecords(pRecords) {}
    CAudioDelivery(const CAudioDelivery&) = delete;
    CAudioDelivery& operator=(const CAudioDelivery&) = delete;

    // S_OK: one frame was copied into the sample and stamped; S_FALSE: no filled record
    // holds a whole frame (records without one are returned to the free queue on the way).
    // VFW_E_BUFFER_OVERFLOW: a frame did not fit the sample and was dropped.
    HRESULT FillAudioSample(IMediaSample* pSample);
    // Pure form of the fill: takes the next frame of the record into pbDest. S_FALSE when
    // the record holds no whole frame any more.
    HRESULT MapFrame(_MEDIA_SAMPLE* pRecord, BYTE* pbDest, LONG cbDest, DEMUX_SAMPLE_INFO* pInfo);
    // Returns the record out for delivery, emptied, to the free queue; media time 0. The
    // rate and frame duration stay.
    void Reset();
    // No record is being split and none is waiting.
    BOOL IsDrained();

    // Media-time step = rate, frame duration = 1024 samples in 100-ns units (truncated).
    // E_INVALIDARG for a rate of 0, which would make the duration meaningless.
    HRESULT SetAudioSampleRate(DWORD nRate);
    DWORD GetAudioSampleRate();
    REFERENCE_TIME GetAacFrameDuration();

private:
    CDemuxRecords* const m_pRecords;
    std::mutex m_csOut;
    RECORD_ENTRY* m_pAudioOut = nullptr;
    DWORD m_nAudioRate = 48000;
    REFERENCE_TIME m_rtAacFrame = 213333;
    REFERENCE_TIME m_rtAudioMediaTime = 0;
    REFERENCE_TIME m_rtAudioMediaStop = 0;
    // The sampling rate in hertz taken as a count: audio media times advance by it.
    REFERENCE_TIME m_rtAudioStep = 48000;
};
