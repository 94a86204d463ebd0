#include "platform/foundation/plist/OpenStepPlistParser.h"

#include "platform/foundation/StringHelpers.h"
#include "platform/foundation/plist/PlistEncoding.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

bool isBareChar(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
           c == '$' || c == '+' || c == '/' || c == ':' || c == '.' || c == '-';
}

class Parser {
public:
    Parser(std::string_view s, const PlistLimits& limits, PlistSourceLines* lines)
        : s_(s), limits_(limits), lines_(lines) {}

    PlistReadResult run() {
        PlistValue root = parse();
        if (!error_.empty()) {
            if (lines_)
                lines_->clear();
            return {PlistValue(), plistReadError("old-style list: " + error_), PlistFormat::OpenStep};
        }
        if (lines_)
            lines_->resolve(s_);
        return {root, nullptr, PlistFormat::OpenStep};
    }

    // Whether the text holds nothing but white space and comments.
    bool blank() {
        skipSpace();
        return error_.empty() && at_ == s_.size();
    }

private:
    // One open array or dictionary: the container, and for a dictionary the key whose value is
    // being read. A dictionary without braces (the top level of a strings table) ends with the
    // text.
    struct Frame {
        PlistValue container;
        std::string key;
        bool braceless = false;
    };

    PlistValue parse() {
        PlistValue root;
        std::vector<Frame> stack;
        // Pops the finished container into its parent; answers true when it was the root.
        auto closeTop = [&]() {
            PlistValue done = stack.back().container;
            if (auto entries = done.dictionaryValue())
                entries->settleAppended();
            stack.pop_back();
            if (stack.empty()) {
                root = done;
                return true;
            }
            deliver(stack.back(), done);
            return false;
        };
        if (auto braceless = startBracelessDictionary())
            stack.push_back(std::move(*braceless));
        if (!error_.empty())
            return {};
        // True when the next token starts a value (or closes an empty container); false right
        // after a value inside a container. A braceless dictionary starts after its first key.
        bool needValue = true;
        bool haveKey = !stack.empty();
        while (error_.empty()) {
            if (needValue) {
                skipSpace();
                if (!haveKey && !stack.empty() && closesContainer(stack.back())) {
                    if (closeTop())
                        break;
                    needValue = false;
                    continue;
                }
                if (!haveKey && !stack.empty() && stack.back().container.isDictionary()) {
                    std::string key;
                    if (!readString(key))
                        return fail("expected a key");
                    stack.back().key = std::move(key);
                    if (!count())
                        return {};
                    haveKey = true;
                }
                if (haveKey) {
                    haveKey = false;
                    skipSpace();
                    Frame& f = stack.back();
                    // "key"; in a strings table is "key" = "key";
                    if (f.braceless && at_ < s_.size() && s_[at_] == ';') {
                        if (!count())
                            return {};
                        PlistValue same(f.key);
                        deliver(f, std::move(same));
                        needValue = false;
                        continue;
                    }
                    if (!take('='))
                        return fail("expected '='");
                    skipSpace();
                }
                if (take('{') || take('(')) {
                    if (stack.size() >= limits_.maxDepth)
                        return fail("nested too deeply");
                    if (!count())
                        return {};
                    const std::size_t opened = at_ - 1;
                    stack.push_back(
                        {s_[opened] == '{' ? PlistValue::dictionary() : PlistValue::array(), {}, false});
                    if (lines_)
                        lines_->record(stack.back().container, opened);
                    continue;
                }
                PlistValue scalar = readScalar();
                if (!error_.empty())
                    return {};
                if (!count())
                    return {};
                if (stack.empty()) {
                    root = scalar;
                    break;
                }
                deliver(stack.back(), scalar);
                needValue = false;
                continue;
            }
            // After a value inside a container: a separator, or the container's end.
            skipSpace();
            if (stack.back().container.isDictionary()) {
                if (!take(';'))
                    return fail(stack.back().braceless && at_ == s_.size() ? "expected ';' at the end"
                                                                           : "expected ';'");
            } else if (!take(',')) {
                if (!closesContainer(stack.back()))
                    return fail("expected ',' or ')'");
                if (closeTop())
                    break;
                continue;
            }
            needValue = true;
        }
        if (!error_.empty())
            return {};
        skipSpace();
        if (at_ != s_.size())
            return fail("unexpected text after the list");
        return root;
    }

    // A list that starts with a string followed by '=' (or by ';', the short form of "key" =
    // "key") is a dictionary written without its braces, as strings tables are: the frame of that
    // dictionary with its first key read, positioned after the key. Nothing when the list starts
    // otherwise; the position is then where it was.
    std::optional<Frame> startBracelessDictionary() {
        skipSpace();
        if (!error_.empty() || at_ >= s_.size() || s_[at_] == '{' || s_[at_] == '(' || s_[at_] == '<')
            return std::nullopt;
        const std::size_t start = at_;
        std::string key;
        if (!readString(key)) {
            at_ = start;
            return std::nullopt;
        }
        skipSpace();
        if (!error_.empty() || at_ >= s_.size() || (s_[at_] != '=' && s_[at_] != ';')) {
            at_ = start;
            error_.clear();
            return std::nullopt;
        }
        Frame f{PlistValue::dictionary(), std::move(key), true};
        if (!count() || !count()) // the dictionary and its first key
            return std::nullopt;
        if (lines_)
            lines_->record(f.container, start);
        return f;
    }

