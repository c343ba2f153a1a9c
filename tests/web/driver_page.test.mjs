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
// VL_MODE=offline and VL_MODE=tls run the scenarios described at offline()
// and tls() instead. Exits non-zero on any failure.
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
// A tap on what the page may be drawing again at that moment (a list the
// queue's answer re-renders): the element is looked up afresh and tapped again
// while it was replaced between the lookup and the tap.
async function tapStable(page, selector) {
  for (let i = 0; ; i++) {
    try {
      await page.waitForSelector(selector, { timeout: 10000 });
      await page.tap(selector);
      return;
    } catch (e) {
      if (i >= 20 || !/detached|not clickable|not an Element|Node is either not visible/.test(String(e))) throw e;
      await new Promise((r) => setTimeout(r, 100));
    }
  }
}

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
  await tapStable(page, '#login-submit');
  await page.waitForSelector('#login-error:not([hidden])', { timeout: WAIT });
  check(await text('#login-error') === 'Hibás sofőrkód vagy PIN.', 'a wrong PIN shows the service\'s text');
  check(await page.evaluate(() => document.body.dataset.screen) === 'login', 'a wrong PIN stays on the login screen');

  await page.type('#login-pin', PIN);
  await tapStable(page, '#login-submit');
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
    await tapStable(page, `.cash[data-key="${cash[0].key}"] button[data-action="cash"]`);
    await page.waitForSelector('#cash-panel:not([hidden])', { timeout: WAIT });
    check(await text('#cash-amount') === cash[0].gross && /^\d{1,3}( \d{3})* Ft$/.test(cash[0].gross),
          `the confirmation shows the gross as Hungarians write it (${cash[0].gross})`);
    await shot('03-cash-confirm', false);
    await tapStable(page, '#cash-cancel');
    check(!(await visible('#cash-panel')), '"Mégsem" closes the confirmation');
    check(marksSent === marksBefore && await page.$eval(`.cash[data-key="${cash[0].key}"]`, (e) => e.dataset.class) === 'I',
          'nothing is sent after "Mégsem"');
  }

  // ---- "Elvégezve" on the maintenance visit
  await tapStable(page, `${sel(maint.key)} button[data-action="done"]`);
  await page.waitForFunction((s) => {
    const e = document.querySelector(s);
    return e && e.dataset.class === 'N' && e.querySelector('.msg-ok') && document.body.dataset.busy === '0';
  }, { timeout: WAIT }, sel(maint.key));
  check(await text(`${sel(maint.key)} .msg-ok`) === 'Rögzítve: elvégezve.', 'the visit is done: the card says so');
  check(marksSent === 1, 'one mark sent for one tap');
  check(!!(await page.$(`${sel(maint.key)} button[data-action="undone"]`)), 'a done visit offers "Visszavonás"');
  check(!(await page.$(`${sel(maint.key)} button[data-action="done"]`)), 'a done visit no longer offers "Elvégezve"');

  // ---- "Nem végezhető el" on the take-back: reason, remark, counter
  await tapStable(page, `${sel(takeBack.key)} button[data-action="notdone"]`);
  await page.waitForSelector('#notdone-panel:not([hidden])', { timeout: WAIT });
  const reasons = await page.$$eval('#notdone-reason option', (o) => o.map((x) => ({ code: x.value, name: x.textContent })));
  const reason = reasons.find((r) => r.code);
  if (!reason) throw new Error('the panel offers no reason');
  // "Rögzítés" without a reason is refused on the phone.
  await tapStable(page, '#notdone-save');
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
  await tapStable(page, '#notdone-save');
  await page.waitForFunction(() => document.body.dataset.busy === '0' && !document.getElementById('status').hidden,
                             { timeout: WAIT });
  check(await text('#status') === '1 jelölés elküldésre vár. A Frissítés gombbal újra elküldheti.',
        'without network the mark waits, and the page says so');
  check(await text(`${sel(takeBack.key)} .msg-wait`) === 'Elküldésre vár.' &&
        await page.$eval(`${sel(takeBack.key)} button[data-action="done"]`, (b) => b.disabled),
        'the waiting activity is shown as being sent, its buttons off');
  await shot('04-waiting', false);
  await page.setOfflineMode(false);
  await tapStable(page, '#refresh');
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
      await tapStable(page, `${sel(officeAct.key)} button[data-action="done"]`);
      await page.waitForFunction((s, n) => {
        const e = document.querySelector(s);
        return e && e.querySelector('.msg-refused') && Number(document.body.dataset.loads) > n &&
               document.body.dataset.busy === '0';
      }, { timeout: WAIT }, sel(officeAct.key), before);
      const why = await text(`${sel(officeAct.key)} .msg-refused`);
      check(why.length > 0, `a mark on what the office changed is refused, the text shown (${why})`);
      check(await page.$eval(sel(officeAct.key), (e) => e.dataset.class) === 'N', 'the card shows the office\'s state');
    } else {
      await tapStable(page, '#refresh');
      await page.waitForFunction((n) => Number(document.body.dataset.loads) > n && document.body.dataset.busy === '0',
                                 { timeout: WAIT }, before);
    }
    check(await visible('#changed-banner') &&
          await text('#changed-banner span') === 'Az iroda közben módosította a napot.',
          'a change by the office shows the banner');
    check(await page.$eval('#changed-banner', (e) => { const r = e.getBoundingClientRect(); return r.top >= 0 && r.bottom <= innerHeight; }),
          'the banner is in sight wherever the driver is on the page');
    await shot('06-office-changed', false);
    await tapStable(page, '#changed-ok');
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
  await tapStable(page, '#refresh');
  await page.waitForFunction(() => document.body.dataset.screen === 'login', { timeout: WAIT });
  check(await text('#login-error') === 'A munkamenet lejárt, kérem, lépjen be újra.', 'a lost session sends the driver to the login');
  check(await page.$eval('#login-driver', (e) => e.value) === DRIVER, 'the driver code is filled in again');
  await page.type('#login-pin', PIN);
  await tapStable(page, '#login-submit');
  await page.waitForFunction(() => document.body.dataset.screen === 'day' && document.body.dataset.busy === '0' &&
                             document.querySelectorAll('.act').length > 0, { timeout: WAIT });
  check(await page.$eval(sel(maint.key), (e) => e.dataset.class) === 'N', 'after a new login the visit is done');

  // ---- logout
  await tapStable(page, '#logout');
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

