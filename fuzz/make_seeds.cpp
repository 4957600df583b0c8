// Writes the fuzzers' seed corpora: small data files, PNGs of every kind, fonts, and for every
// FX class a script that creates it, sets each of its parameters and runs it; then the seed
// shows of fuzz/shows compiled by tundra-dat and, when it is given, the show's own data file,
// each taken apart into its chunks for the targets that read them.
//
// Usage: make_fuzz_seeds OUT [SHOW_DATA_FILE]
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "engine/opcodes.h"
#include "fixtures/datafile_builder.h"
#include "fixtures/process.h"
#include "fixtures/square_wave_module.h"
#include "fx/fx_info.h"

namespace {

namespace fs = std::filesystem;
using support::Bytes;
using support::DataFileBuilder;
using support::PngKind;
using support::Rgb;
using support::ScriptBuilder;

void write(const fs::path& dir, const std::string& name, const Bytes& bytes) {
  fs::create_directories(dir);
  std::ofstream(dir / name, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
}

Bytes read(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

Rgb pattern(int x, int y) {
  return Rgb{uint8_t(x * 7), uint8_t(y * 13), uint8_t(x ^ y)};
}

// The chunk the run_engine target offers for each kind of parameter (see fuzz/targets.cpp): the
// texture for a texture, the pages for pages, the screen-sized picture for any other image.
uint8_t chunk_for(const fx::ParamInfo& param) {
  switch (param.kind) {
    case fx::ParamKind::IMAGE:
      return param.limits.image == fx::ImageUse::TEXTURE ? 2
             : param.limits.image == fx::ImageUse::PAGES ? 4
                                                         : 1;
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
  for (const fx::ParamInfo& param : fx::fx_classes[class_id]->params) {
    if (param.kind == fx::ParamKind::NUMBER)
      script.setint(0, param.id, param.limits.count ? 5 : 1);
    else
      script.setchunk(0, param.id, chunk_for(param));
  }
  return script.start(0).waitfor(40).stop(0).waitfor(2).end().bytes;
}

void write_generated(const fs::path& out) {
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
            .music(support::square_wave_module())
            .bytes);
  write(out / "open_music", "square-wave", support::square_wave_module());
  write(out / "load_data_file", "script-only",
        DataFileBuilder().script(ScriptBuilder().end()).bytes);
}

struct RawChunk {
  std::string tag;
  Bytes payload;
};

// The chunks of a data file as they are stored, up to the first that is not whole.
std::vector<RawChunk> split_chunks(const Bytes& file) {
  std::vector<RawChunk> chunks;
  for (size_t at = 0; file.size() - at >= 8;) {
    uint32_t length = uint32_t{file[at + 4]} << 24 | uint32_t{file[at + 5]} << 16 |
                      uint32_t{file[at + 6]} << 8 | file[at + 7];
    if (length > file.size() - at - 8) break;
    auto payload = file.begin() + static_cast<long>(at + 8);
    chunks.push_back({std::string(file.begin() + long(at), file.begin() + long(at + 4)),
                      Bytes(payload, payload + length)});
    at += 8 + length;
  }
  return chunks;
}

// Each chunk to the target that reads its kind; the script only when its chunk numbers mean
// the same chunks as in the run_engine target.
void write_parts(const fs::path& out, const std::string& name, const Bytes& file,
                 bool script_fits_target) {
  write(out / "load_data_file", name, file);
  std::vector<RawChunk> chunks = split_chunks(file);
  for (size_t i = 0; i < chunks.size(); ++i) {
    std::string part = name + "-chunk" + std::to_string(i);
    if (chunks[i].tag == "PING") write(out / "read_ping", part, chunks[i].payload);
    if (chunks[i].tag == "FONT") write(out / "read_font", part, chunks[i].payload);
    if (chunks[i].tag == "TUNE") write(out / "open_music", part, chunks[i].payload);
    if (chunks[i].tag == "DEMO" && script_fits_target)
      write(out / "run_engine", name, chunks[i].payload);
  }
}

void encode(Bytes& bytes, const engine::Instruction& instruction) {
  bytes.push_back(instruction.info->code);
  for (int i = 0; i < instruction.info->operand_count(); ++i)
    for (int b = engine::operand_width(instruction.info->operands[i].kind) - 1; b >= 0; --b)
      bytes.push_back(static_cast<uint8_t>(instruction.operands[i] >> (8 * b)));
}

// The show's script made to fit the run_engine target: every chunk operand names the target's
// chunk of the kind the parameter takes, and every wait lasts two frames, so that far more of
// the show fits into the target's frames. Long scripts give several seeds, the k-th with the
// waits of the earlier parts dropped (their set-up then happens at once).
std::vector<Bytes> fit_script(const Bytes& script) {
  std::vector<engine::Instruction> instructions;
  engine::Instruction instruction;
  for (uint32_t at = 0; engine::decode_instruction(script.data(), script.size(), at, instruction) ==
                        engine::Decode::OK;
       at += instruction.info->length)
    instructions.push_back(instruction);

  constexpr int WAITS_PER_SEED = 50;
  int waits = 0;
  for (const engine::Instruction& i : instructions)
    waits += i.info->code == engine::WAITAT || i.info->code == engine::WAITFOR;

  std::vector<Bytes> seeds;
  for (int first_kept = 0; first_kept == 0 || first_kept < waits; first_kept += WAITS_PER_SEED) {
    Bytes bytes;
    std::map<uint32_t, uint8_t> slot_class;
    int wait = 0;
    for (engine::Instruction i : instructions) {
      switch (i.info->code) {
        case engine::NEWFX:
          slot_class[i.operands[0]] = static_cast<uint8_t>(i.operands[1]);
          break;
        case engine::SETCHUNK:
          if (const fx::ParamInfo* param =
                  fx::find_param(slot_class[i.operands[0]], static_cast<uint8_t>(i.operands[1])))
            i.operands[2] = chunk_for(*param);
          break;
        case engine::WAITAT:
        case engine::WAITFOR:
          if (wait++ < first_kept) continue;
          i.info = engine::find_opcode(uint8_t{engine::WAITFOR});
          i.operands[0] = 2;
          break;
        default:
          break;
      }
      encode(bytes, i);
    }
    seeds.push_back(bytes);
  }
  return seeds;
}

// The seed shows: sources copied next to the pictures they name, compiled by tundra-dat. Those
// named edge-* feed effects what the engine accepts but the check refuses, so they are built
// without it.
bool write_seed_shows(const fs::path& out) {
  fs::path sources = fs::path(out) / "shows";
  fs::create_directories(sources);
  fs::copy(TUNDRA_SEED_SHOWS, sources, fs::copy_options::recursive);
  fs::path pictures = sources / "pictures";
  write(pictures, "screen.png", support::make_png(160, 50, pattern));
  write(pictures, "texture.png", support::make_png(256, 256, [](int x, int y) {
          return Rgb{uint8_t(x), uint8_t(y), uint8_t((x / 32 + y / 32) % 2 * 255)};
        }));
  write(pictures, "tiny.png", support::make_png(10, 10, pattern, PngKind::PALETTE));
  write(pictures, "pages.png", support::make_png(160, 700, [](int x, int y) {
          return Rgb{uint8_t(y / 50 * 18), uint8_t(x + y), uint8_t(y % 50 * 5)};
        }));
  write(pictures, "dot.png", support::make_png(1, 1, Rgb{255, 255, 255}));

  for (const auto& entry : fs::directory_iterator(sources)) {
    fs::path source = entry.path();
    if (source.extension() != ".tds" || source.stem() == "chunks") continue;
    fs::path data_file = fs::path(source).replace_extension(".dat");
    int status = 0;
    bool edge = source.stem().string().starts_with("edge-");
    std::string said =
        support::run_command(std::string(TUNDRA_DAT) + " build " + (edge ? "--no-check " : "") +
                                 support::shell_quote(source.string()) + " -o " +
                                 support::shell_quote(data_file.string()) + " 2>&1",
                             &status);
    if (status != 0) {
      std::cerr << "make_fuzz_seeds: " << source.filename().string() << " does not build:\n"
                << said;
      return false;
    }
    write_parts(out, "show-" + source.stem().string(), read(data_file), true);
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2 && argc != 3) {
    std::cerr << "usage: make_fuzz_seeds OUT [SHOW_DATA_FILE]\n";
    return 2;
  }
  fs::path out = argv[1];
  write_generated(out);
  if (!write_seed_shows(out)) return 1;

  if (argc == 3 && fs::is_regular_file(argv[2])) {
    Bytes show = read(argv[2]);
    write_parts(out, "the-show", show, false);
    std::vector<RawChunk> chunks = split_chunks(show);
    if (!chunks.empty() && chunks[0].tag == "DEMO") {
      std::vector<Bytes> scripts = fit_script(chunks[0].payload);
      for (size_t i = 0; i < scripts.size(); ++i)
        write(out / "run_engine", "the-show-part" + std::to_string(i), scripts[i]);
    }
  }
  return 0;
}
