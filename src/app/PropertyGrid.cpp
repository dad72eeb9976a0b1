#include "app/PropertyGrid.h"

#include "platform/UserDialogs.h"
#include "platform/UserMessages.h"

#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QFocusEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QSpinBox>
#include <QToolButton>
#include <QTreeWidgetItemIterator>
#include <QVBoxLayout>

#include <algorithm>
#include <limits>

namespace {

// A decimal integer from the leading digits of `text` after an optional
// sign; no digits read as 0. Kept inside int.
int LeadingInteger(const QString& text)
{
    qsizetype i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == u'-' || text[i] == u'+'))
        negative = text[i++] == u'-';
    qint64 value = 0;
    constexpr qint64 limit = qint64(std::numeric_limits<int>::max()) + 1;
    for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i)
        value = std::min(limit, value * 10 + (text[i].unicode() - u'0'));
    if (negative)
        value = -value;
    return static_cast<int>(std::clamp<qint64>(value, std::numeric_limits<int>::min(),
                                               std::numeric_limits<int>::max()));
}

// Typed values may lie anywhere (the grid's owner judges them); only the
// arrows stay inside the item's range.
class CRangeSpinBox : public QSpinBox {
public:
    CRangeSpinBox(int minimum, int maximum, QWidget* parent)
        : QSpinBox(parent), minimum_(minimum), maximum_(maximum)
    {
        setRange(std::numeric_limits<int>::min(), std::numeric_limits<int>::max());
    }
    void stepBy(int steps) override
    {
        const qint64 next = qint64(value()) + steps;
        setValue(static_cast<int>(std::clamp<qint64>(next, minimum_, maximum_)));
        selectAll();
    }

protected:
    StepEnabled stepEnabled() const override
    {
        StepEnabled enabled = StepNone;
        if (value() < maximum_)
            enabled |= StepUpEnabled;
        if (value() > minimum_)
            enabled |= StepDownEnabled;
        return enabled;
    }

private:
    int minimum_;
    int maximum_;
};

// The widget the grid puts over an item's value.
class CPropertyEditor : public QWidget {
public:
    CPropertyEditor(CProperty* item, QWidget* parent) : QWidget(parent), item(item)
    {
        setAutoFillBackground(true);
        row = new QHBoxLayout(this);
        row->setContentsMargins(0, 0, 0, 0);
        row->setSpacing(0);
    }
    QToolButton* AddButton(const QString& text)
    {
        auto* button = new QToolButton(this);
        button->setText(text);
        button->setFocusPolicy(Qt::NoFocus);
        row->addWidget(button);
        return button;
    }

    CProperty* item;
    QHBoxLayout* row;
    QLineEdit* line = nullptr;
    QComboBox* combo = nullptr;
    QSpinBox* spin = nullptr;
    int firstIndex = -1;  // the combo's entry when the editor opened
};

// The tree of a grid. An entry that waits for a correction keeps its
// editor even when the current row moves away.
class CPropertyTree : public QTreeWidget {
public:
    explicit CPropertyTree(QWidget* parent) : QTreeWidget(parent) {}
    CPropertyDelegate* delegate = nullptr;

protected:
    void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override
    {
        if (delegate && editor == delegate->OpenEditor())
            return;
        QTreeWidget::closeEditor(editor, hint);
    }
};

QPixmap Swatch(QRgb colour)
{
    QPixmap swatch(12, 12);
    swatch.fill(QColor(colour));
    // A frame, so that a colour like the background still shows.
    QPainter painter(&swatch);
    painter.setPen(Qt::darkGray);
    painter.drawRect(swatch.rect().adjusted(0, 0, -1, -1));
    return swatch;
}

}  // namespace

// --- items ------------------------------------------------------------------

CProperty::CProperty(EPropertyKind kind, const QString& label, const QString& description)
    : kind_(kind), description_(description)
{
    setText(0, label);
    setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsEditable);
}

