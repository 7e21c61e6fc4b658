// The browser build in headless Chromium, checked against the native frame
// tool: every frame's cells, pictures pixel for pixel, the live page's pace,
// and a show without music.
import { after, before, test } from 'node:test';
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import { createHash } from 'node:crypto';
import { mkdirSync, mkdtempSync, readdirSync, readFileSync, rmSync, symlinkSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { chromium } from 'playwright-core';
import { PNG } from 'pngjs';
import { serveFolder } from '../../tools/web/serve.mjs';

const root = new URL('../../', import.meta.url).pathname;
const site = join(root, 'build/web/site');
const framesTool = join(root, 'build/release/vantrel-frames');
const scratch = mkdtempSync(join(tmpdir(), 'vantrel-web-'));
const showFrames = 5295;  // the message runs out in frame 5296

let browser;
let servers = [];

async function serve(folder) {
  const server = await serveFolder(folder);
  servers.push(server);
  return `http://127.0.0.1:${server.address().port}`;
}

// The native frame tool's run of `seed`: one SHA-256 of the 16000 cell bytes
// per frame.
function nativeDigests(seed, spectrum, frames = 6000) {
  const dump = join(scratch, `native-${seed}-${spectrum}.jsonl`);
  const run = spawnSync(framesTool, ['--seed', String(seed), '--frames', String(frames),
    '--spectrum', spectrum, '--dump', dump], { stdio: 'inherit' });
  assert.equal(run.status, 0, 'vantrel-frames failed');
  const digests = [];
  for (const line of readFileSync(dump, 'utf8').split('\n')) {
    const match = /"cells": "([^"]*)"/.exec(line);
    if (match) digests.push(createHash('sha256').update(Buffer.from(match[1], 'base64')).digest('hex'));
  }
  rmSync(dump);
  return digests;
}

async function openTestPage(base, seed, query = '') {
  const page = await browser.newPage();
  await page.goto(`${base}/?seed=${seed}&test${query}`);
  await page.waitForFunction(() => window.vantrelTest !== undefined, null, { timeout: 60000 });
  return page;
}

function expectSameDigests(web, native, what) {
  assert.equal(web.length, native.length, `${what}: frame count`);
  const first = web.findIndex((digest, i) => digest !== native[i]);
  assert.equal(first, -1, `${what}: frame ${first + 1} differs from the native frame tool's`);
}

// A copy of the site whose music files are missing, or hold `musicBytes`.
function siteWithMusic(name, musicBytes) {
  const folder = join(scratch, name);
  mkdirSync(folder);
  for (const file of readdirSync(site)) {
    if (!file.startsWith('BlueNoise.')) symlinkSync(join(site, file), join(folder, file));
    else if (musicBytes) writeFileSync(join(folder, file), musicBytes);
  }
  return folder;
}

before(async () => {
  browser = await chromium.launch({
    executablePath: process.env.CHROMIUM ?? '/usr/bin/chromium',
    args: ['--autoplay-policy=no-user-gesture-required', '--disable-gpu', '--no-first-run',
      '--disable-background-networking', '--disable-component-update', '--disable-sync',
      '--disable-quic'],
  });
});

after(async () => {
  await browser?.close();
  for (const server of servers) server.close();
  rmSync(scratch, { recursive: true, force: true });
});

// Seeds 1 and 2 with the SIMD128 frame code, which Chromium runs; seed 1
// again with the frame code for browsers without SIMD128.
test('every frame of a whole show has the native frame tool\'s cells, with the music', async () => {
  const base = await serve(site);
  const native = new Map();
  for (const [seed, query, frameCode] of [[1, '', 'vantrel-web.js'], [2, '', 'vantrel-web.js'],
    [1, '&wasm=scalar', 'vantrel-web-scalar.js']]) {
    const page = await openTestPage(base, seed, query);
    assert.equal(await page.evaluate(() => window.vantrelTest.hasMusic), true);
    assert.equal(await page.evaluate(() => window.vantrelTest.frameCode), frameCode);
    const web = await page.evaluate(() => window.vantrelTest.cellDigests());
    assert.equal(web.length, showFrames);
    if (!native.has(seed)) native.set(seed, nativeDigests(seed, 'music'));
    expectSameDigests(web, native.get(seed), `seed ${seed}, ${frameCode}`);
    await page.close();
  }
});

