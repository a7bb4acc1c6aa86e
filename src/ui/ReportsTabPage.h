#pragma once

class QWidget;

// The "Reports" tab page: the report browser (brwReport) filling the page;
// the report's save buttons are added in front of it by the report code.
QWidget *createReportsTabPage(QWidget *parent);
