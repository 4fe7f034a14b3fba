// sequencer_internal.h — what song.cpp and sequencer.cpp share beyond music.h.
#pragma once

#include <cstdint>

namespace music {

// A seed computed in 32-bit wrapping arithmetic, as the generator takes it.
inline int Wrap(int64_t value) { return static_cast<int>(static_cast<uint32_t>(value)); }

// Starts a bar: reseeds, counts it, starts a phrase when the last one is
// over, and fills StepValues for the 64 steps.
void StartBar();

}  // namespace music
