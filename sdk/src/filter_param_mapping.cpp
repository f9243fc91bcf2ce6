#include "filter_param_mapping.h"

namespace {

// ENC 70: bit 4 is the audio switch; bits 0 and 31 are set, bits 1-3 and 5-8 cleared.
constexpr DWORD AUDIO_CONTROL_KEEP = 0x7FFFFE00;
constexpr DWORD AUDIO_CONTROL_FIXED = 0x80000001;
constexpr DWORD AUDIO_CONTROL_ON = 0x10;
// ENC 67: the low 12 bits hold the input width in 16-pixel units.
constexpr DWORD INPUT_PITCH_MASK = 0xFFF;

enum SCAN_MODE : DWORD { SCAN_INTERLACED = 0, SCAN_PROGRESSIVE = 1, SCAN_PROGRESSIVE_HIGH_RATE = 2 };

bool AudioOn(const HDC_FILTER_PARAM& param) {
    return param.bAudioEnable == 1;
}

} // namespace

DWORD ScanModeFor(const HDC_FILTER_PARAM& param) {
    // Any non-zero flag is a progressive input: the device knows only these three modes.
    const bool bProgressive = param.bInputProgressive != 0;
    if (bProgressive && param.nInputWidth >= 1920 && param.nInputHeight >= 1080 && param.nInputFrameRate > 30)
        return SCAN_PROGRESSIVE_HIGH_RATE;
    return bProgressive ? SCAN_PROGRESSIVE : SCAN_INTERLACED;
}

void ApplyFilterParam(const HDC_FILTER_PARAM& param, CEncoderProperties& p) {
    const bool bAudio = AudioOn(param);
    const DWORD dwWidthUnits = param.nInputWidth >> 4;

    p.SetWord(SLOT_ENC_72, 4, 1);

    p.SetWord(SLOT_ENC_0, 36, 1);
    p.SetWord(SLOT_ENC_0, 40, bAudio ? 3 : 1);
    p.SetWord(SLOT_ENC_0, 44, 2);
    p.SetWord(SLOT_ENC_0, 48, 12);
    p.SetWord(SLOT_ENC_0, 52, 1);
    p.SetWord(SLOT_ENC_0, 56, 1);
    p.SetWord(SLOT_ENC_0, 60, 0);

    p.SetWord(SLOT_ENC_25, 0, 0);
    p.SetWord(SLOT_DEV_25, 0, 11);

    p.SetWord(SLOT_ENC_2, 40, ScanModeFor(param));
    p.SetWord(SLOT_ENC_2, 44, 1);
    p.SetWord(SLOT_ENC_2, 48, 17);
    p.SetWord(SLOT_ENC_2, 52, 3);
    p.SetWord(SLOT_ENC_2, 60, param.nInputFrameRate);
    p.SetWord(SLOT_ENC_2, 64, param.nEncodeFrameRate);
    p.SetWord(SLOT_ENC_2, 68, param.bInputProgressive == 0 ? 1 : 0);

    p.SetWord(SLOT_ENC_3, 20, param.nBitRate);
    p.SetWord(SLOT_ENC_3, 24, dwWidthUnits);
    p.SetWord(SLOT_ENC_3, 32, 0);
    p.SetWord(SLOT_ENC_3, 36, 0);

    p.SetWord(SLOT_ENC_4, 0, param.nBitRate2);
    p.SetWord(SLOT_ENC_4, 4, param.nBitRate3);

    p.SetWord(SLOT_ENC_5, 36, 30);
    p.SetWord(SLOT_ENC_5, 56, 0);
    p.SetWord(SLOT_ENC_5, 72, 0);

    p.SetWord(SLOT_ENC_7, 0, 0);
    p.SetWord(SLOT_ENC_7, 12, 0);

    DWORD dwAudioControl = (p.Word(SLOT_ENC_70, 0) & AUDIO_CONTROL_KEEP) | AUDIO_CONTROL_FIXED;
    if (bAudio) dwAudioControl |= AUDIO_CONTROL_ON;
    p.SetWord(SLOT_ENC_70, 0, dwAudioControl);

    static const DWORD s_adwEnc71[8] = {0, 0, 1, 0, 0, 0, 1, 0}; // words 32 and 36 stay as read
    for (DWORD i = 0; i < 8; ++i)
        p.SetWord(SLOT_ENC_71, 4 * i, s_adwEnc71[i]);

    p.SetWord(SLOT_ENC_11, 0, 128);
    // With audio off the rate code is parked at 48 kHz.
    p.SetWord(SLOT_ENC_11, 8, bAudio ? (param.nAudioSampleRate != 0 ? 1 : 0) : 1);
    p.SetWord(SLOT_ENC_11, 56, 2);

    p.SetWord(SLOT_ENC_67, 0,
              (p.Word(SLOT_ENC_67, 0) & ~INPUT_PITCH_MASK) | (dwWidthUnits & INPUT_PITCH_MASK));
    p.SetWord(SLOT_DEV_33, 0, 20);

    p.SetWord(SLOT_ENC_1, 16, param.nInputWidth);
    p.SetWord(SLOT_ENC_1, 24, param.nInputHeight);
    p.SetWord(SLOT_ENC_8, 0, param.nEncodeWidth);
    p.SetWord(SLOT_ENC_8, 4, param.nEncodeHeight);
}

void ExtractFilterParam(const CEncoderProperties& p, DWORD dwVolume, HDC_FILTER_PARAM* pParam) {
    // Only nibbles 0 and 1 say anything about audio; others leave the member as the caller had it.
    const DWORD dwAudioNibble = (p.Word(SLOT_ENC_70, 0) >> 4) & 0xF;
    if (dwAudioNibble <= 1) pParam->bAudioEnable = static_cast<uint8_t>(dwAudioNibble);
    pParam->nAudioSampleRate = p.Word(SLOT_ENC_11, 8);
    pParam->nAudioVolume = dwVolume;
    pParam->nInputWidth = p.Word(SLOT_ENC_1, 16);
    pParam->nInputHeight = p.Word(SLOT_ENC_1, 24);
    pParam->nInputFrameRate = p.Word(SLOT_ENC_2, 60);
    pParam->bInputProgressive = p.Word(SLOT_ENC_2, 40) != 0 ? 1 : 0;
    pParam->nEncodeWidth = p.Word(SLOT_ENC_8, 0);
    pParam->nEncodeHeight = p.Word(SLOT_ENC_8, 4);
    pParam->nEncodeFrameRate = p.Word(SLOT_ENC_2, 64);
    pParam->nBitRate = p.Word(SLOT_ENC_3, 20);
    pParam->nBitRate2 = p.Word(SLOT_ENC_4, 0);
    pParam->nBitRate3 = p.Word(SLOT_ENC_4, 4);
}
