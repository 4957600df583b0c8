// The renderer's display driver over AA-lib's memory driver.
#include "tools/render/render_display.h"

#include "base/fatal.h"
#include "display/ascii_display.h"
#include "display/displays.h"

namespace tools::render {
namespace {

using Clock = std::chrono::steady_clock;

struct RenderState : engine::DisplayState {
  RenderControl* control = nullptr;
  aa_context* context = nullptr;
  display::Picture picture;
  int picture_width = 0;
  int picture_height = 0;
  bool stop = false;               // the owner's answer to the last frame
  Clock::time_point engine_began;  // when the engine began the frame about to be presented
  aa_renderparams start_params{};  // the show's, with those AAOPTS gives in their place
};

RenderState& of(engine::DisplayDriver& display) {
  return static_cast<RenderState&>(*display.state);
}

void close(engine::DisplayDriver& display) {
  RenderState& state = of(display);
  const engine::Show* show = state.control->show;
  if (show != nullptr) state.control->closed_at = show->frame();
  state.control->reached_end = show != nullptr && show->ended();
  if (state.context == nullptr) return;
  aa_close(state.context);
  state.context = nullptr;
}

// The player's context on AAOPTS="-driver stdout -width 80 -height 25": an 80 x 25 screen, AA-lib's
// default font, and normal characters only, since the stdout driver shows no dim or bold ones. The
// memory driver could show them; were they allowed, AA-lib would choose other characters. Of
// AAOPTS only the render parameters are read, as the player reads them.
void init(engine::DisplayDriver& display) {
  RenderState& state = of(display);
  state.picture_width = engine::PICTURE_WIDTH;
  state.picture_height = engine::PICTURE_HEIGHT;
  aa_hardware_params params = aa_defparams;
  params.width = TEXT_COLUMNS;
  params.height = TEXT_ROWS;
  params.supported = AA_NORMAL_MASK;
  state.context = aa_init(&mem_d, &params, nullptr);
  if (state.context == nullptr)
    engine::fail_with(engine::Stream::OUT, display::DISPLAY_FAILED);
  state.control->font = aa_currentfont(state.context);
  state.start_params = display::starting_render_params();
}

void blit(engine::DisplayDriver& display, const engine::Buffer& buffer) {
  RenderState& state = of(display);
  state.picture.blit(buffer);
  display::blit_to_image(aa_image(state.context), aa_imgwidth(state.context),
                         aa_imgheight(state.context), state.picture_width, state.picture_height,
                         buffer);
}

// As the player's present, whatever outputs are asked for: AA-lib keeps the state of its random
// dither inside, so skipping one render would change every noisy frame after it.
void present(engine::DisplayDriver& display, uint32_t frame) {
  RenderState& state = of(display);
  Clock::time_point render_began = Clock::now();
  aa_renderparams params = display::render_params_at(frame, state.start_params);
  aa_render(state.context, &params, 0, 0, aa_scrwidth(state.context), aa_scrheight(state.context));
  aa_flush(state.context);
  Clock::time_point render_ended = Clock::now();

  const auto* text = reinterpret_cast<const char*>(aa_text(state.context));
  RenderedFrame rendered{frame,
                         state.picture,
                         std::string_view(text, size_t{TEXT_COLUMNS} * TEXT_ROWS),
                         *aa_currentfont(state.context),
                         render_began - state.engine_began,
                         render_ended - render_began,
                         state.control->show};
  if (state.control->on_frame && !state.control->on_frame(rendered)) state.stop = true;
  state.engine_began = Clock::now();
}

void start(engine::DisplayDriver& display) {
  of(display).engine_began = Clock::now();
}

// Nobody presses keys here: the renderer stops once an output has failed.
int poll_quit(engine::DisplayDriver& display, uint32_t) {
  return of(display).stop ? 1 : 0;
}

}  // namespace

engine::DisplayConstructor render_display(RenderControl& control) {
  return [&control]() -> std::unique_ptr<engine::DisplayDriver> {
    auto state = std::make_unique<RenderState>();
    state->control = &control;
    return std::make_unique<engine::DisplayDriver>(engine::DisplayDriver{
        close, init, blit, present, start, poll_quit, nullptr, nullptr, std::move(state)});
  };
}

}  // namespace tools::render
