#include "app/TandeoView.h"

#include "app/SupView.h"

CTandeoView::CTandeoView(CTandeoApp* app, QWidget* parent) : QTabWidget(parent)
{
    pages_[0] = new CSupView(app, false);
    pages_[1] = new CSupView(app, true);
    addTab(pages_[0], QStringLiteral("Bottom/Right"));
    addTab(pages_[1], QStringLiteral("Top/Left"));
    setDocumentMode(true);
}

CSupView* CTandeoView::ActivePage() const
{
    return currentIndex() == 1 ? pages_[1] : pages_[0];
}
