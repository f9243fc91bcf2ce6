// The encode settings dialog's tables: the HDMI receiver's input modes, the encode resolutions
// an input allows, the sample rates, volumes and bit rates.
#pragma once

#include "plat/types.h"

struct RESOLUTION_ENTRY {
    int nIndex;
    int nWidth;
    int nHeight;
    int nFrameRate; // frames per second; fields for an interlaced input
    int bProgressive;
    char szName[32];
};

#define INPUT_RESOLUTION_COUNT 22
#define ENCODE_RESOLUTION_MAX 32
#define SAMPLE_RATE_COUNT 2
#define VOLUME_COUNT 16
#define BIT_RATE_COUNT 8

// Row r stands for HDMI resolution code r + 1; rows 0 and 1 are "unknown" and "no signal".
extern const RESOLUTION_ENTRY g_InputResolutionTable[INPUT_RESOLUTION_COUNT];

// The encode resolutions for the selected input, rebuilt whenever the input changes. There is one
// such list in the program, used by whichever settings dialog is open.
struct ENCODE_RESOLUTION_LIST {
    RESOLUTION_ENTRY entries[ENCODE_RESOLUTION_MAX];
    int nCount;
};
extern ENCODE_RESOLUTION_LIST g_EncodeResolutionList;

// Fills `list` with the encode resolutions allowed for input row `nInputRow` (any other value,
// such as -1 for no selection, lists every encode resolution).
void BuildEncodeResolutionList(int nInputRow, ENCODE_RESOLUTION_LIST* list);

extern const LPCWSTR g_SampleRateNames[SAMPLE_RATE_COUNT];
struct BIT_RATE_ENTRY {
    LPCWSTR pszName;
    int nKbps;
};
extern const BIT_RATE_ENTRY g_BitRateTable[BIT_RATE_COUNT];
