// The browser build in headless Chromium and Firefox, checked against the
// native frame tool: every frame's cells, pictures pixel for pixel, the live
// page's pace with a sound device and with none, and a show without music;
// each in both engines.
import { after, test } from 'node:test';
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import { readFileSync } from 'node:fs';
import { join } from 'node:path';
import { setTimeout as sleep } from 'node:timers/promises';
import { PNG } from 'pngjs';
import {
  closeServers, expectSameDigests, framesTool, inEachEngine, launch, loudestHeard, nativeDigests,
  openTestPage, scratch, serve, showFrames, site, siteWith, until,
} from './harness.mjs';

// The native runs, made once for both engines.
const nativeRuns = new Map();
function native(seed, spectrum, frames = 6000) {
  const key = `${seed} ${spectrum} ${frames}`;
  if (!nativeRuns.has(key)) nativeRuns.set(key, nativeDigests(seed, spectrum, frames));
  return nativeRuns.get(key);
}

let pictures = null;
function nativePicture(frame) {
  if (!pictures) {
    pictures = join(scratch, 'pictures');
    const run = spawnSync(framesTool, ['--seed', '3', '--frames', '2000', '--every', '1000',
      '--spectrum', 'music', '--png', pictures], { stdio: 'inherit' });
    assert.equal(run.status, 0);
  }
  return PNG.sync.read(readFileSync(join(pictures, `frame-${String(frame).padStart(5, '0')}.png`)));
}

// Until the live page plays: the music started (where the context first had
// to start its output) and a frame drawn by its clock.
async function untilPlaying(page) {
  try {
    await until(page, () => window.vantrelLive?.running && window.vantrelLive.frame > 0);
  } catch (error) {
    const notice = await page.evaluate(() => document.getElementById('notice-text').textContent)
      .catch(() => '?');
    throw new Error(`the show did not start; the page says "${notice}" (${error.message})`);
  }
}

// About 91 frames a second by the show's clock (the music's where it plays),
// a new frame on nearly every animation frame, the bars moving; Esc ends it.
async function expectLivePace(page) {
  const sample = () => page.evaluate(() => {
    const live = window.vantrelLive;
    const cells = live.cellBytes();
    let barCells = 0;
    for (let i = 0; i < cells.length; i += 4) barCells += cells[i] === 179 ? 1 : 0;
    const { paints, ticks } = live.counters();
    return { clock: live.now() - live.startTime, frame: live.frame, audio: live.audio?.currentTime,
      barCells, paints, ticks };
  });
  const first = await sample();
  const seen = new Set();
  for (let i = 0; i < 12; ++i) {
    await sleep(250);
    seen.add((await sample()).barCells);
  }
  const last = await sample();
  const seconds = last.clock - first.clock;
  if (first.audio !== undefined) assert.ok(last.audio - first.audio > 2.5, 'the audio clock advances');
  assert.ok(seconds > 2.5, `the show's clock advances (${seconds.toFixed(2)} s)`);
  const rate = (last.frame - first.frame) / seconds;
  assert.ok(rate > 85 && rate < 97, `${rate.toFixed(1)} frames a second`);
  assert.ok(seen.size > 3, 'the bars move');
  // The show outpaces the display, so every animation frame has a new frame
  // to show, however coarsely the audio clock itself moves.
  const shown = (last.paints - first.paints) / (last.ticks - first.ticks);
  assert.ok(shown > 0.95, `${(100 * shown).toFixed(0)}% of the animation frames show a new frame`);
  await page.keyboard.press('Escape');
  await until(page, () => !window.vantrelLive.running);
  assert.match(await page.$eval('#notice-text', (element) => element.innerText), /Esc/);
}

after(closeServers);

