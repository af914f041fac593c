#include "platform/UIChanges.h"

#include <atomic>

namespace {
std::atomic<uint64_t> changes{0};
}

void noteUIChange() { changes.fetch_add(1, std::memory_order_relaxed); }

uint64_t uiChangeCount() { return changes.load(std::memory_order_relaxed); }
