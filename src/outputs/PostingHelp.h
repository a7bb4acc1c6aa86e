#pragma once

#include <QString>

// The help texts of the posting controls: "View URL Variables" and "View
// Example" (main window) / "View Example URL" (import windows). Each is shown
// in a message box with one OK button.

enum class PostingWindow { Main, Import };

struct HelpText
{
    QString title;
    QString text;
};

HelpText urlVariablesHelp(PostingWindow window);

// The fixed example followed by a test of the user's template (the main
// window's script URL box, or the import window's "My Script URL:" box).
HelpText urlExampleHelp(PostingWindow window, const QString &templateText);

// The example values used in the texts.
namespace PostingExample {
inline const QString mainSite = QStringLiteral("my-main-site.example");
inline const QString linkingSite = QStringLiteral("partner-site.example");
inline const QString foundOn = QStringLiteral("partner-site.example/links.htm");
inline const QString scriptHost = QStringLiteral("scripts.my-main-site.example");
}