    // Consumes the closing bracket of the frame's container when it comes next; a braceless
    // dictionary closes at the end of the text.
    bool closesContainer(const Frame& f) {
        if (f.braceless)
            return at_ == s_.size();
        return take(f.container.isDictionary() ? '}' : ')');
    }

    static void deliver(Frame& f, PlistValue v) {
        if (auto entries = f.container.dictionaryValue())
            entries->appendUnsettled(std::move(f.key), std::move(v));
        else
            f.container.append(std::move(v));
    }

    bool count() {
        if (++values_ > limits_.maxValues) {
            fail("too many values");
            return false;
        }
        return true;
    }

    PlistValue fail(std::string message) {
        if (error_.empty())
            error_ = std::move(message) + " at offset " + std::to_string(at_);
        return {};
    }

    bool take(char c) {
        if (at_ < s_.size() && s_[at_] == c) {
            ++at_;
            return true;
        }
        return false;
    }

    void skipSpace() {
        while (at_ < s_.size()) {
            char c = s_[at_];
            if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v') {
                ++at_;
            } else if (s_.substr(at_).starts_with("//")) {
                std::size_t end = s_.find('\n', at_);
                at_ = end == std::string_view::npos ? s_.size() : end + 1;
            } else if (s_.substr(at_).starts_with("/*")) {
                std::size_t end = s_.find("*/", at_ + 2);
                if (end == std::string_view::npos) {
                    fail("unterminated comment");
                    at_ = s_.size();
                    return;
                }
                at_ = end + 2;
            } else {
                return;
            }
        }
    }

    PlistValue readScalar() {
        if (take('<'))
            return readData();
        std::string text;
        if (!readString(text))
            return fail("expected a value");
        return PlistValue(std::move(text));
    }

    PlistValue readData() {
        PlistData data;
        int high = -1;
        while (at_ < s_.size() && s_[at_] != '>') {
            char c = s_[at_++];
            if (isASCIIBlank(c))
                continue;
            const std::optional<int> digit = hexDigitValue(c);
            if (!digit)
                return fail("bad character in data");
            const int d = *digit;
            if (high < 0) {
                high = d;
            } else {
                data.push_back(static_cast<std::uint8_t>(high << 4 | d));
                high = -1;
            }
        }
        if (!take('>'))
            return fail("unterminated data");
        if (high >= 0)
            return fail("odd number of hex digits in data");
        return PlistValue(std::move(data));
    }

    bool readString(std::string& out) {
        if (at_ >= s_.size())
            return false;
        if (s_[at_] == '"' || s_[at_] == '\'')
            return readQuoted(out);
        std::size_t start = at_;
        while (at_ < s_.size() && isBareChar(static_cast<unsigned char>(s_[at_])))
            ++at_;
        out.assign(s_.substr(start, at_ - start));
        return at_ > start;
    }

    bool readQuoted(std::string& out) {
        const char quote = s_[at_++];
        while (at_ < s_.size() && s_[at_] != quote) {
            char c = s_[at_++];
            if (c != '\\') {
                out += c;
                continue;
            }
            if (at_ >= s_.size())
                break;
            char e = s_[at_++];
            switch (e) {
            case 'n':
                out += '\n';
                break;
            case 't':
                out += '\t';
                break;
            case 'r':
                out += '\r';
                break;
            case 'a':
                out += '\a';
                break;
            case 'b':
                out += '\b';
                break;
            case 'f':
                out += '\f';
                break;
            case 'v':
                out += '\v';
                break;
            case 'U':
            case 'u': {
                std::uint32_t cp = 0;
                int digits = 0;
                for (; digits < 4 && at_ < s_.size(); ++digits, ++at_) {
                    const std::optional<int> d = hexDigitValue(s_[at_]);
                    if (!d)
                        break;
                    cp = cp << 4 | static_cast<std::uint32_t>(*d);
                }
                if (digits == 0) {
                    fail("bad unicode escape");
                    return false;
                }
                appendUtf8(out, cp);
                break;
            }
            default:
                if (e >= '0' && e <= '7') {
                    unsigned v = static_cast<unsigned>(e - '0');
                    for (int i = 0; i < 2 && at_ < s_.size() && s_[at_] >= '0' && s_[at_] <= '7'; ++i)
                        v = v * 8 + static_cast<unsigned>(s_[at_++] - '0');
                    out += static_cast<char>(v & 0xFF);
                } else {
                    out += e; // \" \\ \' and any other character stand for themselves
                }
            }
        }
        if (!take(quote)) {
            fail("unterminated string");
            return false;
        }
        return true;
    }

    std::string_view s_;
    const PlistLimits& limits_;
    PlistSourceLines* lines_;
    std::size_t at_ = 0;
    std::size_t values_ = 0;
    std::string error_;
};

} // namespace

namespace {

std::string_view textOf(std::span<const std::uint8_t> bytes) {
    std::string_view s(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    if (s.starts_with("\xEF\xBB\xBF"))
        s.remove_prefix(3);
    return s;
}

} // namespace

PlistReadResult parseOpenStepPlist(std::span<const std::uint8_t> bytes, const PlistLimits& limits,
                                   PlistSourceLines* lines) {
    return Parser(textOf(bytes), limits, lines).run();
}

bool isBlankOpenStepText(std::span<const std::uint8_t> bytes) {
    return Parser(textOf(bytes), PlistLimits{}, nullptr).blank();
}
