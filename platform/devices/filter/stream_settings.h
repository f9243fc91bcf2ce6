// What the device encodes in a run: the device model's encoder state, as the stream generator
// takes it.
#pragma once

#include "host/device_model.h"
#include "platform/devices/encoder/encoder_settings.h"

namespace host {

encoder::EncoderSettings StreamSettingsOf(const DeviceModel& model);

} // namespace host
