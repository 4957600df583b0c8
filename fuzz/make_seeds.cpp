// Writes the fuzzers' seed corpora: small data files, PNGs of every kind, fonts, and for every
// FX class a script that creates it, sets each of its parameters and runs it.
#include <filesystem>
#include <fstream>
#include <string>

#include "fx/fx_info.h"
#include "support/datafile_builder.h"

namespace {

using support::Bytes;
using support::DataFileBuilder;
using support::PngKind;
using support::Rgb;
using support::ScriptBuilder;

void write(const std::filesystem::path& dir, const std::string& name, const Bytes& bytes) {
  std::filesystem::create_directories(dir);
  std::ofstream(dir / name, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
}

Rgb pattern(int x, int y) {
  return Rgb{uint8_t(x * 7), uint8_t(y * 13), uint8_t(x ^ y)};
}

// The chunk the run_engine target offers for each kind of parameter.
uint8_t chunk_for(fx::ParamKind kind, uint8_t class_id) {
  switch (kind) {
    case fx::ParamKind::IMAGE:
      return class_id == 4 ? 2 : class_id == 5 ? 4 : 1;
    case fx::ParamKind::TEXT:
      return 6;
    case fx::ParamKind::FONT:
      return 8;
    case fx::ParamKind::NUMBER:
      return 0;
  }
  return 1;
}

Bytes script_for(uint8_t class_id) {
  ScriptBuilder script;
  script.newbuf(0, 0, 0, 160, 50).newfx(0, class_id, 0);
  for (const fx::ParamInfo& param : fx::fx_class_info[class_id].params) {
    if (param.kind == fx::ParamKind::NUMBER)
      script.setint(0, param.id, param.name == "count" ? 5 : 1);
    else
      script.setchunk(0, param.id, chunk_for(param.kind, class_id));
  }
  return script.start(0).waitfor(40).stop(0).waitfor(2).end().bytes;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  std::filesystem::path out = argv[1];

  for (uint8_t c = 0; c < fx::FX_CLASS_COUNT; ++c)
    write(out / "run_engine", "class-" + std::to_string(c), script_for(c));
  write(out / "run_engine", "views",
        ScriptBuilder()
            .newbuf(0, 0, 0, 80, 50)
            .viewbuf(1, 80, 0, 0)
            .newfx(0, 0, 0)
            .newfx(1, 2, 1)
            .start(0)
            .start(1)
            .waitat(10)
            .end()
            .bytes);

  const PngKind kinds[] = {PngKind::RGB8, PngKind::PALETTE, PngKind::GREY,
                           PngKind::RGBA, PngKind::RGB16,   PngKind::PALETTE_TRNS};
  for (PngKind kind : kinds)
    write(out / "read_ping", "kind-" + std::to_string(int(kind)),
          support::make_png(9, 7, pattern, kind));
  write(out / "read_ping", "interlaced", support::make_png(13, 11, pattern, PngKind::RGB8, true));

  Bytes font = support::make_font({{"#.#", ".#.", "#.#"}, {"##", "#.", "##"}, {"#", "#", "#"}});
  write(out / "read_font", "three", font);
  write(out / "read_font", "empty", support::make_font({}));

  write(out / "load_data_file", "all-kinds",
        DataFileBuilder()
            .script(ScriptBuilder().newbuf(0, 0, 0, 160, 50).waitfor(3).end())
            .text("hello")
            .image(support::make_png(4, 4, pattern, PngKind::PALETTE))
            .font(font)
            .bytes);
  write(out / "load_data_file", "script-only",
        DataFileBuilder().script(ScriptBuilder().end()).bytes);
  return 0;
}
