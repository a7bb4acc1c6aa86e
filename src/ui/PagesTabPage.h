#pragma once

class QWidget;

// The "Pages" tab page: the "Page Builder" frame (framePageBuilder) that the
// link page builder fills; its chooser Combo3 is refilled by the main window
// whenever the tab is selected.
QWidget *createPagesTabPage(QWidget *parent);
