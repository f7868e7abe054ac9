// End-to-end tests of the show's page in headless Chromium (software WebGL 2 and a
// running AudioContext). One static server, one browser, the pages side by side:
//   node test.mjs SITEDIR REFDIR NATIVE [SINGLEFILE]
// SITEDIR: the page as tools/web/build.sh lays it out. REFDIR: what the Linux build
// wrote for comparison (tools/web/test.sh): shot-T.png for each show time T of
// kShotRuns, lanternsong.raw and pencil_bassy.raw (the tracks as libmpg123
// decodes them, raw stereo int16). NATIVE: the Linux build's zoduv, whose usage
// errors the page must show in the same words. SINGLEFILE: the page packed into
// one file (zoduv.html), opened as a file with no server. Prints one line per
// check; exit status 1 when any failed.
import {spawnSync} from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import {pathToFileURL} from 'node:url';
import puppeteer from 'puppeteer-core';
import {serveFolder} from './serve.mjs';

const [siteDir, refDir, nativeArgument, singleFile] = process.argv.slice(2);
const nativeProgram = path.resolve(nativeArgument);
// A pixel counts as lost when it differs by more than this from every pixel of the
// other picture's 3 x 3 neighbourhood; a missing stroke, hole or pencil loses
// hundreds of them at 320 x 180.
const kLostLevel = 24;
const kMaxLostShare = 0.004;
const kMaxMeanLevels = 3;

let failures = 0;
function check(ok, what) {
  console.log((ok ? 'ok    ' : 'FAIL  ') + what);
  if (!ok) failures++;
}

// A page of the show with its console kept: errors fail the run.
// How long a check waits for what a working page does (loading, a dialog, an exit
// status): the limit only ends a page that hangs, so it is generous, and a busy
// machine, where the pages share two cores with other work, never reaches it.
const kPatience = 600000;

async function openShow(browser, base, query, options = {}) {
  return openPage(browser, base + 'index.html' + query, options);
}

async function openPage(browser, url, {intercept, beforeLoad} = {}) {
  // A window of its own: a page that is not shown gets no animation frames,
  // and the real-time runs draw on them.
  const context = await browser.createBrowserContext();
  const page = await context.newPage();
  const log = [];
  page.on('console', (m) => log.push({type: m.type(), text: m.text()}));
  page.on('pageerror', (e) => log.push({type: 'error', text: String(e.message)}));
  if (beforeLoad) await page.evaluateOnNewDocument(beforeLoad);
  if (intercept) {
    await page.setRequestInterception(true);
    page.on('request', intercept);
  }
  await page.goto(url, {timeout: kPatience});
  return {page, log};
}

async function exitStatus(page, timeoutMs) {
  await page.waitForSelector('body[data-exit-status]', {timeout: timeoutMs});
  return page.$eval('body', (b) => Number(b.dataset.exitStatus));
}

function consoleErrors(log) {
  return log.filter((l) => l.type === 'error').map((l) => l.text);
}

// Mean difference and lost pixels (either way) between two pictures of the same
// size, computed in a page from their PNG data.
async function comparePictures(page, pngA, pngB) {
  return page.evaluate(async (a, b, lostLevel) => {
    async function pixels(src) {
      const img = new Image();
      img.src = src;
      await img.decode();
      const canvas = new OffscreenCanvas(img.width, img.height);
      const context = canvas.getContext('2d');
      context.drawImage(img, 0, 0);
      return {w: img.width, h: img.height, data: context.getImageData(0, 0, img.width, img.height).data};
    }
    const p = await pixels(a), q = await pixels(b);
    if (p.w !== q.w || p.h !== q.h) return {sizeMismatch: true};
    let sum = 0;
    for (let i = 0; i < p.data.length; i += 4)
      for (let c = 0; c < 3; c++) sum += Math.abs(p.data[i + c] - q.data[i + c]);
    const lostIn = (x, y) => {
      let lost = 0;
      for (let j = 0; j < x.h; j++)
        for (let i = 0; i < x.w; i++) {
          let matched = false;
          for (let dj = -1; dj <= 1 && !matched; dj++)
            for (let di = -1; di <= 1 && !matched; di++) {
              const u = i + di, v = j + dj;
              if (u < 0 || v < 0 || u >= x.w || v >= x.h) continue;
              let far = false;
              for (let c = 0; c < 3; c++)
                if (Math.abs(x.data[(j * x.w + i) * 4 + c] - y.data[(v * x.w + u) * 4 + c]) > lostLevel) far = true;
              matched = !far;
            }
          if (!matched) lost++;
        }
      return lost;
    };
    return {mean: sum / (p.w * p.h * 3), lost: Math.max(lostIn(p, q), lostIn(q, p)), count: p.w * p.h};
  }, pngA, pngB, kLostLevel);
}

