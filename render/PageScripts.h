#pragma once

#include <QString>

// The scripts the renderer runs in a page. They run in a world of their own
// (QWebEngineScript::ApplicationWorld): they share the page's document but
// not its JavaScript globals, so a page can neither see nor replace them.
namespace PageScripts {

// Installed in every document as it is created: counts the document changes
// that can bring links (nodes added or removed, an href set), keeps every
// resource timing entry so that finished requests can be counted, and gives
// the later scripts a box function.
QString watcher();
// [finished resource requests, document changes, readyState, watcher present]
QString settleProbe();
// {url, title, total, anchors: [[tag, href, text, rel, x, y, width, height, visible], ...]}:
// the a[href] and area[href] of the document and its open shadow trees, at
// most maxAnchors of them, boxes in document coordinates. The elements are
// kept for scrollToAnchor and viewportBoxes.
QString collectAnchors(int maxAnchors, int maxText, int maxHref);
// Scrolls the kept anchor at index into the middle of the viewport; false
// when it is gone.
QString scrollToAnchor(int index);
// {width, height, boxes: [[x, y, width, height] or null, ...]}: the viewport
// and the kept anchors' boxes in viewport coordinates.
QString viewportBoxes(const QList<int> &indexes);

} // namespace PageScripts
