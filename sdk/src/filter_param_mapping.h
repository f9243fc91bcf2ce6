// Where each member of HDC_FILTER_PARAM lives in the encoder properties, both ways.
#pragma once

#include "encoder_properties.h"

// Changes the words that the record decides; every other word keeps the value read.
void ApplyFilterParam(const HDC_FILTER_PARAM& param, CEncoderProperties& properties);

// Fills the record from the words read and the volume.
void ExtractFilterParam(const CEncoderProperties& properties, DWORD dwVolume, HDC_FILTER_PARAM* pParam);

// The scan mode the encoder is given for an input.
DWORD ScanModeFor(const HDC_FILTER_PARAM& param);
