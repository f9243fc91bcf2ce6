// Resource ids of the video page.
#pragma once

#include "pages/common/pageids.h"

#define IDC_FPS_H264 206
#define IDC_FPS_MJPG 207
#define IDC_BITRATE 208
#define IDC_GOP 209
#define IDC_WIDTH 210
#define IDC_HEIGHT 211
