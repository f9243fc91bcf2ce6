// The payload records that carry elementary-stream data from the parser to the output pins,
// and the per-stream pools of them. Everything is allocated once, at construction.
#pragma once

#include "demux/cppqueue.h"

#include "plat/types.h"

// One payload record. The data buffer is allocated once by the pool; the record itself has
// no operations.
struct _MEDIA_SAMPLE {
    BYTE* pData;
    // Bytes of payload, counted from pData + nReadPos.
    DWORD nLength;
    // Bytes at the front already delivered (audio only: video records go out whole).
    DWORD nReadPos;
    // Time of the payload's first byte, 100-ns units.
    REFERENCE_TIME rtTime;
    // The stream gave no time for the payload (a program-stream access unit that begins in a
    // packet whose time an earlier unit took): its samples go out without one.
    BOOL bNoTime;
};

using RECORD_ENTRY = QUEUE_ENTRY_CPP<_MEDIA_SAMPLE*>;
using RECORD_QUEUE = CppQueue<_MEDIA_SAMPLE*>;

enum DEMUX_STREAM : int { DEMUX_VIDEO = 0, DEMUX_AUDIO = 1, DEMUX_STREAMS = 2 };

constexpr DWORD DEMUX_RECORDS_PER_STREAM = 90;
// A video record holds what one downstream video sample can (the video pin asks for buffers
// of this size), an audio record a few seconds of AAC.
constexpr DWORD VIDEO_RECORD_SIZE = 0xC0000;
constexpr DWORD AUDIO_RECORD_SIZE = 0x8000;

inline void EmptyRecord(_MEDIA_SAMPLE* pRecord) {
    pRecord->nLength = 0;
    pRecord->nReadPos = 0;
    pRecord->bNoTime = FALSE;
}

// The video and audio pools: records, their entries, and each stream's free and filled
// queue. Entry i always carries record i of its stream; at any moment an entry is in its
// free queue, its filled queue, the parser's open slot or its stream's delivery slot.
class CDemuxRecords {
public:
    // Construction stores E_OUTOFMEMORY in *phr (when it held a success) if any part of the
    // pools cannot be allocated; the object must then only be destroyed.
    explicit CDemuxRecords(HRESULT* phr);
    CDemuxRecords(const CDemuxRecords&) = delete;
    CDemuxRecords& operator=(const CDemuxRecords&) = delete;
    ~CDemuxRecords();

    RECORD_QUEUE* Free(DEMUX_STREAM nStream) const {
        return nStream == DEMUX_VIDEO ? m_pVideoFree : m_pAudioFree;
    }
    RECORD_QUEUE* Filled(DEMUX_STREAM nStream) const {
        return nStream == DEMUX_VIDEO ? m_pVideoFilled : m_pAudioFilled;
    }
    static DWORD RecordSize(DEMUX_STREAM nStream) {
        return nStream == DEMUX_VIDEO ? VIDEO_RECORD_SIZE : AUDIO_RECORD_SIZE;
    }

    // Empties the entry's record and returns it to its stream's free queue.
    void Recycle(DEMUX_STREAM nStream, RECORD_ENTRY* pEntry);
    // Moves every filled record of both streams, emptied, back to the free queues: what a
    // run starts from.
    void RecycleFilled();
    // Wakes a parser waiting for a free record so that it asks its gate again (the filter
    // calls this after it has stopped).
    void WakeWaiters();

private:
    _MEDIA_SAMPLE m_VideoRecords[DEMUX_RECORDS_PER_STREAM] = {};
    RECORD_ENTRY m_VideoEntries[DEMUX_RECORDS_PER_STREAM];
    RECORD_QUEUE* m_pVideoFree = nullptr;
    RECORD_QUEUE* m_pVideoFilled = nullptr;
    _MEDIA_SAMPLE m_AudioRecords[DEMUX_RECORDS_PER_STREAM] = {};
    RECORD_ENTRY m_AudioEntries[DEMUX_RECORDS_PER_STREAM];
    RECORD_QUEUE* m_pAudioFree = nullptr;
    RECORD_QUEUE* m_pAudioFilled = nullptr;
};
