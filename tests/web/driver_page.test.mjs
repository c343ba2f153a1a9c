// The drivers' page in a real Chromium, as a phone shows it (360x740, touch):
// a wrong PIN, the login, the day, one maintenance visit marked "Elvégezve",
// one take-back "Nem végezhető el" with a reason and a remark, pull to
// refresh, a lost session, the logout. Screenshots go to VL_OUT.
//
//   VL_URL=http://127.0.0.1:8470/ VL_DRIVER=S01 VL_PIN=1234 node driver_page.test.mjs
//
// Optional: VL_MAINT_CODE (KA) and VL_TAKEBACK_CODE (VSZ) are the activity
// codes looked for, VL_MAINT_CABIN and VL_TAKEBACK_CABIN their cabins (any
// when unset); VL_OFFICE_CHANGE a shell command that changes the driver's
// day as the office would (then "Frissítés" must show the banner); VL_OUT
// the screenshots' folder (out/driver-page of the tree). The keys marked are
// written to VL_OUT/marks.json for the caller to check in the database.
// Exits non-zero on any failure.
import fs from 'node:fs';
import path from 'node:path';
import { execSync } from 'node:child_process';
import { fileURLToPath } from 'node:url';
import puppeteer from 'puppeteer-core';

const here = path.dirname(fileURLToPath(import.meta.url));
const URL_ = process.env.VL_URL;
const DRIVER = process.env.VL_DRIVER;
const PIN = process.env.VL_PIN;
const MAINT = process.env.VL_MAINT_CODE || 'KA';
const TAKEBACK = process.env.VL_TAKEBACK_CODE || 'VSZ';
const MAINT_CABIN = process.env.VL_MAINT_CABIN || '';
const TAKEBACK_CABIN = process.env.VL_TAKEBACK_CABIN || '';
const OFFICE_CHANGE = process.env.VL_OFFICE_CHANGE || '';
const OFFICE_CABIN = process.env.VL_OFFICE_CABIN || '';
const OUT = process.env.VL_OUT || path.resolve(here, '../../out/driver-page');
const CHROMIUM = process.env.VL_CHROMIUM || '/usr/bin/chromium';
const WAIT = 20000;

let passed = 0;
let failed = 0;
function check(cond, what) {
  if (cond) { passed++; console.log('ok   ' + what); } else { failed++; console.log('FAIL ' + what); }
  return cond;
}
function fatal(msg) {
  console.error('FAIL ' + msg);
  console.log(`${passed} passed, ${failed + 1} failed`);
  process.exit(1);
}

if (!URL_ || !DRIVER || !PIN) fatal('VL_URL, VL_DRIVER and VL_PIN must be set');
if (!fs.existsSync(CHROMIUM)) fatal(`no browser at ${CHROMIUM}`);
fs.mkdirSync(OUT, { recursive: true });

let marksSent = 0;     // POSTs to /api/marks
const problems = [];   // console errors, page errors, CSP violations, failed loads
let browser;

