#include "album/budget_fit.h"

namespace fotolume::album {

BudgetFit FitToBudget(std::size_t budget, int firstQuality, const EncodeAtQuality& encode) {
    BudgetFit fit;
    int quality = firstQuality;
    for (;;) {
        fit.quality = quality;
        fit.bytes = encode(quality);
        if (fit.bytes == 0) return fit;
        if (fit.bytes <= budget) break;
        quality -= 10;
        if (quality <= 0) return fit;
    }
    fit.fits = true;
    return fit;
}

}  // namespace fotolume::album
