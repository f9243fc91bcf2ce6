// Resource ids of the power-line page.
#pragma once

#include "pages/common/pageids.h"

#define IDC_50HZ 201
#define IDC_60HZ 202
#define IDC_OUTDOOR 203
