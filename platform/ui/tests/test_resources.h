// Ids of the test program's resources.
#pragma once

#include "plat/resource.h"

enum : int {
    IDD_EVERY_CONTROL = 200,
    IDD_CHILD_PAGE = 100,
    IDD_NESTED = 201,
    IDI_TEST = 128,
    IDC_GROUP = -1,
    IDC_ENABLE = 1001,
    IDC_MANUAL = 1002,
    IDC_50HZ = 1003,
    IDC_60HZ = 1004,
    IDC_OUTDOOR = 1005,
    IDC_OTHER = 1006,
    IDC_LABEL = 1007,
    IDC_NAME = 1008,
    IDC_LIST = 1009,
    IDC_PICTURE = 1010,
    IDC_OPEN_NESTED = 1011,
    IDS_TITLE = 1,
    IDS_EMPTY = 2,
    IDS_LONG = 3,
};

// A second module's table, registered under a handle of its own by the tests.
extern const RESOURCETABLE g_otherModuleResources;
