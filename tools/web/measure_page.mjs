// What the live page costs in headless Chromium or Firefox: the CPU time of
// all the browser's processes (Chromium's renderers, GPU and utility
// processes; Firefox's content, media and socket processes) over a span of
// the show, as a share of one core, against a blank page in the same browser
// and the same run, and against the floor: a page that only puts out a
// changing canvas of the show's size on every animation frame and plays
// sound (tools/web/floor). The browser is launched as the tests launch it
// (tests/web/harness.mjs), its sound going to a private sound server.
//   node tools/web/measure_page.mjs [--engine chromium|firefox] [--seconds S] [--runs N]
//                                   [--site DIR] [--query Q]
// Prints one line per measurement and, per page, the median and the spread;
// for the show also the share taken by each kind of process and the page's
// own timings of its steps (milliseconds of main-thread time a second).
import { readFileSync, readdirSync } from 'node:fs';
import { join } from 'node:path';
import { setTimeout as sleep } from 'node:timers/promises';
import { parseArgs } from 'node:util';
import { serveFolder } from './serve.mjs';

const root = new URL('../../', import.meta.url).pathname;
const { engines, launch } = await import(join(root, 'tests/web/harness.mjs'));

const { values: options } = parseArgs({
  options: {
    engine: { type: 'string', default: 'chromium' },
    seconds: { type: 'string', default: '8' },
    runs: { type: 'string', default: '3' },
    site: { type: 'string', default: join(root, 'build/web/site') },
    query: { type: 'string', default: 'seed=9' },
  },
});
if (!engines.includes(options.engine)) {
  console.error(`measure_page: --engine is one of ${engines.join(', ')}`);
  process.exit(2);
}
const seconds = Number(options.seconds);
const runs = Number(options.runs);
const ticksPerSecond = 100;  // USER_HZ: /proc/PID/stat counts in hundredths on Linux

// Every process under `pid` (itself included).
function processTree(pid) {
  const children = new Map();
  for (const entry of readdirSync('/proc')) {
    if (!/^\d+$/.test(entry)) continue;
    try {
      const parent = Number(/PPid:\s+(\d+)/.exec(readFileSync(`/proc/${entry}/status`, 'utf8'))[1]);
      if (!children.has(parent)) children.set(parent, []);
      children.get(parent).push(Number(entry));
    } catch {
      // the process ended while we looked
    }
  }
  const tree = [];
  const visit = (p) => {
    tree.push(p);
    for (const child of children.get(p) ?? []) visit(child);
  };
  visit(pid);
  return tree;
}

// The kind of a process: the browser, Chromium's --type= of a child
// (renderer, gpu-process, utility, zygote), or the name Firefox gives a
// child (Web Content, RDD Process, Socket Process, forkserver...). Both
// rewrite their children's command lines into one string.
function kindOf(pid) {
  try {
    const commandLine = readFileSync(`/proc/${pid}/cmdline`, 'utf8');
    const type = /--type=([\w-]+)/.exec(commandLine)?.[1];
    if (type) return type;
    if (/(^|[\s\0])-contentproc([\s\0]|$)/.test(commandLine) || /forkserver/.test(commandLine)) {
      return readFileSync(`/proc/${pid}/comm`, 'utf8').trim();
    }
    return 'browser';
  } catch {
    return 'gone';
  }
}

// Ticks of user and system time of each process, by pid.
function cpuTicks(pids) {
  const ticks = new Map();
  for (const pid of pids) {
    try {
      const stat = readFileSync(`/proc/${pid}/stat`, 'utf8');
      const fields = stat.slice(stat.lastIndexOf(')') + 2).split(' ');
      ticks.set(pid, Number(fields[11]) + Number(fields[12]));
    } catch {
      // ended
    }
  }
  return ticks;
}

// Share of a core each kind of process took while `during` ran.
async function measure(browserPid, during) {
  const before = cpuTicks(processTree(browserPid));
  const start = performance.now();
  await during();
  const wall = (performance.now() - start) / 1000;
  const pids = processTree(browserPid);
  const after = cpuTicks(pids);
  const byKind = {};
  let total = 0;
  for (const pid of pids) {
    const used = (after.get(pid) ?? 0) - (before.get(pid) ?? 0);
    const kind = kindOf(pid);
    byKind[kind] = (byKind[kind] ?? 0) + used;
    total += used;
  }
  const share = (ticks) => (100 * ticks) / ticksPerSecond / wall;
  return {
    percent: share(total),
    byKind: Object.fromEntries(Object.entries(byKind).map(([k, v]) => [k, share(v)])),
  };
}

