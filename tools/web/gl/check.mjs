// Loads the check page in headless chromium, takes the scenes the web layer drew
// and compares them with the native ones: mean absolute difference per channel
// value, at most 3 levels per scene. Writes native | web | difference x4 PNGs.
// usage: node check.mjs URL NATIVE.rgba NAMES.txt OUTDIR
import fs from 'node:fs';
import path from 'node:path';
import zlib from 'node:zlib';
import puppeteer from 'puppeteer-core';

const [url, nativePath, namesPath, outDir] = process.argv.slice(2);
const size = 128;
const sceneBytes = size * size * 4;
const names = fs.readFileSync(namesPath, 'utf8').split('\n').filter((l) => l.length > 0);
const native = fs.readFileSync(nativePath);

const crcTable = new Int32Array(256).map((_, n) => {
  let c = n;
  for (let k = 0; k < 8; ++k) c = c & 1 ? 0xedb88320 ^ (c >>> 1) : c >>> 1;
  return c;
});
function crc32(buf) {
  let c = -1;
  for (const b of buf) c = crcTable[(c ^ b) & 0xff] ^ (c >>> 8);
  return (c ^ -1) >>> 0;
}
function chunk(type, data) {
  const head = Buffer.alloc(8);
  head.writeUInt32BE(data.length, 0);
  head.write(type, 4, 'ascii');
  const crc = Buffer.alloc(4);
  crc.writeUInt32BE(crc32(Buffer.concat([head.subarray(4), data])), 0);
  return Buffer.concat([head, data, crc]);
}
// RGBA rows bottom first, as GL reads them.
function png(width, height, rgba) {
  const raw = Buffer.alloc((width * 4 + 1) * height);
  for (let y = 0; y < height; ++y) {
    const src = (height - 1 - y) * width * 4;
    raw[y * (width * 4 + 1)] = 0;
    rgba.copy(raw, y * (width * 4 + 1) + 1, src, src + width * 4);
  }
  const ihdr = Buffer.alloc(13);
  ihdr.writeUInt32BE(width, 0);
  ihdr.writeUInt32BE(height, 4);
  ihdr.set([8, 6, 0, 0, 0], 8);
  return Buffer.concat([Buffer.from([137, 80, 78, 71, 13, 10, 26, 10]), chunk('IHDR', ihdr),
                        chunk('IDAT', zlib.deflateSync(raw)), chunk('IEND', Buffer.alloc(0))]);
}

const browser = await puppeteer.launch({
  executablePath: '/usr/bin/chromium',
  headless: 'new',
  args: ['--no-sandbox', '--use-angle=swiftshader', '--enable-unsafe-swiftshader', '--ignore-gpu-blocklist'],
});
let failed = false;
try {
  const page = await browser.newPage();
  page.on('console', (m) => console.log('page:', m.text()));
  page.on('pageerror', (e) => console.log('page error:', e.message));
  await page.goto(url);
  await page.waitForFunction('window.zwDone || window.zwError', { timeout: 120000 });
  const error = await page.evaluate('window.zwError || null');
  if (error) throw new Error(error);
  const glError = await page.evaluate('window.zwGlError');
  if (glError) {
    console.log(`GL error after the scenes: 0x${glError.toString(16)}`);
    failed = true;
  }
  const scenes = await page.evaluate(() => window.zwScenes.map((s) => {
    let text = '';
    for (let i = 0; i < s.length; i += 8192) text += String.fromCharCode.apply(null, s.subarray(i, i + 8192));
    return btoa(text);
  }));
  fs.mkdirSync(outDir, { recursive: true });
  fs.writeFileSync(path.join(outDir, 'web.rgba'), Buffer.concat(scenes.map((b64) => Buffer.from(b64, 'base64'))));
  console.log('scene                                                 mean   max  >16 px');
  scenes.forEach((b64, i) => {
    const web = Buffer.from(b64, 'base64');
    const ref = native.subarray(i * sceneBytes, (i + 1) * sceneBytes);
    let sum = 0, max = 0, far = 0;
    const sheet = Buffer.alloc(sceneBytes * 3);
    for (let p = 0; p < size * size; ++p) {
      let pixelFar = false;
      for (let c = 0; c < 4; ++c) {
        const d = Math.abs(web[p * 4 + c] - ref[p * 4 + c]);
        sum += d;
        max = Math.max(max, d);
        if (d > 16) pixelFar = true;
      }
      if (pixelFar) ++far;
      const y = Math.floor(p / size), x = p % size;
      for (let c = 0; c < 4; ++c) {
        const row = y * size * 3 * 4;
        sheet[row + x * 4 + c] = ref[p * 4 + c];
        sheet[row + (size + x) * 4 + c] = web[p * 4 + c];
        sheet[row + (2 * size + x) * 4 + c] = c === 3 ? 255 : Math.min(255, 4 * Math.abs(web[p * 4 + c] - ref[p * 4 + c]));
      }
    }
    const mean = sum / sceneBytes;
    if (mean > 3) failed = true;
    const name = names[i] || `scene ${i}`;
    console.log(`${name.padEnd(52)} ${mean.toFixed(2).padStart(5)} ${String(max).padStart(5)} ${String(far).padStart(5)}${mean > 3 ? '  FAIL' : ''}`);
    fs.writeFileSync(path.join(outDir, `scene${i}.png`), png(size * 3, size, sheet));
  });
} catch (e) {
  console.log('check failed:', e.message);
  failed = true;
} finally {
  await browser.close();
}
process.exit(failed ? 1 : 0);
