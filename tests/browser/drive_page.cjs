// Drives a page made by tundra-render --html in a Chromium that the calling test started and
// owns, and prints what it saw as one JSON object: the player's length, the time display while
// it plays, the text of the terminal at a chosen time, and every request that was not for a
// file on disk (all of them refused).
// Usage: node drive_page.cjs PLAYWRIGHT_CORE_DIR CDP_URL PAGE_FILE SCREENSHOT SECONDS
'use strict';
const [playwrightDir, cdpUrl, pageFile, screenshotPath, seekText] = process.argv.slice(2);
const { chromium } = require(playwrightDir);

async function main() {
  const seconds = Number(seekText);
  const browser = await chromium.connectOverCDP(cdpUrl);
  try {
    return await watch(browser, seconds);
  } finally {
    await browser.close();  // the connection: the test that started the browser ends it
  }
}

async function watch(browser, seconds) {
  const context = await browser.newContext({ viewport: { width: 1000, height: 900 } });
  const refused = [];
  await context.route('**/*', (route) => {
    const url = route.request().url();
    if (url.startsWith('file://')) return route.continue();
    refused.push(url);
    return route.abort();
  });
  context.on('request', (request) => {
    const url = request.url();
    if (!url.startsWith('file://') && !refused.includes(url)) refused.push(url);
  });
  const page = await context.newPage();
  const errors = [];
  page.on('pageerror', (error) => errors.push(String(error)));
  page.on('console', (message) => {
    if (message.type() === 'error') errors.push(message.text());
  });
  await page.goto('file://' + pageFile);

  // The player starts by itself; its time display runs with the recording.
  await page.waitForFunction(() => window.tundraPlayer && document.querySelector('.ap-line'),
                             null, { timeout: 20000 });
  const elapsed = () => page.evaluate(() => {
    const shown = document.querySelector('.ap-time-elapsed');
    return shown ? shown.textContent : null;
  });
  const now = () => page.evaluate(() => window.tundraPlayer.getCurrentTime());
  const timeShown = [await elapsed()];
  const playedFrom = await now();
  await page.waitForFunction(() => window.tundraPlayer.getCurrentTime() > 2.5, null,
                             { timeout: 20000 });
  timeShown.push(await elapsed());
  const playedTo = await now();
  const duration = await page.evaluate(() => window.tundraPlayer.getDuration());

  // Paused at the chosen time: the terminal's rows as the page shows them.
  await page.evaluate(async (t) => {
    await window.tundraPlayer.pause();
    await window.tundraPlayer.seek(t);
  }, seconds);
  await page.waitForTimeout(500);
  const at = await now();
  const rows = await page.evaluate(() =>
    Array.from(document.querySelectorAll('.ap-line'), (line) => line.textContent));
  const title = await page.evaluate(() => [document.title, document.querySelector('h1').textContent,
                                          document.querySelector('p.credits').textContent]);
  await page.screenshot({ path: screenshotPath, fullPage: true });
  await context.close();
  return { duration, playedFrom, playedTo, timeShown, at, rows, title, refused, errors };
}

main().then(
  (seen) => console.log(JSON.stringify(seen)),
  (error) => {
    console.log(JSON.stringify({ failed: String(error && error.stack || error) }));
    process.exitCode = 1;
  });
