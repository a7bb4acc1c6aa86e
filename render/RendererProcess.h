#pragma once

#include <QtGlobal>

// The browser engine's renderer process of one page. Every page has a profile
// of its own, and the engine never shares a renderer between profiles, so
// ending this process ends that page's scripts and nothing else.
namespace RendererProcess {

// Kills pid at once when it is still one of the engine's processes started
// by this program (a pid can be reused once its process is gone).
void kill(qint64 pid);

} // namespace RendererProcess
