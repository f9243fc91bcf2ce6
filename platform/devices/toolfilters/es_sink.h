// Elementary-stream sinks: a renderer with one input pin that writes what it receives to a file
// (or nowhere), and can log every sample to a shared CSV file. The video sink writes each
// sample's bytes as they come (H.264 in Annex B form); the audio sink writes raw AAC frames
// with an ADTS header in front of each, rebuilt from the connection's media type, so that the
// file plays by itself. Both send EC_COMPLETE at end of stream.
#pragma once

#include "framework/streams.h"

#include <atomic>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>

namespace host {

// One CSV file for every sink of a graph: "stream,index,length,time,media_start,media_stop,sync"
// and a line per sample, in the order the samples arrive.
class SampleLog {
public:
    // Creates or truncates the file and writes the header; null with *pError (an errno) on
    // failure.
    static std::shared_ptr<SampleLog> Open(const std::string& path, int* pError);
    ~SampleLog();
    SampleLog(const SampleLog&) = delete;
    SampleLog& operator=(const SampleLog&) = delete;

    void Write(const char* stream, LONG index, IMediaSample* pSample);
    // Flushes to the file; false (with *pError) when something could not be written.
    bool Flush(int* pError);

private:
    explicit SampleLog(FILE* file) : m_file(file) {}
    std::mutex m_lock;
    FILE* m_file;
    int m_error = 0;
};

enum class EsKind { Video, Audio };

struct EsSinkOptions {
    EsKind kind = EsKind::Video;
    std::string path;                  // empty: the samples are counted, not written
    std::shared_ptr<SampleLog> log;    // null: no log
};

// The seven-byte ADTS header (no CRC) for a raw AAC frame of cbPayload bytes described by a
// two-byte AudioSpecificConfig. False when the frame is too long for ADTS or the configuration
// names no ADTS profile.
bool BuildAdtsHeader(const BYTE config[2], DWORD cbPayload, BYTE header[7]);

class CEsSinkPin;

class CEsSink : public CBaseFilter {
public:
    // Opens the output file (created or truncated). On failure *pError holds the errno. The
    // sink comes with one reference.
    static HRESULT Create(const EsSinkOptions& options, CEsSink** ppSink, int* pError);

    int GetPinCount() override;
    CBasePin* GetPin(int n) override;

    LONG Samples() const { return m_lSamples; }
    ULONGLONG Bytes() const { return m_cbPayload; }
    bool EndOfStreamSeen() const { return m_bEndOfStream; }

private:
    friend class CEsSinkPin;
    CEsSink(const EsSinkOptions& options, FILE* file, std::unique_ptr<char[]> buffer);
    ~CEsSink() override;

    // Writes one sample; a write failure is reported to the graph as EC_ERRORABORT.
    HRESULT Write(IMediaSample* pSample);
    HRESULT OnEndOfStream();
    HRESULT FlushFile();

    CCritSec m_csFilter;
    const EsSinkOptions m_options;
    FILE* const m_file;
    // The file's stdio buffer: the C library takes a size only together with the memory.
    std::unique_ptr<char[]> m_buffer;
    CEsSinkPin* m_pPin = nullptr;
    std::atomic<LONG> m_lSamples{0};
    std::atomic<ULONGLONG> m_cbPayload{0};
    std::atomic<bool> m_bEndOfStream{false};
    bool m_bFailed = false;
};

} // namespace host
