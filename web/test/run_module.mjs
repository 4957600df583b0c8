// Runs the WebAssembly module in Node for the tests and the measurements, printing what it gives
// in the renderer's formats. Usage: node run_module.mjs MODULE_DIR COMMAND...
//   load FILE     loads a data file (its messages go to standard error; refusal: status 1)
//   ascii N       steps N frames, printing each as tundra-render --ascii does
//   at F          seeks to F and steps: frame F as --ascii prints it
//   ansi F        seeks to F and steps: frame F as --ansi prints it
//   images        every image chunk: "index width height" and its pixels in hex, little-endian
//   music N       prints N frames of the show's music, its samples in hex, little-endian
//                 (status 3 when the show has none that plays)
//   time N        steps N frames and prints the median and worst milliseconds a frame took
import {readFileSync} from 'node:fs';
import {join} from 'node:path';

const [moduleDir, ...commands] = process.argv.slice(2);
const {Tundra} = await import(join(moduleDir, 'tundra.mjs'));
const tundra = await Tundra.create(readFileSync(join(moduleDir, 'tundra.wasm')),
                                   (text) => process.stderr.write(text));
const out = [];
const hex = (array) => Buffer.from(array.buffer, array.byteOffset, array.byteLength).toString('hex');

function frameText() {
  return tundra.ascii() + tundra.shown + '\n';
}

for (let i = 0; i < commands.length; ++i) {
  const command = commands[i];
  if (command === 'load') {
    const {ok, messages} = await tundra.load(readFileSync(commands[++i]), commands[i]);
    process.stderr.write(messages);
    if (!ok) process.exit(1);
  } else if (command === 'ascii') {
    for (let n = Number(commands[++i]); n > 0 && tundra.step(); --n) out.push(frameText());
  } else if (command === 'at' || command === 'ansi') {
    if (!tundra.seek(Number(commands[++i])) || !tundra.step()) process.exit(2);
    out.push(command === 'at' ? frameText() : tundra.ansi() + tundra.shown + '\n');
  } else if (command === 'images') {
    for (let index = 0; index < 256; ++index) {
      const image = tundra.image(index);
      if (image) out.push(`${index} ${image.width} ${image.height} ${hex(image.pixels)}\n`);
    }
  } else if (command === 'music') {
    if (!tundra.musicPresent) process.exit(3);
    for (let n = Number(commands[++i]); n > 0; --n) out.push(hex(tundra.audio()));
    out.push('\n');
  } else if (command === 'time') {
    const times = [];
    for (let n = Number(commands[++i]); n > 0; --n) {
      const began = performance.now();
      if (!tundra.step()) break;
      times.push(performance.now() - began);
    }
    times.sort((a, b) => a - b);
    out.push(`frames ${times.length} median ${times[times.length >> 1].toFixed(3)} ms ` +
             `worst ${times[times.length - 1].toFixed(3)} ms\n`);
  } else {
    process.stderr.write(`run_module: unknown command ${command}\n`);
    process.exit(64);
  }
}
process.stdout.write(out.join(''));
