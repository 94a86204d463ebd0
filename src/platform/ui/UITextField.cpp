#include "platform/ui/UITextField.h"

#include "platform/foundation/DeviceEnvironment.h"
#include "platform/ui/UIGraphics.h"

#include <algorithm>

namespace {
// The field that has the current device's keyboard (main thread only).
struct KeyboardFocus : DeviceEnvironment::Part {
    std::weak_ptr<UITextField> field;
};

std::weak_ptr<UITextField>& focused() {
    return DeviceEnvironment::current().part<KeyboardFocus>().field;
}

constexpr CGFloat kCaretWidth = 2;
} // namespace

std::shared_ptr<UITextField> UITextField::create(CGRect frame) {
    auto f = std::shared_ptr<UITextField>(new UITextField(frame));
    f->commonInit();
    return f;
}

UITextField::~UITextField() = default;

void UITextField::setText(std::string text) {
    text_ = std::move(text);
    setNeedsDisplay();
}

void UITextField::setPlaceholder(std::string placeholder) {
    placeholder_ = std::move(placeholder);
    setNeedsDisplay();
}

void UITextField::setFont(const UIFont& font) {
    font_ = font;
    setNeedsDisplay();
}

void UITextField::setTextColor(UIColor color) {
    textColor_ = color;
    setNeedsDisplay();
}

void UITextField::setTextAlignment(NSTextAlignment alignment) {
    alignment_ = alignment;
    setNeedsDisplay();
}

std::shared_ptr<UITextField> UITextField::focusedTextField() {
    return focused().lock();
}

bool UITextField::isFirstResponder() const {
    return focused().lock().get() == this;
}

bool UITextField::becomeFirstResponder() {
    if (isFirstResponder())
        return true;
    if (!isEnabled())
        return false;
    if (auto other = focused().lock())
        other->resignFirstResponder();
    focused() = std::static_pointer_cast<UITextField>(shared_from_this());
    setNeedsDisplay();
    sendActionsForControlEvents(UIControlEventEditingDidBegin);
    return true;
}

bool UITextField::resignFirstResponder() {
    if (!isFirstResponder())
        return true;
    focused().reset();
    setNeedsDisplay();
    sendActionsForControlEvents(UIControlEventEditingDidEnd);
    return true;
}

void UITextField::insertText(const std::string& text) {
    if (!isFirstResponder() || text.empty())
        return;
    // A line break cannot enter a one-line field; it is the return key.
    if (text.find_first_of("\r\n") != std::string::npos) {
        std::string line = text.substr(0, text.find_first_of("\r\n"));
        insertText(line);
        returnKey();
        return;
    }
    std::string typed;
    for (char c : text) {
        bool digit = c >= '0' && c <= '9';
        switch (keyboardType_) {
        case UIKeyboardTypeNumberPad:
            if (!digit)
                continue;
            break;
        case UIKeyboardTypeDecimalPad:
            if (!digit && !(c == '.' && (text_ + typed).find('.') == std::string::npos))
                continue;
            break;
        case UIKeyboardTypePhonePad:
            if (!digit && c != '+' && c != '*' && c != '#')
                continue;
            break;
        default:
            break;
        }
        typed += c;
    }
    if (typed.empty())
        return;
    text_ += typed;
    setNeedsDisplay();
    sendActionsForControlEvents(UIControlEventEditingChanged);
}

void UITextField::deleteBackward() {
    if (!isFirstResponder() || text_.empty())
        return;
    // Back over continuation bytes to the start of the last UTF-8 sequence.
    std::size_t end = text_.size() - 1;
    while (end > 0 && (static_cast<unsigned char>(text_[end]) & 0xC0) == 0x80)
        --end;
    text_.erase(end);
    setNeedsDisplay();
    sendActionsForControlEvents(UIControlEventEditingChanged);
}

void UITextField::returnKey() {
    if (!isFirstResponder())
        return;
    sendActionsForControlEvents(UIControlEventEditingDidEndOnExit);
    resignFirstResponder();
}

NSStringAttributes UITextField::attributes(bool placeholder) const {
    NSStringAttributes a;
    a.font = font_;
    a.foregroundColor = placeholder ? UIColor::placeholderTextColor().rgba : textColor_.rgba;
    a.alignment = alignment_;
    a.lineBreakMode = NSLineBreakByTruncatingTail;
    a.numberOfLines = 1;
    return a;
}

void UITextField::setSecureTextEntry(bool secure) {
    secure_ = secure;
    setNeedsDisplay();
}

std::string UITextField::displayedText() const {
    if (!secure_)
        return text_;
    std::string dots;
    for (unsigned char c : text_)
        if ((c & 0xC0) != 0x80)
            dots += "\u2022";
    return dots;
}

void UITextField::drawRect(CGRect) {
    bool empty = text_.empty();
    const std::string shown = empty ? placeholder_ : displayedText();
    NSStringAttributes a = attributes(empty);
    CGFloat h = font_.lineHeight();
    CGRect line = CGRectMake(bounds().minX(), bounds().midY() - h / 2, bounds().width() - kCaretWidth, h);
    if (!shown.empty())
        NSStringDrawInRect(shown, line, a);
    if (isFirstResponder()) {
        CGFloat width = empty ? 0 : std::min(line.width(), NSStringSizeWithAttributes(shown, a).width);
        CGFloat x = line.minX() + width;
        if (alignment_ == NSTextAlignmentRight)
            x = line.maxX();
        else if (alignment_ == NSTextAlignmentCenter)
            x = line.midX() + width / 2;
        UIColorSetFill(*tintColor());
        UIRectFill(CGRectMake(x, line.minY() + 1, kCaretWidth, h - 2));
    }
}

void UITextField::touchEnded(CGPoint p) {
    if (pointInside(p))
        becomeFirstResponder();
}