void CProperty::SetText(const QString& text)
{
    if (text != Text())
        setText(1, text);
    const bool modified = IsModified();
    QFont shown = font(1);
    if (shown.bold() != modified) {
        shown.setBold(modified);
        setFont(1, shown);
    }
}

void CProperty::SetOriginal(const QString& text)
{
    original_ = text;
    SetText(text);
}

EEntry CProperty::Enter(const QString& text)
{
    SetText(text);
    return EEntry::Taken;
}

CPropertyGroup::CPropertyGroup(const QString& label)
{
    setText(0, label);
    setFlags(Qt::ItemIsEnabled);
    QFont bold = font(0);
    bold.setBold(true);
    setFont(0, bold);
}

COptionProperty::COptionProperty(const QString& label, const QString& value,
                                 const QStringList& options, const QString& description,
                                 EPropertyKind kind)
    : CProperty(kind, label, description), options_(options)
{
    SetOriginal(value);
}

int COptionProperty::Position() const
{
    for (int i = 0; i < options_.size(); ++i)
        if (options_[i].compare(Text(), Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

bool COptionProperty::Pick(int position)
{
    if (position < 0 || position >= options_.size())
        return false;
    SetText(options_[position]);
    return true;
}

EEntry COptionProperty::Enter(const QString& text)
{
    for (int i = 0; i < options_.size(); ++i)
        if (options_[i].compare(text, Qt::CaseInsensitive) == 0)
            return Pick(i) ? EEntry::Taken : EEntry::Dropped;
    return EEntry::Dropped;
}

CBoolProperty::CBoolProperty(const QString& label, bool value, const QString& description)
    : COptionProperty(label, TextOf(value), {TextOf(true), TextOf(false)}, description,
                      EPropertyKind::Boolean)
{
}

QString CBoolProperty::TextOf(bool value)
{
    return value ? QStringLiteral("True") : QStringLiteral("False");
}

CCbxProperty::CCbxProperty(const QString& label, const QString& value, const QStringList& options,
                           const QString& description)
    : COptionProperty(label, value, options, description, EPropertyKind::List)
{
}

bool CCbxProperty::Pick(int position)
{
    if (!COptionProperty::Pick(position))
        return false;
    picked_ = position;
    return true;
}

CIntProperty::CIntProperty(const QString& label, int value, const QString& description)
    : CProperty(EPropertyKind::Integer, label, description)
{
    SetOriginal(QString::number(value));
}

CIntProperty::CIntProperty(const QString& label, int value, int spinMinimum, int spinMaximum,
                           const QString& description)
    : CProperty(EPropertyKind::Integer, label, description), spin_(true), minimum_(spinMinimum),
      maximum_(spinMaximum)
{
    SetOriginal(QString::number(value));
}

EEntry CIntProperty::Enter(const QString& text)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    if (!ok)
        return EEntry::Dropped;
    SetValue(value);
    return EEntry::Taken;
}

CColourProperty::CColourProperty(const QString& label, QRgb value, const QString& description)
    : CProperty(EPropertyKind::Colour, label, description),
      colour_(0xFF000000u | (value & 0xFFFFFFu))
{
    setIcon(1, Swatch(colour_));
    SetOriginal(QColor(colour_).name().toUpper());
}

void CColourProperty::SetValue(QRgb colour)
{
    colour_ = 0xFF000000u | (colour & 0xFFFFFFu);
    setIcon(1, Swatch(colour_));
    SetText(QColor(colour_).name().toUpper());
}

EEntry CColourProperty::Enter(const QString& text)
{
    const QColor colour = QColor::fromString(text.trimmed());
    if (!colour.isValid())
        return EEntry::Dropped;
    SetValue(colour.rgb());
    return EEntry::Taken;
}

CFileProperty::CFileProperty(const QString& label, const QString& path, const QString& filter,
                             const QString& description)
    : CProperty(EPropertyKind::File, label, description), filter_(filter)
{
    SetOriginal(path);
}

CMyPropertyFontProperty::CMyPropertyFontProperty(const QString& label, const QFont& font,
                                                 const QString& description)
    : CProperty(EPropertyKind::Font, label, description), font_(font)
{
    SetOriginal(FontText(font));
}

void CMyPropertyFontProperty::SetValue(const QFont& font)
{
    font_ = font;
    SetText(FontText(font));
}

EEntry CMyPropertyFontProperty::Enter(const QString&)
{
    // Only the chooser makes a font.
    return EEntry::Dropped;
}

QString CMyPropertyFontProperty::FontText(const QFont& font)
{
    const QString size = font.pointSizeF() > 0 ? QString::number(font.pointSizeF())
                                               : QString::number(font.pixelSize()) + "px";
    QString text = font.family() + ", " + size;
    if (font.weight() >= QFont::Bold)
        text += QStringLiteral(",%1").arg("Bold");
    if (font.italic())
        text += QStringLiteral(",%1").arg("Italic");
    if (font.underline())
        text += QStringLiteral(",%1").arg("Underline");
    if (font.strikeOut())
        text += QStringLiteral(",%1").arg("StrikeOut");
    return text;
}

CPointProptertyProp::CPointProptertyProp(const QString& label, const QString& value, int xMinimum,
                                         int xMaximum, int yMinimum, int yMaximum,
                                         const QString& description)
    : CProperty(EPropertyKind::Point, label, description), xMinimum_(xMinimum), xMaximum_(xMaximum),
      yMinimum_(yMinimum), yMaximum_(yMaximum)
{
    SetOriginal(value);
}

bool CPointProptertyProp::ReadPoint(const QString& text, int& x, int& y)
{
    const QStringList parts = text.split(u',');
    if (parts.size() != 2)
        return false;
    x = LeadingInteger(parts[0].trimmed());
    y = LeadingInteger(parts[1].trimmed());
    return true;
}

int CPointProptertyProp::X() const
{
    int x = 0, y = 0;
    return ReadPoint(Text(), x, y) ? x : 0;
}

int CPointProptertyProp::Y() const
{
    int x = 0, y = 0;
    return ReadPoint(Text(), x, y) ? y : 0;
}

EEntry CPointProptertyProp::Enter(const QString& text)
{
    // The message box takes the focus; a second leave while it is up must
    // not stack another message.
    if (messageOpen_)
        return EEntry::Dropped;
    if (text.compare(Text(), Qt::CaseInsensitive) == 0)
        return EEntry::Taken;
    int x = 0, y = 0;
    QString message;
    if (!ReadPoint(text, x, y))
        message = QStringLiteral("Wrong input format! ");
    else if (x < xMinimum_ || x > xMaximum_)
        message = QString::asprintf("Please set value between %d and %d! ", xMinimum_, xMaximum_);
    else if (y < yMinimum_ || y > yMaximum_)
        message = QString::asprintf("Please set value between %d and %d! ", yMinimum_, yMaximum_);
    if (!message.isEmpty()) {
        messageOpen_ = true;
        UserMessages().Show(message, EMessageKind::Warning);
        messageOpen_ = false;
        return EEntry::Refused;
    }
    SetText(text);
    return EEntry::Taken;
}

// --- editors ----------------------------------------------------------------

CPropertyDelegate::CPropertyDelegate(CPropertyView* view) : QStyledItemDelegate(view), view_(view)
{
}

QWidget* CPropertyDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem&,
                                         const QModelIndex& index) const
{
    auto* item = dynamic_cast<CProperty*>(view_->Grid()->itemFromIndex(index));
    if (!item || index.column() != 1 || !item->IsEnabled() || open_)
        return nullptr;
    auto* self = const_cast<CPropertyDelegate*>(this);
    auto* editor = new CPropertyEditor(item, parent);
    QWidget* focus = nullptr;
    switch (item->Kind()) {
    case EPropertyKind::Option:
    case EPropertyKind::Boolean:
    case EPropertyKind::List: {
        auto* options = static_cast<COptionProperty*>(item);
        editor->combo = new QComboBox(editor);
        editor->combo->addItems(options->Options());
        int current = options->Position();
        if (auto* list = dynamic_cast<CCbxProperty*>(item); list && list->PickedPosition() >= 0)
            current = list->PickedPosition();
        editor->combo->setCurrentIndex(current);
        editor->firstIndex = current;
        connect(editor->combo, &QComboBox::activated, self,
                [self, editor] { self->Commit(editor); });
        focus = editor->combo;
        break;
    }
    case EPropertyKind::Integer: {
        auto* number = static_cast<CIntProperty*>(item);
        editor->spin = new CRangeSpinBox(number->SpinMinimum(), number->SpinMaximum(), editor);
        if (!number->HasSpin())
            editor->spin->setButtonSymbols(QAbstractSpinBox::NoButtons);
        editor->spin->setValue(number->Value());
        focus = editor->spin;
        break;
    }
    default:
        editor->line = new QLineEdit(item->Text(), editor);
        editor->line->setFrame(false);
        focus = editor->line;
        break;
    }
    editor->row->addWidget(focus);
    switch (item->Kind()) {
    case EPropertyKind::Colour:
        editor->line->setReadOnly(true);
        connect(editor->AddButton(QStringLiteral("Default")), &QToolButton::clicked, self,
                [self, editor] {
                    self->busy_ = true;
                    self->view_->ChooseDefaultColour(editor->item);
                    self->busy_ = false;
                    self->Close(editor);
                });
        connect(editor->AddButton(QStringLiteral("Other...")), &QToolButton::clicked, self,
                [self, editor] {
                    self->busy_ = true;
                    self->view_->ChooseOtherColour(editor->item);
                    self->busy_ = false;
                    self->Close(editor);
                });
        break;
    case EPropertyKind::File:
        connect(editor->AddButton(QStringLiteral("...")), &QToolButton::clicked, self,
                [self, editor] {
                    self->busy_ = true;
                    const QString path = UserDialogs().GetOpenFileName(
                        static_cast<CFileProperty*>(editor->item)->Filter(), editor->line->text());
                    self->busy_ = false;
                    if (path.isEmpty()) {
                        editor->line->setFocus();
                        return;
                    }
                    editor->line->setText(path);
                    self->Commit(editor);
                });
        break;
    case EPropertyKind::Font:
        editor->line->setReadOnly(true);
        connect(editor->AddButton(QStringLiteral("...")), &QToolButton::clicked, self,
                [self, editor] {
                    self->busy_ = true;
                    self->view_->ChooseFont(editor->item);
                    self->busy_ = false;
                    self->Close(editor);
                });
        break;
    default: break;
    }
    editor->setFocusProxy(focus);
    focus->installEventFilter(self);
    open_ = editor;
    return editor;
}

void CPropertyDelegate::setEditorData(QWidget*, const QModelIndex&) const
{
    // The editor is filled when it opens; the values it shows later are the
    // user's, not the model's.
}

void CPropertyDelegate::setModelData(QWidget*, QAbstractItemModel*, const QModelIndex&) const
{
    // Commit() hands the value to the item itself.
}

void CPropertyDelegate::updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                                             const QModelIndex&) const
{
    editor->setGeometry(option.rect);
}

