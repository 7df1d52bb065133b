#include "audio/sample_store.h"

#include <cstdlib>

namespace tarnwick {

// calloc hands out memory known to read as zero without touching it: for a block
// this large the allocator maps fresh pages, which the system commits only when
// they are first written.
TSampleStore::TSampleStore()
    : bytes_(static_cast<uint8_t*>(std::calloc(static_cast<size_t>(kStoreCapacity), 1))) {}

void TSampleStore::Free::operator()(uint8_t* p) const {
    std::free(p);
}

}  // namespace tarnwick
