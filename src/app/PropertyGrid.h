#pragma once
// A property grid: groups of labelled values in two columns, the
// description of the current item under them. Each item checks what the
// user enters; a value the item takes is reported to OnPropertyChanged.
// Values that differ from the ones the items were created with show in
// bold. Choosers (colour, file, font) go through the platform's dialogs.
//
// The entry points that act as the user (EnterText, PickOption, the
// choosers) are the ones the editors use, so the window and tests can drive
// items without opening editors.

#include <QFont>
#include <QPointer>
#include <QRgb>
#include <QStringList>
#include <QStyledItemDelegate>
#include <QTreeWidget>
#include <QWidget>

#include <utility>

class QLabel;
class CPropertyView;

enum class EPropertyKind { Group, Option, Integer, Boolean, Colour, File, Font, List, Point };

// What an item does with the text its editor is left with.
enum class EEntry {
    Taken,    // the item holds the text's value now (it may be the same)
    Refused,  // not taken; the editor stays open for a correction
    Dropped,  // not taken; the editor closes
};

class CProperty : public QTreeWidgetItem {
public:
    CProperty(EPropertyKind kind, const QString& label, const QString& description);

    EPropertyKind Kind() const { return kind_; }
    QString Label() const { return text(0); }
    const QString& Description() const { return description_; }

    // The value as the grid shows it.
    QString Text() const { return text(1); }
    // Shows `text`, in bold while it differs from the text the item was
    // created with.
    void SetText(const QString& text);
    bool IsModified() const { return Text() != original_; }

    bool IsEnabled() const { return !isDisabled(); }
    void SetEnabled(bool enabled) { setDisabled(!enabled); }

    // Takes a typed text the way the item's editor does when left.
    virtual EEntry Enter(const QString& text);

protected:
    // The first value shown; later values are compared with it.
    void SetOriginal(const QString& text);

private:
    EPropertyKind kind_;
    QString description_;
    QString original_;
};

// A group of items; groups nest.
class CPropertyGroup : public QTreeWidgetItem {
public:
    explicit CPropertyGroup(const QString& label);
    QString Label() const { return text(0); }
};

// One text out of a fixed list; typed text is taken only when it names an
// option (in any case).
class COptionProperty : public CProperty {
public:
    COptionProperty(const QString& label, const QString& value, const QStringList& options,
                    const QString& description, EPropertyKind kind = EPropertyKind::Option);

    const QStringList& Options() const { return options_; }
    // The position of the shown text in the options, -1 when none.
    int Position() const;
    // Shows option `position`; false outside the list.
    virtual bool Pick(int position);
    EEntry Enter(const QString& text) override;

private:
    QStringList options_;
};

class CBoolProperty : public COptionProperty {
public:
    CBoolProperty(const QString& label, bool value, const QString& description);
    bool Value() const { return Position() == 0; }
    void SetValue(bool value) { SetText(TextOf(value)); }
    static QString TextOf(bool value);
};

// A drop-down list that remembers the position the user picked.
class CCbxProperty : public COptionProperty {
public:
    CCbxProperty(const QString& label, const QString& value, const QStringList& options,
                 const QString& description);
    bool Pick(int position) override;
    // The position of the last pick; -1 until a pick.
    int PickedPosition() const { return picked_; }
    void SetPickedPosition(int position) { picked_ = position; }

private:
    int picked_ = -1;
};

// A signed integer; with a spin control the arrows keep inside the range
// while typed values are left to the grid's owner to judge.
class CIntProperty : public CProperty {
public:
    CIntProperty(const QString& label, int value, const QString& description);
    CIntProperty(const QString& label, int value, int spinMinimum, int spinMaximum,
                 const QString& description);

    int Value() const { return Text().toInt(); }
    void SetValue(int value) { SetText(QString::number(value)); }
    bool HasSpin() const { return spin_; }
    int SpinMinimum() const { return minimum_; }
    int SpinMaximum() const { return maximum_; }
    EEntry Enter(const QString& text) override;

private:
    bool spin_ = false;
    int minimum_ = 0;
    int maximum_ = 0;
};

// An opaque colour (red, green, blue), shown as #RRGGBB with a swatch.
class CColourProperty : public CProperty {
public:
    CColourProperty(const QString& label, QRgb value, const QString& description);
    QRgb Value() const { return colour_; }
    void SetValue(QRgb colour);
    EEntry Enter(const QString& text) override;

private:
    QRgb colour_ = 0;
};

