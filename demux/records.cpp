#include "demux/records.h"

#include <new>

namespace {

void Fail(HRESULT* phr) {
    if (phr && SUCCEEDED(*phr)) *phr = E_OUTOFMEMORY;
}

// Gives each record its buffer and puts its entry into the free queue, in index order.
BOOL FillPool(_MEDIA_SAMPLE* pRecords, RECORD_ENTRY* pEntries, RECORD_QUEUE* pFree, DWORD cbRecord) {
    for (DWORD i = 0; i < DEMUX_RECORDS_PER_STREAM; i++) {
        pRecords[i].pData = new (std::nothrow) BYTE[cbRecord];
        if (!pRecords[i].pData) return FALSE;
        EmptyRecord(&pRecords[i]);
        pRecords[i].rtTime = 0;
        pRecords[i].bNoTime = FALSE;
        pEntries[i].pData = &pRecords[i];
        pFree->PushTail(&pEntries[i]);
    }
    return TRUE;
}

} // namespace

CDemuxRecords::CDemuxRecords(HRESULT* phr) {
    // The queues never release what they carry: the records and their buffers are ours.
    m_pVideoFree = new (std::nothrow) RECORD_QUEUE(CPPOBJECT_LOCK, nullptr);
    m_pVideoFilled = new (std::nothrow) RECORD_QUEUE(CPPOBJECT_LOCK, nullptr);
    m_pAudioFree = new (std::nothrow) RECORD_QUEUE(CPPOBJECT_LOCK, nullptr);
    m_pAudioFilled = new (std::nothrow) RECORD_QUEUE(CPPOBJECT_LOCK, nullptr);
    if (!m_pVideoFree || !m_pVideoFilled || !m_pAudioFree || !m_pAudioFilled) {
        Fail(phr);
        return;
    }
    if (!FillPool(m_VideoRecords, m_VideoEntries, m_pVideoFree, VIDEO_RECORD_SIZE) ||
        !FillPool(m_AudioRecords, m_AudioEntries, m_pAudioFree, AUDIO_RECORD_SIZE)) {
        Fail(phr);
    }
}

CDemuxRecords::~CDemuxRecords() {
    delete m_pVideoFree;
    delete m_pVideoFilled;
    delete m_pAudioFree;
    delete m_pAudioFilled;
    for (DWORD i = 0; i < DEMUX_RECORDS_PER_STREAM; i++) {
        delete[] m_VideoRecords[i].pData;
        delete[] m_AudioRecords[i].pData;
    }
}

void CDemuxRecords::Recycle(DEMUX_STREAM nStream, RECORD_ENTRY* pEntry) {
    if (!pEntry) return;
    EmptyRecord(pEntry->pData);
    // At the front, so the next record begun is the one just delivered, still in the cache:
    // the pool then touches only as many records as are in flight.
    Free(nStream)->PushHead(pEntry);
}

void CDemuxRecords::RecycleFilled() {
    for (DEMUX_STREAM nStream : {DEMUX_VIDEO, DEMUX_AUDIO}) {
        while (RECORD_ENTRY* pEntry = Filled(nStream)->PopHead()) {
            Recycle(nStream, pEntry);
        }
    }
}

void CDemuxRecords::WakeWaiters() {
    if (m_pVideoFree) m_pVideoFree->WakeWaiters();
    if (m_pAudioFree) m_pAudioFree->WakeWaiters();
}
