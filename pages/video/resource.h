// Resource ids of the video page.
#pragma once

#ifdef RC_INVOKED // the resource script takes only the ids
#include "pages/common/pageres.h"
#else
#include "pages/common/pageids.h"
#endif

#define IDC_FPS_H264 206
#define IDC_FPS_MJPG 207
#define IDC_BITRATE 208
#define IDC_GOP 209
#define IDC_WIDTH 210
#define IDC_HEIGHT 211
