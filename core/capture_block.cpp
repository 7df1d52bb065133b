#include "core/capture_block.h"

namespace tarnwick {

CaptureBlockPtr NewCaptureBlock(int32_t blockBytes) {
    // Default-initialised, so the 64 kB of storage is not cleared on every block.
    CaptureBlockPtr block(new CaptureBlock);
    block->bufferLength = blockBytes;
    return block;
}

}  // namespace tarnwick