function readRaw(file) {
  const bytes = fs.readFileSync(file);
  return new Int16Array(bytes.buffer, bytes.byteOffset, bytes.length / 2);
}

// --- The checks ---

// The dialog filled in and Run pressed; frames drawn; Escape fades and ends with 0.
// Quit ends with 0 too.
async function dialogRunEscape(browser, base) {
  const {page, log} = await openShow(browser, base, '');
  await page.waitForSelector('#dialog:not(.hidden)', {timeout: kPatience});
  const labels = await page.$$eval('#modes option', (o) => o.map((x) => x.textContent));
  check(labels.length > 0 && labels.every((l) => /^ \d+ x \d+ /.test(l)),
        `dialog lists the display's modes (${labels.map((l) => l.trim()).join(', ')})`);
  await page.select('#modes', '0');
  await page.click('#windowed');
  await page.click('#antialiased');
  await page.click('#run');
  await page.waitForSelector('#canvas', {visible: true, timeout: kPatience});
  // Frames are drawn once the canvas shows more than one colour.
  let drawn = false;
  for (let i = 0; i < 120 && !drawn; i++) {
    await new Promise((r) => setTimeout(r, 500));
    const shot = await page.screenshot({clip: await (await page.$('#canvas')).boundingBox(), encoding: 'base64'});
    drawn = await page.evaluate(async (src) => {
      const img = new Image();
      img.src = src;
      await img.decode();
      const canvas = new OffscreenCanvas(img.width, img.height);
      const context = canvas.getContext('2d');
      context.drawImage(img, 0, 0);
      const d = context.getImageData(0, 0, img.width, img.height).data;
      const colours = new Set();
      for (let k = 0; k < d.length; k += 4 * 97) colours.add(d[k] << 16 | d[k + 1] << 8 | d[k + 2]);
      return colours.size > 8;
    }, 'data:image/png;base64,' + shot);
  }
  check(drawn, 'Run: frames are drawn on the canvas');
  const size = await page.$eval('#canvas', (c) => [c.width, c.height]);
  check(labels.length > 0 && labels[0].includes(` ${size[0]} x `), `the canvas has the chosen size (${size.join(' x ')})`);
  await page.keyboard.press('Escape');
  const status = await exitStatus(page, kPatience);
  check(status === 0, `Escape fades and ends the show with status 0 (got ${status})`);
  const shown = await page.$eval('#exit', (e) => e.textContent);
  check(/status 0/.test(shown), 'the page shows the exit status');
  // Quit ends the program with 0 before any window exists.
  const quit = await openShow(browser, base, '');
  await quit.page.waitForSelector('#dialog:not(.hidden)', {timeout: kPatience});
  await quit.page.click('#quit');
  const quitStatus = await exitStatus(quit.page, 60000);
  const canvasShown = await quit.page.$eval('#canvas', (c) => c.style.display === 'block');
  check(quitStatus === 0 && !canvasShown, `Quit ends with status 0 and no canvas (got ${quitStatus})`);
  return [...log, ...quit.log];
}

// Screenshots at fixed steps against the Linux build's (a plain run to 34 s, and
// late starts). The later ones come from runs that start before them
// (start=: the frames before run unseen, cheaply, to the same state), side by
// side with the others; the latest also shows its way there on the progress bar.
const kShotRuns = [
  {times: ['2', '11', '33'], extra: '&show-end=34'},
  {times: ['120'], extra: '&start=118&show-end=121'},
  {times: ['230'], extra: '&start=229&show-end=231', progress: true},
];

// In the page before its scripts: the fractions its progress bar shows on the way
// to a late start. The bar's observer runs once the page's turn ends, so several
// fractions mean the page yielded to the browser on the way.
function watchStartProgress() {
  window.zurTestProgress = [];
  document.addEventListener('DOMContentLoaded', () => {
    const text = document.getElementById('loading-text');
    new MutationObserver(() => {
      if (/^Going to show time/.test(text.textContent))
        window.zurTestProgress.push(document.getElementById('progress').value);
    }).observe(text, {childList: true, characterData: true, subtree: true});
  });
}

