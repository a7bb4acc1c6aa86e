#pragma once

#include "net/RenderTypes.h"

#include <QByteArray>
#include <QJsonObject>

// The conversation between a caller and reciplex-render over the helper's
// standard input and output: one JSON object per line (UTF-8, no line break
// inside; JSON escapes any in strings).
//
//   helper, once at start:  {"type":"hello","protocol":1,"program":"reciplex-render","version":"3.0","maxPages":2}
//   caller:                 {"type":"render","id":7,"url":"http://...","timeoutMs":15000,"javaScript":true,
//                            "userAgent":"","ignoreCertificateErrors":false,
//                            "proof":{"path":"/abs/x.png","targets":["mysite.com"]}}      (proof optional)
//   caller:                 {"type":"cancel","id":7}
//   helper, once per id:    {"type":"result","id":7,"ok":true,"url":"...","title":"...","settled":true,
//                            "elapsedMs":900,"anchorsInDocument":1,"anchors":[{"tag":"a","href":"...",
//                            "text":"...","rel":"","x":8,"y":60,"width":62,"height":19,"visible":true}],
//                            "proof":{"path":"/abs/x.png","outlined":1,"problem":""}}
//                           {"type":"result","id":7,"ok":false,"reason":"..."}
//   helper, a line it cannot read: {"type":"error","reason":"..."}
//
// Every render request is answered exactly once, a cancelled one too. The
// caller ends the conversation by closing the helper's input. A new protocol
// number means a message changed meaning; a caller refuses a helper that
// speaks another.
namespace RenderProtocol {

inline constexpr int kVersion = 1;
inline constexpr int kMaxPagesAtOnce = 2;
// Lines longer than these are refused: a request is small, an answer holds at
// most kMaxAnchors anchors whose texts and hrefs are cut.
inline constexpr qsizetype kMaxRequestLine = 1 << 20;
inline constexpr qsizetype kMaxAnswerLine = 64 << 20;
inline constexpr int kMaxAnchors = 10000;
inline constexpr int kMaxTextLength = 500;
inline constexpr int kMaxHrefLength = 4096;
inline constexpr int kMinTimeoutMs = 100;
inline constexpr int kMaxTimeoutMs = 10 * 60 * 1000;

// The object on one line; false with the reason when it is not a JSON object.
bool parseLine(const QByteArray &line, QJsonObject *message, QString *error);
// The object as one line, '\n' included.
QByteArray toLine(const QJsonObject &message);

QJsonObject hello(const QString &programVersion, int maxPages);
QJsonObject renderMessage(quint64 id, const RenderRequest &request);
QJsonObject cancelMessage(quint64 id);
QJsonObject errorMessage(const QString &reason);
QJsonObject resultMessage(quint64 id, const RenderResult &result);

// The helper's reading of a render message; false with the reason when a
// member is missing or out of range.
bool readRender(const QJsonObject &message, quint64 *id, RenderRequest *request, QString *error);
// The caller's reading of a result message (its ticket left at 0).
RenderResult readResult(const QJsonObject &message);

} // namespace RenderProtocol
