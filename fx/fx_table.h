// The FX class table: row n holds the operations of FX class n, as scripts number them.
#pragma once

#include <array>

#include "fx/fx_class.h"

namespace fx {

extern const FxClass cycle_fx_class;
extern const FxClass still_fx_class;
extern const FxClass bounce_fx_class;
extern const FxClass tint_fx_class;
extern const FxClass rotozoom_fx_class;
extern const FxClass curtain_fx_class;
extern const FxClass noise_fx_class;
extern const FxClass fade_fx_class;
extern const FxClass scroller_fx_class;
extern const FxClass blobs_fx_class;
extern const FxClass sparks_fx_class;
extern const FxClass melt_fx_class;
extern const FxClass wipe_fx_class;

inline constexpr std::array<const FxClass*, FX_CLASS_COUNT> fx_classes = {
    &cycle_fx_class,     // 0 colour cycle fill
    &bounce_fx_class,    // 1 bouncing particles
    &still_fx_class,     // 2 still image
    &tint_fx_class,      // 3 tinted particles
    &rotozoom_fx_class,  // 4 rotozoomer
    &curtain_fx_class,   // 5 page curtain
    &noise_fx_class,     // 6 static noise
    &fade_fx_class,      // 7 image fade
    &scroller_fx_class,  // 8 text scroller
    &blobs_fx_class,     // 9 bouncing blobs
    &sparks_fx_class,    // 10 spark column
    &melt_fx_class,      // 11 melting relief
    &wipe_fx_class,      // 12 colour wipe
};
static_assert(fx_classes.size() == FX_CLASS_COUNT);

}  // namespace fx
