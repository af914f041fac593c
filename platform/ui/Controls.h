#pragma once
// Headless controls: what a window shows and a test drives. Every user*
// operation does what the user's gesture does (change the value, then send
// the action).

#include <string>
#include <vector>

#include "platform/AttributedString.h"
#include "platform/Image.h"
#include "platform/Menu.h"
#include "platform/TargetAction.h"
#include "platform/ui/View.h"

enum CellState { kOffState = 0, kOnState = 1, kMixedState = -1 };
enum class ButtonType { MomentaryPush, Switch, Radio, Toggle };

class Control : public View {
public:
    using View::View;

    bool isEnabled() const { return enabled_; }
    void setEnabled(bool enabled);

    void setTarget(const void* target) { action_.setTarget(target); }
    const void* target() const { return action_.target(); }
    void setAction(const std::string& name, TargetAction<Control>::Handler handler) {
        action_.setAction(name, std::move(handler));
    }
    const std::string& action() const { return action_.action(); }
    // Sends the action to the target; false without one.
    bool sendAction() { return action_.send(*this); }

    // Values, converted for display on the way in.
    virtual std::string stringValue() const { return string_; }
    virtual void setStringValue(const std::string& s);
    int intValue() const;
    void setIntValue(int v);
    virtual double floatValue() const;
    virtual void setFloatValue(double v);

protected:
    std::string string_;

private:
    bool enabled_ = true;
    TargetAction<Control> action_;
};

// A cell of a matrix or of a table column.
class Cell {
public:
    virtual ~Cell() = default;
    const std::string& title() const { return title_; }
    void setTitle(const std::string& t);
    int state() const { return state_; }
    void setState(int s);
    int tag() const { return tag_; }
    void setTag(int t) { tag_ = t; }
    bool isEnabled() const { return enabled_; }
    void setEnabled(bool e);
    const ImageRef& image() const { return image_; }
    void setImage(ImageRef i);
    void setTarget(const void* t) { target_ = t; }
    const void* target() const { return target_; }
    bool smallControlSize() const { return small_; }
    void setSmallControlSize(bool s) { small_ = s; }

private:
    std::string title_;
    int state_ = kOffState;
    int tag_ = 0;
    bool enabled_ = true;
    ImageRef image_;
    const void* target_ = nullptr;
    bool small_ = false;
};

class ButtonCell : public Cell {
public:
    explicit ButtonCell(ButtonType type = ButtonType::Switch) : type_(type) {}
    ButtonType buttonType() const { return type_; }
    void setButtonType(ButtonType t) { type_ = t; }
    bool allowsMixedState() const { return mixed_; }
    void setAllowsMixedState(bool m) { mixed_ = m; }
    // The state a click moves to: off, on, then mixed when allowed.
    int nextState() const;

private:
    ButtonType type_;
    bool mixed_ = false;
};

class Button : public Control {
public:
    explicit Button(Rect frame = {}, ButtonType type = ButtonType::MomentaryPush);

    const std::string& title() const { return title_; }
    void setTitle(const std::string& t);
    ButtonType buttonType() const { return type_; }
    void setButtonType(ButtonType t) { type_ = t; }
    int state() const { return state_; }
    void setState(int s);
    bool allowsMixedState() const { return mixed_; }
    void setAllowsMixedState(bool m) { mixed_ = m; }
    const ImageRef& image() const { return image_; }
    void setImage(ImageRef i);

    // A click: a check box moves to its next state; then the action is sent.
    // Nothing happens to a disabled button.
    virtual bool userClick();

private:
    std::string title_;
    ButtonType type_;
    int state_ = kOffState;
    bool mixed_ = false;
    ImageRef image_;
};

// A pop-up list of items with titles, tags and images; one is selected.
class PopUpButton : public Button {
public:
    explicit PopUpButton(Rect frame = {});

