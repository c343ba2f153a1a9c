// The drivers' page's service worker: the page's own files are kept in a
// cache named after this version and served from it, so the page opens
// without signal. The service's answers (/api/…) are never cached nor
// touched: the worker lets them go to the network as the page sent them.
// A change of any page file goes with a new VERSION (the old cache is
// removed when the new worker takes over).
'use strict';

const VERSION = 'vl-driver-6';
const PREFIX = 'vl-driver-';
const FILES = ['/', '/static/app.js', '/static/app.css', '/static/icon.svg',
               '/static/icon-192.png', '/static/icon-512.png', '/manifest.webmanifest'];

self.addEventListener('install', (event) => {
  event.waitUntil(
    caches.open(VERSION)
      .then((cache) => cache.addAll(FILES.map((u) => new Request(u, { cache: 'reload' }))))
      .then(() => self.skipWaiting()));
});

self.addEventListener('activate', (event) => {
  event.waitUntil(
    caches.keys()
      .then((names) => Promise.all(names.filter((n) => n.startsWith(PREFIX) && n !== VERSION)
                                        .map((n) => caches.delete(n))))
      .then(() => self.clients.claim()));
});

self.addEventListener('fetch', (event) => {
  const req = event.request;
  if (req.method !== 'GET') return;
  const url = new URL(req.url);
  if (url.origin !== self.location.origin) return;
  if (url.pathname.startsWith('/api/') || url.pathname === '/sw.js') return;
  const path = (req.mode === 'navigate' || url.pathname === '/index.html') ? '/' : url.pathname;
  if (!FILES.includes(path)) return;
  event.respondWith(
    caches.open(VERSION).then((cache) => cache.match(path).then((hit) => {
      if (hit) return hit;
      return fetch(req).then((resp) => {
        if (resp.ok && resp.type === 'basic') cache.put(path, resp.clone());
        return resp;
      });
    })));
});
