// Ids of the framework tests' resources.
#pragma once

#include "plat/resource.h"

enum : int {
    IDD_MAIN = 102,
    IDD_SETTINGS = 129,
    IDD_RADIOS = 130,
    IDR_MAINFRAME = 128,
    IDC_NAME_HEADER = 1000,
    IDC_OPERATION_HEADER = 1003,
    IDC_ENABLE = 1009,
    IDC_RATE = 1011,
    IDC_VOLUME = 1013,
    IDC_50HZ = 1020,
    IDC_60HZ = 1021,
    IDC_OUTDOOR = 1022,
    IDC_OTHER = 1023,
    IDC_SET_BASE = 0x7200,
    IDC_START_BASE = 0x7400,
};
