#include "es_sink.h"

#include <cerrno>
#include <cinttypes>
#include <cstring>
#include <new>

namespace host {
namespace {

YRA_DEFINE_GUID(CLSID_YraEsSink, 0x7C1E52A0, 0x6B1D, 0x4E0F, 0x8A, 0x3C, 0x2F, 0x90, 0x4D, 0x11, 0x6E, 0x02);

constexpr size_t kFileBuffer = 1 << 20;
constexpr DWORD kAdtsHeader = 7;
constexpr DWORD kAdtsMaxFrame = 0x1FFF;

HRESULT WriteFailure(int error) {
    // A file-size limit (EFBIG) stops the output as a full disk does.
    return error == ENOSPC || error == EFBIG ? HRESULT_FROM_WIN32(ERROR_HANDLE_DISK_FULL)
                                             : HRESULT_FROM_WIN32(ERROR_WRITE_FAULT);
}

// The AudioSpecificConfig a WAVEFORMATEX carries in its extra bytes, or one made from its rate
// and channels (AAC LC) when it carries none.
void ConfigFromWaveFormat(const BYTE* pbFormat, ULONG cbFormat, BYTE config[2]) {
    WAVEFORMATEX wfx{};
    std::memcpy(&wfx, pbFormat, sizeof(wfx));
    if (wfx.cbSize >= 2 && cbFormat >= sizeof(WAVEFORMATEX) + 2) {
        std::memcpy(config, pbFormat + sizeof(WAVEFORMATEX), 2);
        return;
    }
    static const DWORD kRates[] = {96000, 88200, 64000, 48000, 44100, 32000, 24000, 22050, 16000, 12000, 11025, 8000};
    DWORD index = 3;
    for (DWORD i = 0; i < ARRAYSIZE(kRates); ++i) {
        if (kRates[i] == wfx.nSamplesPerSec) index = i;
    }
    DWORD channels = wfx.nChannels >= 1 && wfx.nChannels <= 7 ? wfx.nChannels : 2;
    config[0] = static_cast<BYTE>((2 << 3) | (index >> 1));
    config[1] = static_cast<BYTE>(((index & 1) << 7) | (channels << 3));
}

} // namespace

bool BuildAdtsHeader(const BYTE config[2], DWORD cbPayload, BYTE header[7]) {
    DWORD objectType = config[0] >> 3;
    DWORD frequency = ((config[0] & 7) << 1) | (config[1] >> 7);
    DWORD channels = (config[1] >> 3) & 0x0F;
    DWORD cbFrame = cbPayload + kAdtsHeader;
    // ADTS carries the profile in two bits (object types 1 to 4) and the length in thirteen.
    if (objectType < 1 || objectType > 4 || cbPayload > kAdtsMaxFrame - kAdtsHeader || channels > 7) return false;
    DWORD profile = objectType - 1;
    header[0] = 0xFF;
    header[1] = 0xF1; // MPEG-4, layer 0, no CRC
    header[2] = static_cast<BYTE>((profile << 6) | (frequency << 2) | (channels >> 2));
    header[3] = static_cast<BYTE>(((channels & 3) << 6) | (cbFrame >> 11));
    header[4] = static_cast<BYTE>(cbFrame >> 3);
    header[5] = static_cast<BYTE>(((cbFrame & 7) << 5) | 0x1F); // buffer fullness 0x7FF: variable rate
    header[6] = 0xFC;
    return true;
}

// ---- the sample log ------------------------------------------------------------------------------

std::shared_ptr<SampleLog> SampleLog::Open(const std::string& path, int* pError) {
    FILE* file = std::fopen(path.c_str(), "w");
    if (!file) {
        if (pError) *pError = errno;
        return nullptr;
    }
    std::fputs("stream,index,length,time,media_start,media_stop,sync\n", file);
    return std::shared_ptr<SampleLog>(new SampleLog(file));
}

SampleLog::~SampleLog() { std::fclose(m_file); }

void SampleLog::Write(const char* stream, LONG index, IMediaSample* pSample) {
    REFERENCE_TIME start = 0, stop = 0;
    LONGLONG mediaStart = 0, mediaStop = 0;
    bool bTime = SUCCEEDED(pSample->GetTime(&start, &stop));
    bool bMediaTime = SUCCEEDED(pSample->GetMediaTime(&mediaStart, &mediaStop));
    char time[24] = "";
    char media[48] = ",";
    if (bTime) std::snprintf(time, sizeof(time), "%" PRId64, static_cast<int64_t>(start));
    if (bMediaTime) {
        std::snprintf(media, sizeof(media), "%" PRId64 ",%" PRId64, static_cast<int64_t>(mediaStart),
                      static_cast<int64_t>(mediaStop));
    }
    std::lock_guard<std::mutex> hold(m_lock);
    if (std::fprintf(m_file, "%s,%d,%d,%s,%s,%d\n", stream, static_cast<int>(index),
                     static_cast<int>(pSample->GetActualDataLength()), time, media,
                     pSample->IsSyncPoint() == S_OK ? 1 : 0) < 0 &&
        m_error == 0) {
        m_error = errno ? errno : EIO;
    }
}

bool SampleLog::Flush(int* pError) {
    std::lock_guard<std::mutex> hold(m_lock);
    if (std::fflush(m_file) != 0 && m_error == 0) m_error = errno ? errno : EIO;
    if (m_error && pError) *pError = m_error;
    return m_error == 0;
}

// ---- the sink ---------------------------------------------------------------------------------------

class CEsSinkPin : public CBaseInputPin {
public:
    CEsSinkPin(CEsSink* pSink, HRESULT* phr)
        : CBaseInputPin(u"Elementary stream sink pin", pSink, &pSink->m_csFilter, phr, u"In"), m_pSink(pSink) {}

