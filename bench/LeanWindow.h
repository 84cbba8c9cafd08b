#pragma once

#include "app/WindowOperations.h"

#include <QStringView>

#include <algorithm>

// A window for timing the receive loop. Of the status text it keeps the text last set and the
// number of dots appended since, so an append costs the same however long the line has grown,
// as it does in the real window; the test fake copies the whole text instead, which at one dot
// per poll would make a 16M-poll upload quadratic in the fake alone.
class LeanWindow : public WindowOperations
{
public:
    int boxCount = 0;

    void processEvents(bool) override {}
    bool uploadTextStartsWith(const QString &prefix) const override
    {
        if (prefix.size() <= m_text.size())
            return m_text.startsWith(prefix);
        const QStringView dots = QStringView(prefix).sliced(m_text.size());
        return prefix.startsWith(m_text) && dots.size() <= m_dots &&
               std::all_of(dots.begin(), dots.end(), [](QChar c) { return c == u'.'; });
    }
    void setUploadText(const QString &text) override
    {
        m_text = text;
        m_dots = 0;
    }
    void appendUploadText(const QString &more) override
    {
        if (more == u".") {
            ++m_dots;
            return;
        }
        setUploadText(m_text + QString(m_dots, u'.') + more);
    }
    void setSaveEnabled(bool) override {}
    Answer messageBox(const QString &, Buttons, Icon) override
    {
        ++boxCount;
        return Answer::Ok;
    }
    void clearComPorts() override {}
    void addComPort(const QString &, const QString &) override {}
    int comPortCount() const override { return 0; }
    void selectComPort(int) override {}
    QString comPortText() const override { return {}; }
    void setComPortText(const QString &) override {}
    QString caption() const override { return {}; }
    void setCaption(const QString &) override {}
    QSizeF outerSizeTwips() const override { return {}; }
    QSizeF screenSizeTwips() const override { return {}; }
    void moveTwips(double, double) override {}
    QString programFolder() const override { return {}; }
    void setPortRetryActive(bool) override {}
    void endProcess(int) override {}

private:
    QString m_text;
    qsizetype m_dots = 0;
};