// Frames 1, 1000 and 2000 each painted whole after a fresh start, then
// frames 1 to 2000 painted one after another (each paint redraws only the
// cells that changed), compared at 1000 and 2000.
test('the canvas shows the frame tool\'s pictures pixel for pixel', async () => {
  const base = await serve(site);
  const pictures = join(scratch, 'pictures');
  const run = spawnSync(framesTool, ['--seed', '3', '--frames', '2000', '--every', '1000',
    '--spectrum', 'music', '--png', pictures], { stdio: 'inherit' });
  assert.equal(run.status, 0);
  const page = await openTestPage(base, 3);
  const whole = [1, 1000, 2000].map((frame) => [frame, 'showFrame']);
  const onward = [[1, 'showFrame'], [1000, 'paintOnTo'], [2000, 'paintOnTo']];
  for (const [frame, how] of [...whole, ...onward]) {
    await page.evaluate(([call, n]) => window.vantrelTest[call](n), [how, frame]);
    const shot = PNG.sync.read(await page.locator('#screen').screenshot());
    const native = PNG.sync.read(readFileSync(join(pictures, `frame-${String(frame).padStart(5, '0')}.png`)));
    assert.equal(shot.width, native.width);
    assert.equal(shot.height, native.height);
    let differing = 0;
    for (let i = 0; i < shot.data.length; i += 4) {
      const j = (i / 4) * (native.data.length / (native.width * native.height));
      if (shot.data[i] !== native.data[j] || shot.data[i + 1] !== native.data[j + 1] ||
          shot.data[i + 2] !== native.data[j + 2]) differing += 1;
    }
    assert.equal(differing, 0, `frame ${frame} (${how}): ${differing} pixels differ`);
  }
  await page.close();
});

test('the live page plays the music and draws about 91 frames a second, bars moving', async () => {
  const base = await serve(site);
  const page = await browser.newPage();
  await page.goto(`${base}/?seed=9`);
  await page.waitForFunction(() => window.vantrelLive?.running && window.vantrelLive.audio, null,
    { timeout: 60000 });
  const sample = () => page.evaluate(() => {
    const live = window.vantrelLive;
    const cells = live.cellBytes();
    let barCells = 0;
    for (let i = 0; i < cells.length; i += 4) barCells += cells[i] === 179 ? 1 : 0;
    const { paints, ticks } = live.counters();
    return { clock: live.now() - live.startTime, frame: live.frame, audio: live.audio.currentTime,
      barCells, paints, ticks };
  });
  const first = await sample();
  const seen = new Set();
  for (let i = 0; i < 12; ++i) {
    await page.waitForTimeout(250);
    seen.add((await sample()).barCells);
  }
  const last = await sample();
  const seconds = last.clock - first.clock;
  assert.ok(last.audio - first.audio > 2.5, 'the audio clock advances');
  const rate = (last.frame - first.frame) / seconds;
  assert.ok(rate > 85 && rate < 97, `${rate.toFixed(1)} frames a second`);
  assert.ok(seen.size > 3, 'the bars move');
  // The show outpaces the display, so every animation frame has a new frame
  // to show, however coarsely the audio clock itself moves.
  const shown = (last.paints - first.paints) / (last.ticks - first.ticks);
  assert.ok(shown > 0.95, `${(100 * shown).toFixed(0)}% of the animation frames show a new frame`);
  await page.keyboard.press('Escape');
  await page.waitForFunction(() => !window.vantrelLive.running);
  assert.match(await page.locator('#notice-text').innerText(), /Esc/);
  await page.close();
});

test('without music, or with a corrupt file, the show runs with empty bars', async () => {
  for (const [name, bytes] of [['no-music', null], ['bad-music', Buffer.from('not music at all')]]) {
    const base = await serve(siteWithMusic(name, bytes));
    const page = await openTestPage(base, 4);
    assert.equal(await page.evaluate(() => window.vantrelTest.hasMusic), false);
    const web = await page.evaluate(() => window.vantrelTest.cellDigests(500));
    expectSameDigests(web, nativeDigests(4, 'silence', 500), name);
    await page.close();
  }
});
