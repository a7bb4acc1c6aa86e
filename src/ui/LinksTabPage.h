#pragma once

class QWidget;

// The "Links" tab page: the results list List3, the label "Errors/Warnings:"
// and the errors list lstErr. Their rows, sorting and menus are the results
// lists' own.
QWidget *createLinksTabPage(QWidget *parent);
