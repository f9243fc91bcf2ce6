// A source filter that delivers a file in samples of a chosen size: one output pin offering an
// MPEG-2 transport or program stream (which one is read from the file's first bytes). Delivery
// starts when the filter runs, waits whenever downstream has no free buffer, and ends with end
// of stream. Like the capture device, the filter answers the encoder property set's audio
// property with the sampling rate of the file's AAC stream, so a demultiplexer types its audio
// output to match the file.
#pragma once

#include "framework/streams.h"
#include "plat/ks.h"
#include "stream_probe.h"

#include <atomic>
#include <string>

namespace host {

struct FileSourceOptions {
    LONG cbChunk = 65536; // bytes per sample
    LONG cBuffers = 2;    // samples in flight
};

class CFileSourcePin;

class CFileSource : public CBaseFilter, public IKsPropertySet {
public:
    // Opens the file and looks at its head. Failures: HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND),
    // E_ACCESSDENIED, HRESULT_FROM_WIN32(ERROR_READ_FAULT) for anything but a regular file (a
    // FIFO is refused without waiting for a writer) and any other read failure,
    // VFW_E_INVALID_FILE_FORMAT when the file is neither stream or holds 192-byte packets;
    // *pWhy says it in words.
    // E_INVALIDARG for a chunk size below 1. The filter comes with one reference.
    static HRESULT Create(const std::string& path, const FileSourceOptions& options, CFileSource** ppSource,
                          std::string* pWhy);

    DECLARE_IUNKNOWN
    HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

    int GetPinCount() override;
    CBasePin* GetPin(int n) override;

    // IKsPropertySet: the encoder set's audio property (sampling-rate code at byte 8), when the
    // file's audio rate has a code; everything else is unsupported.
    HRESULT Set(REFGUID guidPropSet, DWORD dwPropID, LPVOID pInstanceData, DWORD cbInstanceData,
                LPVOID pPropData, DWORD cbPropData) override;
    HRESULT Get(REFGUID guidPropSet, DWORD dwPropID, LPVOID pInstanceData, DWORD cbInstanceData,
                LPVOID pPropData, DWORD cbPropData, DWORD* pcbReturned) override;
    HRESULT QuerySupported(REFGUID guidPropSet, DWORD dwPropID, DWORD* pTypeSupport) override;

    const StreamProbe& Probe() const { return m_probe; }
    ULONGLONG FileSize() const { return m_cbFile; }
    // Progress of the current run, readable from any thread.
    ULONGLONG BytesDelivered() const;
    LONG SamplesDelivered() const;
    // Samples downstream answered with S_FALSE (the demultiplexer's parse errors).
    LONG SamplesRefused() const;
    bool EndOfStreamSent() const;

private:
    friend class CFileSourcePin;
    CFileSource(int fd, ULONGLONG cbFile, const StreamProbe& probe, const FileSourceOptions& options);
    ~CFileSource() override;

    CCritSec m_csFilter;
    const int m_fd;
    const ULONGLONG m_cbFile;
    const StreamProbe m_probe;
    const FileSourceOptions m_options;
    CFileSourcePin* m_pPin = nullptr;
};

} // namespace host
