#include "ui/BrowserView.h"

#include "ui/TextBrowserStandIn.h"
#include "ui/WebEngineBrowser.h"

static bool &standInChosen()
{
    static bool chosen = false;
    return chosen;
}

void BrowserView::setUseStandIn(bool standIn)
{
    standInChosen() = standIn;
}

bool BrowserView::usesStandIn()
{
#ifdef RECIPLEX_HAVE_WEBENGINE
    return standInChosen();
#else
    return true;
#endif
}

BrowserView *BrowserView::create(QWidget *parent)
{
#ifdef RECIPLEX_HAVE_WEBENGINE
    if (!standInChosen())
        return new WebEngineBrowser(parent);
#endif
    return new TextBrowserStandIn(parent);
}

void BrowserView::navigate(const QString &address)
{
    m_requested = address;
    navigateTo(address);
}