    HRESULT CheckMediaType(const CMediaType* pmt) override {
        if (m_pSink->m_options.kind == EsKind::Video) return *pmt->Type() == MEDIATYPE_Video ? S_OK : S_FALSE;
        if (*pmt->Type() != MEDIATYPE_Audio || *pmt->FormatType() != FORMAT_WaveFormatEx ||
            pmt->FormatLength() < sizeof(WAVEFORMATEX) || !pmt->Format()) {
            return S_FALSE;
        }
        return S_OK;
    }

    HRESULT SetMediaType(const CMediaType* pmt) override {
        HRESULT hr = CBaseInputPin::SetMediaType(pmt);
        if (FAILED(hr)) return hr;
        if (m_pSink->m_options.kind == EsKind::Audio) ConfigFromWaveFormat(pmt->Format(), pmt->FormatLength(), m_config);
        return S_OK;
    }

    HRESULT Receive(IMediaSample* pSample) override {
        HRESULT hr = CBaseInputPin::Receive(pSample);
        if (hr != S_OK) return hr;
        return m_pSink->Write(pSample);
    }

    HRESULT EndOfStream() override {
        // A stopped sink has nothing to complete.
        if (IsStopped()) return VFW_E_WRONG_STATE;
        return m_pSink->OnEndOfStream();
    }

    HRESULT Inactive() override {
        m_pSink->FlushFile();
        return CBaseInputPin::Inactive();
    }

    BYTE m_config[2] = {0x11, 0x90};

private:
    CEsSink* const m_pSink;
};

CEsSink::CEsSink(const EsSinkOptions& options, FILE* file, std::unique_ptr<char[]> buffer)
    : CBaseFilter(u"Elementary stream sink", nullptr, &m_csFilter, CLSID_YraEsSink), m_options(options), m_file(file),
      m_buffer(std::move(buffer)) {
    HRESULT hr = S_OK;
    m_pPin = new (std::nothrow) CEsSinkPin(this, &hr);
}

CEsSink::~CEsSink() {
    delete m_pPin;
    if (m_file) std::fclose(m_file);
}

HRESULT CEsSink::Create(const EsSinkOptions& options, CEsSink** ppSink, int* pError) {
    if (!ppSink) return E_POINTER;
    *ppSink = nullptr;
    FILE* file = nullptr;
    std::unique_ptr<char[]> buffer;
    if (!options.path.empty()) {
        file = std::fopen(options.path.c_str(), "wb");
        if (!file) {
            int error = errno;
            if (pError) *pError = error;
            return error == EACCES || error == EPERM ? E_ACCESSDENIED : HRESULT_FROM_WIN32(ERROR_WRITE_FAULT);
        }
        // Samples become few large writes; without the memory the file keeps stdio's own buffer.
        buffer.reset(new (std::nothrow) char[kFileBuffer]);
        if (buffer) std::setvbuf(file, buffer.get(), _IOFBF, kFileBuffer);
    }
    auto* pSink = new (std::nothrow) CEsSink(options, file, std::move(buffer));
    if (!pSink || !pSink->m_pPin) {
        if (pSink) {
            delete pSink;
        } else if (file) {
            std::fclose(file);
        }
        return E_OUTOFMEMORY;
    }
    pSink->AddRef();
    *ppSink = pSink;
    return S_OK;
}

int CEsSink::GetPinCount() { return 1; }

CBasePin* CEsSink::GetPin(int n) { return n == 0 ? m_pPin : nullptr; }

HRESULT CEsSink::Write(IMediaSample* pSample) {
    BYTE* pData = nullptr;
    HRESULT hr = pSample->GetPointer(&pData);
    if (FAILED(hr)) return hr;
    const LONG cb = pSample->GetActualDataLength();
    if (cb < 0) return E_UNEXPECTED;
    const bool bVideo = m_options.kind == EsKind::Video;
    const LONG index = m_lSamples;
    if (m_file && !m_bFailed) {
        bool bWritten = true;
        if (!bVideo) {
            BYTE header[kAdtsHeader];
            if (!BuildAdtsHeader(m_pPin->m_config, static_cast<DWORD>(cb), header)) return E_INVALIDARG;
            bWritten = std::fwrite(header, 1, sizeof(header), m_file) == sizeof(header);
        }
        if (bWritten && cb > 0) bWritten = std::fwrite(pData, 1, static_cast<size_t>(cb), m_file) == static_cast<size_t>(cb);
        if (!bWritten) {
            // Reported once; the graph's owner decides to stop.
            m_bFailed = true;
            hr = WriteFailure(errno);
            NotifyEvent(EC_ERRORABORT, hr, 0);
            return hr;
        }
    }
    if (m_options.log) m_options.log->Write(bVideo ? "video" : "audio", index, pSample);
    m_cbPayload += static_cast<ULONGLONG>(cb);
    ++m_lSamples;
    return S_OK;
}

HRESULT CEsSink::FlushFile() {
    int error = 0;
    if (m_file && std::fflush(m_file) != 0) error = errno ? errno : EIO;
    if (m_options.log && !m_options.log->Flush(&error) && error == 0) error = EIO;
    return error ? WriteFailure(error) : S_OK;
}

HRESULT CEsSink::OnEndOfStream() {
    HRESULT hr = FlushFile();
    if (FAILED(hr) && !m_bFailed) {
        m_bFailed = true;
        NotifyEvent(EC_ERRORABORT, hr, 0);
        return hr;
    }
    m_bEndOfStream = true;
    NotifyEvent(EC_COMPLETE, S_OK, 0);
    return S_OK;
}

} // namespace host
