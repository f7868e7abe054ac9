// Loads the benchmark page in headless chromium and prints what it reports.
// usage: node bench.mjs URL
import puppeteer from 'puppeteer-core';

const browser = await puppeteer.launch({
  executablePath: '/usr/bin/chromium',
  headless: 'new',
  args: ['--no-sandbox', '--use-angle=swiftshader', '--enable-unsafe-swiftshader', '--ignore-gpu-blocklist'],
});
let failed = false;
try {
  const page = await browser.newPage();
  page.on('console', (m) => { if (!m.text().includes('GL Driver Message')) console.log(m.text()); });
  await page.goto(process.argv[2]);
  await page.waitForFunction('window.zwDone || window.zwError', { timeout: 300000 });
  const error = await page.evaluate('window.zwError || null');
  if (error) throw new Error(error);
} catch (e) {
  console.log('benchmark failed:', e.message);
  failed = true;
} finally {
  await browser.close();
}
process.exit(failed ? 1 : 0);