QWidget* CPropertyDelegate::EditorOf(QObject* object) const
{
    for (auto* widget = qobject_cast<QWidget*>(object); widget; widget = widget->parentWidget())
        if (dynamic_cast<CPropertyEditor*>(widget))
            return widget;
    return nullptr;
}

void CPropertyDelegate::Close(QWidget* editor)
{
    if (open_ == editor)
        open_ = nullptr;
    emit closeEditor(editor, QAbstractItemDelegate::NoHint);
}

void CPropertyDelegate::Commit(QWidget* widget)
{
    auto* editor = static_cast<CPropertyEditor*>(widget);
    if (busy_ || open_ != editor)
        return;
    busy_ = true;
    EEntry result = EEntry::Dropped;
    if (editor->combo) {
        const int index = editor->combo->currentIndex();
        if (index != editor->firstIndex)
            result = view_->PickOption(editor->item, index) ? EEntry::Taken : EEntry::Dropped;
    } else if (editor->spin) {
        result = view_->Enter(editor->item, editor->spin->cleanText());
    } else if (editor->line && !editor->line->isReadOnly()) {
        result = view_->Enter(editor->item, editor->line->text());
    }
    busy_ = false;
    if (result == EEntry::Refused) {
        editor->setFocus();
        if (editor->line)
            editor->line->selectAll();
        return;
    }
    Close(editor);
}

