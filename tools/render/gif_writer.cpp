// Writing animated GIFs with giflib.
#include "tools/render/gif_writer.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace tools::render {
namespace {

// A frame's delay is a 16-bit count of hundredths; a longer still is split into several frames.
constexpr int MAX_DELAY = 0xFFFF;

// giflib hands its bytes here: the output file keeps the first failure for the writer to see.
int write_bytes(GifFileType* gif, const GifByteType* bytes, int size) {
  auto* output = static_cast<OutputFile*>(gif->UserData);
  return output->write(bytes, static_cast<size_t>(size)).empty() ? size : 0;
}

}  // namespace

GifWriter::GifWriter(std::vector<uint8_t> greys, int delay_hundredths)
    : greys_(std::move(greys)), delay_(delay_hundredths) {
  for (int grey = 0; grey < 256; ++grey) {
    int best = 0;
    for (size_t i = 1; i < greys_.size(); ++i)
      if (std::abs(greys_[i] - grey) < std::abs(greys_[best] - grey)) best = static_cast<int>(i);
    index_of_grey_[grey] = static_cast<uint8_t>(best);
  }
}

GifWriter::~GifWriter() {
  close();
}

std::string GifWriter::failure(const char* what, int code) {
  // A failed write keeps the system's reason, which says more than giflib's.
  return output_->fail("cannot write " + output_->name() + ": " + what + ": " +
                       GifErrorString(code));
}

std::string GifWriter::open(OutputFile& output, int width, int height) {
  output_ = &output;
  int error = 0;
  file_ = EGifOpen(&output, write_bytes, &error);
  if (file_ == nullptr) return failure("create", error);
  // Version 89a, for the delays and the loop; giflib would write 87a when not told.
  EGifSetGifVersion(file_, true);
  std::vector<GifColorType> colours;
  for (uint8_t grey : greys_) colours.push_back({grey, grey, grey});
  ColorMapObject* map = GifMakeMapObject(static_cast<int>(colours.size()), colours.data());
  int status = EGifPutScreenDesc(file_, width, height, 8, 0, map);
  GifFreeMapObject(map);
  if (status == GIF_ERROR) return failure("screen", file_->Error);
  // Loop for ever: the application block browsers read, with a repeat count of 0.
  const char netscape[] = "NETSCAPE2.0";
  const uint8_t repeat[] = {1, 0, 0};
  if (EGifPutExtensionLeader(file_, APPLICATION_EXT_FUNC_CODE) == GIF_ERROR ||
      EGifPutExtensionBlock(file_, 11, netscape) == GIF_ERROR ||
      EGifPutExtensionBlock(file_, 3, repeat) == GIF_ERROR ||
      EGifPutExtensionTrailer(file_) == GIF_ERROR)
    return failure("loop", file_->Error);
  pending_.assign(size_t(width) * height, 0);
  return {};
}

std::string GifWriter::add(const Image& frame) {
  if (file_ == nullptr) return {};
  const int width = file_->SWidth;
  std::vector<uint8_t> indices(frame.bytes.size());
  for (size_t i = 0; i < indices.size(); ++i) indices[i] = index_of_grey_[frame.bytes[i]];

  if (pending_delay_ > 0 && indices == pending_) {
    if (pending_delay_ + delay_ <= MAX_DELAY) {
      pending_delay_ += delay_;
      return {};
    }
    std::string error = write_pending();
    if (!error.empty()) return error;
    changed_ = {0, 0, 1, 1};  // a frame holds at least one pixel, unchanged here
    pending_delay_ = delay_;
    return {};
  }

  // The rectangle of pixels that differ from what the viewer shows now, which is the pending
  // frame once written (frames are not disposed); the first frame differs everywhere.
  const bool first = pending_delay_ == 0;
  int left = width, top = frame.height, right = -1, bottom = -1;
  for (int y = 0; y < frame.height; ++y) {
    const uint8_t* now = indices.data() + size_t(y) * width;
    const uint8_t* before = pending_.data() + size_t(y) * width;
    if (!first && std::memcmp(now, before, size_t(width)) == 0) continue;
    int row_left = 0, row_right = width - 1;
    if (!first) {
      while (now[row_left] == before[row_left]) ++row_left;
      while (now[row_right] == before[row_right]) --row_right;
    }
    left = std::min(left, row_left);
    right = std::max(right, row_right);
    top = std::min(top, y);
    bottom = y;
  }
  std::string error = write_pending();
  if (!error.empty()) return error;
  pending_ = std::move(indices);
  changed_ = {left, top, right - left + 1, bottom - top + 1};
  pending_delay_ = delay_;
  return {};
}

std::string GifWriter::write_pending() {
  if (pending_delay_ == 0) return {};
  GraphicsControlBlock control{};
  control.DisposalMode = DISPOSE_DO_NOT;
  control.DelayTime = pending_delay_;
  control.TransparentColor = NO_TRANSPARENT_COLOR;
  GifByteType extension[4];
  size_t length = EGifGCBToExtension(&control, extension);
  pending_delay_ = 0;
  if (EGifPutExtension(file_, GRAPHICS_EXT_FUNC_CODE, static_cast<int>(length), extension) ==
      GIF_ERROR)
    return failure("frame", file_->Error);
  if (EGifPutImageDesc(file_, changed_.left, changed_.top, changed_.width, changed_.height, false,
                       nullptr) == GIF_ERROR)
    return failure("frame", file_->Error);
  for (int y = changed_.top; y < changed_.top + changed_.height; ++y) {
    uint8_t* line = pending_.data() + size_t(y) * file_->SWidth + changed_.left;
    if (EGifPutLine(file_, line, changed_.width) == GIF_ERROR)
      return failure("frame", file_->Error);
  }
  return {};
}

std::string GifWriter::close() {
  if (file_ == nullptr) return {};
  std::string error = write_pending();
  int code = 0;
  if (EGifCloseFile(file_, &code) == GIF_ERROR && error.empty()) error = failure("close", code);
  file_ = nullptr;
  return error;
}

}  // namespace tools::render