// ---- without signal (VL_MODE=offline) -------------------------------------
// A persistent profile: the login stores the day and the worker its files;
// the service is stopped (VL_SERVICE_STOP), the office changes one activity
// (VL_ADMIN run-script), the driver marks a visit done with a photo
// (VL_PHOTO), a take-back done with the receiver's signature, a cash row
// and the activity the office changed; the browser is closed and opened
// again on the profile while the service is still down; the service comes
// back (VL_SERVICE_START) and "Küldés most" sends everything in order. The
// request ids made are written to VL_OUT/offline.json for the database check.

const PROFILE = process.env.VL_PROFILE || '';
const SERVICE_STOP = process.env.VL_SERVICE_STOP || '';
const SERVICE_START = process.env.VL_SERVICE_START || '';
const ADMIN = process.env.VL_ADMIN || '';
const PHOTO = process.env.VL_PHOTO || '';
const PHOTO_CABIN = process.env.VL_PHOTO_CABIN || '';
const CHANGED_CABIN = process.env.VL_CHANGED_CABIN || '';
const RECEIVER = 'Kovács Éva';

async function phone(b, expected) {
  const page = await b.newPage();
  await page.emulate({
    viewport: { width: 360, height: 740, deviceScaleFactor: 2, isMobile: true, hasTouch: true },
    userAgent: 'Mozilla/5.0 (Linux; Android 14; Pixel 7) AppleWebKit/537.36 (KHTML, like Gecko) Chrome/120.0 Mobile Safari/537.36',
  });
  page.on('pageerror', (e) => problems.push('page error: ' + e.message));
  page.on('console', (m) => {
    if (m.type() === 'error' && !expected.test(m.text())) problems.push('console: ' + m.text());
  });
  page.on('requestfailed', (r) => {
    const why = (r.failure() || {}).errorText || '';
    if (!expected.test(why)) problems.push('request failed: ' + r.url() + ' ' + why);
  });
  return page;
}

function launch(extra) {
  return puppeteer.launch(Object.assign({
    executablePath: CHROMIUM,
    headless: true,
    args: ['--no-sandbox', '--disable-gpu', '--disable-dev-shm-usage', '--lang=hu-HU', '--no-first-run'],
  }, extra || {}));
}

