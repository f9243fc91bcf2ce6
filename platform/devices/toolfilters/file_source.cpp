#include "file_source.h"

#include "plat/ks.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace host {
namespace {

YRA_DEFINE_GUID(CLSID_YraFileSource, 0x7C1E52A0, 0x6B1D, 0x4E0F, 0x8A, 0x3C, 0x2F, 0x90, 0x4D, 0x11, 0x6E, 0x01);

enum Command : DWORD { CMD_RUN = 1, CMD_EXIT = 2 };

constexpr DWORD kEncoderAudio = 11;
constexpr DWORD kEncoderAudioBytes = 68;
constexpr DWORD kRateCodeOffset = 8;
// Enough of the head to find the first audio packet of an ordinary stream.
constexpr size_t kProbeBytes = 4 << 20;

HRESULT ResultFromErrno(int error) {
    switch (error) {
    case ENOENT:
    case ENOTDIR: return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
    case EACCES:
    case EPERM: return E_ACCESSDENIED;
    default: return HRESULT_FROM_WIN32(ERROR_READ_FAULT);
    }
}

// Reads up to cb bytes at the current position; fewer only at the end of the file.
ssize_t ReadFully(int fd, BYTE* p, size_t cb) {
    size_t done = 0;
    while (done < cb) {
        ssize_t n = ::read(fd, p + done, cb - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return -1;
        if (n == 0) break;
        done += static_cast<size_t>(n);
    }
    return static_cast<ssize_t>(done);
}

// Why a file that is not a regular one cannot be read as a stream.
std::string NotARegularFile(mode_t mode) {
    if (S_ISDIR(mode)) return "it is a directory";
    if (S_ISFIFO(mode))
        return "it is a FIFO (named pipe), not a regular file; save the stream to a file first";
    if (S_ISCHR(mode)) return "it is a character device, not a regular file";
    if (S_ISBLK(mode)) return "it is a block device, not a regular file";
    if (S_ISSOCK(mode)) return "it is a socket, not a regular file";
    return "it is not a regular file";
}

} // namespace

class CFileSourcePin : public CAMThread, public CBaseOutputPin {
public:
    CFileSourcePin(CFileSource* pFilter, HRESULT* phr)
        : CBaseOutputPin(u"File source pin", pFilter, &pFilter->m_csFilter, phr, u"Out"), m_pSource(pFilter) {}

    ~CFileSourcePin() override {
        if (ThreadExists()) CallWorker(CMD_EXIT);
        Close();
    }

    HRESULT CheckMediaType(const CMediaType* pmt) override {
        return (*pmt->Type() == MEDIATYPE_Stream && *pmt->Subtype() == m_pSource->m_probe.subtype) ? S_OK : S_FALSE;
    }

    HRESULT GetMediaType(int iPosition, CMediaType* pmt) override {
        if (iPosition != 0) return S_FALSE;
        pmt->SetType(&MEDIATYPE_Stream);
        pmt->SetSubtype(&m_pSource->m_probe.subtype);
        pmt->SetFormatType(&FORMAT_None);
        pmt->SetVariableSize();
        return S_OK;
    }

    HRESULT DecideBufferSize(IMemAllocator* pAlloc, ALLOCATOR_PROPERTIES* pRequest) override {
        pRequest->cBuffers = m_pSource->m_options.cBuffers;
        pRequest->cbBuffer = m_pSource->m_options.cbChunk;
        ALLOCATOR_PROPERTIES actual{};
        HRESULT hr = pAlloc->SetProperties(pRequest, &actual);
        if (FAILED(hr)) return hr;
        return (actual.cBuffers < pRequest->cBuffers || actual.cbBuffer < pRequest->cbBuffer) ? E_INVALIDARG : S_OK;
    }

    HRESULT Active() override {
        HRESULT hr = CBaseOutputPin::Active();
        if (FAILED(hr)) return hr;
        m_cbDelivered = 0;
        m_lDelivered = 0;
        m_lRefused = 0;
        m_bEndOfStream = false;
        if (Create()) return S_OK;
        m_pAllocator->Decommit();
        return E_FAIL;
    }

    HRESULT Run(REFERENCE_TIME) override {
        return ThreadExists() ? static_cast<HRESULT>(CallWorker(CMD_RUN)) : S_OK;
    }