inEachEngine((engine, session) => {

  // Seeds 1 and 2 with the SIMD128 frame code, which both engines run;
  // seed 1 again with the frame code for browsers without SIMD128.
  test('every frame of a whole show has the native frame tool\'s cells, with the music', async () => {
    const base = await serve(site);
    for (const [seed, query, frameCode] of [[1, '', 'vantrel-web.js'], [2, '', 'vantrel-web.js'],
      [1, '&wasm=scalar', 'vantrel-web-scalar.js']]) {
      const page = await openTestPage(session.browser, base, seed, query);
      assert.equal(await page.evaluate(() => window.vantrelTest.hasMusic), true);
      assert.equal(await page.evaluate(() => window.vantrelTest.frameCode), frameCode);
      const web = await page.evaluate(() => window.vantrelTest.cellDigests());
      assert.equal(web.length, showFrames);
      expectSameDigests(web, native(seed, 'music'), `seed ${seed}, ${frameCode}`);
      await page.close();
    }
  });

  // Frames 1, 1000 and 2000 each painted whole after a fresh start, then
  // frames 1 to 2000 painted one after another (each paint redraws only the
  // cells that changed), compared at 1000 and 2000.
  test('the canvas shows the frame tool\'s pictures pixel for pixel', async () => {
    const base = await serve(site);
    const page = await openTestPage(session.browser, base, 3);
    const screen = await page.$('#screen');
    const whole = [1, 1000, 2000].map((frame) => [frame, 'showFrame']);
    const onward = [[1, 'showFrame'], [1000, 'paintOnTo'], [2000, 'paintOnTo']];
    for (const [frame, how] of [...whole, ...onward]) {
      await page.evaluate((call, n) => window.vantrelTest[call](n), how, frame);
      const shot = PNG.sync.read(Buffer.from(await screen.screenshot()));
      const expected = nativePicture(frame);
      assert.equal(shot.width, expected.width);
      assert.equal(shot.height, expected.height);
      let differing = 0;
      for (let i = 0; i < shot.data.length; i += 4) {
        const j = (i / 4) * (expected.data.length / (expected.width * expected.height));
        if (shot.data[i] !== expected.data[j] || shot.data[i + 1] !== expected.data[j + 1] ||
            shot.data[i + 2] !== expected.data[j + 2]) differing += 1;
      }
      assert.equal(differing, 0, `frame ${frame} (${how}): ${differing} pixels differ`);
    }
    await page.close();
  });

  test('the live page\'s music reaches the sound server, about 91 frames a second, bars moving', async () => {
    const page = await session.browser.newPage();
    await page.goto(`${await serve(site)}/?seed=9`);
    await untilPlaying(page);
    assert.equal(await page.evaluate(() => window.vantrelLive.audio !== null), true, 'the music plays');
    const loudest = await loudestHeard(() => expectLivePace(page));
    assert.ok(loudest > 3000, `the music reaches the sound server (its loudest sample ${loudest})`);
    await page.close();
  });

  // Chromium plays into a silent output of its own; Firefox's context never
  // starts without a device, and the page plays on its own clock.
  test('with no sound device at all the show plays at the same pace', async () => {
    const deaf = await launch(engine, { soundDevice: false });
    try {
      const page = await deaf.newPage();
      await page.goto(`${await serve(site)}/?seed=9`);
      await untilPlaying(page);
      const { audio, line } = await page.evaluate(() => ({
        audio: window.vantrelLive.audio !== null,
        line: document.getElementById('status').hidden ? null : document.getElementById('status').textContent,
      }));
      if (engine === 'chromium') {
        assert.equal(audio, true, 'Chromium\'s context runs');
        assert.equal(line, null);
      } else {
        assert.equal(audio, false, 'no context left');
        assert.match(line ?? '', /plays silent/);
      }
      await expectLivePace(page);
    } finally {
      await deaf.close();
    }
  });

  // Where sound may start only after a click: Esc while the page asks for
  // it ends that wait, and the Play again click starts the show with its
  // sound at once, no second click asked for.
  test('Esc before the click to start ends the wait; Play again plays at once', async () => {
    const clickFirst = await launch(engine, { autoplay: false });
    try {
      const page = await clickFirst.newPage();
      // Both drivers run their scripts in the page as a click would, so the
      // page is only listened to until it asks: it logs its button's label.
      await page.evaluateOnNewDocument(() => addEventListener('DOMContentLoaded', () => {
        const button = document.getElementById('notice-button');
        new MutationObserver(() => console.log(`button: ${button.textContent}`))
          .observe(button, { childList: true, characterData: true, subtree: true });
      }));
      const asked = new Promise((resolve) => page.on('console', (message) => {
        if (message.text() === 'button: Click to start') resolve();
      }));
      await page.goto(`${await serve(site)}/?seed=9`);
      await Promise.race([asked, sleep(60000, null, { ref: false }).then(() => {  // no wait at exit
        throw new Error('the page never asked for a click');
      })]);
      await page.keyboard.press('Escape');  // which, unlike other keys, is no click
      const notice = () => page.evaluate(() => ({
        shown: !document.getElementById('notice').hidden,
        button: document.getElementById('notice-button').textContent,
        text: document.getElementById('notice-text').textContent,
      }));
      assert.deepEqual(await notice(), { shown: true, button: 'Play again', text: 'Ended with Esc.' });
      await page.click('#notice-button');
      await untilPlaying(page);
      await sleep(1000);
      assert.equal((await notice()).shown, false, `the page still asks: ${(await notice()).text}`);
      const { frame, audio } = await page.evaluate(() => ({
        frame: window.vantrelLive.frame, audio: window.vantrelLive.audio?.state,
      }));
      assert.equal(audio, 'running', 'the music plays');
      assert.ok(frame > 60, `frame ${frame} a second on`);
    } finally {
      await clickFirst.close();
    }
  });

  test('without music, or with a corrupt file, the show runs with empty bars', async () => {
    for (const [name, bytes] of [['no-music', null], ['bad-music', Buffer.from('not music at all')]]) {
      const base = await serve(siteWith(`${engine}-${name}`, { 'BlueNoise.mp3': bytes, 'BlueNoise.bars': bytes }));
      const page = await openTestPage(session.browser, base, 4);
      assert.equal(await page.evaluate(() => window.vantrelTest.hasMusic), false);
      const web = await page.evaluate(() => window.vantrelTest.cellDigests(500));
      expectSameDigests(web, native(4, 'silence', 500), name);
      await page.close();
    }
  });
});