// What the page keeps in IndexedDB, blobs as {size, type}.
function readStore(page, store) {
  return page.evaluate((s) => new Promise((resolve, reject) => {
    const r = indexedDB.open('vorlanda-sofor');
    r.onerror = () => reject(r.error);
    r.onsuccess = () => {
      const db = r.result;
      const t = db.transaction(s, 'readonly').objectStore(s);
      const keys = t.getAllKeys();
      const vals = t.getAll();
      vals.onsuccess = () => {
        db.close();
        resolve(vals.result.map((v, i) => {
          const o = (v && typeof v === 'object') ? Object.assign({}, v) : { value: v };
          if (o.blob) o.blob = { size: o.blob.size, type: o.blob.type };
          o._key = keys.result[i];
          return o;
        }));
      };
      vals.onerror = () => reject(vals.error);
    };
  }), store);
}

async function login(page) {
  await page.waitForSelector('#login-pin', { visible: true, timeout: WAIT });
  await page.$eval('#login-driver', (e) => { e.value = ''; });
  await page.type('#login-driver', DRIVER);
  await page.type('#login-pin', PIN);
  await tapStable(page, '#login-submit');
  await page.waitForFunction(() => document.body.dataset.screen === 'day' && document.body.dataset.busy === '0' &&
                             document.querySelectorAll('.act').length > 0, { timeout: WAIT });
}

function keyWhere(key) {
  const m = /^T\.(\d+)\.(\d+)\.(\d+)\.(\d+)\.(\d{4}\.\d{2}\.\d{2})\.(\d+)$/.exec(key);
  if (!m) throw new Error('not an activity key: ' + key);
  return `BIZONYLAT = ${m[1]} AND VERZIO = ${m[2]} AND TETELSOR = ${m[3]} AND SORSZAM = ${m[4]} ` +
         `AND DATUM = '${m[5]}' AND TEVSORSZAM = ${m[6]}`;
}

