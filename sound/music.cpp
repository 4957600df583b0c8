// A tracker module decoded by libxmp with one fixed set of mixer settings, so that every build
// (the player, the renderer's WAV, the WebAssembly page) renders the same samples.
#include "sound/music.h"

#include <sys/stat.h>
#include <xmp.h>

#include <algorithm>
#include <cstring>

namespace sound {
namespace {

// A packed module is unpacked through a temporary file, for which libxmp sets the process's umask
// to 0177 and leaves it so: every file the program wrote afterwards would be private to its
// owner. This puts the mask back as it was. (WASI has no umask, nor temporary files.)
struct KeptUmask {
#ifndef __wasi__
  KeptUmask() : mask(umask(0)) {
    umask(mask);
  }
  ~KeptUmask() {
    umask(mask);
  }
  mode_t mask;
#endif
};

xmp_context context_of(void* context) {
  return static_cast<xmp_context>(context);
}

// libxmp answers with a code; its reason, in words a show's author can act on.
std::string libxmp_reason(int code) {
  switch (-code) {
    case XMP_ERROR_FORMAT:
      return "libxmp: unrecognised module format";
    case XMP_ERROR_LOAD:
      return "libxmp: error loading the module (damaged or truncated)";
    case XMP_ERROR_DEPACK:
      return "libxmp: error unpacking the module";
    case XMP_ERROR_SYSTEM:
      return std::string("libxmp: system error: ") + std::strerror(xmp_syserrno());
    case XMP_ERROR_INVALID:
      return "libxmp: invalid module";
    case XMP_ERROR_STATE:
      return "libxmp: player in the wrong state";
    default:
      return "libxmp: internal error " + std::to_string(-code);
  }
}

// A module's title is whatever bytes its file holds; only printable ASCII reaches a terminal.
std::string printable_title(const char* name) {
  std::string title(name, strnlen(name, XMP_NAME_SIZE));
  for (char& c : title)
    if (c < 0x20 || c > 0x7E) c = '?';
  while (!title.empty() && title.back() == ' ') title.pop_back();
  return title;
}

// The mixer settings, chosen once. The rest (player flags, mode, sample control) are libxmp
// 4.5's defaults, which the WebAssembly build of the same source shares.
// FIXME: libxmp works out pitches and the filters' coefficients in floating point through libm
// (pow, exp); a WebAssembly libm that rounds one of them differently moves a sample step by a
// unit. Compare a WAV of the show from both builds before calling their samples the same.
struct Setting {
  int parameter;
  int value;
};
constexpr Setting SETTINGS[] = {
    {XMP_PLAYER_INTERP, XMP_INTERP_LINEAR},  // integer arithmetic, and the cheapest
    {XMP_PLAYER_DSP, XMP_DSP_LOWPASS},       // the resonant filters IT modules are written for
    {XMP_PLAYER_MIX, 70},                    // stereo separation in percent: Amiga's hard
                                             // left and right, softened for headphones
    {XMP_PLAYER_AMP, 1},                     // amplification 0 to 3: headroom for 4 loud voices
    {XMP_PLAYER_VOLUME, 100},
};
// What one frame of a hostile module can cost to mix is bounded by libxmp's virtual voices
// (channels plus released notes still sounding), 128 in 4.5, which does not let it be set.

}  // namespace

OpenedMusic open_music(std::span<const uint8_t> bytes) {
  OpenedMusic opened;
  if (bytes.empty()) {
    opened.error = "the module is empty";
    return opened;
  }
  if (bytes.size() > MAX_MODULE_BYTES) {
    opened.error = "the module is " + std::to_string(bytes.size()) + " bytes, more than the " +
                   std::to_string(MAX_MODULE_BYTES) + " a show's music may have";
    return opened;
  }
  std::unique_ptr<Music> music(new Music());
  xmp_context context = xmp_create_context();
  if (context == nullptr) {
    opened.error = "libxmp: out of memory";
    return opened;
  }
  music->context_ = context;
  // libxmp takes a long; the size is far below its range after the cap above.
  int status;
  {
    [[maybe_unused]] const KeptUmask kept;
    status = xmp_load_module_from_memory(context, bytes.data(), static_cast<long>(bytes.size()));
  }
  if (status != 0) {
    opened.error = libxmp_reason(status);
    return opened;  // the destructor frees the context, which holds no module
  }
  xmp_module_info info;
  xmp_get_module_info(context, &info);
  music->title_ = printable_title(info.mod->name);
  if (std::string error = music->start(); !error.empty()) {
    opened.error = error;
    return opened;
  }
  xmp_frame_info frame;
  xmp_get_frame_info(context, &frame);
  music->duration_frames_ = (std::max(frame.total_time, 0) + FRAME_MS - 1) / FRAME_MS;
  opened.music = std::move(music);
  return opened;
}

Music::~Music() {
  xmp_context context = context_of(context_);
  if (context == nullptr) return;
  const int state = xmp_get_player(context, XMP_PLAYER_STATE);
  if (state >= XMP_STATE_PLAYING) xmp_end_player(context);
  if (state >= XMP_STATE_LOADED) xmp_release_module(context);
  xmp_free_context(context);
}

std::string Music::start() {
  xmp_context context = context_of(context_);
  if (xmp_get_player(context, XMP_PLAYER_STATE) >= XMP_STATE_PLAYING) xmp_end_player(context);
  int status = xmp_start_player(context, SAMPLE_RATE, 0);  // 0: signed 16-bit stereo
  for (const Setting& setting : SETTINGS)
    if (status == 0) status = xmp_set_player(context, setting.parameter, setting.value);
  if (status != 0) return libxmp_reason(status);
  xmp_play_buffer(context, nullptr, 0, 0);  // forget any frame part-way through the buffer
  next_frame_ = 0;
  ended_ = false;
  return {};
}

void Music::render(PcmFrame& out) {
  ++next_frame_;
  // One pass through the song: libxmp counts a loop when the song ends or jumps back, and then
  // answers -XMP_END; a frame the end falls in is filled with silence past it.
  if (!ended_ && xmp_play_buffer(context_of(context_), out.data(), sizeof out, 1) == 0) return;
  ended_ = true;
  out.fill(0);
}

// By rendering from the start. xmp_seek_time would be quicker but lands on the start of the
// order holding the time, with no notes sounding from the orders before it nor the effects'
// memory they set: its samples differ from playing through (the seek test shows it). A frame
// of four voices costs 10 to 15 microseconds of CPU, so a seek across a whole show (5,000
// frames) takes under a tenth of a second.
void Music::seek(int32_t frame) {
  frame = std::max(frame, 0);
  // A player that started once and now refuses to restart gives silence, never a stop.
  if (frame < next_frame_ && !start().empty()) ended_ = true;
  PcmFrame discarded;
  while (next_frame_ < frame && !ended_) render(discarded);
  next_frame_ = frame;  // past the end only the count moves: it is all silence
}

}  // namespace sound