function summary(values) {
  const sorted = [...values].sort((a, b) => a - b);
  const median = sorted[Math.floor(sorted.length / 2)];
  return `median ${median.toFixed(1)}%, spread ${sorted[0].toFixed(1)}-${sorted.at(-1).toFixed(1)}%`;
}

const server = await serveFolder(options.site);
const base = `http://127.0.0.1:${server.address().port}`;
const floorServer = await serveFolder(join(root, 'tools/web/floor'));
const floorBase = `http://127.0.0.1:${floorServer.address().port}`;
const browser = await launch(options.engine);
const browserPid = browser.process().pid;
console.log(`${options.engine}: ${await browser.version()}`);

const blank = [];
const show = [];
const floor = [];
try {
  for (let run = 1; run <= runs; ++run) {
    const page = await browser.newPage();
    await page.goto('about:blank');
    await sleep(1000);
    const idle = await measure(browserPid, () => sleep(seconds * 1000));
    await page.close();
    blank.push(idle.percent);
    console.log(`run ${run} blank page: ${idle.percent.toFixed(1)}% of a core`);

    const pixels = await browser.newPage();
    await pixels.goto(`${floorBase}/`);
    await pixels.waitForFunction(() => window.pagePlaying?.(), { timeout: 60000 });
    await sleep(1000);
    const least = await measure(browserPid, () => sleep(seconds * 1000));
    await pixels.close();
    floor.push(least.percent);
    console.log(`run ${run} floor page (pixels and sound only): ${least.percent.toFixed(1)}% of a core`);

    const live = await browser.newPage();
    await live.goto(`${base}/?${options.query}`);
    await live.waitForFunction(() => window.vantrelLive?.running && window.vantrelLive.audio &&
      window.vantrelLive.frame > 0, { timeout: 60000 });
    await sleep(1000);
    const startCounts = await live.evaluate(() => window.vantrelLive.counters());
    const busy = await measure(browserPid, () => sleep(seconds * 1000));
    const endCounts = await live.evaluate(() => window.vantrelLive.counters());
    await live.close();
    show.push(busy.percent);
    const kinds = Object.entries(busy.byKind).filter(([, v]) => v >= 0.05)
      .map(([k, v]) => `${k} ${v.toFixed(1)}%`).join(', ');
    const span = (endCounts.clock - startCounts.clock) || 1;
    const perSecond = (key) => (endCounts[key] - startCounts[key]) / span;
    const steps = Object.keys(endCounts.milliseconds)
      .map((k) => `${k} ${((endCounts.milliseconds[k] - startCounts.milliseconds[k]) / span).toFixed(1)}`)
      .join(', ');
    console.log(`run ${run} live show: ${busy.percent.toFixed(1)}% of a core (${kinds}); ` +
      `${perSecond('framesDrawn').toFixed(1)} frames/s drawn, ${perSecond('paints').toFixed(1)} paints/s, ` +
      `${perSecond('ticks').toFixed(1)} animation frames/s; ms a second: ${steps}`);
  }
} finally {
  await browser.close();
  server.close();
  floorServer.close();
}
console.log(`blank page: ${summary(blank)} of a core over ${seconds} s, ${runs} runs`);
console.log(`live show:  ${summary(show)} of a core over ${seconds} s, ${runs} runs`);
const net = show.map((v, i) => v - blank[i]);
console.log(`live show less the blank page of its run: ${summary(net)}`);
console.log(`floor page: ${summary(floor)} of a core; less the blank page: ` +
  `${summary(floor.map((v, i) => v - blank[i]))}`);
const ratios = show.map((v, i) => (v - blank[i]) / (floor[i] - blank[i]));
console.log(`live show / floor page (each less the blank page): median ` +
  `${[...ratios].sort((a, b) => a - b)[Math.floor(ratios.length / 2)].toFixed(2)}`);
