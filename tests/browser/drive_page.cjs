// Drives a page made by tundra-render --html in a Chromium that the calling test started and
// owns, and prints what it saw as one JSON object: the ASCII view at the frames the address
// names, the colour view's cells and canvas, a flash played into from the start, the keys, the
// sound, the end and its farewell, the time each frame took, and every request that was not
// for the file itself (all of them refused).
// Usage: node drive_page.cjs PLAYWRIGHT_CORE_DIR CDP_URL PAGE_FILE SCREENSHOT FLASH_FRAME FRAME...
'use strict';
const [playwrightDir, cdpUrl, pageFile, screenshotPath, flashText, ...frameTexts] =
    process.argv.slice(2);
const { chromium } = require(playwrightDir);

async function main() {
  const browser = await chromium.connectOverCDP(cdpUrl);
  try {
    return await watch(browser);
  } finally {
    await browser.close();  // the connection: the test that started the browser ends it
  }
}

function median(values) {
  const sorted = [...values].sort((a, b) => a - b);
  return sorted[Math.floor(sorted.length / 2)];
}

async function watch(browser) {
  const context = await browser.newContext({ viewport: { width: 1000, height: 900 } });
  const refused = [];
  await context.route('**/*', (route) => {
    const url = route.request().url();
    if (url.startsWith('file://' + pageFile) || url.startsWith('data:') || url === 'about:blank')
      return route.continue();
    refused.push(url);
    return route.abort();
  });
  const page = await context.newPage();
  const errors = [];
  page.on('pageerror', (error) => errors.push(String(error)));
  page.on('console', (message) => {
    if (message.type() === 'error' || message.type() === 'warning') errors.push(message.text());
  });
  page.on('request', (request) => {
    const url = request.url();
    if (!url.startsWith('file://' + pageFile) && !url.startsWith('data:') && url !== 'about:blank' &&
        !refused.includes(url))
      refused.push(url);
  });
  // A new load each time: a changed hash alone would only move the page already open.
  const open = async (hash) => {
    await page.goto('about:blank');
    await page.goto('file://' + pageFile + hash);
    await page.waitForFunction(() => document.body.dataset.ready === 'yes', null,
                               { timeout: 20000 });
  };
  const seen = (expression, argument) => page.evaluate(expression, argument);
  const ascii = () => seen(() => document.getElementById('ascii').textContent);

  // Each frame as the address names it, paused there.
  const frames = {};
  for (const text of frameTexts) {
    await open('#frame=' + text);
    frames[text] = { shown: await seen(() => tundraPage.tundra.shown), ascii: await ascii(),
                     playing: await seen(() => tundraPage.state.playing) };
  }
  const title = await seen(() => [document.title, document.querySelector('h1').textContent,
                                  document.querySelector('p.credits').textContent]);

  // The colour view of the last of them: the page's cells as --ansi writes them, and every
  // cell's top left pixel on the canvas in the cell's background or foreground colour.
  await page.keyboard.press('c');
  const colour = await seen(() => {
    const canvas = document.getElementById('colour');
    const cells = tundraPage.tundra.cells();
    const pixels = canvas.getContext('2d').getImageData(0, 0, canvas.width, canvas.height).data;
    let wrong = 0;
    for (let cell = 0; cell < 80 * 25; ++cell) {
      const x = (cell % 80) * 8, y = Math.floor(cell / 80) * 16;
      const at = 4 * (y * canvas.width + x);
      const rgb = pixels[at] << 16 | pixels[at + 1] << 8 | pixels[at + 2];
      if (rgb !== cells[3 * cell + 1] && rgb !== cells[3 * cell + 2]) ++wrong;
    }
    return { visible: !canvas.hidden, asciiHidden: document.getElementById('ascii').hidden,
             ansi: tundraPage.tundra.ansi(), wrongPixels: wrong };
  });
  await page.screenshot({ path: screenshotPath, fullPage: true });
  await page.keyboard.press('c');

  // Played from the start into the flash, with the time each frame takes (engine and view).
  const flash = Number(flashText);
  await open('#frame=0');
  const times = await seen((n) => tundraPage.run(n), flash);
  const flashed = { shown: await seen(() => tundraPage.tundra.shown), ascii: await ascii() };

  // The keys: a second on and back, play and pause, mute; the first key starts the sound.
  const shown = () => seen(() => tundraPage.tundra.shown);
  const keys = {};
  await page.keyboard.press('ArrowRight');
  keys.right = await shown();
  await page.keyboard.press('ArrowLeft');
  keys.left = await shown();
  await page.keyboard.press(' ');
  keys.playing = await seen(() => tundraPage.state.playing);
  await page.waitForTimeout(1500);
  keys.playedTo = await shown();
  keys.sound = await seen(() => tundraPage.state.sound !== null);
  keys.samplesPlayed = await seen(() => tundraPage.state.played);
  await page.keyboard.press(' ');
  keys.paused = !(await seen(() => tundraPage.state.playing));
  keys.pausedAt = await shown();
  await page.keyboard.press('m');
  keys.muted = await seen(() => tundraPage.state.muted);
  keys.link = await seen(() => document.getElementById('moment').getAttribute('href'));
  await seen(() => { location.hash = '#t=0:15'; });
  await page.waitForTimeout(200);
  keys.atFifteenSeconds = await shown();

  // To the end, as fast as the engine goes, then the farewell at its own pace.
  times.push(...await seen(() => tundraPage.run(1e6)));
  const last = await shown();
  await page.waitForFunction(() => /loaderbars suck/.test(
      document.getElementById('farewell').textContent), null, { timeout: 20000 });
  const farewell = await seen(() => document.getElementById('farewell').textContent);
  await context.close();
  return { frames, title, colour, flashed, keys, last, farewell, refused, errors,
           frameTime: { median: median(times), worst: Math.max(...times), count: times.length,
                        slowest: [...times].sort((a, b) => b - a).slice(0, 8) } };
}

main().then(
  (seen) => console.log(JSON.stringify(seen)),
  (error) => {
    console.log(JSON.stringify({ failed: String(error && error.stack || error) }));
    process.exitCode = 1;
  });
