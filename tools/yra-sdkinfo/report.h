// Readable text for what the SDK and the device answer.
#pragma once

#include "YRA_HD_Capture_SDK.h"
#include "host/device_model.h"

#include <string>
#include <vector>

namespace sdkinfo {

std::string ResultText(HRESULT hr);
std::string Utf8(const std::u16string& text);
// The video mode a capture program reads from an HDMI receiver code.
std::string HdmiModeName(int code);
std::vector<std::string> DescribeParam(const HDC_FILTER_PARAM& param);
std::string DescribeCall(const host::PropertyCall& call);

} // namespace sdkinfo