async function screenshotRun(browser, base, run) {
  const query = '?no-dialog&no-sound&size=320x180&fixed-step=30' + run.extra +
                run.times.map((t) => '&screenshot=' + t).join('');
  const {page, log} = await openShow(browser, base, query, {beforeLoad: run.progress ? watchStartProgress : null});
  const status = await exitStatus(page, 900000);
  check(status === 0, `screenshot run (${query}) ends with status 0 (got ${status})`);
  if (run.progress) {
    const seen = await page.evaluate(() => window.zurTestProgress);
    const hidden = await page.$eval('#loading', (e) => e.classList.contains('hidden'));
    const between = new Set(seen.filter((v) => v > 0 && v < 1)).size;
    check(between >= 2 && hidden, `the way to start=${run.extra.match(/start=([\d.]+)/)[1]} shows on the progress ` +
          `bar in ${between} steps between 0 and 1, which goes at the start`);
  }
  const shots = await page.$$eval('img.screenshot', (imgs) => imgs.map((i) => [i.dataset.time, i.src]));
  check(shots.length === run.times.length, `${shots.length} of ${run.times.length} screenshots held by the page`);
  for (const [time, src] of shots) await checkAgainstLinux(page, time, src, 'screenshot');
  return log;
}

// One screenshot of a page against the Linux build's at the same show time; kept
// in REFDIR as web-T.png (or NAME-T.png) for a look.
async function checkAgainstLinux(page, time, src, what, name = 'web') {
  const ref = 'data:image/png;base64,' + fs.readFileSync(path.join(refDir, `shot-${time}.png`)).toString('base64');
  const r = await comparePictures(page, src, ref);
  if (r.sizeMismatch) {
    check(false, `${what} at ${time} s has the Linux picture's size`);
    return;
  }
  check(r.mean <= kMaxMeanLevels && r.lost <= r.count * kMaxLostShare,
        `${what} at ${time} s against Linux: mean difference ${r.mean.toFixed(2)} levels, ` +
        `${r.lost} of ${r.count} pixels lost`);
  fs.writeFileSync(path.join(refDir, `${name}-${time}.png`), Buffer.from(src.split(',')[1], 'base64'));
}

// The served page opened straight from its file, as a double-click opens it: the
// browser refuses it every fetch, so it says what to do instead of failing.
async function servedPageAsFile(browser) {
  const {page, log} = await openPage(browser, pathToFileURL(path.resolve(siteDir, 'index.html')).href);
  await page.waitForSelector('#message:not(.hidden)', {timeout: kPatience});
  const title = await page.$eval('#message h1', (h) => h.textContent);
  const text = await page.$eval('#message pre', (p) => p.textContent);
  check(text.includes('open zoduv.html') && text.includes('python3 -m http.server --bind 127.0.0.1 8000') &&
        text.includes(path.resolve(siteDir) + '/') && !/fetch/i.test(title + text),
        `the served page opened as a file says what to do ("${title}": the single file, or the server ` +
        'command in its own folder)');
  await page.close();
  return log;
}

// The single file opened as a file with no server running: it plays to its end
// and draws what Linux draws.
async function singleFileAsFile(browser) {
  const query = '?no-dialog&no-sound&size=320x180&fixed-step=30&show-end=12&screenshot=11';
  const started = Date.now();
  const {page, log} = await openPage(browser, pathToFileURL(path.resolve(singleFile)).href + query);
  const loaded = (Date.now() - started) / 1000;
  await page.waitForSelector('#canvas', {visible: true, timeout: kPatience});
  const running = (Date.now() - started) / 1000;
  const status = await exitStatus(page, 900000);
  const megabytes = fs.statSync(singleFile).size / 1e6;
  check(status === 0, `zoduv.html (${megabytes.toFixed(1)} MB) opened as a file (${query}) ends with status 0 ` +
        `(got ${status}; loaded in ${loaded.toFixed(1)} s, drawing after ${running.toFixed(1)} s)`);
  const shots = await page.$$eval('img.screenshot', (imgs) => imgs.map((i) => [i.dataset.time, i.src]));
  check(shots.length === 1, `${shots.length} of 1 screenshots held by the single file`);
  for (const [time, src] of shots) await checkAgainstLinux(page, time, src, 'single-file screenshot', 'single');
  return log;
}

// Files that cannot be fetched or are broken end the show as elsewhere: their
// message box and exit status.
const kDamagedAssets = [
  // file, what the server answers, box title, status
  {file: 'textures/hand.jpg', body: null, title: 'Jpg !', status: 3},
  {file: 'textures/paper.jpg', body: 'not a JPEG file', title: 'Jpg !', status: 3},
  {file: 'newobjects/paths.pt', body: null, title: null, status: 2},
  {file: 'music/pencil_bassy.mp3', body: null, title: null, status: 4},
];

