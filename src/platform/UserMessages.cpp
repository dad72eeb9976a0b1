#include "UserMessages.h"

#include <cstdio>

namespace {

class CStandardErrorMessages : public CUserMessages {
public:
    void Show(const QString& text, EMessageKind) override
    {
        std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
    }
    bool AskOkCancel(const QString& caption, const QString& text) override
    {
        std::fprintf(stderr, "%s: %s\n", caption.toLocal8Bit().constData(),
                     text.toLocal8Bit().constData());
        return true;
    }
};

CStandardErrorMessages StandardError;
CUserMessages* Current = &StandardError;

}  // namespace

CUserMessages& UserMessages()
{
    return *Current;
}

void SetUserMessages(CUserMessages* messages)
{
    Current = messages ? messages : &StandardError;
}