async function main() {
  browser = await puppeteer.launch({
    executablePath: CHROMIUM,
    headless: true,
    args: ['--no-sandbox', '--disable-gpu', '--disable-dev-shm-usage', '--lang=hu-HU', '--no-first-run'],
  });
  const page = await browser.newPage();
  await page.emulate({
    viewport: { width: 360, height: 740, deviceScaleFactor: 2, isMobile: true, hasTouch: true },
    userAgent: 'Mozilla/5.0 (Linux; Android 14; Pixel 7) AppleWebKit/537.36 (KHTML, like Gecko) Chrome/120.0 Mobile Safari/537.36',
  });
  page.on('pageerror', (e) => problems.push('page error: ' + e.message));
  page.on('console', (m) => {
    // A refused login or an ended session is an answer the page expects (401),
    // and so is a request while the network is off on purpose.
    if (m.type() === 'error' && !/status of 401|ERR_INTERNET_DISCONNECTED/.test(m.text()))
      problems.push('console: ' + m.text());
  });
  page.on('request', (r) => { if (new URL(r.url()).pathname === '/api/marks') marksSent++; });
  page.on('requestfailed', (r) => {
    const why = (r.failure() || {}).errorText || '';
    if (!/ERR_INTERNET_DISCONNECTED/.test(why)) problems.push('request failed: ' + r.url() + ' ' + why);
  });
  page.on('response', (r) => {
    const u = new URL(r.url());
    if (!u.pathname.startsWith('/api/') && r.status() !== 200) problems.push(`load ${r.status()}: ${r.url()}`);
  });

  const shot = async (name, full = true) => {
    await page.screenshot({ path: path.join(OUT, name + '.png'), fullPage: full });
  };
  const idle = () => page.waitForFunction(() => document.body.dataset.busy === '0', { timeout: WAIT });
  const text = (sel) => page.$eval(sel, (e) => e.textContent.trim());
  const visible = (sel) => page.$eval(sel, (e) => !e.hidden && e.getClientRects().length > 0).catch(() => false);
  const loads = () => page.evaluate(() => Number(document.body.dataset.loads || 0));

  // ---- login
  const resp = await page.goto(URL_, { waitUntil: 'networkidle0', timeout: WAIT });
  check(resp && resp.status() === 200, 'the page answers 200');
  const csp = (resp && resp.headers()['content-security-policy']) || '';
  check(/script-src 'self'/.test(csp) && !/unsafe-inline/.test(csp), 'the page comes with a CSP without inline script');
  await page.waitForSelector('#login-driver', { visible: true, timeout: WAIT });
  check(await page.$eval('#login-pin', (e) => e.getAttribute('inputmode')) === 'numeric', 'the PIN field asks for the numeric keyboard');
  // The style sheet applies (it would not under a CSP that refused it).
  check(await page.$eval('#login-submit', (e) => getComputedStyle(e).minHeight) !== 'auto', 'the style sheet is applied');
  const tall = await page.$eval('#login-submit', (e) => e.getBoundingClientRect().height);
  check(tall >= 48, `the login button is a big touch target (${tall}px)`);
  await shot('01-login', false);

  // A wrong PIN: the service's text, still on the login screen.
  await page.type('#login-driver', DRIVER);
  await page.type('#login-pin', PIN === '0000' ? '9999' : '0000');
  await page.tap('#login-submit');
  await page.waitForSelector('#login-error:not([hidden])', { timeout: WAIT });
  check(await text('#login-error') === 'Hibás sofőrkód vagy PIN.', 'a wrong PIN shows the service\'s text');
  check(await page.evaluate(() => document.body.dataset.screen) === 'login', 'a wrong PIN stays on the login screen');

  await page.type('#login-pin', PIN);
  await page.tap('#login-submit');
  await page.waitForFunction(() => document.body.dataset.screen === 'day' && Number(document.body.dataset.loads) >= 1,
                             { timeout: WAIT });
  await idle();
  check(await page.evaluate(() => !!sessionStorage.getItem('vl.csrf')), 'the CSRF token is kept in sessionStorage');
  check((await text('#driver-name')).length > 0, `the header names the driver (${await text('#driver-name')})`);
  const dateShown = (await visible('#day-select'))
    ? await page.$eval('#day-select', (e) => e.options[e.selectedIndex].textContent)
    : await text('#day-date');
  check(/^\d{4}\.\d{2}\.\d{2}/.test(dateShown), `the header shows the date (${dateShown})`);
  check(!(await visible('#changed-banner')), 'no "changed" banner on the first load');
  await shot('02-day');

  // No horizontal scrolling at 360 px.
  const wide = await page.evaluate(() => document.documentElement.scrollWidth);
  check(wide <= 360, `nothing is wider than the phone (${wide}px)`);

  const acts = await page.$$eval('.act', (list) => list.map((e) => ({
    key: e.dataset.key, code: e.dataset.code, cabin: e.dataset.cabin, cls: e.dataset.class, state: e.dataset.state,
  })));
  const planned = (c) => c === 'I' || c === 'i';
  const maint = acts.find((a) => a.code === MAINT && planned(a.cls) && (!MAINT_CABIN || a.cabin === MAINT_CABIN));
  const takeBack = acts.find((a) => a.code === TAKEBACK && planned(a.cls) && (!TAKEBACK_CABIN || a.cabin === TAKEBACK_CABIN));
  if (!maint) throw new Error(`no planned ${MAINT} activity on the day: ${JSON.stringify(acts)}`);
  if (!takeBack) throw new Error(`no planned ${TAKEBACK} activity on the day: ${JSON.stringify(acts)}`);
  const sel = (key) => `.act[data-key="${key}"]`;

  // Every site with an address has its map link, every phone its tel: link.
  const links = await page.$$eval('.site', (list) => list.map((s) => ({
    geo: (s.querySelector('a[data-role="map"]') || {}).href || '',
    tel: (s.querySelector('a[data-role="phone"]') || {}).href || '',
  })));
  check(links.length > 0 && links.every((l) => l.geo.startsWith('geo:')), 'each site has a "Térkép" geo: link');
  check(links.filter((l) => l.tel).every((l) => /^tel:\+?[0-9]+$/.test(l.tel)), 'the phone numbers are tel: links');
  const buttonHeights = await page.$$eval('.act-buttons .btn', (list) => list.map((b) => b.getBoundingClientRect().height));
  check(buttonHeights.length > 0 && buttonHeights.every((h) => h >= 48), 'the activities\' buttons are big touch targets');
  // A site with several planned activities offers them all at once, counted.
  const sitesAll = await page.$$eval('.site', (list) => list.map((s) => ({
    planned: s.querySelectorAll('.act button[data-action="done"]').length,
    all: (s.querySelector('button[data-action="alldone"]') || {}).textContent || '',
  })));
  check(sitesAll.some((s) => s.planned > 1) &&
        sitesAll.every((s) => s.planned > 1 ? s.all === `Mind elvégezve (${s.planned})` : s.all === ''),
        'a site with several planned activities has "Mind elvégezve (N)", one with a single one has none');

  // ---- "Beszedve" asks first, showing the gross; "Mégsem" sends nothing
  const cash = await page.$$eval('.cash', (list) => list.filter((e) => e.dataset.class === 'I' || e.dataset.class === 'i')
    .map((e) => ({ key: e.dataset.key, gross: e.querySelector('.cash-gross').textContent })));
  if (cash.length) {
    const marksBefore = marksSent;
    await page.tap(`.cash[data-key="${cash[0].key}"] button[data-action="cash"]`);
    await page.waitForSelector('#cash-panel:not([hidden])', { timeout: WAIT });
    check(await text('#cash-amount') === cash[0].gross && /^\d{1,3}( \d{3})* Ft$/.test(cash[0].gross),
          `the confirmation shows the gross as Hungarians write it (${cash[0].gross})`);
    await shot('03-cash-confirm', false);
    await page.tap('#cash-cancel');
    check(!(await visible('#cash-panel')), '"Mégsem" closes the confirmation');
    check(marksSent === marksBefore && await page.$eval(`.cash[data-key="${cash[0].key}"]`, (e) => e.dataset.class) === 'I',
          'nothing is sent after "Mégsem"');
  }

  // ---- "Elvégezve" on the maintenance visit
  await page.tap(`${sel(maint.key)} button[data-action="done"]`);
  await page.waitForFunction((s) => {
    const e = document.querySelector(s);
    return e && e.dataset.class === 'N' && e.querySelector('.msg-ok') && document.body.dataset.busy === '0';
  }, { timeout: WAIT }, sel(maint.key));
  check(await text(`${sel(maint.key)} .msg-ok`) === 'Rögzítve: elvégezve.', 'the visit is done: the card says so');
  check(marksSent === 1, 'one mark sent for one tap');
  check(!!(await page.$(`${sel(maint.key)} button[data-action="undone"]`)), 'a done visit offers "Visszavonás"');
  check(!(await page.$(`${sel(maint.key)} button[data-action="done"]`)), 'a done visit no longer offers "Elvégezve"');

  // ---- "Nem végezhető el" on the take-back: reason, remark, counter
  await page.tap(`${sel(takeBack.key)} button[data-action="notdone"]`);
  await page.waitForSelector('#notdone-panel:not([hidden])', { timeout: WAIT });
  const reasons = await page.$$eval('#notdone-reason option', (o) => o.map((x) => ({ code: x.value, name: x.textContent })));
  const reason = reasons.find((r) => r.code);
  if (!reason) throw new Error('the panel offers no reason');
  // "Rögzítés" without a reason is refused on the phone.
  await page.tap('#notdone-save');
  check(await visible('#notdone-error') && await text('#notdone-error') === 'Válasszon okot.', 'a reason is required');
  check(await visible('#notdone-panel'), 'the panel stays open without a reason');
  await page.select('#notdone-reason', reason.code);
  const remark = 'A kapu zárva volt';
  await page.type('#notdone-remark', remark);
  check(await text('#notdone-count') === `${remark.length} / 250`, 'the counter counts the remark');
  check(await page.$eval('#notdone-remark', (e) => e.maxLength) === 250, 'the remark holds at most 250 characters');
  await shot('03-notdone-panel', false);
  // Out of coverage: the mark waits on the phone, and goes with the next "Frissítés".
  await page.setOfflineMode(true);
  const sentBefore = marksSent;
  await page.tap('#notdone-save');
  await page.waitForFunction(() => document.body.dataset.busy === '0' && !document.getElementById('status').hidden,
                             { timeout: WAIT });
  check(await text('#status') === '1 jelölés elküldésre vár. A Frissítés gombbal újra elküldheti.',
        'without network the mark waits, and the page says so');
  check(await text(`${sel(takeBack.key)} .msg-wait`) === 'Elküldésre vár.' &&
        await page.$eval(`${sel(takeBack.key)} button[data-action="done"]`, (b) => b.disabled),
        'the waiting activity is shown as being sent, its buttons off');
  await shot('04-waiting', false);
  await page.setOfflineMode(false);
  await page.tap('#refresh');
  await page.waitForFunction((s) => {
    const e = document.querySelector(s);
    return document.getElementById('notdone-panel').hidden && e && e.querySelector('.msg-ok') &&
           document.body.dataset.busy === '0';
  }, { timeout: WAIT }, sel(takeBack.key));
  check(await text(`${sel(takeBack.key)} .msg-ok`) === 'Rögzítve: nem végezhető el.', 'the take-back\'s mark is recorded');
  check(marksSent - sentBefore === 2, 'the waiting mark was sent again, once');
  check(await page.$eval('#status', (e) => e.hidden), 'nothing waits any more');
  const tbRemark = await page.$eval(sel(takeBack.key), (e) => (e.querySelector('.act-remark') || {}).textContent || '');
  check(tbRemark.includes(reason.name), `the take-back's remark shows the reason (${tbRemark})`);
  check(planned(await page.$eval(sel(takeBack.key), (e) => e.dataset.class)), 'the take-back stays planned');
  check(!(await visible('#changed-banner')), 'the driver\'s own marks raise no "changed" banner');
  await page.evaluate(() => window.scrollTo(0, 0));
  await shot('05-after-marks');
  // The same day on a tablet.
  await page.setViewport({ width: 800, height: 1280, deviceScaleFactor: 1, isMobile: true, hasTouch: true });
  const tabletWide = await page.evaluate(() => document.documentElement.scrollWidth);
  check(tabletWide <= 800, `nothing is wider than a tablet (${tabletWide}px)`);
  await shot('05-tablet', false);
  await page.setViewport({ width: 360, height: 740, deviceScaleFactor: 2, isMobile: true, hasTouch: true });

  // ---- the office changes the day meanwhile: a mark on what it changed is
  // refused with the service's text, and the banner tells of the change
  let before;
  if (OFFICE_CHANGE) {
    const officeAct = OFFICE_CABIN && acts.find((a) => a.code === MAINT && a.cabin === OFFICE_CABIN && planned(a.cls));
    if (OFFICE_CABIN && !officeAct) throw new Error(`no planned ${MAINT} activity of cabin ${OFFICE_CABIN}`);
    execSync(OFFICE_CHANGE, { stdio: ['ignore', 'ignore', 'inherit'], shell: '/bin/bash' });
    before = await loads();
    if (officeAct) {
      await page.tap(`${sel(officeAct.key)} button[data-action="done"]`);
      await page.waitForFunction((s, n) => {
        const e = document.querySelector(s);
        return e && e.querySelector('.msg-refused') && Number(document.body.dataset.loads) > n &&
               document.body.dataset.busy === '0';
      }, { timeout: WAIT }, sel(officeAct.key), before);
      const why = await text(`${sel(officeAct.key)} .msg-refused`);
      check(why.length > 0, `a mark on what the office changed is refused, the text shown (${why})`);
      check(await page.$eval(sel(officeAct.key), (e) => e.dataset.class) === 'N', 'the card shows the office\'s state');
    } else {
      await page.tap('#refresh');
      await page.waitForFunction((n) => Number(document.body.dataset.loads) > n && document.body.dataset.busy === '0',
                                 { timeout: WAIT }, before);
    }
    check(await visible('#changed-banner') &&
          await text('#changed-banner span') === 'Az iroda közben módosította a napot.',
          'a change by the office shows the banner');
    check(await page.$eval('#changed-banner', (e) => { const r = e.getBoundingClientRect(); return r.top >= 0 && r.bottom <= innerHeight; }),
          'the banner is in sight wherever the driver is on the page');
    await shot('06-office-changed', false);
    await page.tap('#changed-ok');
    check(!(await visible('#changed-banner')), '"Rendben" closes the banner');
  }

  // ---- pull to refresh (a finger dragging down at the top)
  await page.evaluate(() => window.scrollTo(0, 0));
  before = await loads();
  await page.touchscreen.touchStart(180, 200);
  for (let y = 220; y <= 420; y += 20) await page.touchscreen.touchMove(180, y);
  await page.touchscreen.touchEnd();
  await page.waitForFunction((n) => Number(document.body.dataset.loads) > n && document.body.dataset.busy === '0',
                             { timeout: WAIT }, before);
  check(true, 'pulling down at the top reads the day again');
  check(await page.$eval(sel(maint.key), (e) => e.dataset.class) === 'N', 'the visit is still done after the refresh');

  // ---- "Frissítés" after the session is gone: back to the login, with the text
  const cookies = await page.cookies();
  check(cookies.some((c) => c.name === 'vlsession' && c.httpOnly), 'the session cookie is HttpOnly');
  await page.deleteCookie(...cookies);
  before = await loads();
  await page.tap('#refresh');
  await page.waitForFunction(() => document.body.dataset.screen === 'login', { timeout: WAIT });
  check(await text('#login-error') === 'A munkamenet lejárt, kérem, lépjen be újra.', 'a lost session sends the driver to the login');
  check(await page.$eval('#login-driver', (e) => e.value) === DRIVER, 'the driver code is filled in again');
  await page.type('#login-pin', PIN);
  await page.tap('#login-submit');
  await page.waitForFunction(() => document.body.dataset.screen === 'day' && document.body.dataset.busy === '0' &&
                             document.querySelectorAll('.act').length > 0, { timeout: WAIT });
  check(await page.$eval(sel(maint.key), (e) => e.dataset.class) === 'N', 'after a new login the visit is done');

  // ---- logout
  await page.tap('#logout');
  await page.waitForFunction(() => document.body.dataset.screen === 'login', { timeout: WAIT });
  check(await page.evaluate(() => !sessionStorage.getItem('vl.csrf')), 'the logout forgets the token');
  const after = await page.evaluate(async () => (await fetch('/api/day', { cache: 'no-store' })).status);
  check(after === 401, `the day is refused after the logout (${after})`);

  check(problems.length === 0, 'no console error, page error, CSP violation or failed load' +
        (problems.length ? ':\n  ' + problems.join('\n  ') : ''));

  fs.writeFileSync(path.join(OUT, 'marks.json'), JSON.stringify({
    done: maint.key, notdone: takeBack.key, reason: reason.code, reasonName: reason.name, remark,
  }, null, 1) + '\n');
}

try {
  await main();
} catch (e) {
  failed++;
  console.log('FAIL ' + (e && e.stack ? e.stack : e));
  if (problems.length) console.log('  ' + problems.join('\n  '));
} finally {
  if (browser) await browser.close().catch(() => {});
}
console.log(`${passed} passed, ${failed} failed`);
process.exit(failed ? 1 : 0);
