// The page's player: runs the engine (the Tundra class above it) at the 30 ms clock, shows the
// ASCII view as text and the colour view on a canvas, plays the music through an AudioWorklet
// whose samples are the clock once a click has started them, and ends with the farewell.
const FRAME_MS = 30;
const FRAME_SAMPLES = 1323;  // 30 ms at 44,100 Hz
const SECOND_FRAMES = 33;        // Left and Right move by a second, to the nearest frame
const SOUND_AHEAD = 6;           // frames of sound handed to the worklet before they play
const CELL_WIDTH = 8, CELL_HEIGHT = 16;

const settings = JSON.parse(document.getElementById('tundra-settings').textContent);
const stage = document.getElementById('stage');
const asciiView = document.getElementById('ascii');
const canvas = document.getElementById('colour');
const farewellView = document.getElementById('farewell');
const momentLink = document.getElementById('moment');
const statusText = document.getElementById('status');

// A file the page carries: deflated, in base64; none is empty.
async function inlined(id) {
  const binary = atob(document.getElementById(id).textContent.trim());
  if (binary.length === 0) return new Uint8Array(0);
  const bytes = new Uint8Array(binary.length);
  for (let i = 0; i < binary.length; ++i) bytes[i] = binary.charCodeAt(i);
  const inflated = new Blob([bytes]).stream().pipeThrough(new DecompressionStream('deflate'));
  return new Uint8Array(await new Response(inflated).arrayBuffer());
}

const tundra = await Tundra.create(await inlined('tundra-engine'));
const loaded = await tundra.load(await inlined('tundra-show'), settings.name);
if (!loaded.ok) throw new Error(loaded.messages);
// The engine opens the show's music chunk itself; music it cannot play is a line of its own.
for (const line of loaded.messages.split('\n'))
  if (line.startsWith('engine  : ')) console.warn(line);

const state = {
  playing: true,
  ended: false,     // the script reached its end: the farewell runs or has run
  colour: settings.view === 'colour',
  muted: false,
  clock: {frame: 0, time: performance.now()},  // the timer clock: frame `frame` began at `time`
  sound: null,      // {context, node, gain} once a gesture has started it
  generation: 0,    // restarts of the worklet's queue
  soundBase: 0,     // the frame the worklet's first queued sample belongs to
  soundNext: 0,     // the next frame whose sound is handed to the worklet
  played: 0,        // samples the worklet has played since its last restart
};

// --- the views ---

const context2d = canvas.getContext('2d');
context2d.font = `${CELL_HEIGHT - 2}px monospace`;
context2d.textBaseline = 'top';

function hex(colour) {
  return '#' + colour.toString(16).padStart(6, '0');
}

function drawColour() {
  const cells = tundra.cells();
  for (let row = 0, i = 0; row < ROWS; ++row) {
    for (let column = 0; column < COLUMNS; ++column, i += 3) {
      const x = column * CELL_WIDTH, y = row * CELL_HEIGHT;
      context2d.fillStyle = hex(cells[i + 2]);
      context2d.fillRect(x, y, CELL_WIDTH, CELL_HEIGHT);
      if (cells[i] === 32) continue;
      context2d.fillStyle = hex(cells[i + 1]);
      context2d.fillText(String.fromCodePoint(cells[i]), x, y + 1, CELL_WIDTH);
    }
  }
}

// Only the view on show is drawn: the engine has worked out both for every stepped frame.
function draw() {
  if (state.colour) drawColour();
  else asciiView.textContent = tundra.ascii();
}

function showView() {
  asciiView.hidden = state.colour;
  canvas.hidden = !state.colour;
  if (tundra.shown >= 0) draw();
}

function showStatus() {
  const frame = Math.max(tundra.shown, 0);
  momentLink.href = `#frame=${frame}`;
  statusText.textContent = state.ended ? 'the end' :
      `frame ${frame}${state.playing ? '' : ', paused'}${state.muted ? ', muted' : ''}` +
      (state.sound ? '' : ', no sound yet');
}

// --- the clock: the sound's samples once they play, else a 30 ms timer ---

function restartClock(frame) {
  state.clock = {frame, time: performance.now()};
  if (!state.sound) return;
  state.generation += 1;
  state.soundBase = state.soundNext = frame;
  state.played = 0;
  tundra.audioSeek(frame);
  state.sound.node.port.postMessage({restart: state.generation});
}

// The frame the clock says should be on show.
function clockFrame() {
  if (state.sound) return state.soundBase + Math.floor(state.played / FRAME_SAMPLES);
  return state.clock.frame + Math.floor((performance.now() - state.clock.time) / FRAME_MS);
}

function feedSound(frame) {
  if (!state.sound) return;
  while (state.soundNext <= frame + SOUND_AHEAD) {
    const samples = tundra.audio();
    state.sound.node.port.postMessage({samples}, [samples.buffer]);
    state.soundNext += 1;
  }
}

