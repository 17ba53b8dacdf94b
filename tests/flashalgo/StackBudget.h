// The most stack any entry point of the image may use. Loaders give a flash algorithm 256 to 512
// bytes of stack; the image needs 40 (EraseChip, five calls deep), so a budget of 64 bytes leaves
// room for an ordinary change and still fails a local buffer or a deep call chain long before a
// loader's stack would overflow into its page buffers.
#pragma once

#include <cstdint>

constexpr uint32_t kStackBudget = 64;
