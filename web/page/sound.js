// The page's AudioWorklet: plays the frames of sound the page hands it, in order, and tells the
// page how many samples it has played, which is the show's clock while the sound runs.
class TundraSound extends AudioWorkletProcessor {
  constructor() {
    super();
    this.queue = [];  // Int16Array frames, stereo interleaved
    this.offset = 0;  // samples of queue[0] already played
    this.played = 0;
    this.generation = 0;  // the page's count of restarts, so that it can ignore older reports
    this.quanta = 0;
    this.port.onmessage = (event) => {
      const message = event.data;
      if (message.restart !== undefined) {
        this.queue = [];
        this.offset = 0;
        this.played = 0;
        this.generation = message.restart;
      }
      if (message.samples) this.queue.push(message.samples);
    };
  }

  process(inputs, outputs) {
    const channels = outputs[0];
    const left = channels[0];
    const right = channels[1] ?? channels[0];
    for (let i = 0; i < left.length; ++i) {
      // An empty queue plays silence and does not move the clock: the show waits for its sound.
      if (this.queue.length === 0) {
        left[i] = right[i] = 0;
        continue;
      }
      const frame = this.queue[0];
      left[i] = frame[2 * this.offset] / 32768;
      right[i] = frame[2 * this.offset + 1] / 32768;
      ++this.played;
      if (2 * ++this.offset >= frame.length) {
        this.queue.shift();
        this.offset = 0;
      }
    }
    // A report every four render quanta (about 12 ms) is finer than a frame's 30 ms.
    if (++this.quanta % 4 === 0)
      this.port.postMessage({played: this.played, generation: this.generation});
    return true;
  }
}

registerProcessor('tundra-sound', TundraSound);
