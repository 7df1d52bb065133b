#include "audio/capture_block.h"

namespace tarnwick {

CaptureBlockPtr NewCaptureBlock(int32_t blockBytes) {
    auto block = std::make_unique<CaptureBlock>();
    block->bufferLength = blockBytes;
    return block;
}

}  // namespace tarnwick
