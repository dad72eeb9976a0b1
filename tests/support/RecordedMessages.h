#pragma once
// Records what core code tells the user, and answers its questions, for
// the time a test holds it.

#include "platform/UserMessages.h"

#include <QString>

#include <vector>

class CRecordedMessages : public CUserMessages {
public:
    CRecordedMessages() { SetUserMessages(this); }
    ~CRecordedMessages() override { SetUserMessages(nullptr); }
    CRecordedMessages(const CRecordedMessages&) = delete;
    CRecordedMessages& operator=(const CRecordedMessages&) = delete;

    void Show(const QString& text, EMessageKind kind) override
    {
        Shown.push_back(text);
        Kinds.push_back(kind);
    }
    bool AskOkCancel(const QString& caption, const QString& text) override
    {
        Asked.push_back(caption + "|" + text);
        return AnswerOk;
    }

    std::vector<QString> Shown;
    std::vector<EMessageKind> Kinds;
    std::vector<QString> Asked;  // caption|text
    bool AnswerOk = true;
};
