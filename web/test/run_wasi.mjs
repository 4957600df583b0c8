// Runs a WASI command module (a program with main) in Node: node run_wasi.mjs FILE.wasm ARGS...
// The imports are named by hand: Debian's Node 18 has no WASI.getImportObject().
import {readFileSync} from 'node:fs';
import {WASI} from 'node:wasi';

const [file, ...args] = process.argv.slice(2);
const wasi = new WASI({version: 'preview1', args: [file, ...args], returnOnExit: true});
const {instance} = await WebAssembly.instantiate(readFileSync(file),
                                                 {wasi_snapshot_preview1: wasi.wasiImport});
process.exitCode = wasi.start(instance);