bool CPropertyDelegate::eventFilter(QObject* object, QEvent* event)
{
    QWidget* editor = EditorOf(object);
    if (!editor || editor != open_)
        return false;
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            Commit(editor);
            return true;
        }
        if (key == Qt::Key_Escape) {
            Close(editor);
            return true;
        }
    } else if (event->type() == QEvent::FocusOut) {
        // Our own message boxes and choosers, and the combo's drop-down,
        // take the focus without the user leaving the item.
        if (busy_ || static_cast<QFocusEvent*>(event)->reason() == Qt::PopupFocusReason)
            return false;
        for (QWidget* focus = QApplication::focusWidget(); focus; focus = focus->parentWidget())
            if (focus == editor)
                return false;
        Commit(editor);
    }
    return false;
}

// --- the view ---------------------------------------------------------------

CPropertyView::CPropertyView(QWidget* parent) : QWidget(parent)
{
    auto* tree = new CPropertyTree(this);
    grid_ = tree;
    grid_->setColumnCount(2);
    grid_->setHeaderHidden(true);
    grid_->setUniformRowHeights(true);
    grid_->setIndentation(12);
    grid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid_->setSelectionMode(QAbstractItemView::SingleSelection);
    grid_->header()->setStretchLastSection(true);
    grid_->installEventFilter(this);
    delegate_ = new CPropertyDelegate(this);
    tree->delegate = delegate_;
    grid_->setItemDelegate(delegate_);

    auto* area = new QFrame(this);
    area->setFrameShape(QFrame::StyledPanel);
    name_ = new QLabel(area);
    QFont bold = name_->font();
    bold.setBold(true);
    name_->setFont(bold);
    description_ = new QLabel(area);
    description_->setWordWrap(true);
    description_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    auto* areaLayout = new QVBoxLayout(area);
    areaLayout->addWidget(name_);
    areaLayout->addWidget(description_, 1);
    area->setMinimumHeight(3 * fontMetrics().height() + 12);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addWidget(grid_, 1);
    layout->addWidget(area);

    connect(grid_, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* item) { ShowDescription(item); });
    connect(grid_, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* item, int column) {
        if (column == 1)
            Edit(item);
    });
    connect(grid_, &QTreeWidget::itemDoubleClicked, this,
            [this](QTreeWidgetItem* item) { Edit(item); });
}

