#pragma once

#include <QStringView>

// What an element's own style attribute says about whether it is seen:
// "display" and "visibility", the last declaration winning unless an
// earlier one is "!important". Nothing else of CSS is read.
struct InlineStyle
{
    enum class Display { Unset, None, Shown };
    enum class Visibility { Unset, Hidden, Visible };

    Display display = Display::Unset;
    Visibility visibility = Visibility::Unset;

    static InlineStyle parse(QStringView style);
};