// A file path with a browse button.
class CFileProperty : public CProperty {
public:
    CFileProperty(const QString& label, const QString& path, const QString& filter,
                  const QString& description);
    const QString& Filter() const { return filter_; }

private:
    QString filter_;
};

// A font, edited with the font chooser only.
class CMyPropertyFontProperty : public CProperty {
public:
    CMyPropertyFontProperty(const QString& label, const QFont& font, const QString& description);
    const QFont& Value() const { return font_; }
    void SetValue(const QFont& font);
    EEntry Enter(const QString& text) override;

    // "Arial, 42,Bold,Italic": family and size, then the effects set.
    static QString FontText(const QFont& font);

private:
    QFont font_;
};

// A point typed as "x, y", each coordinate inside its own range.
class CPointProptertyProp : public CProperty {
public:
    CPointProptertyProp(const QString& label, const QString& value, int xMinimum, int xMaximum,
                        int yMinimum, int yMaximum, const QString& description);

    // Reads "x, y": two parts split at the comma, each trimmed and read as
    // a decimal integer from its leading digits (none read as 0). False
    // unless there are exactly two parts.
    static bool ReadPoint(const QString& text, int& x, int& y);
    // The shown point; (0, 0) when the text is not one.
    int X() const;
    int Y() const;

    // Tells the user about a malformed or out-of-range point and keeps the
    // editor open; while that message is up, leaving again drops the edit.
    EEntry Enter(const QString& text) override;

private:
    int xMinimum_, xMaximum_, yMinimum_, yMaximum_;
    bool messageOpen_ = false;
};

// Opens the editors of a grid and commits them when the user leaves them.
class CPropertyDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    explicit CPropertyDelegate(CPropertyView* view);

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model,
                      const QModelIndex& index) const override;
    void updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const override;

    // The editor open now, if any.
    QWidget* OpenEditor() const { return open_; }

protected:
    bool eventFilter(QObject* object, QEvent* event) override;

private:
    QWidget* EditorOf(QObject* object) const;
    void Commit(QWidget* editor);
    void Close(QWidget* editor);

    CPropertyView* view_;
    mutable QPointer<QWidget> open_;
    bool busy_ = false;  // a commit or chooser is running: focus changes are ours
};

class CPropertyView : public QWidget {
    Q_OBJECT
public:
    explicit CPropertyView(QWidget* parent = nullptr);

    QTreeWidget* Grid() const { return grid_; }

    // Items are owned by the grid.
    CPropertyGroup* AddGroup(const QString& label, CPropertyGroup* parent = nullptr);
    template <class T, class... A> T* AddItem(CPropertyGroup* group, A&&... args)
    {
        auto* item = new T(std::forward<A>(args)...);
        group->addChild(item);
        return item;
    }

    // The item `label` directly under the group `group` (at any depth);
    // nullptr when there is none.
    CProperty* Item(const QString& group, const QString& label) const;

    // Acting as the user. Each is refused for a disabled item and returns
    // whether the item took the value; OnPropertyChanged runs when the
    // shown value changed.
    bool EnterText(QTreeWidgetItem* item, const QString& text);
    bool PickOption(QTreeWidgetItem* item, int position);
    bool ChooseOtherColour(QTreeWidgetItem* item);    // the colour chooser
    bool ChooseDefaultColour(QTreeWidgetItem* item);  // the button face colour
    bool BrowseFile(QTreeWidgetItem* item);           // the file-open dialog
    bool ChooseFont(QTreeWidgetItem* item);           // the font chooser

    // The colour "Default" stands for.
    QRgb DefaultColour() const;
    // What the description area shows.
    QString DescriptionText() const;

    // Like EnterText, telling an editor whether to stay open.
    EEntry Enter(CProperty* item, const QString& text);
    // Opens the editor of `item`, unless another one waits for a correction.
    void Edit(QTreeWidgetItem* item);

protected:
    // The user changed `item`'s value.
    virtual void OnPropertyChanged(CProperty* item);
    bool eventFilter(QObject* object, QEvent* event) override;

private:
    static CProperty* Editable(QTreeWidgetItem* item);
    bool Changed(CProperty* item, const QString& before);
    void ShowDescription(QTreeWidgetItem* item);

    QTreeWidget* grid_;
    CPropertyDelegate* delegate_;
    QLabel* name_;
    QLabel* description_;
};