async function damagedAssets(browser, base) {
  const logs = [];
  for (const damage of kDamagedAssets) {
    const {page, log} = await openShow(browser, base, '?no-dialog&size=320x180', {
      intercept: (request) => !request.url().endsWith('/' + damage.file) ? request.continue()
        : damage.body === null ? request.respond({status: 404, body: ''})
        : request.respond({status: 200, contentType: 'application/octet-stream', body: damage.body}),
    });
    const status = await exitStatus(page, kPatience);
    const what = `${damage.file} ${damage.body === null ? 'missing' : 'broken'}`;
    check(status === damage.status, `${what}: status ${damage.status} (got ${status})`);
    if (damage.title) {
      const box = await page.$eval('#message h1', (h) => h.textContent).catch(() => '');
      const text = await page.$eval('#message pre', (p) => p.textContent).catch(() => '');
      check(box === damage.title && text.includes(damage.file.split('/').pop()),
            `${what}: message box "${box}" naming the file (${text.trim().slice(0, 60)})`);
    }
    // The refused request itself is the one error the browser reports.
    logs.push(...log.filter((l) => !/404|Not Found/i.test(l.text)));
    await page.close();
  }
  return logs;
}

// A bad parameter ends with the usage status, and the page shows what the native
// program says on standard error for the same option, with the parameters it takes.
const kBadParameters = ['size=0x0', 'size=abc', 'fixed-step=1000000', 'show-end=-1', 'start=1e309', 'start=300',
                        'screenshot=-1', 'frobnicate', 'capture=x.mp4'];

async function badParameters(browser, base) {
  const logs = [];
  for (const parameter of kBadParameters) {
    const {page, log} = await openShow(browser, base, '?no-dialog&no-sound&size=320x180&' + parameter);
    const status = await exitStatus(page, kPatience);
    const shown = await page.$eval('#message', (m) => m.textContent).catch(() => '');
    // The native program with the arguments the page makes of the query, in the
    // show's folder; capture is the page's own refusal.
    const [name, value] = parameter.split('=');
    const arg = value === undefined ? '--' + name : name === 'screenshot' ? `--screenshot=${value}:x.png`
      : `--${name}=${value}`;
    const native = spawnSync(nativeProgram, ['--no-dialog', '--no-sound', '--size=320x180', arg],
                             {cwd: path.join(path.dirname(nativeProgram), 'show'), encoding: 'utf8'});
    const said = name === 'capture' ? 'zoduv: --capture needs ffmpeg, which a page cannot start'
      : native.stderr.split('\n')[0].replace(/x\.png/, '/screenshots/0.png');
    check(status === 64 && (name === 'capture' || native.status === 64) && said.startsWith('zoduv: ') &&
          shown.includes(said) &&
          shown.includes('fixed-step=N'),
          `${parameter}: status ${status}, the page shows "${said}" and its parameters`);
    logs.push(...log);
    await page.close();
  }
  return logs;
}

// The list of the asset tree as people write it (Windows line ends, blank lines,
// no last newline) loads the show; a damaged one ends like a missing file, with
// status 2 and a message naming the list and its wrong line, within seconds.
async function assetLists(browser, base) {
  const list = fs.readFileSync(path.join(siteDir, 'files.txt'), 'utf8').trimEnd().split('\n');
  const wrong = list.slice();
  wrong[3] = wrong[3].replace(/^\d+/, '15x9');
  const cases = [
    {what: 'CRLF, blank lines, no last newline', body: '\r\n' + list.join('\r\n\r\n'), status: 0},
    {what: 'zero bytes', body: Buffer.alloc(2000), status: 2, line: 1},
    {what: 'a size written 15x9', body: wrong.join('\n') + '\n', status: 2, line: 4},
    {what: 'a path out of the folder', body: list.concat(['10 ../../etc/passwd']).join('\n'), status: 2,
     line: list.length + 1},
  ];
  const logs = [];
  for (const c of cases) {
    const {page, log} = await openShow(browser, base, '?no-dialog&no-sound&size=320x180&fixed-step=30&show-end=0.5', {
      intercept: (request) => request.url().endsWith('/files.txt')
        ? request.respond({status: 200, contentType: 'text/plain', body: c.body}) : request.continue(),
    });
    const status = await exitStatus(page, kPatience);
    const shown = await page.$eval('#message', (m) => m.textContent).catch(() => '');
    check(status === c.status && (!c.line || shown.includes(`files.txt, line ${c.line}: `)),
          `files.txt with ${c.what}: status ${status}` + (c.line ? `, the page names line ${c.line}` : ''));
    logs.push(...log);
    await page.close();
  }
  return logs;
}

