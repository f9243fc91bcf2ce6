// The settings dialog's tables and the rules that derive the encode resolutions from the input.
#include "resolution_tables.h"

#include <cstdio>
#include <cstring>

const RESOLUTION_ENTRY g_InputResolutionTable[INPUT_RESOLUTION_COUNT] = {
    {0, 0, 0, 0, 0, "Unknown Resolution"},
    {1, 0, 0, 0, 0, "No HDMI Signal"},
    {2, 640, 480, 60, 1, "640 x 480 60P"},
    {3, 720, 480, 60, 1, "720 x 480 60P"},
    {4, 720, 576, 50, 1, "720 x 576 50P"},
    {5, 800, 600, 60, 1, "800 x 600 60P"},
    {6, 1024, 768, 60, 1, "1024 x 768 60P"},
    {7, 1280, 720, 50, 1, "1280 x 720 50P"},
    {8, 1280, 720, 60, 1, "1280 x 720 60P"},
    {9, 1280, 768, 60, 1, "1280 x 768 60P"},
    {10, 1280, 800, 60, 1, "1280 x 800 60P"},
    {11, 1280, 1024, 60, 1, "1280 x 1024 60P"},
    {12, 1360, 768, 60, 1, "1360 x 768 60P"},
    {13, 1440, 900, 60, 1, "1440 x 900 60P"},
    {14, 1680, 1050, 60, 1, "1680 x 1050 60P"},
    {15, 1920, 1080, 50, 0, "1920 x 1080 50I"},
    {16, 1920, 1080, 60, 0, "1920 x 1080 60I"},
    {17, 1920, 1080, 24, 1, "1920 x 1080 24P"},
    {18, 1920, 1080, 25, 1, "1920 x 1080 25P"},
    {19, 1920, 1080, 30, 1, "1920 x 1080 30P"},
    {20, 1920, 1080, 50, 1, "1920 x 1080 50P"},
    {21, 1920, 1080, 60, 1, "1920 x 1080 60P"},
};

ENCODE_RESOLUTION_LIST g_EncodeResolutionList;

const LPCWSTR g_SampleRateNames[SAMPLE_RATE_COUNT] = {u"44.1 KHz", u"48 KHz"};

const BIT_RATE_ENTRY g_BitRateTable[BIT_RATE_COUNT] = {
    {u" 1000 kbps", 1000}, {u" 3000 kbps", 3000}, {u" 5000 kbps", 5000},   {u" 7000 kbps", 7000},
    {u" 9000 kbps", 9000}, {u"10000 kbps", 10000}, {u"20000 kbps", 20000}, {u"30000 kbps", 30000},
};

namespace {

// The encoder's own frame-rate ceiling for its larger pictures.
int CapEncodeRate(int nWidth, int nHeight, int nRate) {
    struct Cap {
        int nWidth, nHeight, nMaxRate;
    };
    static const Cap kCaps[] = {
        {1920, 1080, 30}, {1680, 1050, 30}, {1440, 900, 30}, {1360, 768, 50}, {1280, 1024, 30},
    };
    for (const Cap& cap : kCaps)
        if (nWidth == cap.nWidth && nHeight == cap.nHeight && nRate > cap.nMaxRate) return cap.nMaxRate;
    return nRate;
}

bool AlreadyListed(const ENCODE_RESOLUTION_LIST& list, int nWidth, int nHeight, int nRate) {
    for (int i = 0; i < list.nCount; ++i) {
        const RESOLUTION_ENTRY& e = list.entries[i];
        if (e.nWidth == nWidth && e.nHeight == nHeight && e.nFrameRate == nRate) return true;
    }
    return false;
}

} // namespace

void BuildEncodeResolutionList(int nInputRow, ENCODE_RESOLUTION_LIST* list) {
    std::memset(list, 0, sizeof(*list));
    // Only a real video mode limits the encoder; "unknown", "no signal" and no selection do not.
    bool bFiltered = nInputRow >= 2 && nInputRow < INPUT_RESOLUTION_COUNT;
    const RESOLUTION_ENTRY* pInput = bFiltered ? &g_InputResolutionTable[nInputRow] : nullptr;
    // An interlaced input delivers half its field rate as whole frames.
    int nRateLimit = pInput ? (pInput->bProgressive ? pInput->nFrameRate : pInput->nFrameRate / 2) : 0;

    for (const RESOLUTION_ENTRY& row : g_InputResolutionTable) {
        if (row.nWidth <= 0 || row.nHeight <= 0 || row.nFrameRate <= 0 || !row.bProgressive) continue;
        if (pInput && (row.nWidth > pInput->nWidth || row.nHeight > pInput->nHeight)) continue;
        int nRate = row.nFrameRate;
        if (pInput && nRateLimit < nRate) nRate = nRateLimit;
        nRate = CapEncodeRate(row.nWidth, row.nHeight, nRate);
        if (AlreadyListed(*list, row.nWidth, row.nHeight, nRate)) continue;
        if (list->nCount >= ENCODE_RESOLUTION_MAX) break;

        RESOLUTION_ENTRY& entry = list->entries[list->nCount];
        entry.nIndex = list->nCount;
        entry.nWidth = row.nWidth;
        entry.nHeight = row.nHeight;
        entry.nFrameRate = nRate;
        entry.bProgressive = 1;
        std::snprintf(entry.szName, sizeof(entry.szName), "%d x %d %dP", row.nWidth, row.nHeight, nRate);
        ++list->nCount;
    }
}