async function offline() {
  if (!PROFILE || !SERVICE_STOP || !SERVICE_START || !ADMIN || !PHOTO) {
    fatal('VL_PROFILE, VL_SERVICE_STOP, VL_SERVICE_START, VL_ADMIN and VL_PHOTO must be set');
  }
  const expected = /status of 401|ERR_CONNECTION_REFUSED|ERR_EMPTY_RESPONSE|ERR_INTERNET_DISCONNECTED|ERR_FAILED/;
  const sel = (key) => `.act[data-key="${key}"]`;
  const text = (page, s) => page.$eval(s, (e) => e.textContent.trim());
  const visible = (page, s) => page.$eval(s, (e) => !e.hidden && e.getClientRects().length > 0).catch(() => false);
  const shot = (page, name, full = false) => page.screenshot({ path: path.join(OUT, name + '.png'), fullPage: full });
  const idle = (page) => page.waitForFunction(() => document.body.dataset.busy === '0', { timeout: WAIT });

  // ---- online: the login stores the day, the worker its files
  browser = await launch({ userDataDir: PROFILE });
  let page = await phone(browser, expected);
  let resp = await page.goto(URL_, { waitUntil: 'networkidle0', timeout: WAIT });
  check(resp && resp.status() === 200, 'the page answers 200 (offline scenario)');
  check(await page.$eval('link[rel="manifest"]', (e) => e.getAttribute('href')) === '/manifest.webmanifest',
        'the page names its manifest');
  const manifest = await page.evaluate(async () => {
    const r = await fetch('/manifest.webmanifest');
    return { type: r.headers.get('content-type'), body: await r.json() };
  });
  check(/^application\/manifest\+json/.test(manifest.type) && manifest.body.start_url === '/' &&
        manifest.body.display === 'standalone' && manifest.body.lang === 'hu' &&
        manifest.body.name === 'Vorlanda – sofőr napja' &&
        ['192x192', '512x512'].every((sz) => manifest.body.icons.some((i) => i.sizes === sz && i.type === 'image/png')),
        'the manifest: name, start, standalone, Hungarian, icons of 192 and 512 px');
  const icons = await page.evaluate(async () => Promise.all(['/static/icon-192.png', '/static/icon-512.png'].map(async (u) => {
    const b = await (await fetch(u)).blob();
    const bm = await createImageBitmap(b);
    return b.type + ' ' + bm.width + 'x' + bm.height;
  })));
  check(icons[0] === 'image/png 192x192' && icons[1] === 'image/png 512x512', `the icons are PNGs of their size (${icons.join(', ')})`);
  const swHead = await page.evaluate(async () => {
    const r = await fetch('/sw.js', { cache: 'no-store' });
    return { type: r.headers.get('content-type'), cache: r.headers.get('cache-control') };
  });
  check(/^text\/javascript/.test(swHead.type) && swHead.cache === 'no-cache', 'the worker is served as script, no-cache');
  const csp = (resp && resp.headers()['content-security-policy']) || '';
  check(/worker-src 'self'/.test(csp) && /manifest-src 'self'/.test(csp) && /img-src 'self' blob: data:/.test(csp) &&
        !/unsafe-inline/.test(csp), 'the CSP allows the own worker, manifest and blob: images, no inline script');

  await login(page);
  await page.waitForFunction(() => document.body.dataset.sw === 'ready' && !!navigator.serviceWorker.controller,
                             { timeout: WAIT });
  const sw = await page.evaluate(async () => {
    const reg = await navigator.serviceWorker.getRegistration();
    const names = await caches.keys();
    const urls = [];
    for (const n of names) for (const r of await (await caches.open(n)).keys()) urls.push(new URL(r.url).pathname);
    return { scope: reg && reg.scope, names, urls };
  });
  check(sw.scope === new URL(URL_).origin + '/', `the service worker controls the page, scope / (${sw.scope})`);
  check(sw.names.length === 1 && /^vl-driver-/.test(sw.names[0]), `one versioned cache (${sw.names.join(', ')})`);
  check(['/', '/static/app.js', '/static/app.css', '/static/icon.svg', '/static/icon-192.png', '/static/icon-512.png',
         '/manifest.webmanifest'].every((u) => sw.urls.includes(u)), 'the cache holds the page\'s own files');
  check(!sw.urls.some((u) => u.startsWith('/api/')), 'no answer of the service is cached');
  const dayNoStore = await page.evaluate(async () => (await fetch('/api/day', { cache: 'no-store' })).headers.get('cache-control'));
  check(dayNoStore === 'no-store', 'the day comes with no-store through the worker');

  const kv = await readStore(page, 'kv');
  const session = (kv.find((x) => x._key === 'session') || {});
  check(session.driver === DRIVER && typeof session.csrf === 'string' && session.csrf.length > 0 &&
        /^\d{4}\.\d{2}\.\d{2} \d{2}:\d{2}/.test(session.expires || '') && Array.isArray(session.days),
        'the session\'s plain facts are stored (driver, token, days, expiry)');
  const cookie = (await page.cookies()).find((c) => c.name === 'vlsession');
  check(!!cookie && !JSON.stringify(kv).includes(cookie.value), 'the session cookie is not among the stored facts');
  const today = await page.evaluate(() => document.querySelector('.act').dataset.key.split('.').slice(5, 8).join('.'));
  const days = await readStore(page, 'days');
  check(days.some((d) => d.date === today) && days.length === (session.days || []).length,
        `each allowed day is stored (${days.map((d) => d.date).join(', ')})`);

  const acts = await page.$$eval('.act', (list) => list.map((e) => ({
    key: e.dataset.key, code: e.dataset.code, cabin: e.dataset.cabin, cls: e.dataset.class,
    signable: !!e.querySelector('button[data-action="sign"]'), photo: !!e.querySelector('button[data-action="photo"]'),
  })));
  const planned = (c) => c === 'I' || c === 'i';
  const photoAct = acts.find((a) => a.code === MAINT && planned(a.cls) && (!PHOTO_CABIN || a.cabin === PHOTO_CABIN));
  const changedAct = acts.find((a) => a.code === MAINT && planned(a.cls) && a.cabin === CHANGED_CABIN);
  const takeBack = acts.find((a) => a.code === TAKEBACK && planned(a.cls) && (!TAKEBACK_CABIN || a.cabin === TAKEBACK_CABIN));
  if (!photoAct || !changedAct || !takeBack) throw new Error('the activities looked for are not on the day: ' + JSON.stringify(acts));
  check(acts.every((a) => a.photo) && takeBack.signable && !photoAct.signable,
        'every activity offers "Fénykép", only a take-back or delivery "Aláírás"');
  const dayFields = await page.evaluate(async () => {
    const d = await (await fetch('/api/day', { cache: 'no-store' })).json();
    const all = d.sites.flatMap((s) => s.activities);
    return all.length > 0 && all.every((a) => Number.isInteger(a.images) && typeof a.signable === 'boolean');
  });
  if (!dayFields) throw new Error('the service\'s day has no "images"/"signable" on its activities');
  const cashRow = await page.$eval('.cash[data-class="I"]', (e) => e.dataset.key);

  // ---- the service goes away; the office changes one activity meanwhile
  execSync(SERVICE_STOP, { stdio: ['ignore', 'inherit', 'inherit'], shell: '/bin/bash' });
  fs.writeFileSync('office-change.sql', `UPDATE FORGTEV SET TEVALLAPOT = 'E' WHERE ${keyWhere(changedAct.key)};\n`);
  execSync(`"${ADMIN}" run-script office-change.sql`, { stdio: ['ignore', 'ignore', 'inherit'] });

  // 1. "Elvégezve" on a visit
  await tapStable(page, `${sel(photoAct.key)} button[data-action="done"]`);
  await page.waitForFunction((s) => document.querySelector(s + ' .msg-wait') && document.body.dataset.busy === '0' &&
                             document.body.dataset.online === '0', { timeout: WAIT }, sel(photoAct.key));
  check(await text(page, '#net-state') === 'Nincs kapcsolat', 'without the service the strip says "Nincs kapcsolat"');
  await shot(page, '08-offline');
  // 2. its photo, a large one made smaller on the phone
  await tapStable(page, `${sel(photoAct.key)} button[data-action="photo"]`);
  await page.waitForSelector('#photo-panel:not([hidden])', { timeout: WAIT });
  check(await page.$eval('#photo-input', (e) => e.accept === 'image/*' && e.getAttribute('capture') === 'environment'),
        'the photo input asks for the back camera');
  await tapStable(page, '#photo-save').catch(() => {});
  check(await page.$eval('#photo-save', (b) => b.disabled), '"Mentés" waits for a photo');
  await (await page.$('#photo-input')).uploadFile(PHOTO);
  await page.waitForFunction(() => !document.getElementById('photo-save').disabled, { timeout: WAIT });
  const info = await text(page, '#photo-info');
  check(/^1600 × 1200 képpont/.test(info), `the photo is made at most 1600 px on its longer side (${info})`);
  await shot(page, '10-photo');
  await tapStable(page, '#photo-save');
  await page.waitForFunction((s) => document.getElementById('photo-panel').hidden &&
                             (document.querySelector(s + ' .act-images') || {}).dataset?.waiting === '1',
                             { timeout: WAIT }, sel(photoAct.key));
  check(await text(page, `${sel(photoAct.key)} .act-images`) === 'Fénykép, aláírás: 1 (1 küldésre vár)',
        'the card counts its photo, waiting');
  // 3. the take-back done, 4. the receiver signs
  await tapStable(page, `${sel(takeBack.key)} button[data-action="done"]`);
  await page.waitForFunction((s) => document.querySelector(s + ' .msg-wait') && document.body.dataset.busy === '0',
                             { timeout: WAIT }, sel(takeBack.key));
  await tapStable(page, `${sel(takeBack.key)} button[data-action="sign"]`);
  await page.waitForSelector('#sign-panel:not([hidden])', { timeout: WAIT });
  await tapStable(page, '#sign-save');
  check(await text(page, '#sign-error') === 'Adja meg az átvevő nevét.', 'a signature needs the receiver\'s name');
  check(await page.$eval('#sign-name', (e) => e.maxLength) === 60, 'the receiver\'s name holds at most 60 characters');
  await page.type('#sign-name', RECEIVER);
  await tapStable(page, '#sign-save');
  check(await text(page, '#sign-error') === 'Az átvevő írja alá a mezőben.', 'a signature needs a line drawn');
  const box = await (await page.$('#sign-pad')).boundingBox();
  await page.mouse.move(box.x + 20, box.y + box.height * 0.7);
  await page.mouse.down();
  for (let i = 1; i <= 24; i++) {
    await page.mouse.move(box.x + 20 + i * (box.width - 40) / 24, box.y + box.height * (0.5 + 0.3 * Math.sin(i / 2)));
  }
  await page.mouse.up();
  const inked = await page.$eval('#sign-pad', (c) => {
    const d = c.getContext('2d').getImageData(0, 0, c.width, c.height).data;
    let dark = 0;
    for (let i = 0; i < d.length; i += 4) if (d[i] < 100) dark++;
    return dark;
  });
  check(inked > 200, `the line drawn shows on the pad (${inked} dark pixels)`);
  await shot(page, '09-signature');
  await tapStable(page, '#sign-save');
  await page.waitForFunction((s) => document.getElementById('sign-panel').hidden &&
                             (document.querySelector(s + ' .act-images') || {}).dataset?.waiting === '1',
                             { timeout: WAIT }, sel(takeBack.key));
  // 5. cash collected
  await tapStable(page, `.cash[data-key="${cashRow}"] button[data-action="cash"]`);
  await page.waitForSelector('#cash-panel:not([hidden])', { timeout: WAIT });
  await tapStable(page, '#cash-ok');
  await page.waitForFunction((k) => document.querySelector(`.cash[data-key="${k}"] .msg-wait`) && document.body.dataset.busy === '0',
                             { timeout: WAIT }, cashRow);
  // 6. "Elvégezve" on what the office changed meanwhile (the phone does not know yet)
  await tapStable(page, `${sel(changedAct.key)} button[data-action="done"]`);
  await page.waitForFunction(() => document.body.dataset.waiting === '6' && document.body.dataset.busy === '0', { timeout: WAIT });
  check(await text(page, '#queue-count') === '4 jelölés és 2 kép vár küldésre', `the strip counts what waits (${await text(page, '#queue-count')})`);
  check(await text(page, '#net-state') === 'Nincs kapcsolat', 'still "Nincs kapcsolat"');
  await page.evaluate(() => window.scrollTo(0, 0));
  await shot(page, '11-queue');
  const queue = await readStore(page, 'queue');
  const order = queue.map((q) => q.type + ':' + (q.type === 'mark' ? q.mark.action : q.kind) + ':' + q.key);
  const want = [`mark:done:${photoAct.key}`, `image:photo:${photoAct.key}`, `mark:done:${takeBack.key}`,
                `image:signature:${takeBack.key}`, `mark:cash:${cashRow}`, `mark:done:${changedAct.key}`];
  check(JSON.stringify(order) === JSON.stringify(want), 'the queue is stored in the order made:\n    ' + order.join('\n    '));
  check(queue.every((q) => /^[A-Za-z0-9_-]{1,64}$/.test(q.id) && q.seen === 'T') && new Set(queue.map((q) => q.id)).size === 6,
        'each item has its own request id and the state it was made on');
  check(queue[1].blob && queue[1].blob.type === 'image/jpeg' && queue[1].blob.size > 1000 &&
        queue[3].blob && queue[3].blob.type === 'image/png' && queue[3].blob.size > 500 && queue[3].receiver === RECEIVER,
        `the photo (JPEG, ${queue[1].blob && queue[1].blob.size} B) and the signature (PNG, ${queue[3].blob && queue[3].blob.size} B, ${queue[3].receiver}) are stored as blobs`);

  // ---- the browser closes (the battery dies); it opens again, no service
  await browser.close();
  browser = await launch({ userDataDir: PROFILE });
  page = await phone(browser, expected);
  resp = await page.goto(URL_, { waitUntil: 'load', timeout: WAIT });
  check(resp && resp.status() === 200 && resp.fromServiceWorker(), 'without the service the page opens from the worker\'s cache');
  await page.waitForFunction(() => document.body.dataset.screen === 'day' && document.body.dataset.busy === '0' &&
                             document.querySelectorAll('.act').length > 0 && document.body.dataset.online === '0',
                             { timeout: WAIT });
  check(await page.$$eval('.act', (l) => l.length) === acts.length, 'the stored day is shown at once');
  check(await text(page, '#queue-count') === '4 jelölés és 2 kép vár küldésre' && await text(page, '#net-state') === 'Nincs kapcsolat',
        'the queue is still there after the restart, and the strip says so');
  check(!!(await page.$(`${sel(photoAct.key)} .msg-wait`)) && await text(page, `${sel(photoAct.key)} .act-images`) === 'Fénykép, aláírás: 1 (1 küldésre vár)',
        'the cards still show what waits');
  check((await readStore(page, 'queue')).length === 6, 'six items wait in IndexedDB');
  await shot(page, '12-restarted');

  // ---- the service is back: "Küldés most"
  execSync(SERVICE_START, { stdio: ['ignore', 'inherit', 'inherit'], shell: '/bin/bash' });
  await tapStable(page, '#send-now');
  // The service forgot its sessions (and the browser its cookie): log in, the queue stays.
  await page.waitForFunction(() => document.body.dataset.screen === 'login', { timeout: WAIT });
  check(await text(page, '#login-error') === 'A munkamenet lejárt, kérem, lépjen be újra.', 'an ended session asks for the login');
  check((await readStore(page, 'queue')).length === 6, 'the queue is kept through the login');
  await login(page);
  await page.waitForFunction(() => document.body.dataset.waiting === '0' && document.body.dataset.busy === '0' &&
                             document.body.dataset.online === '1', { timeout: WAIT });
  check(await text(page, '#queue-count') === 'Minden elküldve', 'after sending nothing waits ("Minden elküldve")');
  check(await text(page, '#net-state') === 'Online', 'the strip says "Online"');
  const last = await text(page, '#last-send');
  check(/^Utolsó küldés: \d{2}:\d{2}$/.test(last), `the time of the last send is shown (${last})`);
  check((await readStore(page, 'queue')).length === 0, 'the stored queue is empty');
  const cls = (k) => page.$eval(sel(k), (e) => e.dataset.class);
  // A billing row collected is no longer due: the day shows it done or not at all.
  const cashNow = await page.$eval(`.cash[data-key="${cashRow}"]`, (e) => e.dataset.class).catch(() => 'gone');
  check(await cls(photoAct.key) === 'N' && await cls(takeBack.key) === 'N' && (cashNow === 'N' || cashNow === 'gone'),
        `the visit, the take-back and the cash row are done on the phone's copy (cash: ${cashNow})`);
  check(await text(page, `${sel(photoAct.key)} .act-images`) === 'Fénykép, aláírás: 1' &&
        await text(page, `${sel(takeBack.key)} .act-images`) === 'Fénykép, aláírás: 1',
        'the cards count the photo and the signature the office stored');
  // The refused one stays, with the office's text, on its card and in the list; a reload keeps it.
  const why = await text(page, `${sel(changedAct.key)} .msg-refused`).catch(() => '');
  check(why === 'A szerződést közben máshol módosították. Az adatok frissültek, kérem, ismételje meg a műveletet.',
        `the mark on what the office changed is refused with the office's text (${why})`);
  check(await cls(changedAct.key) === 'N', 'its card shows the office\'s state');
  check(await visible(page, '#refused') && await page.$$eval('#refused-list li', (l) => l.map((x) => x.dataset.key).join()) === changedAct.key,
        'the list of refused items names it');
  await page.evaluate(() => window.scrollTo(0, 0));
  await shot(page, '13-refused');
  await page.reload({ waitUntil: 'load' });
  await page.waitForFunction(() => document.body.dataset.screen === 'day' && document.body.dataset.busy === '0' &&
                             document.querySelectorAll('.act').length > 0, { timeout: WAIT });
  check(await visible(page, '#refused') && !!(await page.$(`${sel(changedAct.key)} .msg-refused`)),
        'after a reload the refusal is still shown');
  const marksBefore = await page.evaluate(() => performance.getEntriesByType('resource').filter((r) => r.name.includes('/api/marks')).length);
  await tapStable(page, '#refused-list button[data-action="ack"]');
  await page.waitForFunction(() => document.getElementById('refused').hidden, { timeout: WAIT });
  check(!(await page.$(`${sel(changedAct.key)} .msg-refused`)) && (await readStore(page, 'refused')).length === 0,
        '"Tudomásul vettem" takes it off the card, the list and the store');
  const marksAfter = await page.evaluate(() => performance.getEntriesByType('resource').filter((r) => r.name.includes('/api/marks')).length);
  check(marksAfter === marksBefore, 'a refused mark is never sent again');

  // ---- "Nap lezárása": what the office has
  await tapStable(page, '#day-close');
  await page.waitForFunction(() => document.body.dataset.screen === 'closed', { timeout: WAIT });
  const summary = await page.$$eval('#closed-summary .closed-row', (l) => Object.fromEntries(
    l.map((r) => [r.querySelector('dt').textContent, r.querySelector('dd').textContent])));
  check(summary['Fénykép'] === '1' && summary['Aláírás'] === '1', `the day's close shows the photo and the signature (${JSON.stringify(summary)})`);
  check(Number(summary['Elvégezve']) >= 4 && Number(summary['Összes feladat']) === acts.length &&
        Number(summary['Elvégezve']) + Number(summary['Nem végezhető el']) + Number(summary['Nyitott']) === acts.length,
        'done, not done and open add up to the day\'s activities');
  check(Number(summary['Elutasított jelölés']) >= 1, 'the refused mark is counted');
  check(/^\d{4}\.\d{2}\.\d{2} · lezárva: \d{4}\.\d{2}\.\d{2} \d{2}:\d{2}$/.test(await text(page, '#closed-date')),
        `the close's date and time are shown (${await text(page, '#closed-date')})`);
  await shot(page, '14-day-closed', true);
  await tapStable(page, '#closed-back');
  check(await page.evaluate(() => document.body.dataset.screen) === 'day', '"Vissza" returns to the day');
  const wide = await page.evaluate(() => document.documentElement.scrollWidth);
  check(wide <= 360, `nothing is wider than the phone (${wide}px)`);
  const small = await page.$$eval('#screen-day button:not([hidden]), #screen-day a.btn', (l) => l
    .filter((b) => b.getClientRects().length)
    .map((b) => b.getBoundingClientRect()).filter((r) => r.height < 44 || r.width < 44).length);
  check(small === 0, `every button of the day is at least 44 px (${small} smaller)`);

  check(problems.length === 0, 'no console error, page error, CSP violation or failed load' +
        (problems.length ? ':\n  ' + problems.join('\n  ') : ''));
  fs.writeFileSync(path.join(OUT, 'offline.json'), JSON.stringify({
    marks: queue.filter((q) => q.type === 'mark').map((q) => ({ id: q.id, key: q.key, action: q.mark.action })),
    images: queue.filter((q) => q.type === 'image').map((q) => ({ id: q.id, key: q.key, kind: q.kind, receiver: q.receiver || '' })),
    refused: queue[5].id,
  }, null, 1) + '\n');
}