// Steps every frame up to the one the clock names: a frame skipped would leave the flash's
// noise behind the terminal's. A page that fell far behind (a hidden tab) starts the clock over.
function tick() {
  if (!state.playing || state.ended) return;
  const want = clockFrame();
  let stepped = 0;
  while (tundra.frame <= want && stepped < 20) {
    if (!tundra.step()) {
      farewell();
      return;
    }
    ++stepped;
  }
  if (stepped > 0) {
    draw();
    showStatus();
  }
  if (tundra.frame <= want) restartClock(tundra.frame);
  feedSound(tundra.frame);
}

// --- moving about ---

// Shows `frame` and pauses there; the farewell, and false, when the show ends before it.
function showFrame(frame) {
  const target = Math.max(0, Math.floor(frame));
  if (state.ended) {
    state.ended = false;
    farewellView.hidden = true;
    farewellView.textContent = '';
    stage.hidden = false;
  }
  const reached = tundra.seek(target) && tundra.step();
  state.playing = false;
  if (!reached) {
    farewell();
    return false;
  }
  restartClock(tundra.frame);
  draw();
  showStatus();
  return true;
}

// A second back or on, playing on if it was playing.
function move(frames) {
  const playing = state.playing && !state.ended;
  if (showFrame(Math.max(tundra.shown, 0) + frames) && playing) setPlaying(true);
}

function setPlaying(playing) {
  if (state.ended) {
    if (!playing) return;
    showFrame(0);
  }
  state.playing = playing;
  restartClock(tundra.frame);
  showStatus();
}

// #frame=N or #t=M:SS (or seconds): the moment the address names, or null.
function momentOf(hash) {
  const frame = /^#frame=(\d+)$/.exec(hash);
  if (frame) return Number(frame[1]);
  const time = /^#t=(?:(\d+):)?(\d+(?:\.\d+)?)$/.exec(hash);
  if (time) return Math.floor((Number(time[1] ?? 0) * 60 + Number(time[2])) * 1000 / FRAME_MS);
  return null;
}

function goToAddress() {
  const frame = momentOf(location.hash);
  if (frame !== null) showFrame(frame);
}

// --- the end: the player's farewell lines, each followed by its pause ---

let farewellTimer = null;

function farewell() {
  state.ended = true;
  stage.hidden = true;
  farewellView.hidden = false;
  farewellView.textContent = '';
  restartClock(tundra.frame);
  showStatus();
  const lines = settings.farewell;
  let index = 0;
  const next = () => {
    if (!state.ended || index >= lines.length) return;
    const [text, ticks] = lines[index++];
    farewellView.textContent += text;
    farewellTimer = setTimeout(next, ticks * FRAME_MS);
  };
  clearTimeout(farewellTimer);
  next();
}

// --- sound: a gesture starts it ---

async function startSound() {
  if (state.sound || !tundra.musicPresent) return;
  const context = new AudioContext({sampleRate: 44100});
  const script = document.getElementById('tundra-sound').textContent;
  // A page opened from a file has no origin that a blob: address could share with the
  // worklet; a data: address carries the script itself.
  await context.audioWorklet.addModule(
      'data:text/javascript;charset=utf-8,' + encodeURIComponent(script));
  const node = new AudioWorkletNode(context, 'tundra-sound', {outputChannelCount: [2]});
  const gain = context.createGain();
  gain.gain.value = state.muted ? 0 : 1;
  node.connect(gain).connect(context.destination);
  node.port.onmessage = (event) => {
    if (event.data.generation === state.generation) state.played = event.data.played;
  };
  await context.resume();
  state.sound = {context, node, gain};
  restartClock(tundra.frame);
  feedSound(tundra.frame);
  showStatus();
}

function gesture() {
  startSound().catch((error) => console.warn(`no sound: ${error}`));
}

function toggleFullScreen() {
  if (document.fullscreenElement) document.exitFullscreen();
  else stage.requestFullscreen().catch(() => {});
}

const keys = {
  ' ': () => setPlaying(!state.playing || state.ended),
  ArrowLeft: () => move(-SECOND_FRAMES),
  ArrowRight: () => move(SECOND_FRAMES),
  c: () => {
    state.colour = !state.colour;
    showView();
  },
  f: toggleFullScreen,
  m: () => {
    state.muted = !state.muted;
    if (state.sound) state.sound.gain.gain.value = state.muted ? 0 : 1;
    showStatus();
  },
};

document.addEventListener('keydown', (event) => {
  const action = keys[event.key];
  if (!action || event.ctrlKey || event.altKey || event.metaKey) return;
  event.preventDefault();
  gesture();
  action();
});
document.addEventListener('click', gesture);
window.addEventListener('hashchange', goToAddress);

// For whoever drives the page (its tests): the state, and the frames stepped as the clock
// steps them, without waiting for it.
window.tundraPage = {
  tundra,
  state,
  run(frames) {
    const times = [];
    for (let i = 0; i < frames && !state.ended; ++i) {
      const start = performance.now();
      if (!tundra.step()) {
        farewell();
        break;
      }
      draw();
      times.push(performance.now() - start);
    }
    restartClock(tundra.frame);
    showStatus();
    return times;
  },
  showFrame,
};

showView();
if (momentOf(location.hash) !== null) goToAddress();
else restartClock(0);
showStatus();
setInterval(tick, 8);
document.body.dataset.ready = 'yes';
