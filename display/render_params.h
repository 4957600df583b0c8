// AA-lib's render parameters frame by frame: the show's starting values with the flash on top.
// Apart from the terminal display, so that every place that renders the ASCII view (the player,
// the renderer, the browser's build) renders each frame with the same parameters.
#pragma once

#include <aalib.h>

#include <cstdint>

namespace display {

// The show's own starting values: bright 10, contrast 94, gamma 0.9, Floyd-Steinberg dither, no
// inversion and no random dither.
aa_renderparams show_render_params();

// The render parameters frame `frame` is rendered with: `start`, with the flash's brightness and
// noise above the calm ones added on top.
aa_renderparams render_params_at(uint32_t frame, const aa_renderparams& start);
// ... from the show's own starting values.
aa_renderparams render_params_at(uint32_t frame);

}  // namespace display
