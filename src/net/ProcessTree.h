#pragma once

#include <QList>

// Memory of a process and of the processes it started, read from /proc: the
// page renderer is a process tree (the helper, the browser engine's zygote and
// one renderer per page), and a limit on one process alone would miss a
// renderer that grows without end.
namespace ProcessTree {

// Every process whose parent chain leads to root (root itself not included);
// none for a root of 0 or 1.
QList<qint64> descendants(qint64 root);
// Resident memory of one process in bytes; 0 when it is gone.
qint64 residentBytes(qint64 pid);
// Its proportional share of resident memory (pages shared with other
// processes split among them), so that a sum over a tree counts a shared
// library once; the resident size where the kernel does not tell it.
qint64 proportionalBytes(qint64 pid);
// The proportional memory of root and all its descendants.
qint64 treeBytes(qint64 root);

} // namespace ProcessTree