// What the page hands to Web Audio is the music at its position, plus the pencil
// loop at its volume, which falls to nothing while the pencil stands still.
async function sound(browser, base) {
  const music = readRaw(path.join(refDir, 'lanternsong.raw'));
  const pencil = readRaw(path.join(refDir, 'pencil_bassy.raw'));
  const {page, log} = await openShow(browser, base, '?no-dialog&size=320x180&show-end=9&sound-blocks');
  const status = await exitStatus(page, kPatience);
  check(status === 0, `sound run ends with status 0 (got ${status})`);
  const blocks = await page.evaluate(() => Module.zurSoundBlocks.map((b) => ({
    music: b.music, ambient: b.ambient, pcm: Array.from(b.pcm)})));
  check(blocks.length * 2048 >= 44100 * 4, `${blocks.length} blocks of sound reached Web Audio`);
  let worstMusic = 1, moving = 0, still = 0, other = 0, skips = 0;
  for (const [k, b] of blocks.entries()) {
    // A block that does not start where the last one ended: the page was late and
    // the mixer was put back in step with the clock.
    if (k > 0 && b.music !== blocks[k - 1].music + blocks[k - 1].pcm.length / 2) skips++;
    const n = b.pcm.length / 2;
    if (b.music + n > music.length / 2) continue;
    // The music at full volume; what is left is the pencil loop at its volume.
    let mm = 0, rr = 0, rp = 0, pp = 0;
    for (let i = 0; i < b.pcm.length; i++) {
      const m = music[b.music * 2 + i];
      const r = b.pcm[i] - m;
      const p = pencil[(b.ambient * 2 + i) % pencil.length];
      mm += m * m;
      rr += r * r;
      rp += r * p;
      pp += p * p;
    }
    const gain = pp > 0 ? rp / pp : 0;
    const unexplained = rr - (pp > 0 ? rp * rp / pp : 0);
    if (mm > 0) worstMusic = Math.min(worstMusic, 1 - unexplained / mm);
    // Before 2 s of show time the loop is muted anyway: only later silence is the
    // pencil standing still.
    if (Math.abs(gain - 10 / 255) < 0.004) moving++;
    else if (Math.abs(gain) < 0.004) still += b.music > 2.1 * 44100 ? 1 : 0;
    else other++;
  }
  check(worstMusic > 0.999, `every block is the music at its position plus the pencil loop ` +
        `(worst block explains ${(worstMusic * 100).toFixed(3)} % of the music's energy; ` +
        `${skips} times put back in step with the clock)`);
  check(moving > 0 && still > 0 && other === 0,
        `the pencil loop plays at volume 10 in ${moving} blocks and is silent after 2 s in ${still} (${other} other)`);
  return log;
}

const {server, url} = await serveFolder(siteDir);
const browser = await puppeteer.launch({
  executablePath: process.env.ZUR_CHROMIUM || '/usr/bin/chromium',
  headless: true,
  protocolTimeout: 900000,
  args: ['--no-sandbox', '--use-angle=swiftshader', '--enable-unsafe-swiftshader',
         '--autoplay-policy=no-user-gesture-required'],
});
try {
  // One check failing to finish must not stop the others.
  const guarded = async (name, run) => {
    try {
      return await run(browser, url);
    } catch (e) {
      check(false, `${name} ran to its end: ${e.message}${e.cause ? ' (' + e.cause.message + ')' : ''}`);
      return [];
    }
  };
  // The runs from a late start one after the other: catching up keeps a core busy.
  const shots = (run) => guarded('screenshots', (b, u) => screenshotRun(b, u, run));
  const logs = await Promise.all([
    ...kShotRuns.filter((run) => !run.extra.includes('start=')).map(shots),
    (async () => {
      const late = [];
      for (const run of kShotRuns.filter((r) => r.extra.includes('start='))) late.push(...await shots(run));
      return late;
    })(),
    ...(singleFile ? [guarded('single file', singleFileAsFile)] : []),
    (async () => [...await guarded('served page as a file', servedPageAsFile),
                  ...await guarded('dialog', dialogRunEscape), ...await guarded('damaged assets', damagedAssets),
                  ...await guarded('sound', sound)])(),
    (async () => [...await guarded('bad parameters', badParameters),
                  ...await guarded('asset lists', assetLists)])(),
  ]);
  const errors = consoleErrors(logs.flat());
  check(errors.length === 0, `no console errors${errors.length ? ': ' + errors.slice(0, 3).join(' | ') : ''}`);
} catch (e) {
  check(false, 'the pages ran: ' + e.message);
} finally {
  await browser.close();
  server.kill();
}
console.log(failures ? `${failures} check(s) failed` : 'all web checks passed');
process.exit(failures ? 1 : 0);
