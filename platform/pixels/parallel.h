// Splits a row range over the machine's cores: the evaluator's threads (evaluator.h), and
// the few whole-picture passes made outside it (decoding, the level analysis).
#pragma once

#include <cstdint>
#include <functional>

namespace platform {

// Calls body(first, last) on disjoint bands covering [0, rows), concurrently when the job
// is big enough to pay for a thread. Returns when every band is done; if a band throws,
// the bands not yet started are dropped and the first exception is rethrown here.
void ForRowBands(int32_t rows, int64_t pixels, const std::function<void(int32_t, int32_t)>& body);

// For tests: the n-th band handed out from now on (1 the next) throws std::runtime_error
// instead of running; 0 turns this off.
void FailBandForTesting(int n);

}  // namespace platform
