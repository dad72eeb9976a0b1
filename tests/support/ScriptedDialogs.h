#pragma once
// Answers the window's choosers from a script, for the time a test holds
// it, and records what they were asked.

#include "platform/UserDialogs.h"

#include <QFont>
#include <QString>

#include <deque>
#include <vector>

class CScriptedDialogs : public CUserDialogs {
public:
    CScriptedDialogs() { SetUserDialogs(this); }
    ~CScriptedDialogs() override { SetUserDialogs(nullptr); }
    CScriptedDialogs(const CScriptedDialogs&) = delete;
    CScriptedDialogs& operator=(const CScriptedDialogs&) = delete;

    struct SAsked {
        QString filter;
        QString initialPath;
        int filterIndex = -1;  // save dialogs: the entry first selected
    };
    struct SSaveAnswer {
        QString path;     // empty: cancel
        int filterIndex;  // the entry selected when the dialog closes
    };

    QString GetOpenFileName(const QString& filter, const QString& initialPath) override
    {
        OpenAsked.push_back({filter, initialPath, -1});
        if (OpenAnswers.empty())
            return {};
        const QString answer = OpenAnswers.front();
        OpenAnswers.pop_front();
        return answer;
    }
    QString GetSaveFileName(const QString& filter, const QString& initialPath,
                            int& filterIndex) override
    {
        SaveAsked.push_back({filter, initialPath, filterIndex});
        if (SaveAnswers.empty())
            return {};
        const SSaveAnswer answer = SaveAnswers.front();
        SaveAnswers.pop_front();
        filterIndex = answer.filterIndex;
        return answer.path;
    }
    bool PickColour(QRgb& colour) override
    {
        if (ColourAnswers.empty())
            return false;
        colour = ColourAnswers.front();
        ColourAnswers.pop_front();
        return true;
    }
    bool PickFont(QFont& font) override
    {
        FontAsked.push_back(font);
        if (FontAnswers.empty())
            return false;
        font = FontAnswers.front();
        FontAnswers.pop_front();
        return true;
    }
    void OpenUrl(const QString& url) override { Opened.push_back(url); }

    std::deque<QString> OpenAnswers;
    std::deque<SSaveAnswer> SaveAnswers;
    std::deque<QRgb> ColourAnswers;
    std::deque<QFont> FontAnswers;
    std::vector<QFont> FontAsked;
    std::vector<SAsked> OpenAsked;
    std::vector<SAsked> SaveAsked;
    std::vector<QString> Opened;
};
