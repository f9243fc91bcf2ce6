// Everything a filter needs from the framework, in one include.
#pragma once

#include "framework/amthread.h"
#include "framework/basefilter.h"
#include "framework/basepin.h"
#include "framework/combase.h"
#include "framework/enummediatypes.h"
#include "framework/enumpins.h"
#include "framework/inputpin.h"
#include "framework/mediasample.h"
#include "framework/memalloc.h"
#include "framework/mtype.h"
#include "framework/outputpin.h"
#include "framework/sync.h"
