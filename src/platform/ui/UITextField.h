#pragma once

// A one-line text entry (UIKit's UITextField): its text, or a grey placeholder while empty, in
// one font, and while it has the keyboard's focus a caret after the text. A tap focuses it
// (becomeFirstResponder); keys then type into it (insertText, deleteBackward), and return ends
// the editing. Each change sends UIControlEventEditingChanged; focus and its end send
// EditingDidBegin and EditingDidEnd (return also EditingDidEndOnExit).
//
// One text field at a time has the focus of the device (the current device environment): the
// window's keyboard types into UITextField::focusedTextField().
//
//     auto field = UITextField::create(CGRectMake(120, 7, 239, 30));
//     field->setPlaceholder("On my way!");
//     field->addAction([](UIControl& c) { ... }, UIControlEventEditingChanged);

#include "platform/graphics/NSStringDrawing.h"
#include "platform/ui/UIControl.h"
#include "platform/ui/UITouchResponder.h"

#include <memory>
#include <string>

inline constexpr UIControlEvents UIControlEventEditingDidBegin = 1 << 16;
inline constexpr UIControlEvents UIControlEventEditingChanged = 1 << 17;
inline constexpr UIControlEvents UIControlEventEditingDidEnd = 1 << 18;
inline constexpr UIControlEvents UIControlEventEditingDidEndOnExit = 1 << 19;

// The keyboard a field asks for (keyboardType). A number, decimal or phone pad has only its keys,
// so text typed into such a field keeps only what those keys could enter.
enum UIKeyboardType : std::int64_t {
    UIKeyboardTypeDefault = 0,
    UIKeyboardTypeNumbersAndPunctuation = 2,
    UIKeyboardTypeURL = 3,
    UIKeyboardTypeNumberPad = 4,
    UIKeyboardTypePhonePad = 5,
    UIKeyboardTypeEmailAddress = 7,
    UIKeyboardTypeDecimalPad = 8,
};

class UITextField : public UIControl, public UITouchResponder {
public:
    static std::shared_ptr<UITextField> create(CGRect frame = CGRectZero);
    ~UITextField() override;

    std::string className() const override { return "UITextField"; }

    const std::string& text() const { return text_; }
    // Setting the text in code sends no event, as on the platform.
    void setText(std::string text);
    const std::string& placeholder() const { return placeholder_; }
    void setPlaceholder(std::string placeholder);
    const UIFont& font() const { return font_; }
    void setFont(const UIFont& font);
    UIColor textColor() const { return textColor_; }
    void setTextColor(UIColor color);
    NSTextAlignment textAlignment() const { return alignment_; }
    void setTextAlignment(NSTextAlignment alignment);
    UIKeyboardType keyboardType() const { return keyboardType_; }
    void setKeyboardType(UIKeyboardType type) { keyboardType_ = type; }
    // secureTextEntry: the field shows a dot for each character instead of the text.
    bool isSecureTextEntry() const { return secure_; }
    void setSecureTextEntry(bool secure);
    // The text as the field draws it (dots for a secure field).
    std::string displayedText() const;

    // Focus.
    bool isFirstResponder() const;
    bool becomeFirstResponder();
    bool resignFirstResponder();
    bool isEditing() const { return isFirstResponder(); }
    static std::shared_ptr<UITextField> focusedTextField();

    // The keyboard, while focused: text is UTF-8; deleteBackward removes the last character
    // (a whole UTF-8 sequence); returnKey ends the editing.
    void insertText(const std::string& text);
    void deleteBackward();
    void returnKey();

    void drawRect(CGRect rect) override;
    bool drawsContent() const override { return true; }
    std::string accessibilityText() const override { return displayedText(); }

    bool touchBegan(CGPoint /*p*/) override { return isEnabled(); }
    void touchEnded(CGPoint p) override;

protected:
    explicit UITextField(CGRect frame) : UIControl(frame) {}

private:
    NSStringAttributes attributes(bool placeholder) const;

    std::string text_;
    std::string placeholder_;
    UIFont font_ = UIFont::systemFontOfSize(17);
    UIColor textColor_ = UIColor::labelColor();
    NSTextAlignment alignment_ = NSTextAlignmentNatural;
    bool secure_ = false;
    UIKeyboardType keyboardType_ = UIKeyboardTypeDefault;
};
