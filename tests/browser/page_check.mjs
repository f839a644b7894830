// Debian's Chromium, driven through playwright-core, on plugin-host's page:
// the page lists the product's endpoints; the needs-migration form answers;
// the migration-error PUT form's published event appears in the live pane.
//
//   node page_check.mjs DRIVER_DIR BASE_URL SCREENSHOT USER_DATA_DIR
import { createRequire } from 'node:module';
import path from 'node:path';

const [driverDir, baseUrl, screenshot, userDataDir] = process.argv.slice(2);
const { chromium } = createRequire(path.join(driverDir, 'package.json'))('playwright-core');

const browser = await chromium.launchPersistentContext(userDataDir, {
  executablePath: '/usr/bin/chromium',
  headless: true,
  args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
         '--disable-background-networking', '--disable-component-update', '--disable-sync'],
  viewport: { width: 1280, height: 720 },
});
let failed = false;
try {
  const page = browser.pages()[0] ?? await browser.newPage();
  page.setDefaultTimeout(20000);
  await page.goto(baseUrl + '/');
  await page.waitForSelector('#stream-state:text("watching")');

  const needs = page.locator('form[data-path="/qel-beta-opt-in/v1/needs-migration"]');
  await needs.locator('button').click();
  await needs.locator('pre.answer:text("200 true")').waitFor();

  const setError = page.locator('form[data-method="PUT"][data-path="/qel-beta-opt-in/v1/migration-error"]');
  await setError.locator('input[name="errString"]').fill('"set from the page"');
  await setError.locator('button').click();
  await setError.locator('pre.answer:text("200 null")').waitFor();
  await page.locator('#live-list li[data-type="event"]', { hasText: '"direction":"published"' })
    .filter({ hasText: 'set from the page' }).first().waitFor();

  await page.screenshot({ path: screenshot });
  console.log('page check: the form answered and the published event reached the live pane');
} catch (error) {
  failed = true;
  console.error('page check failed:', error.message);
} finally {
  await browser.close();
}
process.exit(failed ? 1 : 0);
