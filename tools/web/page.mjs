// Runs the show's page once in headless Chromium and reports like the native
// program: the page's console on standard output and standard error, the
// benchmark table when asked for, screenshots written as files, the time from
// loading to the end on standard error ("page: S s ..."), and the page's exit
// status as this process's. SITEDIR is served from a local server; a single-file
// page (zoduv.html) is opened as a file, with no server. WebGL draws on
// Chromium's SwiftShader, or with ZUR_WEBGL=gl through ANGLE on the system's GL
// (Mesa's llvmpipe under Xvfb, as the Linux build draws); standard error names
// the renderer ("page: WebGL renderer ...").
//   node page.mjs SITEDIR|FILE.html 'QUERY' [SHOTDIR]
// e.g. node page.mjs build-web/site '?no-dialog&no-sound&size=320x180&fixed-step=30&show-end=12&screenshot=11' /tmp
import fs from 'node:fs';
import path from 'node:path';
import {pathToFileURL} from 'node:url';
import puppeteer from 'puppeteer-core';
import {serveFolder} from './serve.mjs';

const [siteDir, query = '', shotDir] = process.argv.slice(2);
async function serve() {
  const {server, url} = await serveFolder(siteDir);
  return {server, url: url + 'index.html'};
}
const singleFile = siteDir.endsWith('.html');
const {server, url} = singleFile ? {server: null, url: pathToFileURL(path.resolve(siteDir)).href} : await serve();
const browser = await puppeteer.launch({
  executablePath: process.env.ZUR_CHROMIUM || '/usr/bin/chromium',
  headless: true,
  protocolTimeout: 3600000,
  args: ['--no-sandbox', '--autoplay-policy=no-user-gesture-required',
         ...(process.env.ZUR_WEBGL === 'gl' ? ['--use-angle=gl', '--ignore-gpu-blocklist']
                                           : ['--use-angle=swiftshader', '--enable-unsafe-swiftshader'])],
});
let status = 1;
try {
  const page = await browser.newPage();
  page.on('console', (m) => (m.type() === 'log' ? process.stdout : process.stderr).write(m.text() + '\n'));
  page.on('pageerror', (e) => process.stderr.write('page error: ' + e.message + '\n'));
  const started = Date.now();
  await page.goto(url + query, {timeout: 0});
  await page.waitForSelector('body[data-exit-status]', {timeout: 0});
  process.stderr.write(`page: ${((Date.now() - started) / 1000).toFixed(3)} s from loading to the end\n`);
  const renderer = await page.evaluate(() => {
    const context = document.createElement('canvas').getContext('webgl2');
    const info = context && context.getExtension('WEBGL_debug_renderer_info');
    return info ? context.getParameter(info.UNMASKED_RENDERER_WEBGL) : 'unknown';
  });
  process.stderr.write(`page: WebGL renderer ${renderer}\n`);
  status = await page.$eval('body', (b) => Number(b.dataset.exitStatus));
  if (shotDir) {
    const shots = await page.$$eval('img.screenshot', (imgs) => imgs.map((i) => [i.dataset.time, i.src]));
    for (const [time, src] of shots)
      fs.writeFileSync(path.join(shotDir, `web-${time}.png`), Buffer.from(src.split(',')[1], 'base64'));
  }
} finally {
  await browser.close();
  if (server) server.kill();
}
process.exit(status);
