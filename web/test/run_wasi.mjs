// Runs a WASI command module (a program with main) in Node: node run_wasi.mjs FILE.wasm ARGS...
import {readFileSync} from 'node:fs';
import {WASI} from 'node:wasi';

const [file, ...args] = process.argv.slice(2);
const wasi = new WASI({version: 'preview1', args: [file, ...args], returnOnExit: true});
const {instance} = await WebAssembly.instantiate(readFileSync(file), wasi.getImportObject());
process.exitCode = wasi.start(instance);
