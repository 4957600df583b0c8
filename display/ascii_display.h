// The player's display: the picture as ASCII art through AA-lib, on a terminal, the Linux
// console or an X window, with a bright, noisy flash every 200 frames after frame 500.
#pragma once

#include <aalib.h>

#include <cstdint>
#include <memory>

#include "base/buffer.h"
#include "display/render_params.h"
#include "engine/display_driver.h"

namespace display {

// The render parameters the show starts from: bright 10, contrast 94, gamma 0.9,
// Floyd-Steinberg dither, no inversion and no random dither; each of them that AAOPTS gives
// (-bright, -contrast, -gamma, -inverse, -nodither, -random, ...) takes the show's value's place.
aa_renderparams starting_render_params();

// Copies `buffer` into an AA-lib image of image_width x image_height grey bytes, for a picture of
// picture_width x picture_height. Each buffer pixel's low 8 bits go to one image pixel: at
// (sx * (x + j), sy * (y + i)) with whole scale factors sx, sy where the image is at least as
// large as the picture on that axis, and proportionally where it is smaller. Nothing outside
// the image is written and nothing outside the buffer is read.
void blit_to_image(unsigned char* image, int image_width, int image_height, int picture_width,
                   int picture_height, const engine::Buffer& buffer);

// The driver. AA-lib is opened by `init` (AAOPTS chooses the device, the size and the font);
// `close` shuts it down and gives the terminal back.
std::unique_ptr<engine::DisplayDriver> create_ascii_display();

}  // namespace display
