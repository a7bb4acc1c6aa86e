#pragma once

class QWidget;

// The "Post" tab page: the posting frame framePost with its heading; its
// per-Main-Site chooser cmbSites is refilled by the main window whenever the
// tab is selected.
QWidget *createPostTabPage(QWidget *parent);