    HRESULT Inactive() override {
        // Decommitting first wakes a worker waiting for a buffer, so it hears the exit.
        if (m_pAllocator) m_pAllocator->Decommit();
        if (ThreadExists()) {
            CallWorker(CMD_EXIT);
            Close();
        }
        return CBaseOutputPin::Inactive();
    }

    DWORD ThreadProc() override {
        bool bStarted = false;
        for (;;) {
            DWORD cmd = GetRequest();
            Reply(S_OK);
            if (cmd == CMD_EXIT) return 0;
            // A run after a pause goes on where delivery stopped; only a new activation
            // starts the file again.
            if (cmd == CMD_RUN && !bStarted) {
                bStarted = true;
                if (Stream()) return 0;
            }
        }
    }

    std::atomic<ULONGLONG> m_cbDelivered{0};
    std::atomic<LONG> m_lDelivered{0};
    std::atomic<LONG> m_lRefused{0};
    std::atomic<bool> m_bEndOfStream{false};

private:
    // Delivers the file from its first stream byte; true when told to exit on the way.
    bool Stream() {
        const int fd = m_pSource->m_fd;
        if (::lseek(fd, static_cast<off_t>(m_pSource->m_probe.offset), SEEK_SET) < 0) {
            m_pSource->NotifyEvent(EC_ERRORABORT, ResultFromErrno(errno), 0);
            return false;
        }
        for (;;) {
            DWORD cmd = 0;
            if (CheckRequest(&cmd)) {
                Reply(S_OK);
                if (cmd == CMD_EXIT) return true;
            }
            IMediaSample* pSample = nullptr;
            // Waits while downstream holds every buffer; fails once the pin is decommitted.
            if (FAILED(GetDeliveryBuffer(&pSample, nullptr, nullptr, 0))) return false;
            BYTE* pData = nullptr;
            HRESULT hrPointer = pSample->GetPointer(&pData);
            if (FAILED(hrPointer) || !pData) {
                pSample->Release();
                m_pSource->NotifyEvent(EC_ERRORABORT, FAILED(hrPointer) ? hrPointer : E_POINTER, 0);
                return false;
            }
            ssize_t cb = ReadFully(fd, pData, static_cast<size_t>(pSample->GetSize()));
            if (cb <= 0) {
                pSample->Release();
                if (cb < 0) {
                    m_pSource->NotifyEvent(EC_ERRORABORT, ResultFromErrno(errno), 0);
                    return false;
                }
                break;
            }
            pSample->SetActualDataLength(static_cast<LONG>(cb));
            pSample->SetTime(nullptr, nullptr);
            pSample->SetPreroll(FALSE);
            HRESULT hr = Deliver(pSample);
            pSample->Release();
            if (FAILED(hr)) {
                // Downstream cannot go on; a stopping graph refuses samples as well, and then
                // nobody is waiting for the news.
                if (!m_pSource->IsStopped()) m_pSource->NotifyEvent(EC_ERRORABORT, hr, 0);
                return false;
            }
            if (hr == S_FALSE) ++m_lRefused;
            ++m_lDelivered;
            m_cbDelivered += static_cast<ULONGLONG>(cb);
        }
        DeliverEndOfStream();
        m_bEndOfStream = true;
        return false;
    }