    int numberOfItems() const { return menu_->numberOfItems(); }
    MenuItemRef itemAtIndex(int i) const { return menu_->itemAtIndex(i); }
    const MenuRef& menu() const { return menu_; }
    MenuItemRef addItemWithTitle(const std::string& title);
    void removeAllItems();
    // -1 when nothing is selected.
    int indexOfSelectedItem() const;
    MenuItemRef selectedItem() const;
    std::string titleOfSelectedItem() const;
    void selectItemAtIndex(int i);  // -1 clears the selection
    bool selectItemWithTag(int tag);
    bool selectItemWithTitle(const std::string& title);

    // The user chooses the item at the index (enabled items only).
    bool userSelect(int index);
    bool userClick() override { return false; }

private:
    MenuRef menu_;
    const MenuItem* selected_ = nullptr;
};

// A grid of button cells sending one action for the whole matrix.
class Matrix : public Control {
public:
    Matrix(Rect frame, int rows, int columns, ButtonType type = ButtonType::Switch);

    int numberOfRows() const { return rows_; }
    int numberOfColumns() const { return columns_; }
    // Null outside the grid.
    std::shared_ptr<ButtonCell> cellAtRow(int row, int column) const;
    // Row by row.
    const std::vector<std::shared_ptr<ButtonCell>>& cells() const { return cells_; }
    std::shared_ptr<ButtonCell> selectedCell() const { return selected_.lock(); }

    // A click on a cell: it moves to its next state, then the matrix sends its action.
    bool userClickCell(int row, int column);

private:
    int rows_, columns_;
    std::vector<std::shared_ptr<ButtonCell>> cells_;
    std::weak_ptr<ButtonCell> selected_;
};

class Slider : public Control {
public:
    explicit Slider(Rect frame = {}, double minValue = 0, double maxValue = 1);
    double minValue() const { return min_; }
    double maxValue() const { return max_; }
    void setMinValue(double v) { min_ = v; }
    void setMaxValue(double v) { max_ = v; }
    double floatValue() const override { return value_; }
    void setFloatValue(double v) override;  // kept inside the range
    std::string stringValue() const override;
    void setStringValue(const std::string& s) override;
    bool isContinuous() const { return continuous_; }
    void setContinuous(bool c) { continuous_ = c; }
    // The user drags the knob to the value.
    bool userSlide(double value);

private:
    double min_, max_, value_ = 0;
    bool continuous_ = true;
};

class TextField : public Control {
public:
    explicit TextField(Rect frame = {});
    bool isEditable() const { return editable_; }
    void setEditable(bool e) { editable_ = e; }
    // Called when the user starts editing after the text was set by the program.
    void setBeginEditingHandler(std::function<void(TextField&)> h) { beginEditing_ = std::move(h); }
    // The user types: the first keystroke begins editing; the text becomes `text`.
    bool userType(const std::string& text);
    // The user presses Return: editing ends and the action is sent.
    bool userPressReturn();
    bool isBeingEdited() const { return editing_; }
    void setStringValue(const std::string& s) override;
    TextAlignment alignment() const { return alignment_; }
    // Aligns the text within the field's frame.
    void setAlignment(TextAlignment a);

private:
    bool editable_ = true;
    bool editing_ = false;
    TextAlignment alignment_ = TextAlignment::Left;
    std::function<void(TextField&)> beginEditing_;
};

class ImageView : public Control {
public:
    using Control::Control;
    const ImageRef& image() const { return image_; }
    void setImage(ImageRef i);

private:
    ImageRef image_;
};

// Several lines of text with one alignment.
class TextView : public View {
public:
    using View::View;
    const std::string& string() const { return text_; }
    void setString(const std::string& s);
    TextAlignment alignment() const { return alignment_; }
    // Aligns the whole text.
    void setAlignment(TextAlignment a);
    bool isEditable() const { return editable_; }
    void setEditable(bool e) { editable_ = e; }

private:
    std::string text_;
    TextAlignment alignment_ = TextAlignment::Left;
    bool editable_ = false;
};

class ProgressIndicator : public View {
public:
    using View::View;
    bool isAnimating() const { return animating_; }
    void startAnimation();
    void stopAnimation();

private:
    bool animating_ = false;
};
