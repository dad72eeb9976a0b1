#pragma once
// The one way core code speaks to the user: a message to show, or an
// OK/Cancel question. The window answers with message boxes, the command
// line prints to standard error and answers OK, tests record the texts.

#include <QString>

enum class EMessageKind {
    Information,
    Warning,
    Error,
};

class CUserMessages {
public:
    virtual ~CUserMessages() = default;
    virtual void Show(const QString& text, EMessageKind kind) = 0;
    // True when the user answers OK.
    virtual bool AskOkCancel(const QString& caption, const QString& text) = 0;
};

// The messages in force: standard error unless another was set.
CUserMessages& UserMessages();

// Installs `messages` (not owned) for the whole program; nullptr goes back
// to standard error.
void SetUserMessages(CUserMessages* messages);
