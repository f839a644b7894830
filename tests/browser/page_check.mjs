// Debian's Chromium, driven through playwright-core, on plugin-host's page:
// the page (with its content-security policy) lists the product's
// endpoints; the needs-migration form answers; a text beyond Latin-1 with
// markup in it goes through the migration-error PUT form, comes back from
// the GET form and reaches the live pane as text; then a page of another
// origin (a second loopback server) sends the server a request with
// another one in its body and cross-site GETs, none of which may reach the
// plugin or stop the server (http_page_check.sh looks at what the server
// printed).
//
//   node page_check.mjs DRIVER_DIR BASE_URL SCREENSHOT USER_DATA_DIR
import { createRequire } from 'node:module';
import http from 'node:http';
import path from 'node:path';

const [driverDir, baseUrl, screenshot, userDataDir] = process.argv.slice(2);
const { chromium } = createRequire(path.join(driverDir, 'package.json'))('playwright-core');

// The attacker's page: what any site open in the same browser could do. Its
// POSTs carry another request, the simulator's shutdown, where a server that
// left the body unread would begin reading its next request: 4096 bytes into
// the connection (the library reads that much at once and forgets what it
// did not use) or, when the head came alone, after the body's first line.
// The head's length is learnt by sending the same POST to this page's own
// server, which differs in Host and in Sec-Fetch-Site (tried as same-site,
// cross-site and same-origin).
function attackerPage() {
  const script = `
    const target = ${JSON.stringify(baseUrl)};
    const inner = 'POST /_host/shutdown HTTP/1.1\\r\\nHost: ${new URL(baseUrl).host}\\r\\nContent-Length: 0\\r\\n\\r\\n';
    const read = 4096;
    function bodyFor(padding) {
      let body = 'x'.repeat(padding - 1) + '\\n' + inner;
      body += 'x'.repeat(read - body.length) + inner;
      return body + 'x'.repeat(3 * read - body.length);
    }
    const post = (url, body) =>
      fetch(url, { method: 'POST', mode: 'no-cors', headers: { 'Content-Type': 'text/plain' }, body });
    (async () => {
      const ownHead = Number(await (await post('/', bodyFor(1000))).text());
      const head = ownHead + new URL(target).host.length - location.host.length;
      await Promise.allSettled([-2, -1, 0].map((site) => post(target + '/', bodyFor(read - head - site))));
      await Promise.allSettled([
        fetch(target + '/qel-beta-opt-in/v1/needs-migration?from=another-site', { mode: 'no-cors' }),
        new Promise((done) => { const image = new Image(); image.onload = image.onerror = done;
                                image.src = target + '/qel-beta-opt-in/v1/needs-migration?from=another-site-image'; }),
      ]);
      document.title = 'sent';
    })();`;
  return `<!doctype html><title>attacker</title><script>${script}</script>`;
}

// The page, and for its POST the length of the head as it arrived.
const attacker = http.createServer((request, response) => {
  request.resume();
  let head = `${request.method} ${request.url} HTTP/${request.httpVersion}\r\n\r\n`.length;
  for (let index = 0; index < request.rawHeaders.length; index += 2) {
    head += `${request.rawHeaders[index]}: ${request.rawHeaders[index + 1]}\r\n`.length;
  }
  const html = request.method === 'GET';
  response.writeHead(200, { 'Content-Type': html ? 'text/html; charset=utf-8' : 'text/plain' });
  response.end(html ? attackerPage() : String(head));
});
await new Promise((listening) => attacker.listen(0, '127.0.0.1', listening));

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
  const loaded = await page.goto(baseUrl + '/');
  if (!(loaded.headers()['content-security-policy'] ?? '').includes("default-src 'self'")) {
    throw new Error('the page has no content-security policy');
  }
  await page.waitForSelector('#stream-state:text("watching")');

  const needs = page.locator('form[data-path="/qel-beta-opt-in/v1/needs-migration"]');
  await needs.locator('button').click();
  await needs.locator('pre.answer:text("200 true")').waitFor();

  const text = 'café 日本 😀 <b id=injected>bold</b>';
  const setError = page.locator('form[data-method="PUT"][data-path="/qel-beta-opt-in/v1/migration-error"]');
  await setError.locator('input[name="errString"]').fill(JSON.stringify(text));
  await setError.locator('button').click();
  await setError.locator('pre.answer:text("200 null")').waitFor();
  const getError = page.locator('form[data-method="GET"][data-path="/qel-beta-opt-in/v1/migration-error"]');
  await getError.locator('button').click();
  const answer = await getError.locator('pre.answer:text("200")').textContent();
  if (!answer.includes(text.replace(/[\\"]/g, '\\\\$&'))) throw new Error(`the GET form answered ${answer}`);
  await page.locator('#live-list li[data-type="event"]', { hasText: '"direction":"published"' })
    .filter({ hasText: text }).first().waitFor();
  if (await page.locator('#injected').count() !== 0) throw new Error('markup from the plugin became an element');

  const other = await browser.newPage();
  await other.goto(`http://127.0.0.1:${attacker.address().port}/`);
  await other.waitForFunction(() => document.title === 'sent');
  await other.close();
  // The server still serves, and printed the attacker's requests (if any)
  // before this one.
  await needs.locator('button').click();
  await page.locator('#live-list li[data-type="response"]', { hasText: 'needs-migration' }).nth(1).waitFor();

  await page.screenshot({ path: screenshot });
  console.log('page check: the forms answered, texts came back as sent and shown as text; the other origin sent its requests');
} catch (error) {
  failed = true;
  console.error('page check failed:', error.message);
} finally {
  await browser.close();
  attacker.close();
}
process.exit(failed ? 1 : 0);
