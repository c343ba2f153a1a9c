// The drivers' page: login, the day's sites and activities, marks, photos and
// signatures sent to the service (docs/drivers-api.md). It works without
// signal: the session's plain facts, the allowed days and the queue of what
// the driver recorded live in IndexedDB, the queue goes out in order when the
// service answers again (docs/decisions.md, 55). Plain script, no inline code
// (the service's Content-Security-Policy forbids it); data goes into the page
// only through textContent and attributes, never as HTML.
'use strict';

(function () {
  // ---- small helpers -------------------------------------------------------

  const $ = (id) => document.getElementById(id);

  function el(tag, cls, text) {
    const e = document.createElement(tag);
    if (cls) e.className = cls;
    if (text !== undefined && text !== null && text !== '') e.textContent = String(text);
    return e;
  }

  function str(v) { return typeof v === 'string' ? v : (v === undefined || v === null ? '' : String(v)); }

  // sessionStorage may be refused (a private window); the page then works
  // until it is reloaded.
  const store = {
    get(k) { try { return window.sessionStorage.getItem(k); } catch (e) { return null; } },
    set(k, v) { try { window.sessionStorage.setItem(k, v); } catch (e) { /* kept in memory only */ } },
    del(k) { try { window.sessionStorage.removeItem(k); } catch (e) { /* nothing kept */ } },
    getJson(k, dflt) {
      const t = store.get(k);
      if (t === null) return dflt;
      try { return JSON.parse(t); } catch (e) { return dflt; }
    },
    setJson(k, v) { store.set(k, JSON.stringify(v)); },
  };
  const remembered = {
    get(k) { try { return window.localStorage.getItem(k); } catch (e) { return null; } },
    set(k, v) { try { window.localStorage.setItem(k, v); } catch (e) { /* not remembered */ } },
  };

  // ---- the phone's own store (IndexedDB) -----------------------------------
  // kv: 'session' {driver, name, csrf, days, expires}, 'lastSend' (ms),
  //     'date' (the day the driver chose), 'shown' (the day shown last);
  // days: a day's answer by its date; queue: marks and images in the order
  // made (the key grows); refused: what the office did not take, by its id.
  const idb = (() => {
    const STORES = ['kv', 'days', 'queue', 'refused'];
    let opening = null;
    function open() {
      if (!opening) {
        opening = new Promise((resolve, reject) => {
          let req;
          try { req = window.indexedDB.open('vorlanda-sofor', 1); } catch (e) { reject(e); return; }
          req.onupgradeneeded = () => {
            const db = req.result;
            db.createObjectStore('kv');
            db.createObjectStore('days');
            db.createObjectStore('queue', { keyPath: 'seq', autoIncrement: true });
            db.createObjectStore('refused', { keyPath: 'id' });
          };
          req.onsuccess = () => resolve(req.result);
          req.onerror = () => reject(req.error);
          req.onblocked = () => reject(new Error('blocked'));
        });
        opening.catch(() => { opening = null; });
      }
      return opening;
    }
    // One transaction over the stores named; fn(stores) issues the requests and
    // may return one whose result is the answer. Resolves once it is on disk.
    async function tx(names, mode, fn) {
      const db = await open();
      return new Promise((resolve, reject) => {
        const t = mode === 'readwrite' ? db.transaction(names, mode, { durability: 'strict' }) : db.transaction(names, mode);
        const stores = {};
        for (const n of names) stores[n] = t.objectStore(n);
        let r;
        try { r = fn(stores); } catch (e) { try { t.abort(); } catch (x) { /* already over */ } reject(e); return; }
        t.oncomplete = () => resolve(r && typeof r === 'object' && 'result' in r && 'readyState' in r ? r.result : undefined);
        t.onerror = () => reject(t.error);
        t.onabort = () => reject(t.error || new Error('abort'));
      });
    }
    return {
      tx,
      get: (s, k) => tx([s], 'readonly', (st) => st[s].get(k)),
      all: (s) => tx([s], 'readonly', (st) => st[s].getAll()),
      set: (k, v) => tx(['kv'], 'readwrite', (st) => { st.kv.put(v, k); }),
      del: (k) => tx(['kv'], 'readwrite', (st) => { st.kv.delete(k); }),
      putDay: (d) => tx(['days'], 'readwrite', (st) => { st.days.put(d, str(d.date)); }),
      clearAll: () => tx(STORES, 'readwrite', (st) => { for (const n of STORES) st[n].clear(); }),
    };
  })();

  // A write that failed (no IndexedDB, a full disk): the page says so once.
  function storeFailed(e) {
    if (!S.storeWarned) {
      S.storeWarned = true;
      showStatus(TEXT.noStore, 'error');
    }
    if (window.console) console.warn('IndexedDB: ' + str(e && e.message));
  }

  const TEXT = {
    expired: 'A munkamenet lejárt, kérem, lépjen be újra.',
    offline: 'Nincs kapcsolat a szerverrel. Próbálja újra a Frissítés gombbal.',
    offlineStored: 'Nincs kapcsolat a szerverrel: a telefonon tárolt napot látja.',
    serverError: 'A szerver hibát jelzett. Próbálja újra később.',
    noStore: 'A telefon nem tudja tárolni az adatokat: ami nincs elküldve, az oldal bezárásakor elveszhet.',
    noDriver: 'Adja meg a sofőrkódot.',
    noPin: 'Adja meg a PIN-t.',
    noReason: 'Válasszon okot.',
    noReasons: 'Nincs választható ok: kérem, hívja az irodát.',
    sending: 'Küldés…',
    queued: 'Elküldésre vár.',
    saved: 'Mentve a telefonon.',
    waiting: (marks, images) => (images
      ? (marks ? marks + ' jelölés és ' : '') + images + ' kép elküldésre vár. A „Küldés most” gombbal újra elküldheti.'
      : marks + ' jelölés elküldésre vár. A Frissítés gombbal újra elküldheti.'),
    unsent: (n) => n + ' jelölés még nincs elküldve. Biztosan kilép?',
    online: 'Online',
    noNet: 'Nincs kapcsolat',
    queue: (marks, images) => {
      if (!marks && !images) return 'Minden elküldve';
      const parts = [];
      if (marks) parts.push(marks + ' jelölés');
      if (images) parts.push(images + ' kép');
      return parts.join(' és ') + ' vár küldésre';
    },
    lastSend: (t) => 'Utolsó küldés: ' + t,
    never: '–',
    noPhoto: 'Válasszon vagy készítsen fényképet.',
    badPhoto: 'A kép nem olvasható be.',
    noReceiver: 'Adja meg az átvevő nevét.',
    noInk: 'Az átvevő írja alá a mezőben.',
    closeBlocked: (n) => 'A nap nem zárható le: ' + n + ' tétel még nincs elküldve. Próbálja újra, ha lesz kapcsolat.',
    closeOffline: 'A nap lezárásához kapcsolat kell a szerverrel.',
    refusedDefault: 'A szerver nem fogadta el.',
    action: { done: 'Elvégezve', notdone: 'Nem végezhető el', undone: 'Visszavonás', cash: 'Beszedve',
              photo: 'Fénykép', signature: 'Aláírás' },
    ok: {
      done: 'Rögzítve: elvégezve.',
      notdone: 'Rögzítve: nem végezhető el.',
      undone: 'Visszavonva.',
      cash: 'Rögzítve: beszedve.',
      photo: 'A fénykép megérkezett.',
      signature: 'Az aláírás megérkezett.',
    },
  };

  // ---- state ---------------------------------------------------------------

  const S = {
    csrf: null,
    driver: null,
    name: '',
    days: [],
    expires: '',                        // "yyyy.mm.dd hh:mm", the session's end
    wantedDate: null,                   // the day the driver chose (null: the service's default)
    day: null,                          // the day shown
    shownDate: null,
    shownVersion: null,                 // the version of the day shown, as the driver saw it
    messages: new Map(),                // key -> {kind: 'ok', text}
    queue: [],                          // waiting marks and images, in the order made (as in IndexedDB)
    refused: [],                        // refused items not yet acknowledged
    saving: new Set(),                  // keys whose mark is being written to the phone
    lastSend: 0,                        // ms of the last answered send
    online: navigator.onLine !== false, // the service answered last time
    chain: Promise.resolve(),           // every request in turn
    refreshQueued: false,
    sending: false,                     // items on their way
    ownNextRead: false,                 // the next read shows only the driver's own marks
    storeWarned: false,
    loads: 0,
    busy: 0,
    lastLoad: 0,
  };

  // ---- the service ---------------------------------------------------------

  class NetError extends Error {}

  // opts.raw: the body as it is (a Blob) with opts.headers; otherwise JSON.
  async function api(method, path, body, opts) {
    const o = opts || {};
    const headers = Object.assign({ 'Accept': 'application/json' }, o.headers || {});
    if (body !== undefined && !o.raw) headers['Content-Type'] = 'application/json';
    if (method === 'POST' && S.csrf) headers['X-CSRF-Token'] = S.csrf;
    let resp;
    try {
      resp = await fetch(path, {
        method, headers, credentials: 'same-origin', cache: 'no-store',
        body: body === undefined ? undefined : (o.raw ? body : JSON.stringify(body)),
      });
    } catch (e) {
      setOnline(false);
      throw new NetError(str(e && e.message));
    }
    setOnline(true);
    let data = null;
    try { data = await resp.json(); } catch (e) { data = null; }
    return { status: resp.status, ok: resp.ok, data };
  }

  function errorText(r) {
    if (r.data && typeof r.data.error === 'string' && r.data.error) return r.data.error;
    if (r.status >= 500) return TEXT.serverError;
    return 'A kérést a szerver elutasította (' + r.status + ').';
  }

  // Runs the requests one after the other, so a refresh never overtakes a mark.
  function serial(task) {
    const next = S.chain.then(async () => {
      setBusy(+1);
      try { await task(); } finally { setBusy(-1); }
    });
    S.chain = next.catch(() => {});
    return next;
  }

  function setBusy(delta) {
    S.busy += delta;
    document.body.dataset.busy = S.busy > 0 ? '1' : '0';
    $('refresh').classList.toggle('is-busy', S.busy > 0);
    $('refresh').setAttribute('aria-busy', S.busy > 0 ? 'true' : 'false');
  }


  // ---- screens -------------------------------------------------------------

  function showScreen(which) {
    $('screen-login').hidden = which !== 'login';
    $('screen-day').hidden = which !== 'day';
    $('screen-closed').hidden = which !== 'closed';
    document.body.dataset.screen = which;
  }

  function showLogin(message) {
    closeSheets();
    const err = $('login-error');
    err.textContent = message || '';
    err.hidden = !message;
    const last = remembered.get('vl.lastDriver');
    if (!$('login-driver').value && last) $('login-driver').value = last;
    $('login-pin').value = '';
    showScreen('login');
    ($('login-driver').value ? $('login-pin') : $('login-driver')).focus();
  }

  // The session ended (401): the token goes, the queue and the days stay for
  // the next login of the same driver.
  function forgetSession() {
    S.csrf = null;
    store.del('vl.csrf');
    S.day = null;
    S.shownDate = null;
    S.shownVersion = null;
    S.messages.clear();
    idb.del('session').catch(storeFailed);
  }

  function sessionExpired() {
    forgetSession();
    showLogin(TEXT.expired);
  }

  function showStatus(text, kind) {
    const st = $('status');
    st.textContent = text || '';
    st.className = 'status' + (kind ? ' status-' + kind : '');
    st.hidden = !text;
  }

  function setOnline(on) {
    if (S.online === on) return;
    S.online = on;
    renderNet();
  }

  function two(n) { return (n < 10 ? '0' : '') + n; }

  function clock(ms) {
    const t = new Date(ms);
    const now = new Date();
    const hm = two(t.getHours()) + ':' + two(t.getMinutes());
    if (t.toDateString() === now.toDateString()) return hm;
    return t.getFullYear() + '.' + two(t.getMonth() + 1) + '.' + two(t.getDate()) + '. ' + hm;
  }

  function mine() { return S.queue.filter((q) => q.driver === S.driver); }

  function waitingText() {
    const q = mine();
    const marks = q.filter((x) => x.type === 'mark').length;
    return TEXT.waiting(marks, q.length - marks);
  }

  // The strip always in sight: the connection, what waits, the last send.
  function renderNet() {
    const net = $('net-state');
    if (!net) return;
    net.textContent = S.online ? TEXT.online : TEXT.noNet;
    net.className = 'net ' + (S.online ? 'net-on' : 'net-off');
    document.body.dataset.online = S.online ? '1' : '0';
    const q = mine();
    const marks = q.filter((x) => x.type === 'mark').length;
    const images = q.length - marks;
    $('queue-count').textContent = TEXT.queue(marks, images);
    $('queue-count').classList.toggle('has-waiting', q.length > 0);
    document.body.dataset.waiting = String(q.length);
    $('last-send').textContent = TEXT.lastSend(S.lastSend ? clock(S.lastSend) : TEXT.never);
  }

  // "yyyy.mm.dd hh:mm" as a local time (NaN when it is not one).
  function parseStamp(t) {
    const m = /^(\d{4})\.(\d{2})\.(\d{2})(?: (\d{2}):(\d{2}))?/.exec(str(t));
    if (!m) return NaN;
    return new Date(+m[1], +m[2] - 1, +m[3], +(m[4] || 0), +(m[5] || 0)).getTime();
  }

  function sessionValid(sess) {
    if (!sess || typeof sess.csrf !== 'string' || !sess.csrf || !sess.driver) return false;
    const end = parseStamp(sess.expires);
    return isNaN(end) || end > Date.now();
  }

  function saveSession() {
    return idb.set('session', { driver: S.driver, name: S.name, csrf: S.csrf, days: S.days, expires: S.expires })
      .catch(storeFailed);
  }

  // ---- login / logout ------------------------------------------------------

  async function onLogin(ev) {
    ev.preventDefault();
    const driver = $('login-driver').value.trim();
    const pin = $('login-pin').value.trim();
    const err = $('login-error');
    if (!driver || !pin) {
      err.textContent = !driver ? TEXT.noDriver : TEXT.noPin;
      err.hidden = false;
      (!driver ? $('login-driver') : $('login-pin')).focus();
      return;
    }
    const button = $('login-submit');
    button.disabled = true;
    try {
      const r = await api('POST', '/api/login', { driver, pin });
      if (!r.ok || !r.data || typeof r.data.csrf !== 'string') {
        err.textContent = errorText(r);
        err.hidden = false;
        $('login-pin').value = '';
        $('login-pin').focus();
        return;
      }
      const d = r.data;
      const stored = await idb.get('kv', 'owner').catch(() => undefined);
      const owner = S.driver || stored;
      if (owner && owner !== str(d.driver)) {
        // Another driver on this phone: what waits was not theirs to send.
        await idb.clearAll().catch(storeFailed);
        S.queue = [];
        S.refused = [];
        S.lastSend = 0;
        S.wantedDate = null;
      }
      S.csrf = d.csrf;
      S.driver = str(d.driver);
      S.name = str(d.name);
      S.days = Array.isArray(d.days) ? d.days.map(str) : [];
      S.expires = str(d.expires);
      store.set('vl.csrf', S.csrf);
      await saveSession();
      await idb.set('owner', S.driver).catch(storeFailed);
      remembered.set('vl.lastDriver', S.driver);
      err.hidden = true;
      $('login-pin').value = '';
      enterDay(await storedDay(S.wantedDate));
    } catch (e) {
      if (!(e instanceof NetError)) throw e;
      err.textContent = 'Nincs kapcsolat a szerverrel.';
      err.hidden = false;
    } finally {
      button.disabled = false;
    }
  }

  // The day screen: the stored day at once (when there is one), then the service's.
  function enterDay(stored) {
    $('driver-name').textContent = S.name || S.driver || '';
    $('sites').replaceChildren();
    $('no-work').hidden = true;
    $('day-total').hidden = true;
    $('changed-banner').hidden = true;
    showStatus('', '');
    showScreen('day');
    renderNet();
    if (stored) applyDay(stored, true);
    else renderRefused();
    refresh();
  }

  function onLogout() {
    const n = mine().length;
    if (n > 0 && !window.confirm(TEXT.unsent(n))) return;
    serial(async () => {
      try { await api('POST', '/api/logout', {}); } catch (e) { /* leaving all the same */ }
      await idb.clearAll().catch(storeFailed);
      S.queue = [];
      S.refused = [];
      S.lastSend = 0;
      S.wantedDate = null;
      S.driver = null;
      forgetSession();
      renderNet();
      showLogin('');
    });
  }

  // ---- the day -------------------------------------------------------------

  // Sends what waits, then reads the day again; one waiting refresh is enough.
  function refresh() {
    if (S.refreshQueued) return S.chain;
    S.refreshQueued = true;
    return serial(async () => {
      S.refreshQueued = false;
      if (!S.csrf) return;
      if (!(await flushQueue())) return;
      if (await loadDay()) await loadOtherDays();
    });
  }

  // The day shown (or chosen); true when the service answered with it.
  async function loadDay() {
    const date = S.wantedDate;
    let r;
    try {
      r = await api('GET', '/api/day' + (date ? '?date=' + encodeURIComponent(date) : ''));
    } catch (e) {
      if (!(e instanceof NetError)) throw e;
      if (!S.day) {
        const stored = await storedDay(date);
        if (stored) applyDay(stored, true);
      }
      showStatus(S.day ? TEXT.offlineStored : TEXT.offline, 'error');
      return false;
    } finally {
      S.loads += 1;
      document.body.dataset.loads = String(S.loads);
    }
    if (r.status === 401) { sessionExpired(); return false; }
    if ((r.status === 400 || r.status === 403) && date) {
      // The chosen day is no longer offered: back to the service's own day.
      S.wantedDate = null;
      idb.del('date').catch(storeFailed);
      return loadDay();
    }
    if (!r.ok || !r.data || typeof r.data !== 'object') {
      showStatus(errorText(r), 'error');
      return false;
    }
    await idb.putDay(r.data).catch(storeFailed);
    applyDay(r.data, false);
    return true;
  }

  // The other allowed days, kept for a start without signal; quietly.
  async function loadOtherDays() {
    for (const date of S.days) {
      if (date === S.shownDate) continue;
      let r;
      try { r = await api('GET', '/api/day?date=' + encodeURIComponent(date)); } catch (e) { return; }
      if (r.ok && r.data && typeof r.data === 'object' && str(r.data.date) === date) {
        await idb.putDay(r.data).catch(storeFailed);
      }
    }
  }

  async function storedDay(date) {
    try {
      const want = date || await idb.get('kv', 'shown');
      if (want) {
        const d = await idb.get('days', want);
        if (d) return d;
      }
      const all = await idb.all('days');
      return all.length ? all[all.length - 1] : null;
    } catch (e) {
      return null;
    }
  }

  // fromStore: the phone's own copy (no banner, no status of its own).
  function applyDay(d, fromStore) {
    const date = str(d.date);
    const version = str(d.version);
    const own = S.ownNextRead;
    if (!fromStore) S.ownNextRead = false;
    if (!fromStore && !own && S.shownDate === date && S.shownVersion !== null && version !== S.shownVersion) {
      $('changed-banner').hidden = false;
    }
    if (S.shownDate !== null && S.shownDate !== date) {
      S.messages.clear();
      $('changed-banner').hidden = true;
    }
    S.day = d;
    S.shownDate = date;
    S.shownVersion = version;
    if (!fromStore) {
      S.lastLoad = Date.now();
      idb.set('shown', date).catch(storeFailed);
    }
    if (Array.isArray(d.days) && !fromStore) {
      S.days = d.days.map(str);
      saveSession();
    }
    if (d.name) {
      S.name = str(d.name);
      $('driver-name').textContent = S.name;
    }
    if (!fromStore) {
      const waiting = mine().length;
      showStatus(waiting ? waitingText() : '', waiting ? 'warn' : '');
    }
    render();
  }

  // The phone's copy of the day after an answer changed it.
  function saveShownDay() {
    if (S.day) idb.putDay(S.day).catch(storeFailed);
  }

  function render() {
    renderNet();
    renderRefused();
    const d = S.day;
    if (!d) return;
    renderDate(d);
    const sites = Array.isArray(d.sites) ? d.sites : [];
    const box = $('sites');
    box.replaceChildren(...sites.map(renderSite));
    $('no-work').hidden = sites.length > 0;
    $('day-close-box').hidden = false;
    const total = $('day-total');
    if (Number(d.cashGross) > 0 && sites.filter((s) => Number(s.cashGross) > 0).length > 1) {
      total.replaceChildren(document.createTextNode('Összesen beszedendő: '),
                            el('span', 'amount', str(d.cashGrossText) + ' Ft'));
      total.hidden = false;
    } else {
      total.hidden = true;
    }
  }

  // What the office did not take, each until the driver acknowledges it.
  function renderRefused() {
    const box = $('refused');
    const list = S.refused.filter((x) => x.driver === S.driver);
    box.hidden = list.length === 0;
    if (!list.length) { $('refused-list').replaceChildren(); return; }
    $('refused-title').textContent = 'Nem fogadott jelölések (' + list.length + ')';
    $('refused-list').replaceChildren(...list.map((x) => {
      const li = el('li', 'refused-item');
      li.dataset.id = x.id;
      li.dataset.key = x.key;
      li.append(el('div', 'refused-what', x.what), el('p', 'refused-text', x.text), ackButton(x.id));
      return li;
    }));
  }

  function ackButton(id) {
    const b = el('button', 'btn btn-light btn-small', 'Tudomásul vettem');
    b.type = 'button';
    b.dataset.action = 'ack';
    b.dataset.id = id;
    return b;
  }

  async function acknowledge(id) {
    try {
      await idb.tx(['refused'], 'readwrite', (st) => { st.refused.delete(id); });
    } catch (e) { storeFailed(e); }
    S.refused = S.refused.filter((x) => x.id !== id);
    render();
    const next = document.querySelector('button[data-action="ack"]') || $('send-now');
    if (next) next.focus();
  }

  function renderDate(d) {
    const date = str(d.date);
    const dayName = str(d.dayName);
    const select = $('day-select');
    const label = $('day-date');
    if (S.days.length > 1) {
      const options = S.days.slice();
      if (date && !options.includes(date)) options.push(date);
      options.sort();
      select.replaceChildren(...options.map((day) => {
        const o = el('option', '', day);
        o.value = day;
        o.selected = day === date;
        return o;
      }));
      select.hidden = false;
      label.textContent = dayName;
      label.hidden = !dayName;
    } else {
      select.hidden = true;
      label.hidden = false;
      label.textContent = dayName ? date + ', ' + dayName : date;
    }
    const kind = $('day-kind');
    kind.textContent = str(d.dayKind);
    kind.hidden = !d.dayKind;
  }

  function safeGeo(v) {
    const t = str(v);
    return /^geo:/i.test(t) ? t : '';
  }

  function telHref(phone) {
    const digits = str(phone).replace(/[^0-9+]/g, '');
    return digits.replace(/\+/g, '').length >= 3 ? 'tel:' + digits : '';
  }

  function renderSite(s, index) {
    const card = el('article', 'site');
    card.dataset.site = String(index);

    const head = el('header', 'site-head');
    head.append(el('h2', 'site-customer', str(s.customer)));
    if (s.site) head.append(el('div', 'site-name', str(s.site)));
    card.append(head);

    if (s.address || s.geo) {
      const row = el('div', 'site-row site-address');
      row.append(el('span', 'site-text', str(s.address)));
      const geo = safeGeo(s.geo);
      if (geo) {
        const a = el('a', 'btn btn-link btn-map', 'Térkép');
        a.href = geo;
        a.dataset.role = 'map';
        row.append(a);
      }
      card.append(row);
    }
    if (s.contact || s.phone) {
      const row = el('div', 'site-row site-contact');
      row.append(el('span', 'site-text', str(s.contact)));
      const tel = telHref(s.phone);
      if (tel) {
        const a = el('a', 'btn btn-link btn-tel', str(s.phone));
        a.href = tel;
        a.dataset.role = 'phone';
        row.append(a);
      } else if (s.phone) {
        row.append(el('span', 'site-text', str(s.phone)));
      }
      card.append(row);
    }
    if (s.weekendRemark) {
      const w = el('div', 'site-weekend');
      w.append(el('strong', '', 'Hétvége: '), document.createTextNode(str(s.weekendRemark)));
      card.append(w);
    }
    if (Number(s.cashGross) > 0) {
      const due = el('div', 'site-cash-total');
      due.append(document.createTextNode('Beszedendő: '), el('span', 'amount', str(s.cashGrossText) + ' Ft'));
      card.append(due);
    }

    const acts = Array.isArray(s.activities) ? s.activities : [];
    // Every planned activity of the site at once, when there are several.
    const open = acts.filter((a) => isPlanned(str(a.class)) && !pendingFor(str(a.key)));
    if (open.length > 1) {
      const all = el('button', 'btn btn-success btn-wide btn-all', 'Mind elvégezve (' + open.length + ')');
      all.type = 'button';
      all.dataset.action = 'alldone';
      all.dataset.site = String(index);
      card.append(all);
    }
    if (acts.length) {
      const list = el('div', 'acts');
      list.append(...acts.map(renderActivity));
      card.append(list);
    }
    const cash = Array.isArray(s.cash) ? s.cash : [];
    if (cash.length) {
      const list = el('div', 'cash-list');
      list.append(el('h3', 'cash-head', 'Készpénzes díjak'), ...cash.map(renderCash));
      card.append(list);
    }
    return card;
  }

  function isPlanned(cls) { return cls === 'I' || cls === 'i'; }
  function isDone(cls) { return cls === 'N'; }

  // A mark of this row waits (or is being written): its buttons are off.
  function pendingFor(key) {
    return S.saving.has(key) || S.queue.some((q) => q.type === 'mark' && q.key === key);
  }

  function waitingImages(key) {
    return S.queue.filter((q) => q.type === 'image' && q.key === key).length;
  }

  function stateChip(state, stateName, cls) {
    const chip = el('span', 'state ' + (isPlanned(cls) ? 'state-planned' : isDone(cls) ? 'state-done' : 'state-other'),
                    str(stateName) || str(state));
    chip.dataset.state = str(state);
    return chip;
  }

  function messageFor(key, box) {
    for (const x of S.refused) {
      if (x.key !== key || x.driver !== S.driver) continue;
      const p = el('p', 'msg msg-refused', x.text);
      p.dataset.id = x.id;
      box.append(p, ackButton(x.id));
    }
    if (pendingFor(key)) {
      box.append(el('p', 'msg msg-wait', S.sending ? TEXT.sending : TEXT.queued));
      return;
    }
    const m = S.messages.get(key);
    if (m) box.append(el('p', 'msg msg-ok', m.text));
  }

  function button(label, cls, action, key) {
    const b = el('button', 'btn ' + cls, label);
    b.type = 'button';
    b.dataset.action = action;
    b.dataset.key = key;
    if (pendingFor(key)) b.disabled = true;
    return b;
  }

  const IMAGE_MAX = 10;   // the office keeps at most this many images of an activity

  function renderActivity(a) {
    const key = str(a.key);
    const cls = str(a.class);
    const row = el('section', 'act');
    row.dataset.key = key;
    row.dataset.code = str(a.code);
    row.dataset.cabin = str(a.cabin);
    row.dataset.state = str(a.state);
    row.dataset.class = cls;

    const top = el('div', 'act-top');
    const what = el('div', 'act-what');
    what.append(el('div', 'act-name', str(a.name) || str(a.code)));
    const cabin = [a.cabin ? 'Kabin: ' + str(a.cabin) : '', str(a.type)].filter(Boolean).join(' · ');
    if (cabin) what.append(el('div', 'act-cabin', cabin));
    top.append(what, stateChip(a.state, a.stateName, cls));
    row.append(top);

    if (a.remark) row.append(el('p', 'act-remark', str(a.remark)));
    if (a.fromPhone) row.append(el('p', 'act-phone', 'Telefonról jelölve'));
    const stored = Math.max(0, Math.round(Number(a.images) || 0));
    const waiting = waitingImages(key);
    if (stored + waiting > 0) {
      const p = el('p', 'act-images', 'Fénykép, aláírás: ' + (stored + waiting) +
                   (waiting ? ' (' + waiting + ' küldésre vár)' : ''));
      p.dataset.count = String(stored + waiting);
      p.dataset.waiting = String(waiting);
      row.append(p);
    }
    messageFor(key, row);

    const buttons = el('div', 'act-buttons');
    if (isPlanned(cls)) {
      buttons.append(button('Elvégezve', 'btn-success', 'done', key),
                     button('Nem végezhető el', 'btn-danger-outline', 'notdone', key));
    } else if (isDone(cls)) {
      buttons.append(button('Visszavonás', 'btn-light', 'undone', key));
    }
    if (buttons.childElementCount) row.append(buttons);
    if (key.startsWith('T.')) {
      const extra = el('div', 'act-buttons act-proof');
      const full = stored + waiting >= IMAGE_MAX;
      const photo = el('button', 'btn btn-light', 'Fénykép');
      photo.type = 'button';
      photo.dataset.action = 'photo';
      photo.dataset.key = key;
      photo.disabled = full;
      extra.append(photo);
      if (a.signable === true) {
        const sign = el('button', 'btn btn-light', 'Aláírás');
        sign.type = 'button';
        sign.dataset.action = 'sign';
        sign.dataset.key = key;
        sign.disabled = full;
        extra.append(sign);
      }
      row.append(extra);
    }
    return row;
  }

  function renderCash(c) {
    const key = str(c.key);
    const cls = str(c.class);
    const row = el('section', 'cash');
    row.dataset.key = key;
    row.dataset.state = str(c.state);
    row.dataset.class = cls;

    row.append(el('div', 'cash-period', (c.from || c.to) ? str(c.from) + ' – ' + str(c.to) : 'Díj'));
    const top = el('div', 'act-top');
    top.append(el('div', 'act-cabin', c.contract ? 'Szerződés: ' + str(c.contract) : ''),
               stateChip(c.state, c.stateName, cls));
    row.append(top);
    const pay = el('div', 'cash-pay');
    pay.append(el('span', 'cash-gross amount', str(c.grossText) + ' Ft'));
    if (isPlanned(cls)) pay.append(button('Beszedve', 'btn-primary', 'cash', key));
    row.append(pay);
    messageFor(key, row);
    return row;
  }

  function findRow(key) {
    const sites = (S.day && Array.isArray(S.day.sites)) ? S.day.sites : [];
    for (const s of sites) {
      for (const a of (Array.isArray(s.activities) ? s.activities : [])) if (a.key === key) return { kind: 'act', row: a, site: s };
      for (const c of (Array.isArray(s.cash) ? s.cash : [])) if (c.key === key) return { kind: 'cash', row: c, site: s };
    }
    return null;
  }

  // ---- marks ---------------------------------------------------------------

  // ---- the queue -----------------------------------------------------------

  function newMarkId() {
    const n = Number(remembered.get('vl.seq') || '0') + 1;
    remembered.set('vl.seq', String(n));
    const rnd = new Uint32Array(1);
    window.crypto.getRandomValues(rnd);
    return 'm-' + Date.now().toString(36) + '-' + n.toString(36) + '-' + rnd[0].toString(36);
  }

  // Writes one item to the phone's queue; only then is it shown as saved.
  let saveChain = Promise.resolve();
  function enqueue(item) {
    item.what = describeItem(item);
    const job = saveChain.then(async () => {
      try {
        item.seq = await idb.tx(['queue'], 'readwrite', (st) => st.queue.add(item));
      } catch (e) {
        storeFailed(e);   // kept in memory: it still goes while the page is open
      }
      S.queue.push(item);
    });
    saveChain = job.catch(() => {});
    return job;
  }

  function describeItem(item) {
    const found = findRow(item.key);
    const what = item.type === 'image' ? TEXT.action[item.kind] : TEXT.action[item.mark.action];
    return [what, found ? describe(found) : item.key].filter(Boolean).join(' – ');
  }

  // Takes answered items off the queue, the refused ones to the list, in one write.
  async function settle(doneItems, refusedItems) {
    const entries = refusedItems.map(({ item, text }) => ({
      id: item.id, driver: item.driver, key: item.key, type: item.type, text: text || TEXT.refusedDefault,
      what: item.what || describeItem(item), made: item.made, at: Date.now(),
    }));
    const all = doneItems.concat(refusedItems.map((x) => x.item));
    S.lastSend = Date.now();
    try {
      await idb.tx(['queue', 'refused', 'kv'], 'readwrite', (st) => {
        for (const it of all) if (it.seq !== undefined) st.queue.delete(it.seq);
        for (const e of entries) st.refused.put(e);
        st.kv.put(S.lastSend, 'lastSend');
      });
    } catch (e) { storeFailed(e); }
    const gone = new Set(all.map((it) => it.id));
    S.queue = S.queue.filter((q) => !gone.has(q.id));
    for (const e of entries) {
      S.refused = S.refused.filter((x) => x.id !== e.id);
      S.refused.push(e);
    }
  }

  async function sendMark(fields) {
    const found = findRow(fields.key);
    if (!found || pendingFor(fields.key)) return;
    S.saving.add(fields.key);
    const mark = Object.assign({ id: newMarkId() }, fields, { seen: str(found.row.state) });
    await enqueue({ type: 'mark', id: mark.id, driver: S.driver, key: fields.key, seen: mark.seen,
                    date: S.shownDate, made: Date.now(), mark });
    S.saving.delete(fields.key);
    S.messages.delete(fields.key);
    S.sending = true;
    render();
    serial(async () => {
      if (await flushQueue()) await loadDay();
    });
  }

  async function queueImage(key, kind, blob, receiver) {
    const found = findRow(key);
    if (!found) return;
    const item = { type: 'image', id: newMarkId(), driver: S.driver, key, seen: str(found.row.state),
                   date: S.shownDate, made: Date.now(), kind, mime: blob.type, size: blob.size, blob };
    if (kind === 'signature') item.receiver = receiver;
    await enqueue(item);
    render();
    showStatus(TEXT.saved + ' ' + (kind === 'photo' ? 'A fénykép' : 'Az aláírás') + ' küldésre vár.', 'warn');
    serial(async () => { await flushQueue(); });
  }

  // Sends the driver's queue in order: consecutive marks in one request, each
  // image on its own. False when the round stopped (no network, 503, a lost
  // session): what is left waits, with the same ids.
  async function flushQueue() {
    for (;;) {
      const q = mine();
      if (!q.length) { S.sending = false; return true; }
      let ok;
      S.sending = true;
      if (q[0].type === 'image') {
        ok = await sendImage(q[0]);
      } else {
        const batch = [];
        for (const it of q) {
          if (it.type !== 'mark' || batch.length >= 200) break;
          batch.push(it);
        }
        ok = await sendMarks(batch);
      }
      if (!ok) {
        S.sending = false;
        render();
        return false;
      }
      render();
    }
  }

  function stopRound(r) {
    const n = mine().length;
    if (r.status === 401 || r.status === 403) { sessionExpired(); return; }
    showStatus(errorText(r) + ' ' + waitingText(), 'error');
  }

  const FINAL = new Set([400, 409, 413, 415]);

  async function sendMarks(batch) {
    let r;
    try {
      r = await api('POST', '/api/marks', batch.map((it) => it.mark));
    } catch (e) {
      if (!(e instanceof NetError)) throw e;
      showStatus(waitingText(), 'warn');
      return false;
    }
    if (FINAL.has(r.status)) {
      // The whole request was refused: each of its marks is final.
      const text = errorText(r);
      await settle([], batch.map((item) => ({ item, text })));
      return true;
    }
    if (!r.ok || !r.data || !Array.isArray(r.data.results)) { stopRound(r); return false; }
    const byId = new Map(batch.map((it) => [it.id, it]));
    const done = [];
    const refused = [];
    for (const res of r.data.results) {
      const it = byId.get(res && res.id);
      if (!it) continue;
      byId.delete(it.id);
      const found = findRow(it.key);
      if (found && typeof res.state === 'string' && res.state) {
        found.row.state = res.state;
        found.row.stateName = str(res.stateName);
        found.row.class = str(res.class);
      }
      if (res.result === 'ok' || res.result === 'repeated') {
        done.push(it);
        S.messages.set(it.key, { kind: 'ok', text: TEXT.ok[it.mark.action] || 'Rögzítve.' });
      } else {
        refused.push({ item: it, text: str(res.text) });
        S.messages.delete(it.key);
      }
    }
    await settle(done, refused);
    saveShownDay();
    // What the marks changed is ours: the day's new version is the one the
    // driver has seen. A refusal says the day is not what the phone showed:
    // the version shown stays, so the next read tells of the change.
    if (!refused.length) {
      if (typeof r.data.version === 'string' && r.data.version) S.shownVersion = r.data.version;
      else S.ownNextRead = true;
    }
    // A mark without its answer stays and goes again next round.
    return byId.size === 0;
  }

  async function sendImage(it) {
    const headers = {
      'Content-Type': it.mime,
      'X-Activity-Key': it.key,
      'X-Image-Kind': it.kind,
      'X-Mark-Id': it.id,
    };
    if (it.kind === 'signature') headers['X-Receiver'] = encodeURIComponent(it.receiver);
    let r;
    try {
      r = await api('POST', '/api/images', it.blob, { raw: true, headers });
    } catch (e) {
      if (!(e instanceof NetError)) throw e;
      showStatus(waitingText(), 'warn');
      return false;
    }
    const d = r.data || {};
    if (r.ok && (d.result === 'stored' || d.result === 'repeated')) {
      const found = findRow(it.key);
      if (found && Number.isFinite(Number(d.images))) found.row.images = Number(d.images);
      else if (found) found.row.images = (Number(found.row.images) || 0) + (d.result === 'stored' ? 1 : 0);
      await settle([it], []);
      S.messages.set(it.key, { kind: 'ok', text: TEXT.ok[it.kind] });
      saveShownDay();
      return true;
    }
    if (d.result === 'refused' || FINAL.has(r.status)) {
      await settle([], [{ item: it, text: str(d.text) || errorText(r) }]);
      return true;
    }
    stopRound(r);
    return false;
  }

  // ---- the day's close -----------------------------------------------------

  function closeDay() {
    serial(async () => {
      const date = S.shownDate;
      if (!date || !S.csrf) return;
      if (!(await flushQueue())) {
        if (!S.csrf) return;
        const n = mine().length;
        showStatus(n ? TEXT.closeBlocked(n) : TEXT.closeOffline, 'error');
        render();
        return;
      }
      let r;
      try {
        r = await api('POST', '/api/dayclose', { date });
      } catch (e) {
        if (!(e instanceof NetError)) throw e;
        showStatus(TEXT.closeOffline, 'error');
        return;
      }
      if (r.status === 401 || r.status === 403) { sessionExpired(); return; }
      if (!r.ok || !r.data || typeof r.data !== 'object') { showStatus(errorText(r), 'error'); return; }
      if (r.data.day && typeof r.data.day === 'object' && str(r.data.day.date) === date) {
        S.ownNextRead = true;
        await idb.putDay(r.data.day).catch(storeFailed);
        applyDay(r.data.day, false);
      }
      showClosed(r.data);
    });
  }

  function showClosed(d) {
    const s = (d && typeof d.summary === 'object' && d.summary) || {};
    const n = (v) => String(Math.max(0, Math.round(Number(v) || 0)));
    $('closed-date').textContent = str(d.date) + (d.closedAt ? ' · lezárva: ' + str(d.closedAt) : '');
    const rows = [
      ['Összes feladat', n(s.total)],
      ['Elvégezve', n(s.done)],
      ['Nem végezhető el', n(s.notDone)],
      ['Nyitott', n(s.open)],
      ['Fogadott jelölés', n(s.received)],
      ['Elutasított jelölés', n(s.refused)],
      ['Fénykép', n(s.photos)],
      ['Aláírás', n(s.signatures)],
      ['Beszedetlen készpénz', n(s.cashOpen) + (Number(s.cashOpenGross) > 0 ? ' (' + str(s.cashOpenGrossText) + ' Ft)' : '')],
    ];
    $('closed-summary').replaceChildren(...rows.map(([k, v]) => {
      const row = el('div', 'closed-row');
      row.append(el('dt', '', k), el('dd', '', v));
      return row;
    }));
    closeSheets();
    showScreen('closed');
    window.scrollTo(0, 0);
    $('closed-back').focus();
  }

  // ---- the panels ----------------------------------------------------------

  const SHEETS = ['notdone-panel', 'cash-panel', 'photo-panel', 'sign-panel'];
  let sheetKey = null;
  let sheetReturn = null;

  function openSheet(id, key, opener) {
    closeSheets();
    sheetKey = key;
    sheetReturn = opener ? { key, action: opener.dataset.action } : null;
    $(id).hidden = false;
    document.body.classList.add('has-sheet');
  }

  function closeSheets() {
    const wasOpen = SHEETS.some((id) => !$(id).hidden);
    for (const id of SHEETS) $(id).hidden = true;
    document.body.classList.remove('has-sheet');
    sheetKey = null;
    dropPhoto();
    if (wasOpen && sheetReturn) {
      const b = document.querySelector('button[data-action="' + sheetReturn.action + '"][data-key="' + CSS.escape(sheetReturn.key) + '"]');
      if (b && !b.disabled) b.focus();
    }
    sheetReturn = null;
  }

  function describe(found) {
    if (!found) return '';
    const s = found.site;
    const where = str(s.site) || str(s.customer);
    if (found.kind === 'cash') return [str(s.customer), str(s.site)].filter(Boolean).join(', ');
    const a = found.row;
    return [str(a.name) || str(a.code), a.cabin ? 'kabin ' + str(a.cabin) : '', where].filter(Boolean).join(' · ');
  }

  function openNotDone(key, opener) {
    const found = findRow(key);
    if (!found) return;
    const reasons = Array.isArray(S.day.reasons) ? S.day.reasons : [];
    const select = $('notdone-reason');
    const first = el('option', '', '– válasszon –');
    first.value = '';
    select.replaceChildren(first, ...reasons.map((r) => {
      const o = el('option', '', str(r.name) || str(r.code));
      o.value = str(r.code);
      return o;
    }));
    select.value = '';
    $('notdone-what').textContent = describe(found);
    $('notdone-remark').value = '';
    updateCounter();
    const err = $('notdone-error');
    err.hidden = !!reasons.length;
    err.textContent = reasons.length ? '' : TEXT.noReasons;
    $('notdone-save').disabled = !reasons.length;
    openSheet('notdone-panel', key, opener);
    select.focus();
  }

  function updateCounter() {
    const n = $('notdone-remark').value.length;
    $('notdone-count').textContent = n + ' / 250';
    $('notdone-count').classList.toggle('counter-full', n >= 250);
  }

  function saveNotDone() {
    const reason = $('notdone-reason').value;
    if (!reason) {
      $('notdone-error').textContent = TEXT.noReason;
      $('notdone-error').hidden = false;
      $('notdone-reason').focus();
      return;
    }
    const key = sheetKey;
    const remark = $('notdone-remark').value.trim().slice(0, 250);
    sheetReturn = null;
    closeSheets();
    const fields = { key, action: 'notdone', reason };
    if (remark) fields.remark = remark;
    sendMark(fields);
  }

  function openCash(key, opener) {
    const found = findRow(key);
    if (!found) return;
    $('cash-what').textContent = describe(found);
    $('cash-amount').textContent = str(found.row.grossText) + ' Ft';
    openSheet('cash-panel', key, opener);
    $('cash-ok').focus();
  }

  function saveCash() {
    const key = sheetKey;
    const found = findRow(key);
    sheetReturn = null;
    closeSheets();
    if (!found) return;
    sendMark({ key, action: 'cash', amount: Math.round(Number(found.row.gross) || 0) });
  }


  // ---- a photo: taken or chosen, made smaller on the phone -------------------

  const PHOTO_SIDE = 1600;     // px of the longer side at most
  const PHOTO_QUALITY = 0.85;
  let photoBlob = null;
  let photoUrl = null;

  function dropPhoto() {
    photoBlob = null;
    if (photoUrl) URL.revokeObjectURL(photoUrl);
    photoUrl = null;
    const img = $('photo-preview');
    img.removeAttribute('src');
    img.hidden = true;
    $('photo-info').textContent = '';
    $('photo-input').value = '';
  }

  function openPhoto(key, opener) {
    const found = findRow(key);
    if (!found) return;
    openSheet('photo-panel', key, opener);
    $('photo-what').textContent = describe(found);
    $('photo-error').hidden = true;
    $('photo-save').disabled = true;
    $('photo-input').focus();
  }

  function decode(file) {
    if (window.createImageBitmap) {
      return createImageBitmap(file, { imageOrientation: 'from-image' }).catch(() => decodeByImg(file));
    }
    return decodeByImg(file);
  }

  function decodeByImg(file) {
    return new Promise((resolve, reject) => {
      const url = URL.createObjectURL(file);
      const img = new Image();
      img.onload = () => { URL.revokeObjectURL(url); resolve(img); };
      img.onerror = () => { URL.revokeObjectURL(url); reject(new Error('decode')); };
      img.src = url;
    });
  }

  function canvasBlob(canvas, type, quality) {
    return new Promise((resolve, reject) => {
      canvas.toBlob((b) => (b ? resolve(b) : reject(new Error('toBlob'))), type, quality);
    });
  }

  async function shrink(file) {
    const src = await decode(file);
    const w = src.width || src.naturalWidth;
    const h = src.height || src.naturalHeight;
    if (!w || !h) throw new Error('empty');
    const k = Math.min(1, PHOTO_SIDE / Math.max(w, h));
    const canvas = document.createElement('canvas');
    canvas.width = Math.max(1, Math.round(w * k));
    canvas.height = Math.max(1, Math.round(h * k));
    const ctx = canvas.getContext('2d');
    ctx.fillStyle = '#fff';
    ctx.fillRect(0, 0, canvas.width, canvas.height);
    ctx.drawImage(src, 0, 0, canvas.width, canvas.height);
    if (src.close) src.close();
    const blob = await canvasBlob(canvas, 'image/jpeg', PHOTO_QUALITY);
    return { blob, width: canvas.width, height: canvas.height };
  }

  async function onPhotoChosen() {
    const file = $('photo-input').files && $('photo-input').files[0];
    const err = $('photo-error');
    err.hidden = true;
    if (!file) return;
    const key = sheetKey;
    try {
      const out = await shrink(file);
      if (sheetKey !== key) return;
      photoBlob = out.blob;
      if (photoUrl) URL.revokeObjectURL(photoUrl);
      photoUrl = URL.createObjectURL(out.blob);
      const img = $('photo-preview');
      img.src = photoUrl;
      img.hidden = false;
      $('photo-info').textContent = out.width + ' × ' + out.height + ' képpont, ' +
        Math.max(1, Math.round(out.blob.size / 1024)) + ' kB';
      $('photo-save').disabled = false;
      $('photo-save').focus();
    } catch (e) {
      photoBlob = null;
      err.textContent = TEXT.badPhoto;
      err.hidden = false;
    }
  }

  async function savePhoto() {
    if (!photoBlob) {
      $('photo-error').textContent = TEXT.noPhoto;
      $('photo-error').hidden = false;
      return;
    }
    const key = sheetKey;
    const blob = photoBlob;
    photoBlob = null;
    closeSheets();
    await queueImage(key, 'photo', blob);
  }

  // ---- a signature: the receiver's name and a line drawn on the pad ---------

  const pad = { ctx: null, drawing: false, ink: 0, last: null };

  function openSign(key, opener) {
    const found = findRow(key);
    if (!found) return;
    openSheet('sign-panel', key, opener);
    $('sign-what').textContent = describe(found);
    $('sign-name').value = '';
    $('sign-error').hidden = true;
    clearPad();
    $('sign-name').focus();
  }

  function clearPad() {
    const c = $('sign-pad');
    const ratio = Math.max(1, Math.min(3, window.devicePixelRatio || 1));
    const w = Math.max(200, Math.round(c.clientWidth || 300));
    const h = Math.max(120, Math.round(c.clientHeight || 180));
    c.width = Math.round(w * ratio);
    c.height = Math.round(h * ratio);
    const ctx = c.getContext('2d');
    ctx.setTransform(ratio, 0, 0, ratio, 0, 0);
    ctx.fillStyle = '#fff';
    ctx.fillRect(0, 0, w, h);
    ctx.strokeStyle = '#000';
    ctx.lineWidth = 2.5;
    ctx.lineCap = 'round';
    ctx.lineJoin = 'round';
    pad.ctx = ctx;
    pad.ink = 0;
    pad.drawing = false;
    pad.last = null;
  }

  function padPoint(e) {
    const r = $('sign-pad').getBoundingClientRect();
    return { x: e.clientX - r.left, y: e.clientY - r.top };
  }

  function onPadDown(e) {
    if (!pad.ctx) return;
    e.preventDefault();
    try { $('sign-pad').setPointerCapture(e.pointerId); } catch (x) { /* not captured */ }
    pad.drawing = true;
    pad.last = padPoint(e);
    pad.ctx.beginPath();
    pad.ctx.arc(pad.last.x, pad.last.y, 1.2, 0, 2 * Math.PI);
    pad.ctx.fillStyle = '#000';
    pad.ctx.fill();
  }

  function onPadMove(e) {
    if (!pad.drawing) return;
    e.preventDefault();
    const p = padPoint(e);
    pad.ctx.beginPath();
    pad.ctx.moveTo(pad.last.x, pad.last.y);
    pad.ctx.lineTo(p.x, p.y);
    pad.ctx.stroke();
    pad.ink += Math.hypot(p.x - pad.last.x, p.y - pad.last.y);
    pad.last = p;
  }

  function onPadUp() {
    pad.drawing = false;
    pad.last = null;
    if (pad.ink > 0) $('sign-error').hidden = true;
  }

  async function saveSign() {
    const name = $('sign-name').value.trim().replace(/\s+/g, ' ');
    const err = $('sign-error');
    if (!name) {
      err.textContent = TEXT.noReceiver;
      err.hidden = false;
      $('sign-name').focus();
      return;
    }
    if (pad.ink < 20) {
      err.textContent = TEXT.noInk;
      err.hidden = false;
      return;
    }
    const key = sheetKey;
    let blob;
    try {
      blob = await canvasBlob($('sign-pad'), 'image/png');
    } catch (e) {
      err.textContent = TEXT.badPhoto;
      err.hidden = false;
      return;
    }
    closeSheets();
    await queueImage(key, 'signature', blob, name.slice(0, 60));
  }

  // ---- pull to refresh -----------------------------------------------------

  const PULL_AT = 110;   // px of finger travel that refreshes
  let pullStart = null;
  let pullDy = 0;

  function pullReset() {
    pullStart = null;
    pullDy = 0;
    const p = $('pull');
    p.classList.remove('is-pulling', 'is-ready');
    p.style.height = '';
  }

  function pullAllowed() {
    return document.body.dataset.screen === 'day' && !document.body.classList.contains('has-sheet') &&
           (window.scrollY || document.documentElement.scrollTop || 0) <= 0;
  }

  function onTouchStart(e) {
    if (e.touches.length !== 1 || !pullAllowed()) { pullStart = null; return; }
    pullStart = e.touches[0].clientY;
    pullDy = 0;
  }

  function onTouchMove(e) {
    if (pullStart === null) return;
    pullDy = e.touches[0].clientY - pullStart;
    const p = $('pull');
    if (pullDy <= 0 || !pullAllowed()) {
      p.classList.remove('is-pulling', 'is-ready');
      p.style.height = '';
      return;
    }
    const ready = pullDy >= PULL_AT;
    p.classList.add('is-pulling');
    p.classList.toggle('is-ready', ready);
    p.style.height = Math.min(Math.round(pullDy * 0.5), 72) + 'px';
    $('pull-text').textContent = ready ? 'Engedje el a frissítéshez' : 'Húzza le a frissítéshez';
  }

  function onTouchEnd() {
    if (pullStart === null) return;
    const go = pullDy >= PULL_AT && pullAllowed();
    pullReset();
    if (go) refresh();
  }

  // ---- wiring --------------------------------------------------------------

  function markSiteDone(index) {
    const sites = (S.day && Array.isArray(S.day.sites)) ? S.day.sites : [];
    const site = sites[index];
    if (!site) return;
    const open = (Array.isArray(site.activities) ? site.activities : [])
      .filter((a) => isPlanned(str(a.class)) && !pendingFor(str(a.key)));
    const where = str(site.site) || str(site.customer);
    if (!open.length || !window.confirm('Mind a(z) ' + open.length + ' tevékenység elvégezve itt: ' + where + '?')) return;
    for (const a of open) sendMark({ key: str(a.key), action: 'done' });
  }

  function onSitesClick(e) {
    const b = e.target.closest('button[data-action]');
    if (!b || b.disabled) return;
    const key = b.dataset.key;
    switch (b.dataset.action) {
      case 'done': sendMark({ key, action: 'done' }); break;
      case 'alldone': markSiteDone(Number(b.dataset.site)); break;
      case 'undone': sendMark({ key, action: 'undone' }); break;
      case 'notdone': openNotDone(key, b); break;
      case 'cash': openCash(key, b); break;
      case 'photo': openPhoto(key, b); break;
      case 'sign': openSign(key, b); break;
      case 'ack': acknowledge(b.dataset.id); break;
      default: break;
    }
  }

  // What waits goes again: the connection is back, the timer, "Küldés most".
  function retry() {
    if (!S.csrf || !mine().length || S.busy > 0 || document.body.dataset.screen !== 'day') return;
    serial(async () => {
      if (await flushQueue()) await loadDay();
    });
  }

  async function boot() {
    let sess = null;
    try {
      const [s, queue, refused, lastSend, date] = await Promise.all([
        idb.get('kv', 'session'), idb.all('queue'), idb.all('refused'), idb.get('kv', 'lastSend'), idb.get('kv', 'date'),
      ]);
      sess = s || null;
      S.queue = Array.isArray(queue) ? queue.sort((a, b) => a.seq - b.seq) : [];
      S.refused = Array.isArray(refused) ? refused.sort((a, b) => (a.at || 0) - (b.at || 0)) : [];
      S.lastSend = Number(lastSend) || 0;
      S.wantedDate = date || null;
    } catch (e) {
      storeFailed(e);
    }
    if (sess && sess.driver) S.driver = str(sess.driver);
    if (sessionValid(sess)) {
      S.csrf = sess.csrf;
      S.name = str(sess.name);
      S.days = Array.isArray(sess.days) ? sess.days.map(str) : [];
      S.expires = str(sess.expires);
      store.set('vl.csrf', S.csrf);
      enterDay(await storedDay(S.wantedDate));
    } else {
      renderNet();
      showLogin(sess ? TEXT.expired : '');
    }
  }

  function start() {
    $('login-form').addEventListener('submit', onLogin);
    $('logout').addEventListener('click', onLogout);
    $('refresh').addEventListener('click', () => refresh());
    $('send-now').addEventListener('click', () => refresh());
    $('day-close').addEventListener('click', closeDay);
    $('closed-back').addEventListener('click', () => {
      showScreen('day');
      render();
      $('day-close').focus();
    });
    $('changed-ok').addEventListener('click', () => { $('changed-banner').hidden = true; });
    $('day-select').addEventListener('change', async (e) => {
      S.wantedDate = e.target.value || null;
      if (S.wantedDate) idb.set('date', S.wantedDate).catch(storeFailed); else idb.del('date').catch(storeFailed);
      if (!S.online && S.wantedDate) {
        const d = await idb.get('days', S.wantedDate).catch(() => null);
        if (d) applyDay(d, true);
      }
      refresh();
    });
    $('sites').addEventListener('click', onSitesClick);
    $('refused').addEventListener('click', onSitesClick);
    $('notdone-remark').addEventListener('input', updateCounter);
    $('notdone-reason').addEventListener('change', () => { $('notdone-error').hidden = true; });
    $('notdone-save').addEventListener('click', saveNotDone);
    $('notdone-cancel').addEventListener('click', closeSheets);
    $('cash-ok').addEventListener('click', saveCash);
    $('cash-cancel').addEventListener('click', closeSheets);
    $('photo-input').addEventListener('change', onPhotoChosen);
    $('photo-save').addEventListener('click', savePhoto);
    $('photo-cancel').addEventListener('click', closeSheets);
    $('sign-save').addEventListener('click', saveSign);
    $('sign-cancel').addEventListener('click', closeSheets);
    $('sign-clear').addEventListener('click', () => { clearPad(); $('sign-name').focus(); });
    const padEl = $('sign-pad');
    padEl.addEventListener('pointerdown', onPadDown);
    padEl.addEventListener('pointermove', onPadMove);
    padEl.addEventListener('pointerup', onPadUp);
    padEl.addEventListener('pointercancel', onPadUp);
    for (const id of SHEETS) {
      $(id).addEventListener('click', (e) => { if (e.target === e.currentTarget) closeSheets(); });
    }
    document.addEventListener('keydown', (e) => {
      if (e.key === 'Escape' && document.body.classList.contains('has-sheet')) closeSheets();
    });
    window.addEventListener('touchstart', onTouchStart, { passive: true });
    window.addEventListener('touchmove', onTouchMove, { passive: true });
    window.addEventListener('touchend', onTouchEnd, { passive: true });
    window.addEventListener('touchcancel', pullReset, { passive: true });
    window.addEventListener('online', retry);
    window.addEventListener('offline', () => setOnline(false));
    window.setInterval(retry, 30000);
    // Back on the page after a while (the phone was in the pocket): read the day again.
    document.addEventListener('visibilitychange', () => {
      if (document.visibilityState === 'visible' && S.csrf && document.body.dataset.screen === 'day' &&
          Date.now() - S.lastLoad > 60000) refresh();
    });

    if ('serviceWorker' in navigator) {
      navigator.serviceWorker.register('/sw.js', { scope: '/' }).catch(() => { /* the page works without it online */ });
      navigator.serviceWorker.ready.then(() => { document.body.dataset.sw = 'ready'; });
    }

    setBusy(0);
    document.body.dataset.loads = '0';
    boot();
  }

  if (document.readyState === 'loading') document.addEventListener('DOMContentLoaded', start);
  else start();
})();
