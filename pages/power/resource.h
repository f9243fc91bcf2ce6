// Resource ids of the power-line page.
#pragma once

#ifdef RC_INVOKED // the resource script takes only the ids
#include "pages/common/pageres.h"
#else
#include "pages/common/pageids.h"
#endif

#define IDC_50HZ 201
#define IDC_60HZ 202
#define IDC_OUTDOOR 203
