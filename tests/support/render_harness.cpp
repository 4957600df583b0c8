// The renderer's test harness.
#include "support/render_harness.h"

#include <gif_lib.h>
#include <png.h>

#include <cstring>
#include <sstream>

#include "fixtures/process.h"

namespace support {
namespace {

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream stream(text);
  for (std::string line; std::getline(stream, line);) lines.push_back(line);
  return lines;
}

}  // namespace

ShowDir::ShowDir(const Bytes& data_file) {
  dir.write("data/mote-tundra-2003.dat", data_file);
}

Bytes busy_show(uint16_t frames) {
  constexpr uint8_t CYCLE = 0, STILL = 2;
  auto texture = [](int x, int y) {
    return Rgb{static_cast<uint8_t>(x * 3), static_cast<uint8_t>((x * 7 + y * 13) % 256),
               static_cast<uint8_t>((x + y * 5) % 256)};
  };
  return DataFileBuilder()
      .script(ScriptBuilder()
                  .newbuf(0, 0, 0, 160, 50)  // the whole picture: the still image
                  .newfx(0, STILL, 0)
                  .setchunk(0, 0x80, 1)
                  .start(0)
                  .newbuf(1, 60, 0, 20, 50)  // a strip: the cycle fill
                  .newfx(1, CYCLE, 1)
                  .start(1)
                  .waitat(frames)
                  .end())
      .image(make_png(160, 50, texture))
      .bytes;
}

ProgramRun run_in(const std::string& directory, const std::string& command) {
  ProgramRun run;
  const std::string err_path = directory + "/.stderr";
  run.out = run_command("cd " + shell_quote(directory) + " && env -u TERM -u DISPLAY -u AAOPTS " +
                            command + " </dev/null 2>" + shell_quote(err_path),
                        &run.status);
  run.err = read_file(err_path);
  return run;
}

std::vector<std::vector<uint16_t>> read_raw_frames(const std::string& bytes) {
  constexpr size_t FRAME_BYTES = 160 * 50 * 2;
  std::vector<std::vector<uint16_t>> frames;
  for (size_t at = 0; at + FRAME_BYTES <= bytes.size(); at += FRAME_BYTES) {
    std::vector<uint16_t>& frame = frames.emplace_back(160 * 50);
    for (size_t i = 0; i < frame.size(); ++i)
      frame[i] = static_cast<uint16_t>(static_cast<uint8_t>(bytes[at + 2 * i]) |
                                       static_cast<uint8_t>(bytes[at + 2 * i + 1]) << 8);
  }
  return frames;
}

std::vector<std::vector<std::string>> read_ascii_frames(const std::string& text,
                                                        std::vector<std::string>* numbers) {
  std::vector<std::string> lines = lines_of(text);
  std::vector<std::vector<std::string>> frames;
  for (size_t at = 0; at + 26 <= lines.size(); at += 26) {
    frames.emplace_back(lines.begin() + at, lines.begin() + at + 25);
    if (numbers != nullptr) numbers->push_back(lines[at + 25]);
  }
  return frames;
}

std::vector<std::vector<std::string>> read_player_frames(const std::string& text) {
  std::vector<std::string> lines = lines_of(text);
  std::vector<std::vector<std::string>> frames;
  size_t at = 0;
  while (at < lines.size() && (lines[at].size() != 80)) ++at;  // the loader's line
  for (; at + 26 <= lines.size() && lines[at + 25] == "\f"; at += 26)
    frames.emplace_back(lines.begin() + at, lines.begin() + at + 25);
  return frames;
}

std::optional<PngFile> read_png(const std::string& path) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (png_image_begin_read_from_file(&image, path.c_str()) == 0) return std::nullopt;
  PngFile png;
  png.width = static_cast<int>(image.width);
  png.height = static_cast<int>(image.height);
  png.channels = (image.format & PNG_FORMAT_FLAG_COLOR) != 0 ? 3 : 1;
  image.format = png.channels == 3 ? PNG_FORMAT_RGB : PNG_FORMAT_GRAY;
  png.bytes.resize(PNG_IMAGE_SIZE(image));
  if (png_image_finish_read(&image, nullptr, png.bytes.data(), 0, nullptr) == 0) {
    png_image_free(&image);
    return std::nullopt;
  }
  return png;
}

std::optional<GifFile> read_gif(const std::string& path) {
  int error = 0;
  GifFileType* file = DGifOpenFileName(path.c_str(), &error);
  if (file == nullptr) return std::nullopt;
  if (DGifSlurp(file) == GIF_ERROR || file->SColorMap == nullptr) {
    DGifCloseFile(file, &error);
    return std::nullopt;
  }
  GifFile gif;
  gif.width = file->SWidth;
  gif.height = file->SHeight;
  // giflib files extension blocks under the image they precede, the rest under the file.
  auto find_loop = [&](const ExtensionBlock* blocks, int count) {
    for (int i = 0; i < count; ++i)
      if (blocks[i].Function == APPLICATION_EXT_FUNC_CODE && blocks[i].ByteCount == 11 &&
          std::memcmp(blocks[i].Bytes, "NETSCAPE2.0", 11) == 0)
        gif.loops = true;
  };
  find_loop(file->ExtensionBlocks, file->ExtensionBlockCount);
  if (file->ImageCount > 0)
    find_loop(file->SavedImages[0].ExtensionBlocks, file->SavedImages[0].ExtensionBlockCount);
  std::vector<uint8_t> screen(size_t(gif.width) * gif.height, 0);
  for (int i = 0; i < file->ImageCount; ++i) {
    const SavedImage& image = file->SavedImages[i];
    const GifImageDesc& desc = image.ImageDesc;
    for (int y = 0; y < desc.Height; ++y)
      for (int x = 0; x < desc.Width; ++x) {
        const int index = image.RasterBits[size_t(y) * desc.Width + x];
        screen[size_t(desc.Top + y) * gif.width + desc.Left + x] =
            file->SColorMap->Colors[index].Red;
      }
    gif.frames.push_back(screen);
    GraphicsControlBlock control{};
    DGifSavedExtensionToGCB(file, i, &control);
    gif.delays.push_back(control.DelayTime);
  }
  DGifCloseFile(file, &error);
  return gif;
}

}  // namespace support
