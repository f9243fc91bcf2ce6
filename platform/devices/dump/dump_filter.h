// The dump filter (CLSID_YRA_HD_Capture_Dump): one input pin that takes any stream, and a file
// named through IFileSinkFilter. The file is created (or emptied) when the graph leaves the
// stopped state, every byte of every sample goes into it in order, and it is flushed and closed
// at stop. A failure to create or write it is sent to the graph as EC_ERRORABORT with the error,
// and every later sample of the run is refused with that error.
#pragma once

#include "framework/streams.h"
#include "platform/devices/dump/buffered_file.h"

#include <memory>
#include <mutex>
#include <string>

namespace host {

class CDumpInputPin;

class CDumpFilter final : public CBaseFilter, public IFileSinkFilter {
public:
    static HRESULT CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppv);

    DECLARE_IUNKNOWN
    HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

    int GetPinCount() override;
    CBasePin* GetPin(int n) override;

    HRESULT Stop() override;
    HRESULT Pause() override;

    // IFileSinkFilter
    HRESULT SetFileName(LPCOLESTR pszFileName, const AM_MEDIA_TYPE* pmt) override;
    HRESULT GetCurFile(LPOLESTR* ppszFileName, AM_MEDIA_TYPE* pmt) override;

    // The input pin's streaming thread: writes a sample, or answers why not.
    HRESULT WriteSample(IMediaSample* pSample);
    HRESULT CompleteStream();

private:
    CDumpFilter(LPUNKNOWN pUnk, HRESULT* phr);
    ~CDumpFilter() override;

    HRESULT OpenFile();
    HRESULT CloseFile();
    // Sends the run's first write failure to the graph; later ones are the same story.
    void RaiseWriteError(HRESULT hr);

    CCritSec m_csFilter;
    std::unique_ptr<CDumpInputPin> m_pPin;
    std::u16string m_fileName; // under m_csFilter

    std::mutex m_writeLock; // the file and the run's write result; taken inside m_csFilter
    BufferedFile m_file;
    HRESULT m_hrWrite = S_OK;
};

} // namespace host
