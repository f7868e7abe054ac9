// What an empty WebGL 2 frame costs in the loop the page runs fixed steps in: a
// WIDTHxHEIGHT canvas cleared once a turn, turns chained through
// window.postMessage as Emscripten's loop chains them, in the same Chromium and
// with the same WebGL as page.mjs (ZUR_WEBGL=gl: ANGLE on the system's GL).
// Prints the milliseconds a turn.
//   node empty_frame.mjs [WIDTHxHEIGHT] [TURNS]
import puppeteer from 'puppeteer-core';

const [size = '64x36', turnsArgument = '3000'] = process.argv.slice(2);
const [width, height] = size.split('x').map(Number);
const browser = await puppeteer.launch({
  executablePath: process.env.ZUR_CHROMIUM || '/usr/bin/chromium',
  headless: true,
  args: ['--no-sandbox', ...(process.env.ZUR_WEBGL === 'gl' ? ['--use-angle=gl', '--ignore-gpu-blocklist']
                                                            : ['--use-angle=swiftshader', '--enable-unsafe-swiftshader'])],
});
try {
  const page = await browser.newPage();
  const ms = await page.evaluate((width, height, turns) => new Promise((resolve) => {
    const canvas = document.createElement('canvas');
    canvas.width = width;
    canvas.height = height;
    document.body.append(canvas);
    const gl = canvas.getContext('webgl2', {alpha: false, antialias: false});
    let done = 0, started = 0;
    const turn = () => {
      gl.clearColor(done % 2, 0.5, 0.25, 1);
      gl.clear(gl.COLOR_BUFFER_BIT);
      if (++done === 100) started = performance.now(); // past the first turns' set-up
      if (done === turns + 100) return resolve((performance.now() - started) / turns);
      window.postMessage('turn', '*');
    };
    window.addEventListener('message', turn);
    turn();
  }), width, height, Number(turnsArgument));
  console.log(ms.toFixed(3));
} finally {
  await browser.close();
}
