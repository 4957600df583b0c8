// The engine's WebAssembly module (tundra.wasm) for JavaScript, in a browser or in Node: loads
// it, gives it the few WASI functions its C library asks for, and wraps its exports in a class.
// web/README.md describes the functions; the C side is module/tundra_web.cpp.

// WASI's error numbers that the stand-ins below answer with.
const SUCCESS = 0, BAD_FILE = 8, NOT_SUPPORTED = 52;
const SAMPLES_PER_FRAME = 1323, CHANNELS = 2;
export const COLUMNS = 80, ROWS = 25;

// A fatal error of the engine (a data file it refuses while playing, a script that breaks its
// tables): the text the native player would print. The instance it came from is done with.
export class TundraError extends Error {}

// The module has no files, no clock and no environment: its C library only asks whether file
// descriptors exist (none do) and writes what it would print on standard error to `log`.
function wasiImports(module, memory, log) {
  const view = () => new DataView(memory().buffer);
  const text = new TextDecoder();
  const functions = {
    environ_sizes_get(count, size) {
      view().setUint32(count, 0, true);
      view().setUint32(size, 0, true);
      return SUCCESS;
    },
    environ_get: () => SUCCESS,
    fd_prestat_get: () => BAD_FILE,
    fd_write(fd, iovs, count, written) {
      let total = 0;
      for (let i = 0; i < count; ++i) {
        const base = view().getUint32(iovs + 8 * i, true);
        const length = view().getUint32(iovs + 8 * i + 4, true);
        if (fd === 1 || fd === 2) log(text.decode(new Uint8Array(memory().buffer, base, length)));
        total += length;
      }
      view().setUint32(written, total, true);
      return SUCCESS;
    },
    proc_exit(status) {
      throw new TundraError(`the engine exited with status ${status}`);
    },
  };
  const wasi = {};
  for (const entry of WebAssembly.Module.imports(module))
    if (entry.module === 'wasi_snapshot_preview1')
      wasi[entry.name] = functions[entry.name] ?? (() => NOT_SUPPORTED);
  return wasi;
}

async function instantiate(module, log) {
  let exports = null;
  const memory = () => exports.memory;
  const env = {
    tundra_fatal(text, length) {
      const bytes = new Uint8Array(exports.memory.buffer, text, length);
      throw new TundraError(new TextDecoder().decode(bytes));
    },
  };
  const instance = await WebAssembly.instantiate(module, {
    env,
    wasi_snapshot_preview1: wasiImports(module, memory, log),
  });
  exports = instance.exports;
  exports._initialize();
  return exports;
}

export class Tundra {
  // `source`: the bytes of tundra.wasm (ArrayBuffer or typed array) or a compiled module.
  // `log`: where the engine's stray output goes (console.warn by default).
  static async create(source, log = (text) => console.warn(text)) {
    const module =
        source instanceof WebAssembly.Module ? source : await WebAssembly.compile(source);
    const tundra = new Tundra(module, log);
    tundra.exports = await instantiate(module, log);
    return tundra;
  }

  constructor(module, log) {
    this.module = module;
    this.log = log;
    this.exports = null;
    this.broken = false;  // a fatal error left the instance half-way through an operation
  }

  // Loads a data file's bytes and starts its show at frame 0. Resolves to
  // { ok, messages }: ok false with the loader's or the engine's words when it is refused.
  async load(bytes, name = 'show.dat') {
    if (this.broken) {
      this.exports = await instantiate(this.module, this.log);
      this.broken = false;
    }
    const data = this.#copyIn(bytes);
    const label = this.#copyIn(new TextEncoder().encode(name + '\0'));
    try {
      const ok = this.#call(() => this.exports.tundra_load(data, bytes.length, label)) === 1;
      return {ok, messages: this.#string(this.exports.tundra_messages())};
    } catch (error) {
      if (error instanceof TundraError) return {ok: false, messages: error.message};
      throw error;
    } finally {
      if (!this.broken) {
        this.exports.tundra_free(data);
        this.exports.tundra_free(label);
      }
    }
  }

  // Plays the next frame into both views; false once the show has ended. A fatal error of the
  // engine throws a TundraError; load() may then be called again.
  step() {
    return this.#call(() => this.exports.tundra_step()) === 1;
  }

  // Makes `frame` the next to step (from the start when it lies behind); false if END came
  // first. The views show a frame again after the next step().
  seek(frame) {
    return this.#call(() => this.exports.tundra_seek(frame)) === 1;
  }

  // The frame the next step plays, and the frame the views show (-1 when none yet).
  get frame() { return this.exports.tundra_frame(); }
  get shown() { return this.exports.tundra_shown(); }

  // The ASCII view: 25 lines of 80 characters, each ending in '\n'.
  ascii() { return this.#string(this.exports.tundra_ascii()); }

  // The colour view: 80 x 25 cells row by row, three numbers a cell: the symbol's code point,
  // the foreground and the background as 0xRRGGBB. A copy, kept however the module's memory grows.
  cells() {
    return new Uint32Array(this.exports.memory.buffer, this.exports.tundra_cells(),
                           COLUMNS * ROWS * 3).slice();
  }

  // The colour view as tundra-render --ansi writes a frame: lines with 24-bit colour sequences.
  ansi() { return this.#string(this.exports.tundra_ansi()); }

  // Chunk `index`'s picture as the engine decoded it: { width, height, pixels (RGB565) }, or
  // null when the chunk is not an image.
  image(index) {
    const width = this.exports.tundra_image_width(index);
    const height = this.exports.tundra_image_height(index);
    if (width === 0) return null;
    const pixels = new Uint16Array(this.exports.memory.buffer,
                                   this.exports.tundra_image_pixels(index), width * height);
    return {width, height, pixels: pixels.slice()};
  }

  // Whether load() opened the show's music chunk for audio(); when libxmp refused it, load()'s
  // messages say why and the show plays silent.
  get musicPresent() { return this.exports.tundra_music_present() === 1; }

  // Makes `frame` the next frame audio() renders.
  audioSeek(frame) { this.exports.tundra_audio_seek(frame); }

  // The next frame's sound: 1,323 stereo samples at 44,100 Hz as 16-bit integers, left and
  // right interleaved; silence after the music's end or without it.
  audio() {
    return new Int16Array(this.exports.memory.buffer, this.exports.tundra_audio(),
                          SAMPLES_PER_FRAME * CHANNELS).slice();
  }

  #call(operation) {
    if (this.broken) throw new TundraError('the engine stopped on an earlier error: load again');
    try {
      return operation();
    } catch (error) {
      this.broken = true;
      throw error;
    }
  }

  #copyIn(bytes) {
    const at = this.exports.tundra_alloc(Math.max(bytes.length, 1));
    new Uint8Array(this.exports.memory.buffer, at, bytes.length).set(bytes);
    return at;
  }

  #string(at) {
    const memory = new Uint8Array(this.exports.memory.buffer);
    let end = at;
    while (memory[end] !== 0) ++end;
    return new TextDecoder().decode(memory.subarray(at, end));
  }
}
