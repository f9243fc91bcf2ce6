// Ids of the demo's resources.
#pragma once

enum : int {
    IDD_DEMO = 100,
    IDD_SETTINGS = 101,
    IDR_MAINFRAME = 128,
    IDC_ENABLE = 1001,
    IDC_50HZ = 1002,
    IDC_60HZ = 1003,
    IDC_NAME = 1004,
    IDC_RATE = 1005,
    IDC_SAVE_AS = 1006,
    IDC_SETTINGS = 1007,
    IDC_PATH = 1008,
    IDC_VOLUME = 1009,
};
