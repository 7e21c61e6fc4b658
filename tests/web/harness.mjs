// What the browser tests share: the engines they run in (headless Chromium
// and Firefox, both driven by puppeteer-core), a private sound server for
// them, the site served on 127.0.0.1, and the native frame tool's run of a
// seed to compare the page's frames with.
import assert from 'node:assert/strict';
import { spawn, spawnSync } from 'node:child_process';
import { after, before, describe } from 'node:test';
import { createHash } from 'node:crypto';
import { mkdirSync, mkdtempSync, readdirSync, readFileSync, rmSync, symlinkSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { setTimeout as sleep } from 'node:timers/promises';
import { join } from 'node:path';
import puppeteer from 'puppeteer-core';
import { serveFolder } from '../../tools/web/serve.mjs';

export const root = new URL('../../', import.meta.url).pathname;
export const site = join(root, 'build/web/site');
export const framesTool = join(root, 'build/release/vantrel-frames');
export const scratch = mkdtempSync(join(tmpdir(), 'vantrel-web-'));
export const showFrames = 5295;  // the message runs out in frame 5296

export const engines = ['chromium', 'firefox'];

const soundServer = join(root, 'tests/support/sound-server');
const soundFolder = join(scratch, 'sound');
let soundEnvironment = null;

// A private PulseAudio server with one null sink that plays in real time, so
// that the audio clock runs as on a machine with a sound card, whatever this
// machine has (a headless Firefox without a sound device never starts its
// AudioContext). Started once, stopped as the process ends.
function soundServerEnvironment() {
  if (soundEnvironment) return soundEnvironment;
  const start = spawnSync(soundServer, ['start', soundFolder], { stdio: 'inherit' });
  assert.equal(start.status, 0, 'the private sound server did not start');
  const printed = spawnSync(soundServer, ['env', soundFolder], { encoding: 'utf8' });
  assert.equal(printed.status, 0);
  soundEnvironment = {};
  for (const [, name, value] of printed.stdout.matchAll(/(\w+)=(\S+)/g)) {
    soundEnvironment[name] = value.replace(/^'(.*)'$/, '$1');
  }
  return soundEnvironment;
}

const executables = {
  chromium: process.env.CHROMIUM ?? '/usr/bin/chromium',
  firefox: process.env.FIREFOX ?? '/usr/bin/firefox-esr',
};

// The launch options of `engine`: headless, sound playing without a click
// (as a visitor who has allowed the site to play sound), into the private
// sound server; or, with `soundDevice: false`, as on a machine with no sound
// device at all; with `autoplay: false`, sound only after a click.
export function launchOptions(engine, { soundDevice = true, autoplay = true } = {}) {
  const env = { ...process.env, ...(soundDevice ? soundServerEnvironment() : {}) };
  delete env.DISPLAY;
  delete env.WAYLAND_DISPLAY;
  if (engine === 'chromium') {
    return {
      browser: 'chrome',
      executablePath: executables.chromium,
      headless: true,
      env,
      // puppeteer mutes Chromium by default: its sound would never reach the server.
      ignoreDefaultArgs: ['--mute-audio'],
      args: ['--no-sandbox', '--disable-gpu',
        `--autoplay-policy=${autoplay ? 'no-user-gesture-required' : 'document-user-activation-required'}`,
        '--no-first-run', '--disable-background-networking', '--disable-component-update',
        '--disable-sync', '--disable-quic', ...(soundDevice ? [] : ['--disable-audio-output'])],
    };
  }
  if (engine === 'firefox') {
    return {
      browser: 'firefox',
      executablePath: executables.firefox,
      headless: true,
      env,
      extraPrefsFirefox: {
        // Firefox's "Allow audio and video" (0), or "Block audio" (1).
        'media.autoplay.default': autoplay ? 0 : 1,
        'media.autoplay.blocking_policy': 0,
        ...(soundDevice ? {} : { 'media.cubeb.force_null_context': true }),
      },
    };
  }
  throw new Error(`unknown engine ${engine}`);
}

// One group of tests an engine: `body(engine, session)` declares them, and
// session.browser is that engine's browser while they run.
export function inEachEngine(body) {
  for (const engine of engines) {
    describe(engine, () => {
      const session = {};
      before(async () => {
        session.browser = await launch(engine);
      });
      after(async () => {
        await session.browser?.close();
      });
      body(engine, session);
    });
  }
}

// The loudest sample (of 32767) that reached the private sound server's sink
// while `during()` ran.
export async function loudestHeard(during) {
  const format = ['--raw', '--format=s16le', '--rate=44100', '--channels=2'];
  const recorder = spawn('parec', ['-d', 'vantrel_test.monitor', ...format],
    { env: soundServerEnvironment(), stdio: ['ignore', 'pipe', 'inherit'] });
  const chunks = [];
  recorder.stdout.on('data', (chunk) => chunks.push(chunk));
  try {
    await during();
  } finally {
    recorder.kill();
  }
  const samples = Buffer.concat(chunks);
  let loudest = 0;
  for (let at = 0; at + 1 < samples.length; at += 2) {
    loudest = Math.max(loudest, Math.abs(samples.readInt16LE(at)));
  }
  return loudest;
}

export async function launch(engine, options = {}) {
  return puppeteer.launch(launchOptions(engine, options));
}

const servers = [];

// Serves `folder` on a free port of 127.0.0.1, at `bytesPerSecond` where
// given; the base URL, without a slash.
export async function serve(folder, { bytesPerSecond = 0 } = {}) {
  const server = await serveFolder(folder, 0, { bytesPerSecond });
  servers.push(server);
  return `http://127.0.0.1:${server.address().port}`;
}

export function closeServers() {
  for (const server of servers.splice(0)) server.close();
}

process.on('exit', () => {
  if (soundEnvironment) spawnSync(soundServer, ['stop', soundFolder], { stdio: 'ignore' });
  rmSync(scratch, { recursive: true, force: true });
});

// The native frame tool's run of `seed`: one SHA-256 of the 16000 cell bytes
// per frame.
export function nativeDigests(seed, spectrum, frames = 6000) {
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

export function expectSameDigests(web, native, what) {
  assert.equal(web.length, native.length, `${what}: frame count`);
  const first = web.findIndex((digest, i) => digest !== native[i]);
  assert.equal(first, -1, `${what}: frame ${first + 1} differs from the native frame tool's`);
}

// Until `condition` holds in the page, asked from here every 50 ms: under
// Firefox's waitForFunction the live show stood still for seconds.
export async function until(page, condition, { timeout = 60000 } = {}) {
  for (const giveUp = Date.now() + timeout; !(await page.evaluate(condition)); await sleep(50)) {
    if (Date.now() > giveUp) throw new Error(`Waiting failed: ${timeout}ms exceeded`);
  }
}

// The page of `seed` in test mode, once its test interface is there.
export async function openTestPage(browser, base, seed, query = '') {
  const page = await browser.newPage();
  await page.goto(`${base}/?seed=${seed}&test${query}`);
  await until(page, () => window.vantrelTest !== undefined);
  return page;
}

// A copy of the site (or of the site folder `from`) in the scratch folder
// `name`, each file named in `files` holding the bytes given there instead
// (null: missing).
export function siteWith(name, files, from = site) {
  const folder = join(scratch, name);
  mkdirSync(folder);
  for (const file of readdirSync(from)) {
    if (!(file in files)) symlinkSync(join(from, file), join(folder, file));
    else if (files[file]) writeFileSync(join(folder, file), files[file]);
  }
  return folder;
}