    CFileSource* const m_pSource;
};

CFileSource::CFileSource(int fd, ULONGLONG cbFile, const StreamProbe& probe, const FileSourceOptions& options)
    : CBaseFilter(u"File source", nullptr, &m_csFilter, CLSID_YraFileSource), m_fd(fd), m_cbFile(cbFile),
      m_probe(probe), m_options(options) {
    HRESULT hr = S_OK;
    m_pPin = new (std::nothrow) CFileSourcePin(this, &hr);
}

CFileSource::~CFileSource() {
    delete m_pPin;
    ::close(m_fd);
}

HRESULT CFileSource::Create(const std::string& path, const FileSourceOptions& options, CFileSource** ppSource,
                            std::string* pWhy) {
    if (!ppSource) return E_POINTER;
    *ppSource = nullptr;
    auto why = [&](const std::string& text) {
        if (pWhy) *pWhy = text;
    };
    if (options.cbChunk < 1 || options.cBuffers < 1) {
        why("the sample size must be at least 1 byte");
        return E_INVALIDARG;
    }
    // Not blocking: opening a FIFO would otherwise wait for a writer before it can be refused.
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        int error = errno;
        why(std::strerror(error));
        return ResultFromErrno(error);
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        int error = errno;
        ::close(fd);
        why(std::strerror(error));
        return ResultFromErrno(error);
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        why(NotARegularFile(st.st_mode));
        return HRESULT_FROM_WIN32(ERROR_READ_FAULT);
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    std::vector<uint8_t> head(static_cast<size_t>(std::min<off_t>(st.st_size, kProbeBytes)));
    ssize_t cbHead = ReadFully(fd, head.data(), head.size());
    if (cbHead < 0) {
        int error = errno;
        ::close(fd);
        why(std::strerror(error));
        return ResultFromErrno(error);
    }
    StreamProbe probe = ProbeStream(head.data(), static_cast<size_t>(cbHead));
    if (probe.timecodedPackets) {
        ::close(fd);
        why("it holds 192-byte packets (a 4-byte time code before each 188-byte transport packet); "
            "only plain 188-byte transport packets can be read");
        return VFW_E_INVALID_FILE_FORMAT;
    }
    if (probe.subtype == GUID_NULL) {
        ::close(fd);
        why(st.st_size == 0 ? "the file is empty" : "neither an MPEG-2 transport stream nor a program stream");
        return VFW_E_INVALID_FILE_FORMAT;
    }
    auto* pSource = new (std::nothrow) CFileSource(fd, static_cast<ULONGLONG>(st.st_size), probe, options);
    if (!pSource) {
        ::close(fd);
        return E_OUTOFMEMORY;
    }
    if (!pSource->m_pPin) {
        delete pSource;
        return E_OUTOFMEMORY;
    }
    pSource->AddRef();
    *ppSource = pSource;
    return S_OK;
}

HRESULT CFileSource::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (riid == IID_IKsPropertySet) return GetInterface(static_cast<IKsPropertySet*>(this), ppv);
    return CBaseFilter::NonDelegatingQueryInterface(riid, ppv);
}

int CFileSource::GetPinCount() { return 1; }

CBasePin* CFileSource::GetPin(int n) { return n == 0 ? m_pPin : nullptr; }

HRESULT CFileSource::Set(REFGUID, DWORD, LPVOID, DWORD, LPVOID, DWORD) { return E_PROP_ID_UNSUPPORTED; }

HRESULT CFileSource::QuerySupported(REFGUID guidPropSet, DWORD dwPropID, DWORD* pTypeSupport) {
    if (guidPropSet != PROPSETID_HDC_ENCODER) return E_PROP_SET_UNSUPPORTED;
    if (dwPropID != kEncoderAudio || DeviceRateCode(m_probe.audioRate) < 0) return E_PROP_ID_UNSUPPORTED;
    if (pTypeSupport) *pTypeSupport = KSPROPERTY_SUPPORT_GET;
    return S_OK;
}

HRESULT CFileSource::Get(REFGUID guidPropSet, DWORD dwPropID, LPVOID, DWORD, LPVOID pPropData, DWORD cbPropData,
                         DWORD* pcbReturned) {
    HRESULT hr = QuerySupported(guidPropSet, dwPropID, nullptr);
    if (FAILED(hr)) return hr;
    if (pcbReturned) *pcbReturned = kEncoderAudioBytes;
    if (!pPropData || cbPropData < kEncoderAudioBytes) return HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
    std::memset(pPropData, 0, kEncoderAudioBytes);
    auto nCode = static_cast<DWORD>(DeviceRateCode(m_probe.audioRate));
    std::memcpy(static_cast<BYTE*>(pPropData) + kRateCodeOffset, &nCode, sizeof(nCode));
    return S_OK;
}

ULONGLONG CFileSource::BytesDelivered() const { return m_pPin->m_cbDelivered; }

LONG CFileSource::SamplesDelivered() const { return m_pPin->m_lDelivered; }

LONG CFileSource::SamplesRefused() const { return m_pPin->m_lRefused; }

bool CFileSource::EndOfStreamSent() const { return m_pPin->m_bEndOfStream; }

} // namespace host
