#include "outputs/PostingHelp.h"

#include "outputs/Posting.h"

namespace {

const QString kCrLf = QStringLiteral("\r\n");

QString fixedExample()
{
    using namespace PostingExample;
    const QString sample = QStringLiteral("http://") + scriptHost + QStringLiteral("/getlinks.asp?mySite=");
    return QStringLiteral("Each place there is a variable (starting with a $) in your script URL it will be "
                          "replaced by actual information from your results list.  The software will modify "
                          "and hit your URL once for each item in your results list, triggering your script "
                          "for each item.")
         + kCrLf + kCrLf
         + QStringLiteral("For example, if your results list contained the following four items:") + kCrLf + kCrLf
         + QStringLiteral("Main Site: ") + mainSite + kCrLf
         + QStringLiteral("Linking Site: ") + linkingSite + kCrLf
         + QStringLiteral("Status: Direct Link") + kCrLf
         + QStringLiteral("Actual Link URL: ") + foundOn + kCrLf
         + kCrLf
         + sample + QStringLiteral("$MainSite&&myURL=$LinkingSite&&myStatus=$Status&&myLinkPage=$FoundOn")
         + kCrLf + QStringLiteral("would become") + kCrLf
         + sample + mainSite + QStringLiteral("&&myURL=") + linkingSite
         + QStringLiteral("&&myStatus=True&&myLinkPage=") + foundOn
         + kCrLf + kCrLf;
}

QString withExampleValues(const QString &text)
{
    using namespace PostingExample;
    return replaceUrlVariables(text, mainSite, foundOn, linkingSite, QStringLiteral("True"));
}

bool isUntouchedTemplate(const QString &text)
{
    return text.isEmpty() || text == QLatin1String("http://");
}

} // namespace

HelpText urlVariablesHelp(PostingWindow window)
{
    HelpText help;
    help.title = QStringLiteral("URL Variables");
    if (window == PostingWindow::Main)
        help.title += kCrLf + kCrLf
                    + QStringLiteral("These values will be URL Encoded in order to keep the integrity of the posting link.");
    help.text = QStringLiteral("Where ever you place the following variables in your link, the software will "
                               "replace them with the actual results of your scan, and hit the resulting url "
                               "once, for each item in your results list.")
              + kCrLf + kCrLf
              + QStringLiteral("$MainSite - Inserts the Domain/URL of your Main Site ") + kCrLf
              + QStringLiteral("$LinkingSite - Inserts the Domain/URL from your Remote Site List") + kCrLf
              + QStringLiteral("$Status - Inserts 'True' if a reciprocal link was found, otherwise inserts 'False'") + kCrLf
              + QStringLiteral("$FoundOn - Inserts the Domain/URL of the page a reciprocal link was found on") + kCrLf
              + QStringLiteral("$Notes - Inserts the link notes of the item, such as 'nofollow, noindex page', "
                               "or nothing when the link passes its value")
              + kCrLf
              + QStringLiteral("$Anchor - Inserts the words of the link, such as 'Best blue widgets', or nothing "
                               "when none were recorded")
              + kCrLf + kCrLf;
    return help;
}

HelpText urlExampleHelp(PostingWindow window, const QString &templateText)
{
    HelpText help;
    help.title = QStringLiteral("URL Example");
    help.text = fixedExample();
    const QString intro = QStringLiteral("If the same site existed in your results list, the URL you entered");
    const QString outro = QStringLiteral("After replacing all variables in your URL.");

    if (window == PostingWindow::Main) {
        help.title += kCrLf + kCrLf
                    + QStringLiteral("By creating a script enabled page (getlinks.asp in the above example) you can "
                                     "grab the results from the URL when it is hit, and manipulate items in a link "
                                     "database or create an entire link page on the fly based on these values.");
        if (isUntouchedTemplate(templateText)) {
            help.text += QStringLiteral("Enter a test URL in the first \"Script URL\" field and click this button "
                                        "again to see it's variables replaced.");
            return help;
        }
        QString entered = templateText;
        entered.replace(QLatin1String("&"), QLatin1String("&&"));
        QString replaced = withExampleValues(entered);
        replaced.replace(QLatin1String("?"), QStringLiteral("?") + kCrLf);
        replaced.replace(QLatin1String("&&"), QStringLiteral("&&") + kCrLf);
        help.text += intro + kCrLf + kCrLf + entered + kCrLf + QStringLiteral("would become") + kCrLf + kCrLf
                   + replaced + kCrLf + kCrLf + outro;
        return help;
    }

    if (isUntouchedTemplate(templateText)) {
        help.text += QStringLiteral("Enter a test URL and click this button again to see it's variables replaced.");
        return help;
    }
    help.text += intro + kCrLf + kCrLf + templateText + kCrLf + QStringLiteral("would become") + kCrLf
               + withExampleValues(templateText) + kCrLf + kCrLf + outro;
    return help;
}
