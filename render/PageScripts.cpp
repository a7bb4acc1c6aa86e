#include "PageScripts.h"

#include <QStringList>

namespace PageScripts {

QString watcher()
{
    return QStringLiteral(R"JS(
(function () {
  if (globalThis.__reciplexWatch) return;
  var watch = globalThis.__reciplexWatch = { changes: 0, anchors: [] };
  try { performance.setResourceTimingBufferSize(100000); } catch (e) {}
  new MutationObserver(function (records) { watch.changes += records.length; })
    .observe(document, { childList: true, subtree: true, attributes: true, attributeFilter: ['href'] });
  // An area has no box of its own: its shape over the image that uses its map.
  function areaBox(area) {
    var map = area.closest('map');
    if (!map || !map.name) return null;
    var img = document.querySelector('img[usemap="#' + CSS.escape(map.name) + '"]');
    if (!img) return null;
    var r = img.getBoundingClientRect();
    var c = (area.getAttribute('coords') || '').split(',').map(parseFloat).filter(function (n) { return !isNaN(n); });
    var shape = (area.getAttribute('shape') || 'rect').toLowerCase();
    var box = { x: r.left, y: r.top, width: r.width, height: r.height, element: img };
    if ((shape === 'rect' || shape === 'rectangle') && c.length >= 4) {
      box.x = r.left + Math.min(c[0], c[2]); box.y = r.top + Math.min(c[1], c[3]);
      box.width = Math.abs(c[2] - c[0]); box.height = Math.abs(c[3] - c[1]);
    } else if ((shape === 'circle' || shape === 'circ') && c.length >= 3) {
      box.x = r.left + c[0] - c[2]; box.y = r.top + c[1] - c[2]; box.width = box.height = 2 * c[2];
    } else if ((shape === 'poly' || shape === 'polygon') && c.length >= 2) {
      var xs = c.filter(function (_, i) { return i % 2 === 0; }), ys = c.filter(function (_, i) { return i % 2 === 1; });
      box.x = r.left + Math.min.apply(null, xs); box.y = r.top + Math.min.apply(null, ys);
      box.width = Math.max.apply(null, xs) - Math.min.apply(null, xs);
      box.height = Math.max.apply(null, ys) - Math.min.apply(null, ys);
    }
    return box;
  }
  watch.box = function (el) {
    var box = el.localName === 'area' ? areaBox(el) : null;
    if (!box) {
      if (el.localName === 'area') return { x: 0, y: 0, width: 0, height: 0, visible: false, element: el };
      var r = el.getBoundingClientRect();
      box = { x: r.left, y: r.top, width: r.width, height: r.height, element: el };
    }
    var style = window.getComputedStyle(box.element);
    box.visible = box.width > 0 && box.height > 0 && style.visibility !== 'hidden' &&
                  style.display !== 'none' && parseFloat(style.opacity || '1') > 0;
    return box;
  };
})();
)JS");
}

QString settleProbe()
{
    return QStringLiteral(R"JS(
(function () {
  var watch = globalThis.__reciplexWatch;
  return [performance.getEntriesByType('resource').length, watch ? watch.changes : 0, document.readyState, !!watch];
})();
)JS");
}

QString collectAnchors(int maxAnchors, int maxText, int maxHref)
{
    return QStringLiteral(R"JS(
(function (limit, maxText, maxHref) {
  var watch = globalThis.__reciplexWatch;
  if (!watch) return null;
  var elements = [], total = 0;
  function visit(root) {
    var list = root.querySelectorAll('a[href], area[href]');
    total += list.length;
    for (var i = 0; i < list.length && elements.length < limit; ++i) elements.push(list[i]);
    var all = root.querySelectorAll('*');
    for (var j = 0; j < all.length; ++j) if (all[j].shadowRoot) visit(all[j].shadowRoot);
  }
  visit(document);
  watch.anchors = elements;
  var sx = window.scrollX, sy = window.scrollY, out = [];
  for (var k = 0; k < elements.length; ++k) {
    var el = elements[k], tag = el.localName, href = el.href;
    if (typeof href !== 'string') { // an SVG link
      var raw = el.getAttribute('href') || '';
      try { href = new URL(raw, el.baseURI).href; } catch (e) { href = raw; }
    }
    var text = tag === 'area' ? (el.getAttribute('alt') || '')
                              : (typeof el.innerText === 'string' ? el.innerText : el.textContent) || '';
    text = text.replace(/\s+/g, ' ').trim();
    if (!text && tag !== 'area') {
      var img = el.querySelector('img[alt]');
      if (img) text = img.getAttribute('alt').replace(/\s+/g, ' ').trim();
    }
    var box = watch.box(el);
    out.push([tag, href.slice(0, maxHref), text.slice(0, maxText), (el.getAttribute('rel') || '').slice(0, 200),
              box.x + sx, box.y + sy, box.width, box.height, box.visible]);
  }
  return { url: location.href, title: document.title.slice(0, 1000), total: total, anchors: out };
})(%1, %2, %3);
)JS")
        .arg(maxAnchors)
        .arg(maxText)
        .arg(maxHref);
}

QString scrollToAnchor(int index)
{
    return QStringLiteral(R"JS(
(function (i) {
  var watch = globalThis.__reciplexWatch;
  var el = watch && watch.anchors[i];
  if (!el || !el.isConnected) return false;
  // A smooth scroll would still be moving when the picture is taken.
  document.documentElement.style.setProperty('scroll-behavior', 'auto', 'important');
  if (document.body) document.body.style.setProperty('scroll-behavior', 'auto', 'important');
  watch.box(el).element.scrollIntoView({ block: 'center', inline: 'center' });
  return true;
})(%1);
)JS")
        .arg(index);
}

QString viewportBoxes(const QList<int> &indexes)
{
    QStringList list;
    for (int i : indexes)
        list << QString::number(i);
    return QStringLiteral(R"JS(
(function (indexes) {
  var watch = globalThis.__reciplexWatch;
  if (!watch) return null;
  var boxes = indexes.map(function (i) {
    var el = watch.anchors[i];
    if (!el || !el.isConnected) return null;
    var b = watch.box(el);
    return b.visible ? [b.x, b.y, b.width, b.height] : null;
  });
  return { width: window.innerWidth, height: window.innerHeight, boxes: boxes };
})([%1]);
)JS")
        .arg(list.join(QLatin1Char(',')));
}

} // namespace PageScripts
