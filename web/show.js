// Plays vantrel in the page: the frame code (WebAssembly) draws every frame,
// the music plays through Web Audio, and the frames follow the music's clock
// at the show's pace of one frame every 11 ms.
//
//   index.html            the show, seeded from the time of day
//   index.html?seed=N     the show of seed N
//   index.html?seed=N&test  no sound and no clock: frames stepped on request,
//                         for tests (see window.vantrelTest below)
//   ...&wasm=scalar       the frame code built without SIMD128, which the
//                         page otherwise takes only where SIMD128 is missing
'use strict';

(() => {
  const frameSeconds = 0.011;
  const sampleRate = 44100;
  const pictureWidth = 640;
  const pictureHeight = 600;
  const glyphWidth = 8;
  const glyphHeight = 12;
  const params = new URLSearchParams(location.search);
  const testMode = params.has('test');

  const canvas = document.getElementById('screen');
  const context2d = canvas.getContext('2d');
  const notice = document.getElementById('notice');
  const noticeText = document.getElementById('notice-text');
  const noticeButton = document.getElementById('notice-button');
  const progress = document.getElementById('notice-progress');
  const statusLine = document.getElementById('status');

  function say(text, buttonLabel, onClick) {
    noticeText.textContent = text;
    progress.hidden = true;
    noticeButton.hidden = !buttonLabel;
    if (buttonLabel) {
      noticeButton.textContent = buttonLabel;
      noticeButton.onclick = onClick;
    }
    notice.hidden = false;
  }
  function quiet() {
    notice.hidden = true;
  }

  // Whole-number scaling to the largest size that fits the window (smaller
  // windows shrink the picture, still without smoothing).
  function fitCanvas() {
    const fit = Math.min(innerWidth / pictureWidth, innerHeight / pictureHeight);
    const scale = testMode ? 1 : fit >= 1 ? Math.floor(fit) : fit;
    canvas.style.width = `${pictureWidth * scale}px`;
    canvas.style.height = `${pictureHeight * scale}px`;
  }

  // Seconds since local midnight in whole milliseconds, as the native demo
  // seeds its particles.
  function seedFromClock() {
    const now = new Date();
    const midnight = new Date(now.getFullYear(), now.getMonth(), now.getDate());
    return (now - midnight) >>> 0;
  }
  function chosenSeed() {
    const seed = params.get('seed');
    return seed !== null && /^\d+$/.test(seed) ? Number(seed) >>> 0 : seedFromClock();
  }

  // --- the frame code -------------------------------------------------------

  let wasm = null;

  // The frame code keeps the picture as RGBA in its own memory and redraws
  // only the cells that changed; the canvas takes the rectangle around them
  // from there, with no copy in between. The view is made afresh when that
  // memory has grown (and so moved) or the show started anew.
  let pictureView = null;
  function paint() {
    const changed = wasm._vantrel_paint_changes() >> 2;
    const at = wasm._vantrel_picture();
    if (!pictureView || pictureView.data.buffer !== wasm.HEAPU8.buffer ||
        pictureView.data.byteOffset !== at) {
      const bytes = new Uint8ClampedArray(wasm.HEAPU8.buffer, at, pictureWidth * pictureHeight * 4);
      pictureView = new ImageData(bytes, pictureWidth, pictureHeight);
    }
    // One transfer of the rectangle around the changed cells: the ripple
    // changes cells on most rows of every frame, and one costs less than fifty.
    const heap = wasm.HEAP32;
    const [top, left, bottom, right] =
      [heap[changed], heap[changed + 1], heap[changed + 2], heap[changed + 3]];
    if (left === 0) return;
    context2d.putImageData(pictureView, 0, 0, (left - 1) * glyphWidth, top * glyphHeight,
      (right - left + 1) * glyphWidth, (bottom - top + 1) * glyphHeight);
  }

  function cellBytes() {
    const at = wasm._vantrel_cells();
    return wasm.HEAPU8.slice(at, at + 16000);
  }

  // --- the music and its bars -----------------------------------------------

  // The bytes of `name`, reporting each arrival with onProgress(received,
  // total); total is 0 where the server does not say (or says only the
  // compressed length). Throws, naming the file, when they cannot be had.
  async function fetchBytes(name, onProgress = () => {}) {
    try {
      return await receiveBytes(await fetch(name), onProgress);
    } catch (error) {
      throw new Error(`${name} could not be loaded (${error.message})`);
    }
  }

  async function receiveBytes(response, onProgress) {
    if (!response.ok) throw new Error(`${response.status} ${response.statusText}`);
    const encoding = response.headers.get('Content-Encoding') ?? 'identity';
    const total = encoding === 'identity' ? Number(response.headers.get('Content-Length')) || 0 : 0;
    const chunks = [];
    let received = 0;
    const reader = response.body.getReader();
    for (;;) {
      const { done, value } = await reader.read();
      if (done) break;
      chunks.push(value);
      received += value.length;
      onProgress(received, total);
    }
    const bytes = new Uint8Array(received);
    let at = 0;
    for (const chunk of chunks) {
      bytes.set(chunk, at);
      at += chunk.length;
    }
    return bytes;
  }

  function megabytes(bytes) {
    return `${(bytes / 1e6).toFixed(1)} MB`;
  }
  function showLoading(received, total) {
    const done = total > 0 ? Math.min(1, received / total) : null;
    const text = done === null ? `${megabytes(received)} so far` :
      `${Math.floor(100 * done)}% of ${megabytes(total)}`;
    say(`Loading the music: ${text}`);
    progress.hidden = false;
    if (done === null) progress.removeAttribute('value');
    else progress.value = done;
  }

  // Hands the table of the bars and the music file it must come from to the
  // frame code; null when the bars follow it, else why they cannot.
  function giveBars(table, musicFile) {
    wasm.HEAPU8.set(table, wasm._vantrel_bar_table_buffer(table.length));
    wasm.HEAPU8.set(musicFile, wasm._vantrel_music_file_buffer(musicFile.length));
    const problem = wasm._vantrel_bars_ready();
    return problem ? wasm.UTF8ToString(problem) : null;
  }

  // The music decoded at 44.1 kHz by the browser, with its bars given to the
  // frame code: { music } when both can be had, else { problem } and the show
  // plays silent with empty bars. All of the MP3 must arrive before it can be
  // decoded; the show starts once it has, and never waits on the network.
  async function loadMusic() {
    if (typeof OfflineAudioContext !== 'function') {
      return { problem: 'This browser cannot decode audio: the show plays silent, with empty bars.' };
    }
    let musicFile;
    let table;
    try {
      [musicFile, table] = await Promise.all(
        [fetchBytes('BlueNoise.mp3', showLoading), fetchBytes('BlueNoise.bars')]);
    } catch (error) {
      return { problem: `${error.message}: the show plays silent, with empty bars.` };
    }
    say('Decoding the music...');
    let music;
    try {
      const decoder = new OfflineAudioContext(2, 1, sampleRate);
      music = await decoder.decodeAudioData(musicFile.slice().buffer);
    } catch (error) {
      return { problem: 'The music file is damaged: the show plays silent, with empty bars.' };
    }
    const problem = giveBars(table, musicFile);
    if (problem) {
      return { problem: `The table of the bars cannot be used (${problem}): the show plays silent, with empty bars.` };
    }
    if (music.length !== wasm._vantrel_music_frames()) {
      console.warn(`vantrel: this browser decodes the music to ${music.length} frames, ` +
        `${wasm._vantrel_music_frames()} expected: the bars may not keep time with it`);
    }
    return { music };
  }

  // One line under the picture that stays while the show plays.
  function report(text) {
    statusLine.textContent = text;
    statusLine.hidden = !text;
  }

  // --- the live show --------------------------------------------------------

  class LiveShow {
    constructor(music) {
      this.music = music;
      this.audio = null;
      this.frame = 0;
      this.running = false;
      this.framesDrawn = 0;
      this.paints = 0;
      this.ticks = 0;
      this.milliseconds = { draw: 0, paint: 0 };
    }

    // For measurements: what the page has done so far, by the show's clock.
    counters() {
      const { framesDrawn, paints, ticks } = this;
      return { clock: this.now(), framesDrawn, paints, ticks, milliseconds: { ...this.milliseconds } };
    }

    // The moment of the music heard now where there is sound, the page's
    // clock otherwise. The context's own time moves on a whole buffer of
    // samples at a time (tens of milliseconds with the long buffers asked
    // for), which would leave some animation frames with no new frame to
    // show; its output timestamp says which moment was heard when, and the
    // page's clock runs on from there.
    now() {
      if (!this.audio) return performance.now() / 1000;
      const stamp = this.audio.getOutputTimestamp ? this.audio.getOutputTimestamp() : null;
      const outputLatency = this.audio.outputLatency || 0;
      // Firefox's timestamp is only its current time less the output
      // latency, stamped that long before now: it says neither when the
      // output moved nor what is heard (it runs the latency ahead of it).
      const derived = stamp && stamp.contextTime === Math.max(0, this.audio.currentTime - outputLatency);
      if (stamp && stamp.performanceTime > 0 && !derived) {
        return stamp.contextTime + (performance.now() - stamp.performanceTime) / 1000;
      }
      // What is heard now left the graph this long ago.
      const latency = (this.audio.baseLatency || 0) + outputLatency;
      return this.runOn(this.audio.currentTime - latency);
    }

    // A clock that moves a buffer at a time, each step read up to an
    // animation frame late, run on by the page's clock from the reading of
    // the last half second that was least late.
    runOn(heard) {
      const page = performance.now() / 1000;
      this.readings = (this.readings || []).filter(([at]) => at > page - 0.5);
      this.readings.push([page, heard - page]);
      return page + Math.max(...this.readings.map(([, ahead]) => ahead));
    }

    // `clicked`: started by a click, which lets the sound start too.
    async start(clicked = false) {
      wasm._vantrel_start(chosenSeed());
      this.frame = 0;
      this.running = true;
      // A start that waited (for a click, for the output) goes on only if
      // no Esc and no later start came meanwhile.
      const run = (this.runs = (this.runs || 0) + 1);
      const superseded = () => !this.running || run !== this.runs;
      if (this.music && window.AudioContext) {
        // The music needs no quick answer to anything: the longest buffers
        // wake the audio thread least often.
        this.audio = this.audio || new AudioContext({ sampleRate, latencyHint: 'playback' });
        // Firefox's context is suspended until its output has started, even
        // where sound may start without a click (its autoplay policy says
        // so), and stays so where there is no sound device.
        if (this.audio.state === 'suspended') {
          const mayPlay = clicked || navigator.getAutoplayPolicy?.('audiocontext') === 'allowed';
          if (!mayPlay) await this.waitForGesture();
          else if (!(await this.outputStarts(5)) && !superseded()) this.playSilent();
          if (superseded()) return;  // and the context is the later start's
        }
      }
      if (this.audio) {
        this.source = this.audio.createBufferSource();
        this.source.buffer = this.music;
        this.source.loop = true;  // a slow machine's show outlasts the track
        this.source.connect(this.audio.destination);
        this.startTime = this.audio.currentTime + 0.05;
        this.source.start(this.startTime);
      } else {
        this.startTime = this.now();
      }
      quiet();
      requestAnimationFrame(() => this.tick());
    }

    // Whether the context's output starts within `seconds`.
    outputStarts(seconds) {
      say('Waiting for the sound to start...');
      return Promise.race([this.audio.resume().then(() => true, () => false),
        new Promise((resolve) => setTimeout(() => resolve(false), seconds * 1000))]);
    }

    // No sound device answers: the show plays on the page's clock, silent,
    // its bars moving as they would with the music.
    playSilent() {
      this.audio.close().catch(() => {});
      this.audio = null;
      report('No sound device answers: the show plays silent.');
    }

    // Settles on the click, or when the show is ended (Esc) before it.
    waitForGesture() {
      return new Promise((resolve) => {
        this.endWait = resolve;
        say('vantrel: a text-mode demo with music.', 'Click to start', async () => {
          quiet();
          await this.audio.resume();
          resolve();
        });
      });
    }

    // Draws every frame that is due by the clock, and shows the last.
    tick() {
      if (!this.running) return;
      this.ticks += 1;
      const began = performance.now();
      const elapsed = this.now() - this.startTime;
      const due = elapsed < 0 ? 0 : Math.floor(elapsed / frameSeconds) + 1;
      let drew = false;
      while (this.frame < due && this.running) {
        this.frame += 1;
        if (wasm._vantrel_draw_frame(this.frame) === 0) {
          this.finish('The end.');
          return;
        }
        this.framesDrawn += 1;
        drew = true;
      }
      const drawn = performance.now();
      this.milliseconds.draw += drawn - began;
      if (drew) {
        paint();
        this.paints += 1;
        this.milliseconds.paint += performance.now() - drawn;
      }
      requestAnimationFrame(() => this.tick());
    }

    // For tests: the cells of the frame last drawn.
    cellBytes() {
      return cellBytes();
    }

    finish(text) {
      this.running = false;
      this.endWait?.();
      this.endWait = null;
      if (this.source) {
        this.source.stop();
        this.source.disconnect();
        this.source = null;
      }
      say(text, 'Play again', () => this.start(true));
    }
  }

  // --- the test mode --------------------------------------------------------

  async function sha256Hex(bytes) {
    const digest = new Uint8Array(await crypto.subtle.digest('SHA-256', bytes));
    return Array.from(digest, (b) => b.toString(16).padStart(2, '0')).join('');
  }

  // For tests: the mean square of the decoded music's left channel over the
  // `frames` frames before frame `end`.
  function loudness(music, end, frames) {
    const samples = music.getChannelData(0);
    let sum = 0;
    for (let i = Math.max(0, end - frames); i < Math.min(end, samples.length); ++i) {
      sum += samples[i] * samples[i];
    }
    return sum / frames;
  }

  // For tests: frames stepped on request, exactly as the native frame tool
  // steps them (frame n reads the music (n - 1) x 11 ms in).
  function testInterface(seed) {
    return {
      seed,
      // The SHA-256 of every frame's 16000 cell bytes, frame 1 first, up to
      // the frame in which the message runs out (not included), or `limit`.
      async cellDigests(limit = Infinity) {
        wasm._vantrel_start(seed);
        const digests = [];
        for (let frame = 1; frame <= limit && wasm._vantrel_draw_frame(frame) === 1; ++frame) {
          digests.push(await sha256Hex(cellBytes()));
        }
        return digests;
      },
      // Draws frames 1 to n and shows frame n on the canvas at scale 1.
      showFrame(n) {
        wasm._vantrel_start(seed);
        for (let frame = 1; frame <= n; ++frame) wasm._vantrel_draw_frame(frame);
        paint();
        this.shown = n;
      },
      // Goes on from the frame shown to frame n, painting each on the way
      // as the live page does (only what changed).
      paintOnTo(n) {
        for (let frame = this.shown + 1; frame <= n; ++frame) {
          wasm._vantrel_draw_frame(frame);
          paint();
        }
        this.shown = n;
      },
    };
  }

  // --- start ----------------------------------------------------------------

  // A module of one function that uses SIMD128 (i8x16.splat, i8x16.popcnt):
  // it validates exactly where the browser runs SIMD128.
  const simd128Probe = new Uint8Array([0, 97, 115, 109, 1, 0, 0, 0, 1, 5, 1, 96, 0, 1, 123, 3,
    2, 1, 0, 10, 10, 1, 8, 0, 65, 0, 253, 15, 253, 98, 11]);

  // The frame code's script: with the SIMD128 ripple kernel where the
  // browser has SIMD128 (such a module does not load elsewhere), else the
  // one without; both draw the same cells.
  function frameCodeScript() {
    const simd = params.get('wasm') !== 'scalar' && WebAssembly.validate(simd128Probe);
    return simd ? 'vantrel-web.js' : 'vantrel-web-scalar.js';
  }

  function loadScript(src) {
    return new Promise((resolve, reject) => {
      const script = document.createElement('script');
      script.src = src;
      script.onload = resolve;
      script.onerror = () => reject(new Error(`cannot load ${src}`));
      document.body.append(script);
    });
  }

  async function main() {
    fitCanvas();
    addEventListener('resize', fitCanvas);
    if (typeof WebAssembly !== 'object') {
      say('vantrel needs WebAssembly, which this browser does not offer.');
      return;
    }
    say('Loading the frame code...');
    try {
      const script = frameCodeScript();
      await loadScript(script);
      wasm = await createVantrelModule();
      wasm.script = script;
    } catch (error) {
      say(`vantrel could not start its WebAssembly code: ${error}`);
      return;
    }
    wasm._vantrel_start(0);
    const { music = null, problem = null } = await loadMusic();
    report(problem);
    if (testMode) {
      quiet();
      window.vantrelTest = testInterface(chosenSeed());
      window.vantrelTest.hasMusic = music !== null;
      window.vantrelTest.problem = problem;
      // The browser's decoding of the music, to hold against the native one.
      window.vantrelTest.decodedFrames = music ? music.length : 0;
      window.vantrelTest.nativeFrames = wasm._vantrel_music_frames();
      window.vantrelTest.loudness = (end, frames) => loudness(music, end, frames);
      window.vantrelTest.frameCode = wasm.script;
      return;
    }
    const show = new LiveShow(music);
    window.vantrelLive = show;
    addEventListener('keydown', (event) => {
      if (event.key === 'Escape' && show.running) show.finish('Ended with Esc.');
    });
    if (!window.AudioContext) {
      say('This browser offers no audio: the show runs silent, with empty bars.', 'Start', () =>
        show.start());
      return;
    }
    show.start();
  }

  main();
})();
