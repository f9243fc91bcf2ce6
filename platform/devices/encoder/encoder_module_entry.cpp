// The one symbol libyraencoder.so exports: the table the host calls the encoder through.
#include "platform/devices/encoder/encoder_module.h"
#include "platform/devices/encoder/loop_encoder.h"

extern "C" {
#include <libavcodec/version.h>
}

static_assert(LIBAVCODEC_VERSION_INT == YRA_ENCODER_CODEC_VERSION,
              "the loop key's codec version must be the one the module is compiled against");

namespace {

const host::encoder::EncoderModuleApi kApi{host::encoder::kEncoderModuleAbi, LIBAVCODEC_VERSION_INT,
                                           &host::encoder::EncodeLoop};

} // namespace

extern "C" __attribute__((visibility("default"))) const host::encoder::EncoderModuleApi*
YraEncoderModule(uint32_t abi) {
    return abi == host::encoder::kEncoderModuleAbi ? &kApi : nullptr;
}
