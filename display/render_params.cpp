// The render parameters of each frame.
#include "display/render_params.h"

#include <algorithm>

#include "display/flash.h"

namespace display {

aa_renderparams show_render_params() {
  aa_renderparams params{};
  params.bright = CALM.bright;
  params.contrast = 94;
  params.gamma = 0.9f;
  params.dither = AA_FLOYD_S;
  params.inversion = 0;
  params.randomval = CALM.noise;
  return params;
}

aa_renderparams render_params_at(uint32_t frame, const aa_renderparams& start) {
  const Flash flash = flash_at(frame);
  aa_renderparams params = start;
  params.bright = std::min(start.bright + flash.bright - CALM.bright, 255);
  params.randomval = start.randomval + flash.noise - CALM.noise;
  return params;
}

aa_renderparams render_params_at(uint32_t frame) {
  return render_params_at(frame, show_render_params());
}

}  // namespace display
