// Where the page's frame time goes: one run of the page in Chromium drawing with
// ANGLE on the system's GL (Mesa's llvmpipe under Xvfb, the native build's
// rasterizer), with every WebGL 2 call counted and a CPU profile (DevTools
// protocol) taken over the turns of the main loop from the SKIP-th after the
// start on (after start=T is reached, each turn draws one frame). Prints the
// WebGL renderer, the time a turn, WebGL calls a turn by method and the functions
// with the most self time. Function names need a page linked with
// --profiling-funcs (see tools/web/README.md).
//   xvfb-run -a -s '-screen 0 1920x1080x24' node profile.mjs SITEDIR 'QUERY' [SKIP] [TOP]
// e.g. ... node profile.mjs build-web-prof/site '?no-dialog&no-sound&size=64x36&no-aa&fixed-step=30&start=195&show-end=225' 1
import puppeteer from 'puppeteer-core';
import {serveFolder} from './serve.mjs';

const [siteDir, query = '', skipArgument = '1', topArgument = '25'] = process.argv.slice(2);
const skip = Number(skipArgument);
const lateStart = new URLSearchParams(query).has('start');

async function serve() {
  const {server, url} = await serveFolder(siteDir);
  return {server, url: url + 'index.html'};
}

// In the page before its scripts: every WebGL 2 method counted once the main
// loop has run SKIP turns past the start; the profiler asked for at that turn.
function instrument(skip, lateStart) {
  const counts = {};
  let counting = false;
  const proto = WebGL2RenderingContext.prototype;
  for (const name of Object.getOwnPropertyNames(proto)) {
    const d = Object.getOwnPropertyDescriptor(proto, name);
    if (typeof d.value !== 'function' || name === 'constructor') continue;
    const original = d.value;
    proto[name] = function(...args) {
      if (counting) counts[name] = (counts[name] || 0) + 1;
      return original.apply(this, args);
    };
  }
  const state = {turns: 0, counted: 0, firstAt: 0, lastAt: 0, counts};
  window.zurProfile = state;
  let hooked = false, started = !lateStart;
  const hook = () => {
    if (hooked || !window.Module || !Module.zurStartProgress) return;
    hooked = true;
    const progress = Module.zurStartProgress;
    Module.zurStartProgress = (done) => {
      if (done < 0) started = true;
      progress(done);
    };
    Module.postMainLoop = () => {
      if (!started) return;
      state.turns++;
      if (state.turns === skip) {
        counting = true;
        state.firstAt = performance.now();
        window.zurProfileStart();
      } else if (state.turns > skip) {
        state.counted++;
        state.lastAt = performance.now();
      }
    };
  };
  const poll = setInterval(() => { hook(); if (hooked) clearInterval(poll); }, 5);
}

const {server, url} = await serve();
const browser = await puppeteer.launch({
  executablePath: process.env.ZUR_CHROMIUM || '/usr/bin/chromium',
  headless: true,
  protocolTimeout: 3600000,
  args: ['--no-sandbox', '--use-angle=gl', '--ignore-gpu-blocklist', '--autoplay-policy=no-user-gesture-required'],
});
try {
  const page = await browser.newPage();
  page.on('pageerror', (e) => process.stderr.write('page error: ' + e.message + '\n'));
  page.on('console', (m) => { if (m.type() === 'error') process.stderr.write('console: ' + m.text() + '\n'); });
  const cdp = await page.createCDPSession();
  await cdp.send('Profiler.enable');
  await cdp.send('Profiler.setSamplingInterval', {interval: 200});
  let profiling = null;
  await page.exposeFunction('zurProfileStart', () => { profiling = cdp.send('Profiler.start'); });
  await page.evaluateOnNewDocument(instrument, skip, lateStart);
  await page.goto(url + query, {timeout: 0});
  const renderer = await page.evaluate(() => {
    const context = document.createElement('canvas').getContext('webgl2');
    const info = context.getExtension('WEBGL_debug_renderer_info');
    return info ? context.getParameter(info.UNMASKED_RENDERER_WEBGL) : context.getParameter(context.RENDERER);
  });
  console.log(`WebGL renderer: ${renderer}`);
  await page.waitForSelector('body[data-exit-status]', {timeout: 0});
  if (profiling) await profiling;
  const {profile} = await cdp.send('Profiler.stop');
  const p = await page.evaluate(() => window.zurProfile);
  const frames = p.counted;
  const ms = frames ? (p.lastAt - p.firstAt) / frames : 0;
  console.log(`${frames} main-loop turns from turn ${skip}${lateStart ? ' after the start' : ''}: ` +
              `${ms.toFixed(3)} ms a turn`);
  const total = Object.values(p.counts).reduce((a, b) => a + b, 0);
  console.log(`WebGL calls a turn: ${(total / Math.max(frames, 1)).toFixed(1)}`);
  for (const [name, n] of Object.entries(p.counts).sort((a, b) => b[1] - a[1]))
    if (n / frames >= 0.05) console.log(`  ${(n / frames).toFixed(1).padStart(9)}  ${name}`);

  // Self time by function over the profiled samples.
  const byId = new Map(profile.nodes.map((n) => [n.id, n]));
  const self = new Map();
  let sampled = 0;
  profile.samples.forEach((id, i) => {
    const dt = profile.timeDeltas[i] || 0;
    const f = byId.get(id).callFrame;
    const key = (f.functionName || '(anonymous)') + (f.url ? ' ' + f.url.split('/').pop() : '');
    self.set(key, (self.get(key) || 0) + dt);
    sampled += dt;
  });
  console.log(`CPU profile: ${(sampled / 1000).toFixed(0)} ms sampled; self time by function:`);
  for (const [key, us] of [...self].sort((a, b) => b[1] - a[1]).slice(0, Number(topArgument)))
    console.log(`  ${(100 * us / sampled).toFixed(1).padStart(5)} %  ${(us / 1000 / Math.max(frames, 1)).toFixed(3)} ms/turn  ${key}`);
} finally {
  await browser.close();
  server.kill();
}
