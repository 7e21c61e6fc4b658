// How the page loads its music and the table of its bars, in each engine: on
// a slow connection it shows how far it has got and then plays with the
// native bars; music or a table that cannot be used leaves the show silent
// with empty bars, and the page says so in one line.
import { after, test } from 'node:test';
import assert from 'node:assert/strict';
import { createHash } from 'node:crypto';
import { readFileSync } from 'node:fs';
import { join } from 'node:path';
import {
  closeServers, expectSameDigests, inEachEngine, nativeDigests, openTestPage, serve, site, siteWith,
  until,
} from './harness.mjs';

after(closeServers);

const table = readFileSync(join(site, 'BlueNoise.bars'));
const mp3 = readFileSync(join(site, 'BlueNoise.mp3'));
const flipped = Buffer.from(table);
flipped[40 + 80 * 1000 + 17] ^= 4;
// What a visitor may meet instead of the music or its table: [what, the file,
// its bytes (none: missing), the problem said].
const unusable = [
  ['the table missing', 'BlueNoise.bars', null, /could not be loaded/],
  ['the table cut short', 'BlueNoise.bars', table.subarray(0, table.length / 2), /cut short/],
  ['the table with a changed byte', 'BlueNoise.bars', flipped, /damaged/],
  ['a byte added to the MP3', 'BlueNoise.mp3', Buffer.concat([mp3, Buffer.alloc(1)]), /other music/],
  ['the MP3 cut short', 'BlueNoise.mp3', mp3.subarray(0, mp3.length / 2), /other music/],
  ['the MP3 missing', 'BlueNoise.mp3', null, /could not be loaded/],
  ['the MP3 not music', 'BlueNoise.mp3', Buffer.from('not music at all'), /damaged/],
];

// The total height of the 80 bars after each block of the table.
function barTotals() {
  const totals = [];
  for (let at = 40; at < table.length; at += 80) {
    totals.push(table.subarray(at, at + 80).reduce((sum, height) => sum + height, 0));
  }
  return totals;
}

function correlation(xs, ys) {
  const mean = (values) => values.reduce((sum, value) => sum + value, 0) / values.length;
  const [mx, my] = [mean(xs), mean(ys)];
  let [sxy, sxx, syy] = [0, 0, 0];
  for (let i = 0; i < xs.length; ++i) {
    sxy += (xs[i] - mx) * (ys[i] - my);
    sxx += (xs[i] - mx) ** 2;
    syy += (ys[i] - my) ** 2;
  }
  return sxy / Math.sqrt(sxx * syy);
}

inEachEngine((engine, session) => {

  // The bars' table comes from the native decoding; the sound is the
  // browser's. Where the two are in step, the music is loudest where the
  // table's bars stand tallest: the loudness of each block's analysis
  // window (1024 frames) follows the bars' total height best at no shift,
  // and worse a block (11.6 ms) either way.
  test('the browser decodes the music as the native demo does: as long, and in step with the bars', async () => {
    const page = await openTestPage(session.browser, await serve(site), 1);
    const { decodedFrames, nativeFrames } = await page.evaluate(() =>
      ({ decodedFrames: window.vantrelTest.decodedFrames, nativeFrames: window.vantrelTest.nativeFrames }));
    assert.ok(nativeFrames > 44100 * 50, `${nativeFrames} native frames`);
    assert.equal(decodedFrames, nativeFrames);
    const bars = barTotals();
    const loudness = await page.evaluate((blocks) => Array.from({ length: blocks },
      (_, block) => Math.sqrt(window.vantrelTest.loudness((block + 1) * 512, 1024))), bars.length);
    const fit = (shift) => correlation(bars.slice(20, -20), loudness.slice(20 + shift, loudness.length - 20 + shift));
    const fits = Array.from({ length: 41 }, (_, i) => fit(i - 20));
    const best = fits.indexOf(Math.max(...fits)) - 20;
    assert.equal(best, 0, `the sound is ${best} blocks off the bars (fit ${fits.map((f) => f.toFixed(3))})`);
    await page.close();
  });

  test('on a slow connection the page shows the loading, then plays with the native bars', async () => {
    const page = await session.browser.newPage();
    await page.goto(`${await serve(site, { bytesPerSecond: 500_000 })}/?seed=5`);
    // What the notice says every 100 ms until the show starts (the site
    // takes about 3 s to arrive).
    const shown = [];
    for (let polls = 0; !(await page.evaluate(() => window.vantrelLive?.running === true)); ++polls) {
      const text = await page.evaluate(() =>
        (document.getElementById('notice').hidden ? '' : document.getElementById('notice-text').textContent));
      if (shown.at(-1) !== text) shown.push(text);
      assert.ok(polls < 300, `the show starts; the page said: ${JSON.stringify(shown)}`);
      await new Promise((done) => setTimeout(done, 100));
    }
    const percents = shown.map((text) => /^Loading the music: (\d+)% of 1\.4 MB$/.exec(text)?.[1])
      .filter(Boolean).map(Number);
    assert.ok(percents.length >= 5, `the loading shown: ${JSON.stringify(shown)}`);
    assert.deepEqual(percents, [...percents].sort((a, b) => a - b), 'the loading only grows');
    assert.ok(percents[0] < 50 && percents.at(-1) >= 90, `from ${percents[0]}% to ${percents.at(-1)}%`);
    assert.equal(await page.evaluate(() => document.getElementById('status').hidden), true);
    // The live frames, whenever they are caught, are the native ones (from
    // the first frame the music's clock draws: Firefox starts that clock
    // only once its output runs).
    const native = nativeDigests(5, 'music', 3000);
    await until(page, () => window.vantrelLive?.frame > 0, { timeout: 20000 });
    for (let sample = 0; sample < 5; ++sample) {
      await new Promise((done) => setTimeout(done, 300));
      const { frame, cells } = await page.evaluate(() =>
        ({ frame: window.vantrelLive.frame, cells: Array.from(window.vantrelLive.cellBytes()) }));
      const digest = createHash('sha256').update(Buffer.from(cells)).digest('hex');
      assert.ok(frame > 0 && frame <= native.length, `frame ${frame}`);
      assert.equal(digest, native[frame - 1], `live frame ${frame} differs from the native one`);
    }
    await page.close();
  });

  test('music or a table that cannot be used: one line, silence, empty bars', async () => {
    const silence = nativeDigests(6, 'silence', 400);
    for (const [what, name, bytes, problem] of unusable) {
      const folder = siteWith(`${what}-${engine}`.replaceAll(' ', '-'), { [name]: bytes });
      const page = await openTestPage(session.browser, await serve(folder), 6);
      const state = await page.evaluate(() => ({
        hasMusic: window.vantrelTest.hasMusic,
        problem: window.vantrelTest.problem,
        line: document.getElementById('status').hidden ? null : document.getElementById('status').textContent,
      }));
      assert.equal(state.hasMusic, false, what);
      assert.match(state.problem, problem, what);
      assert.equal(state.line, state.problem, `${what}: the line shown`);
      assert.doesNotMatch(state.line, /\n/);
      expectSameDigests(await page.evaluate(() => window.vantrelTest.cellDigests(400)), silence, what);
      await page.close();
    }
  });
});
