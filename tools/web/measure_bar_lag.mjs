// How far the live page's bars trail the sound, end to end, in headless
// Chromium or Firefox, the way tools/measure-bar-lag measures the native
// demo. The page plays MUSIC_FOLDER's BlueNoise.mp3 (silence, then a loud
// burst) with the bar table made from it into the private sound server the
// browser tests use; two moments, both on the system clock:
// - the sound: the first loud frame on the sink's monitor (vantrel-bar-lag
//   --listen, which corrects for the recording's latency);
// - the bars: the first animation frame whose drawn cells hold a bar cell,
//   by the page's performance.timeOrigin + performance.now().
//   node tools/web/measure_bar_lag.mjs --engine chromium|firefox --music MUSIC_FOLDER [--runs N]
//                                      [--site DIR]
// MUSIC_FOLDER's BlueNoise.* files take the place of the site's (DIR, by
// default build/web/site).
// Prints one line a run: "bars trail the sound by X ms" (or "lead").
import { spawn } from 'node:child_process';
import { readdirSync, readFileSync } from 'node:fs';
import { join } from 'node:path';
import { createInterface } from 'node:readline';
import { parseArgs } from 'node:util';

const root = new URL('../../', import.meta.url).pathname;
const { engines, launch, launchOptions, serve, siteWith, until } = await import(
  join(root, 'tests/web/harness.mjs'));
const listener = join(root, 'build/release/tests/audio/vantrel-bar-lag');
const barCharacter = 179;  // the light vertical line every bar cell is drawn with

const { values: options } = parseArgs({
  options: {
    engine: { type: 'string', default: 'chromium' },
    music: { type: 'string' },
    runs: { type: 'string', default: '5' },
    site: { type: 'string', default: join(root, 'build/web/site') },
  },
});
if (!engines.includes(options.engine) || !options.music) {
  console.error(`usage: measure_bar_lag.mjs --engine ${engines.join('|')} --music MUSIC_FOLDER ` +
    '[--runs N] [--site DIR]');
  process.exit(2);
}

// Runs in the page before its own script: after every animation frame's
// callbacks, the first moment the show's cells hold a bar.
function watchForBars(character) {
  const request = window.requestAnimationFrame.bind(window);
  window.requestAnimationFrame = (callback) => request((time) => {
    callback(time);
    const show = window.vantrelLive;
    if (!show || window.vantrelBarsAt !== undefined) return;
    const cells = show.cellBytes();
    for (let at = 0; at < cells.length; at += 4) {
      if (cells[at] === character && cells[at + 1] === 0) {
        window.vantrelBarsAt = performance.timeOrigin + performance.now();
        return;
      }
    }
  });
}

// The sink's recording, started; `heard` resolves to the sound's moment (or null).
async function startListening(environment) {
  const child = spawn(listener, ['--listen', 'vantrel_test'],
    { env: environment, stdio: ['ignore', 'pipe', 'inherit'] });
  const lines = createInterface({ input: child.stdout });
  const heard = new Promise((resolve) => {
    lines.on('line', (line) => {
      const match = /^sound at ([0-9.]+)/.exec(line);
      if (match) resolve(Number(match[1]));
    });
    child.on('close', () => resolve(null));  // after its last line was read
  });
  await new Promise((resolve) => lines.once('line', resolve));  // "listening"
  return { heard };  // not the promise itself, which the caller's await would wait for
}

// When the page first drew bars, or null after 20 s.
async function barsSeen(page) {
  const drawn = () => window.vantrelBarsAt !== undefined;
  return until(page, drawn, { timeout: 20000 })
    .then(() => page.evaluate(() => window.vantrelBarsAt), () => null);
}

// The site with MUSIC_FOLDER's files in place of its own.
const music = Object.fromEntries(readdirSync(options.music)
  .filter((file) => file.startsWith('BlueNoise.'))
  .map((file) => [file, readFileSync(join(options.music, file))]));
const folder = siteWith(`bar-lag-${options.engine}`, music, options.site);
const base = await serve(folder);
const browser = await launch(options.engine);
const { env } = launchOptions(options.engine);
let failures = 0;
for (let run = 1; run <= Number(options.runs); ++run) {
  const page = await browser.newPage();
  await page.evaluateOnNewDocument(watchForBars, barCharacter);
  const { heard } = await startListening(env);
  await page.goto(`${base}/index.html?seed=1`);
  const barsAt = await barsSeen(page);
  const soundAt = await heard;
  const shown = await page.evaluate(() => {
    const show = window.vantrelLive;
    const notice = document.getElementById('notice');
    return `frame ${show?.frame ?? '-'}, audio ${show?.audio?.state ?? 'none'}` +
      (notice.hidden ? '' : `, the page says "${notice.innerText.replace(/\s+/g, ' ')}"`);
  });
  await page.close();
  if (barsAt === null || soundAt === null) {
    const missing = barsAt === null ? 'no bars were drawn' : 'no sound was heard';
    console.log(`no measurement: ${missing} (${shown})`);
    failures += 1;
    continue;
  }
  const lag = barsAt - soundAt;
  console.log(`bars ${lag >= 0 ? 'trail' : 'lead'} the sound by ${Math.abs(lag).toFixed(1)} ms`);
}
await browser.close();
process.exit(failures === Number(options.runs) ? 1 : 0);
