// The frame tool's terminal recording in asciinema-player (npm), in headless
// Chromium and Firefox: a frame of it, screenshot, shows the frame tool's
// picture of that frame cell by cell in the console's colours.
import { after, before, test } from 'node:test';
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import { mkdirSync, readFileSync, symlinkSync, writeFileSync } from 'node:fs';
import { join } from 'node:path';
import { PNG } from 'pngjs';
import { closeServers, framesTool, inEachEngine, root, scratch, serve } from './harness.mjs';

const player = join(root, 'tests/web/node_modules/asciinema-player/dist/bundle');
const seed = 7;
const shownFrame = 512; // the word VANTREL in the middle, bars up
const frameMs = 11;

let base;

function frameTool(args) {
  const run = spawnSync(framesTool, ['--seed', String(seed), ...args], { stdio: 'inherit' });
  assert.equal(run.status, 0, `vantrel-frames ${args.join(' ')} failed`);
}

before(async () => {
  const site = join(scratch, 'site');
  mkdirSync(site);
  frameTool(['--frames', String(shownFrame + 10), '--cast', join(site, 'show.cast')]);
  for (const frame of [shownFrame - 1, shownFrame, shownFrame + 1]) {
    frameTool(['--spectrum', 'music', '--frames', String(frame), '--every', String(frame), '--png', scratch]);
  }
  for (const file of ['asciinema-player.min.js', 'asciinema-player.css']) {
    symlinkSync(join(player, file), join(site, file));
  }
  writeFileSync(join(site, 'index.html'), `<!doctype html>
<html><head><meta charset="utf-8"><link rel="stylesheet" href="asciinema-player.css">
<style>body { margin: 0; background: #000; }</style></head>
<body><div id="player"></div><script src="asciinema-player.min.js"></script></body></html>`);
  base = await serve(site);
});

after(closeServers);

// The colour at (x, y) of a decoded PNG.
function pixel(png, x, y) {
  const i = 4 * (y * png.width + x);
  return [png.data[i], png.data[i + 1], png.data[i + 2]];
}

function near(a, b) {
  return a.every((value, i) => Math.abs(value - b[i]) <= 8);
}

// How many points of the screenshot have the colour of the frame tool's
// picture of `frame`: two a cell, a quarter from its top and a quarter from
// its bottom, where the block characters show their two halves.
function matchingPoints(shot, frame) {
  const expected = PNG.sync.read(readFileSync(join(scratch, `frame-${String(frame).padStart(5, '0')}.png`)));
  const cellWidth = shot.width / 80;
  const cellHeight = shot.height / 50;
  const result = { matching: 0, total: 0, misses: [] };
  for (let row = 0; row < 50; row++) {
    for (let column = 0; column < 80; column++) {
      for (const quarter of [0.25, 0.75]) {
        const shown = pixel(shot, Math.floor((column + 0.5) * cellWidth), Math.floor((row + quarter) * cellHeight));
        const wanted = pixel(expected, column * 8 + 4, Math.floor(row * 12 + quarter * 12));
        result.total++;
        if (near(shown, wanted)) result.matching++;
        else if (result.misses.length < 5) result.misses.push(`cell ${row},${column}: ${shown} for ${wanted}`);
      }
    }
  }
  return result;
}

inEachEngine((engine, session) => {

  test('asciinema-player shows a frame of the recording as the frame tool draws it', async () => {
    const page = await session.browser.newPage();
    await page.setViewport({ width: 1400, height: 1400 });
    await page.goto(`${base}/`);
    // The poster is the terminal as it stands at that time of the recording: frame n at (n - 1) x 11 ms.
    const seconds = ((shownFrame - 1) * frameMs + frameMs / 2) / 1000;
    await page.evaluate((poster) => {
      window.AsciinemaPlayer.create('show.cast', document.getElementById('player'),
        { preload: true, poster, fit: false, terminalFontSize: '16px' });
    }, `npt:${seconds}`);
    await page.waitForSelector('.ap-term', { timeout: 30000 });
    await page.waitForFunction(() => document.querySelector('.ap-term-text')?.textContent.trim().length > 0,
      { timeout: 30000 });
    // The start button over the middle is the player's, not the recording's.
    await page.addStyleTag({ content: '.ap-play-button { display: none !important; }' });
    // The cells only: the terminal's box less its padding and border.
    const clip = await page.evaluate(() => {
      const element = document.querySelector('.ap-term');
      const box = element.getBoundingClientRect();
      const style = getComputedStyle(element);
      const left = parseFloat(style.paddingLeft) + parseFloat(style.borderLeftWidth);
      const top = parseFloat(style.paddingTop) + parseFloat(style.borderTopWidth);
      const right = parseFloat(style.paddingRight) + parseFloat(style.borderRightWidth);
      const bottom = parseFloat(style.paddingBottom) + parseFloat(style.borderBottomWidth);
      return { x: box.x + left, y: box.y + top, width: box.width - left - right, height: box.height - top - bottom };
    });
    const shotBytes = Buffer.from(await page.screenshot({ clip }));
    // VANTREL_CAST_SHOT=FILE keeps the screenshot (FILE-ENGINE.png), to look at when this fails.
    if (process.env.VANTREL_CAST_SHOT) writeFileSync(`${process.env.VANTREL_CAST_SHOT}-${engine}.png`, shotBytes);
    const shot = PNG.sync.read(shotBytes);
    const matches = [shownFrame - 1, shownFrame, shownFrame + 1].map((frame) => matchingPoints(shot, frame));
    const [before, shown, after] = matches;
    // Fonts draw the half blocks' edges their own way, so not every point
    // matches; but most do, and the frame of that time matches best.
    assert.ok(shown.matching >= 0.9 * shown.total,
      `${shown.matching} of ${shown.total} points match (screenshot ${shot.width}x${shot.height}); ` +
      shown.misses.join('; '));
    assert.ok(shown.matching > before.matching && shown.matching > after.matching,
      `frame ${shownFrame} should match best: ${matches.map((m) => m.matching).join(', ')} points for ` +
      `frames ${shownFrame - 1} to ${shownFrame + 1}`);
    await page.close();
  });
});