CPropertyGroup* CPropertyView::AddGroup(const QString& label, CPropertyGroup* parent)
{
    auto* group = new CPropertyGroup(label);
    if (parent)
        parent->addChild(group);
    else
        grid_->addTopLevelItem(group);
    group->setFirstColumnSpanned(true);
    // The two tones: groups on the button face, items on the base.
    group->setBackground(0, palette().brush(QPalette::Button));
    return group;
}

CProperty* CPropertyView::Item(const QString& group, const QString& label) const
{
    for (QTreeWidgetItemIterator it(grid_); *it; ++it) {
        auto* item = dynamic_cast<CProperty*>(*it);
        auto* parent = item ? dynamic_cast<CPropertyGroup*>(item->parent()) : nullptr;
        if (parent && parent->Label() == group && item->Label() == label)
            return item;
    }
    return nullptr;
}

CProperty* CPropertyView::Editable(QTreeWidgetItem* item)
{
    auto* property = dynamic_cast<CProperty*>(item);
    return property && property->IsEnabled() ? property : nullptr;
}

bool CPropertyView::Changed(CProperty* item, const QString& before)
{
    if (item->Text() == before)
        return false;
    OnPropertyChanged(item);
    return true;
}

EEntry CPropertyView::Enter(CProperty* item, const QString& text)
{
    if (!Editable(item))
        return EEntry::Dropped;
    const QString before = item->Text();
    const EEntry result = item->Enter(text);
    if (result == EEntry::Taken)
        Changed(item, before);
    return result;
}

