#pragma once

#include <QWidget>

class QLabel;

// The About box: product name across the artwork, version, owner and the
// maker's website, which opens the website window when clicked. No buttons;
// modeless.
class AboutBox : public QWidget
{
    Q_OBJECT
public:
    explicit AboutBox(QWidget *parent = nullptr);
    QString versionText() const;

signals:
    void websiteRequested();

private:
    QLabel *m_version;
};
