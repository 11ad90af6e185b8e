#pragma once

#include "engine/draw_plan.h"

namespace vantoril::paint {

// The normal brush (keepLevel = 255 - L) on display rows rowFirst ..
// rowLast - 1 with AVX2 and FMA, which the processor must have (HasAvx2).
// The pixels are those of the one-pixel brush, bit for bit.
void PaintNormalAvx2(const Plan& p, int keepLevel, int rowFirst, int rowLast);

}  // namespace vantoril::paint