// ---- over TLS (VL_MODE=tls) -----------------------------------------------
// The page at https://<VL_TLS_NAME>:port/ with the office's own certificate,
// its CA trusted through the NSS database of HOME (never an ignored
// certificate error): the worker registers, the login works, the cookie is Secure.
async function tls() {
  const expected = /status of 401/;
  browser = await launch({
    args: ['--no-sandbox', '--disable-gpu', '--disable-dev-shm-usage', '--lang=hu-HU', '--no-first-run',
           '--host-resolver-rules=' + (process.env.VL_RESOLVER_RULES || '')],
    env: Object.assign({}, process.env, { HOME: process.env.VL_TLS_HOME || process.env.HOME }),
  });
  const page = await phone(browser, expected);
  let certError = '';
  page.on('requestfailed', (r) => { if (/CERT|SSL/.test((r.failure() || {}).errorText || '')) certError = r.failure().errorText; });
  const resp = await page.goto(URL_, { waitUntil: 'networkidle0', timeout: WAIT }).catch((e) => { certError = certError || e.message; return null; });
  check(resp && resp.status() === 200 && !certError, `the page answers over https without a certificate error ${certError}`);
  if (!resp) return;
  const sec = resp.securityDetails();
  check(!!sec && /TLS/.test(sec.protocol()), `the connection is TLS (${sec && sec.protocol()}, ${sec && sec.issuer()})`);
  check(await page.evaluate(() => window.isSecureContext && location.protocol === 'https:'), 'the page is a secure context on https');
  await login(page);
  await page.waitForFunction(() => document.body.dataset.sw === 'ready' && !!navigator.serviceWorker.controller,
                             { timeout: WAIT });
  const scope = await page.evaluate(async () => (await navigator.serviceWorker.getRegistration()).scope);
  check(scope === new URL(URL_).origin + '/', `the service worker registers over https (${scope})`);
  const cookie = (await page.cookies()).find((c) => c.name === 'vlsession');
  check(!!cookie && cookie.secure && cookie.httpOnly, 'the session cookie is Secure and HttpOnly');
  check(problems.length === 0, 'no console error, page error, CSP violation or failed load over TLS' +
        (problems.length ? ':\n  ' + problems.join('\n  ') : ''));
}

const MODE = process.env.VL_MODE || 'online';

try {
  if (MODE === 'offline') await offline();
  else if (MODE === 'tls') await tls();
  else await main();
} catch (e) {
  failed++;
  console.log('FAIL ' + (e && e.stack ? e.stack : e));
  if (problems.length) console.log('  ' + problems.join('\n  '));
} finally {
  if (browser) await browser.close().catch(() => {});
}
console.log(`${passed} passed, ${failed} failed`);
process.exit(failed ? 1 : 0);
