// The drivers' page: login, the day's sites and activities, marks sent to
// the service (docs/drivers-api.md). Plain script, no inline code (the
// service's Content-Security-Policy forbids it); data goes into the page
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

  const TEXT = {
    expired: 'A munkamenet lejárt, kérem, lépjen be újra.',
    offline: 'Nincs kapcsolat a szerverrel. Próbálja újra a Frissítés gombbal.',
    serverError: 'A szerver hibát jelzett. Próbálja újra később.',
    noDriver: 'Adja meg a sofőrkódot.',
    noPin: 'Adja meg a PIN-t.',
    noReason: 'Válasszon okot.',
    noReasons: 'Nincs választható ok: kérem, hívja az irodát.',
    sending: 'Küldés…',
    queued: 'Elküldésre vár.',
    waiting: (n) => n + ' jelölés elküldésre vár. A Frissítés gombbal újra elküldheti.',
    unsent: (n) => n + ' jelölés még nincs elküldve. Biztosan kilép?',
    ok: {
      done: 'Rögzítve: elvégezve.',
      notdone: 'Rögzítve: nem végezhető el.',
      undone: 'Visszavonva.',
      cash: 'Rögzítve: beszedve.',
    },
  };

  // ---- state ---------------------------------------------------------------

  const S = {
    csrf: store.get('vl.csrf'),
    driver: store.get('vl.driver'),
    name: store.get('vl.name') || '',
    days: store.getJson('vl.days', []),
    wantedDate: store.get('vl.date'),   // the day the driver chose (null: the service's default)
    day: null,                          // the day shown
    shownDate: null,
    shownVersion: null,                 // the version of the day shown, as the driver saw it
    messages: new Map(),                // key -> {kind: 'ok'|'refused', text}
    pending: store.getJson('vl.pending', []),   // marks not yet answered: [{driver, mark}]
    chain: Promise.resolve(),           // every request in turn
    refreshQueued: false,
    sending: false,                     // marks on their way
    ownNextRead: false,                 // the next read shows only the driver's own marks
    loads: 0,
    busy: 0,
    lastLoad: 0,
  };

  // ---- the service ---------------------------------------------------------

  class NetError extends Error {}

  async function api(method, path, body) {
    const headers = { 'Accept': 'application/json' };
    if (body !== undefined) headers['Content-Type'] = 'application/json';
    if (method === 'POST' && S.csrf) headers['X-CSRF-Token'] = S.csrf;
    let resp;
    try {
      resp = await fetch(path, {
        method, headers, credentials: 'same-origin', cache: 'no-store',
        body: body === undefined ? undefined : JSON.stringify(body),
      });
    } catch (e) {
      throw new NetError(str(e && e.message));
    }
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

  function forgetSession() {
    S.csrf = null;
    store.del('vl.csrf');
    S.day = null;
    S.shownDate = null;
    S.shownVersion = null;
    S.messages.clear();
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
      if (S.driver !== str(d.driver)) {
        // Another driver on this phone: the marks waiting were not theirs to send.
        S.pending = [];
        savePending();
        S.wantedDate = null;
        store.del('vl.date');
      }
      S.csrf = d.csrf;
      S.driver = str(d.driver);
      S.name = str(d.name);
      S.days = Array.isArray(d.days) ? d.days.map(str) : [];
      store.set('vl.csrf', S.csrf);
      store.set('vl.driver', S.driver);
      store.set('vl.name', S.name);
      store.setJson('vl.days', S.days);
      remembered.set('vl.lastDriver', S.driver);
      err.hidden = true;
      $('login-pin').value = '';
      enterDay();
    } catch (e) {
      if (!(e instanceof NetError)) throw e;
      err.textContent = 'Nincs kapcsolat a szerverrel.';
      err.hidden = false;
    } finally {
      button.disabled = false;
    }
  }

  function enterDay() {
    $('driver-name').textContent = S.name || S.driver || '';
    $('sites').replaceChildren();
    $('no-work').hidden = true;
    $('day-total').hidden = true;
    $('changed-banner').hidden = true;
    showStatus('', '');
    showScreen('day');
    refresh();
  }

  function onLogout() {
    const mine = S.pending.filter((p) => p.driver === S.driver).length;
    if (mine > 0 && !window.confirm(TEXT.unsent(mine))) return;
    serial(async () => {
      try { await api('POST', '/api/logout', {}); } catch (e) { /* leaving all the same */ }
      S.pending = [];
      savePending();
      S.wantedDate = null;
      store.del('vl.date');
      forgetSession();
      showLogin('');
    });
  }

  // ---- the day -------------------------------------------------------------

  // Reads the day again (after sending what waits); one waiting refresh is enough.
  function refresh() {
    if (S.refreshQueued) return S.chain;
    S.refreshQueued = true;
    return serial(async () => {
      S.refreshQueued = false;
      if (!S.csrf) return;
      if (!(await flushPending())) return;
      await loadDay();
    });
  }

  async function loadDay() {
    const date = S.wantedDate;
    let r;
    try {
      r = await api('GET', '/api/day' + (date ? '?date=' + encodeURIComponent(date) : ''));
    } catch (e) {
      if (!(e instanceof NetError)) throw e;
      showStatus(TEXT.offline, 'error');
      return;
    } finally {
      S.loads += 1;
      document.body.dataset.loads = String(S.loads);
    }
    if (r.status === 401) { sessionExpired(); return; }
    if ((r.status === 400 || r.status === 403) && date) {
      // The chosen day is no longer offered: back to the service's own day.
      S.wantedDate = null;
      store.del('vl.date');
      await loadDay();
      return;
    }
    if (!r.ok || !r.data || typeof r.data !== 'object') {
      showStatus(errorText(r), 'error');
      return;
    }
    applyDay(r.data);
  }

  function applyDay(d) {
    const date = str(d.date);
    const version = str(d.version);
    const own = S.ownNextRead;
    S.ownNextRead = false;
    if (!own && S.shownDate === date && S.shownVersion !== null && version !== S.shownVersion) {
      $('changed-banner').hidden = false;
    }
    if (S.shownDate !== null && S.shownDate !== date) {
      S.messages.clear();
      $('changed-banner').hidden = true;
    }
    S.day = d;
    S.shownDate = date;
    S.shownVersion = version;
    S.lastLoad = Date.now();
    if (Array.isArray(d.days)) {
      S.days = d.days.map(str);
      store.setJson('vl.days', S.days);
    }
    if (d.name) {
      S.name = str(d.name);
      $('driver-name').textContent = S.name;
    }
    const waiting = S.pending.filter((p) => p.driver === S.driver).length;
    showStatus(waiting ? TEXT.waiting(waiting) : '', waiting ? 'warn' : '');
    render();
  }

  function render() {
    const d = S.day;
    if (!d) return;
    renderDate(d);
    const sites = Array.isArray(d.sites) ? d.sites : [];
    const box = $('sites');
    box.replaceChildren(...sites.map(renderSite));
    $('no-work').hidden = sites.length > 0;
    const total = $('day-total');
    if (Number(d.cashGross) > 0 && sites.filter((s) => Number(s.cashGross) > 0).length > 1) {
      total.replaceChildren(document.createTextNode('Összesen beszedendő: '),
                            el('span', 'amount', str(d.cashGrossText) + ' Ft'));
      total.hidden = false;
    } else {
      total.hidden = true;
    }
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

  function pendingFor(key) {
    return S.pending.some((p) => p.mark.key === key);
  }

  function stateChip(state, stateName, cls) {
    const chip = el('span', 'state ' + (isPlanned(cls) ? 'state-planned' : isDone(cls) ? 'state-done' : 'state-other'),
                    str(stateName) || str(state));
    chip.dataset.state = str(state);
    return chip;
  }

  function messageFor(key, box) {
    if (pendingFor(key)) {
      box.append(el('p', 'msg msg-wait', S.sending ? TEXT.sending : TEXT.queued));
      return;
    }
    const m = S.messages.get(key);
    if (m) box.append(el('p', 'msg ' + (m.kind === 'ok' ? 'msg-ok' : 'msg-refused'), m.text));
  }

  function button(label, cls, action, key) {
    const b = el('button', 'btn ' + cls, label);
    b.type = 'button';
    b.dataset.action = action;
    b.dataset.key = key;
    if (pendingFor(key)) b.disabled = true;
    return b;
  }

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
    messageFor(key, row);

    const buttons = el('div', 'act-buttons');
    if (isPlanned(cls)) {
      buttons.append(button('Elvégezve', 'btn-success', 'done', key),
                     button('Nem végezhető el', 'btn-danger-outline', 'notdone', key));
    } else if (isDone(cls)) {
      buttons.append(button('Visszavonás', 'btn-light', 'undone', key));
    }
    if (buttons.childElementCount) row.append(buttons);
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

  function newMarkId() {
    const n = Number(store.get('vl.seq') || '0') + 1;
    store.set('vl.seq', String(n));
    const rnd = new Uint32Array(1);
    window.crypto.getRandomValues(rnd);
    return 'm-' + Date.now().toString(36) + '-' + n.toString(36) + '-' + rnd[0].toString(36);
  }

  function savePending() { store.setJson('vl.pending', S.pending); }

  function sendMark(fields) {
    const found = findRow(fields.key);
    if (!found) return;
    const mark = Object.assign({ id: newMarkId() }, fields, { seen: str(found.row.state) });
    S.pending.push({ driver: S.driver, mark });
    savePending();
    S.messages.delete(fields.key);
    S.sending = true;
    render();
    serial(async () => {
      if (await flushPending()) await loadDay();
    });
  }

  // Sends the driver's waiting marks; false when they could not be sent (they wait then).
  async function flushPending() {
    for (;;) {
      const mine = S.pending.filter((p) => p.driver === S.driver);
      if (!mine.length) return true;
      const batch = mine.slice(0, 200).map((p) => p.mark);
      let r;
      S.sending = true;
      try {
        r = await api('POST', '/api/marks', batch);
      } catch (e) {
        S.sending = false;
        if (!(e instanceof NetError)) throw e;
        showStatus(TEXT.waiting(mine.length), 'warn');
        render();
        return false;
      }
      S.sending = false;
      // A session that ended (or was replaced by a login elsewhere) keeps the
      // marks: they go after the next login, their ids keep them from counting twice.
      if (r.status === 401 || r.status === 403) { sessionExpired(); return false; }
      if (r.status >= 500 || r.status === 0) {
        showStatus(errorText(r) + ' ' + TEXT.waiting(mine.length), 'error');
        render();
        return false;
      }
      const ids = new Set(batch.map((m) => m.id));
      S.pending = S.pending.filter((p) => !ids.has(p.mark.id));
      savePending();
      if (!r.ok || !r.data || !Array.isArray(r.data.results)) {
        const text = errorText(r);
        for (const m of batch) S.messages.set(m.key, { kind: 'refused', text });
        render();
        continue;
      }
      const byId = new Map(batch.map((m) => [m.id, m]));
      let refused = false;
      for (const res of r.data.results) {
        const m = byId.get(res && res.id);
        if (!m) continue;
        const found = findRow(m.key);
        if (found && typeof res.state === 'string' && res.state) {
          found.row.state = res.state;
          found.row.stateName = str(res.stateName);
          found.row.class = str(res.class);
        }
        if (res.result === 'ok' || res.result === 'repeated') {
          S.messages.set(m.key, { kind: 'ok', text: TEXT.ok[m.action] || 'Rögzítve.' });
        } else {
          refused = true;
          S.messages.set(m.key, { kind: 'refused', text: str(res.text) || 'A jelölést a szerver nem fogadta el.' });
        }
      }
      // What the marks changed is ours: the day's new version is the one the
      // driver has seen. A refusal says the day is not what the phone showed:
      // the version shown stays, so the next read tells of the change.
      // An answer without a version: the next read of the day is taken as the
      // driver's own (an office's change in between then goes unnoticed).
      if (!refused) {
        if (typeof r.data.version === 'string' && r.data.version) S.shownVersion = r.data.version;
        else S.ownNextRead = true;
      }
      render();
    }
  }

  // ---- the panels ----------------------------------------------------------

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
    const wasOpen = !$('notdone-panel').hidden || !$('cash-panel').hidden;
    $('notdone-panel').hidden = true;
    $('cash-panel').hidden = true;
    document.body.classList.remove('has-sheet');
    sheetKey = null;
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
      default: break;
    }
  }

  function start() {
    $('login-form').addEventListener('submit', onLogin);
    $('logout').addEventListener('click', onLogout);
    $('refresh').addEventListener('click', () => refresh());
    $('changed-ok').addEventListener('click', () => { $('changed-banner').hidden = true; });
    $('day-select').addEventListener('change', (e) => {
      S.wantedDate = e.target.value || null;
      if (S.wantedDate) store.set('vl.date', S.wantedDate); else store.del('vl.date');
      refresh();
    });
    $('sites').addEventListener('click', onSitesClick);
    $('notdone-remark').addEventListener('input', updateCounter);
    $('notdone-reason').addEventListener('change', () => { $('notdone-error').hidden = true; });
    $('notdone-save').addEventListener('click', saveNotDone);
    $('notdone-cancel').addEventListener('click', closeSheets);
    $('cash-ok').addEventListener('click', saveCash);
    $('cash-cancel').addEventListener('click', closeSheets);
    for (const id of ['notdone-panel', 'cash-panel']) {
      $(id).addEventListener('click', (e) => { if (e.target === e.currentTarget) closeSheets(); });
    }
    document.addEventListener('keydown', (e) => {
      if (e.key === 'Escape' && document.body.classList.contains('has-sheet')) closeSheets();
    });
    window.addEventListener('touchstart', onTouchStart, { passive: true });
    window.addEventListener('touchmove', onTouchMove, { passive: true });
    window.addEventListener('touchend', onTouchEnd, { passive: true });
    window.addEventListener('touchcancel', pullReset, { passive: true });
    // Back on the page after a while (the phone was in the pocket): read the day again.
    document.addEventListener('visibilitychange', () => {
      if (document.visibilityState === 'visible' && S.csrf && document.body.dataset.screen === 'day' &&
          Date.now() - S.lastLoad > 60000) refresh();
    });

    setBusy(0);
    document.body.dataset.loads = '0';
    if (S.csrf) enterDay(); else showLogin('');
  }

  if (document.readyState === 'loading') document.addEventListener('DOMContentLoaded', start);
  else start();
})();