bool CPropertyView::EnterText(QTreeWidgetItem* item, const QString& text)
{
    CProperty* property = Editable(item);
    return property && Enter(property, text) == EEntry::Taken;
}

bool CPropertyView::PickOption(QTreeWidgetItem* item, int position)
{
    auto* options = dynamic_cast<COptionProperty*>(Editable(item));
    if (!options)
        return false;
    const QString before = options->Text();
    if (!options->Pick(position))
        return false;
    Changed(options, before);
    return true;
}

bool CPropertyView::ChooseOtherColour(QTreeWidgetItem* item)
{
    auto* colour = dynamic_cast<CColourProperty*>(Editable(item));
    if (!colour)
        return false;
    QRgb picked = colour->Value();
    if (!UserDialogs().PickColour(picked))
        return false;
    const QString before = colour->Text();
    colour->SetValue(picked);
    Changed(colour, before);
    return true;
}

bool CPropertyView::ChooseDefaultColour(QTreeWidgetItem* item)
{
    auto* colour = dynamic_cast<CColourProperty*>(Editable(item));
    if (!colour)
        return false;
    const QString before = colour->Text();
    colour->SetValue(DefaultColour());
    Changed(colour, before);
    return true;
}

bool CPropertyView::BrowseFile(QTreeWidgetItem* item)
{
    auto* file = dynamic_cast<CFileProperty*>(Editable(item));
    if (!file)
        return false;
    const QString path = UserDialogs().GetOpenFileName(file->Filter(), file->Text());
    return !path.isEmpty() && Enter(file, path) == EEntry::Taken;
}

bool CPropertyView::ChooseFont(QTreeWidgetItem* item)
{
    auto* font = dynamic_cast<CMyPropertyFontProperty*>(Editable(item));
    if (!font)
        return false;
    QFont picked = font->Value();
    if (!UserDialogs().PickFont(picked))
        return false;
    const QString before = font->Text();
    font->SetValue(picked);
    Changed(font, before);
    return true;
}

QRgb CPropertyView::DefaultColour() const
{
    return palette().color(QPalette::Button).rgb();
}

QString CPropertyView::DescriptionText() const
{
    return description_->text();
}

void CPropertyView::Edit(QTreeWidgetItem* item)
{
    if (QWidget* open = delegate_->OpenEditor()) {
        // An entry waits for a correction; it keeps the focus.
        const QModelIndex editing = grid_->indexAt(open->geometry().center());
        if (editing.isValid())
            grid_->setCurrentIndex(editing);
        open->setFocus();
        return;
    }
    if (!Editable(item))
        return;
    grid_->setCurrentItem(item, 1);
    grid_->editItem(item, 1);
}

void CPropertyView::OnPropertyChanged(CProperty*) {}

bool CPropertyView::eventFilter(QObject* object, QEvent* event)
{
    if (object == grid_ && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if ((key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_F2) &&
            Editable(grid_->currentItem())) {
            Edit(grid_->currentItem());
            return true;
        }
    }
    return QWidget::eventFilter(object, event);
}

void CPropertyView::ShowDescription(QTreeWidgetItem* item)
{
    auto* property = dynamic_cast<CProperty*>(item);
    name_->setText(item ? item->text(0) : QString());
    description_->setText(property ? property->Description() : QString());
}
