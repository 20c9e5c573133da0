// Fitting a picture stream to a byte budget by falling quality. The caller encodes and sets the budget
// (the free space of one picture, or a share of it); this only walks the quality steps.
#pragma once

#include <cstddef>
#include <functional>

namespace fotolume::album {

// Encodes the picture at quality into the caller's stream file; returns the stream's size in bytes, 0
// when encoding failed.
using EncodeAtQuality = std::function<std::size_t(int quality)>;

struct BudgetFit {
    int quality = 0;         // the last quality encoded (the one kept, when it fits)
    std::size_t bytes = 0;   // its stream's size; 0 when the encoder failed
    bool fits = false;       // a stream was made and it is no larger than the budget
};

// Encodes at firstQuality, then 10 lower per try while the stream is larger than budget and the next
// quality stays above 0 (85 tries 85, 75, ... 5). Stops at the first failed encoding. The stream file
// holds the last stream encoded.
BudgetFit FitToBudget(std::size_t budget, int firstQuality, const EncodeAtQuality& encode);

}  // namespace fotolume::album
