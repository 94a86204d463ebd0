#include "platform/prefslibs/AppListPredicate.h"

#include "platform/foundation/StringHelpers.h"

#include <cctype>
#include <vector>

namespace {

enum class Key { SystemApplication, WebApplication, LaunchProhibited, Identifier, DisplayName, Tags };
enum class Op { Equal, NotEqual, Contains, BeginsWith, EndsWith, Like, In };

struct KeyName {
    std::string_view name;
    Key key;
};
constexpr KeyName kKeys[] = {
    {"isSystemApplication", Key::SystemApplication},
    {"isWebApplication", Key::WebApplication},
    {"isLaunchProhibited", Key::LaunchProhibited},
    {"bundleIdentifier", Key::Identifier},
    {"displayIdentifier", Key::Identifier},
    {"identifier", Key::Identifier},
    {"displayName", Key::DisplayName},
    {"tags", Key::Tags},
};

bool isBooleanKey(Key key) {
    return key == Key::SystemApplication || key == Key::WebApplication || key == Key::LaunchProhibited;
}

// Shell-style matching of LIKE: "*" any run of characters, "?" one character.
bool like(std::string_view text, std::string_view pattern) {
    std::size_t t = 0, p = 0, star = std::string_view::npos, mark = 0;
    while (t < text.size()) {
        if (p < pattern.size() && (pattern[p] == '?' || pattern[p] == text[t])) {
            ++t;
            ++p;
        } else if (p < pattern.size() && pattern[p] == '*') {
            star = p++;
            mark = t;
        } else if (star != std::string_view::npos) {
            p = star + 1;
            t = ++mark;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

enum class TokenKind { Word, String, Symbol, End };
struct Token {
    TokenKind kind;
    std::string text;
};

} // namespace

struct AppListPredicate::Node {
    enum class Kind { True, False, Not, And, Or, Compare } kind = Kind::True;
    std::shared_ptr<const Node> left, right; // Not uses left only
    Key key = Key::Identifier;
    Op op = Op::Equal;
    bool ignoreCase = false;
    bool boolean = false;
    std::vector<std::string> strings; // one for most comparisons, the set for IN
};

namespace {

using Node = AppListPredicate::Node;

bool matchesString(const Node& n, std::string value) {
    auto fold = [&](std::string s) { return n.ignoreCase ? lowercased(s) : s; };
    value = fold(std::move(value));
    if (n.op == Op::In) {
        for (const auto& s : n.strings)
            if (fold(s) == value)
                return true;
        return false;
    }
    const std::string want = fold(n.strings.front());
    switch (n.op) {
    case Op::Equal:
        return value == want;
    case Op::NotEqual:
        return value != want;
    case Op::Contains:
        return value.find(want) != std::string::npos;
    case Op::BeginsWith:
        return value.starts_with(want);
    case Op::EndsWith:
        return value.ends_with(want);
    case Op::Like:
        return like(value, want);
    case Op::In:
        break;
    }
    return false;
}

bool evaluateNode(const Node& n, const ALApplicationList::ApplicationInfo& app) {
    switch (n.kind) {
    case Node::Kind::True:
        return true;
    case Node::Kind::False:
        return false;
    case Node::Kind::Not:
        return !evaluateNode(*n.left, app);
    case Node::Kind::And:
        return evaluateNode(*n.left, app) && evaluateNode(*n.right, app);
    case Node::Kind::Or:
        return evaluateNode(*n.left, app) || evaluateNode(*n.right, app);
    case Node::Kind::Compare:
        break;
    }
    switch (n.key) {
    case Key::SystemApplication:
    case Key::WebApplication:
    case Key::LaunchProhibited: {
        bool have = n.key == Key::SystemApplication ? app.isSystemApplication
                    : n.key == Key::WebApplication  ? app.isWebApplication
                                                    : app.isLaunchProhibited;
        return n.op == Op::Equal ? have == n.boolean : have != n.boolean;
    }
    case Key::Identifier:
        return matchesString(n, app.identifier);
    case Key::DisplayName:
        return matchesString(n, app.displayName);
    case Key::Tags:
        for (const auto& tag : app.tags)
            if (matchesString(n, tag))
                return true;
        return false;
    }
    return false;
}

class Parser {
public:
    explicit Parser(std::string_view text) : text_(text) {}

    Result<std::shared_ptr<const Node>> parse() {
        if (text_.size() > AppListPredicate::kMaxLength)
            return Failure{"the predicate is longer than " + std::to_string(AppListPredicate::kMaxLength) +
                           " characters"};
        if (!tokenize())
            return Failure{error_};
        auto root = orExpression(0);
        if (root && peek().kind != TokenKind::End)
            fail("unexpected " + describe(peek()));
        if (!error_.empty())
            return Failure{error_};
        return root;
    }

private:
    bool tokenize() {
        std::size_t i = 0;
        while (i < text_.size()) {
            char c = text_[i];
            if (std::isspace(static_cast<unsigned char>(c))) {
                ++i;
            } else if (std::isalpha(static_cast<unsigned char>(c)) || c == '_') {
                std::size_t start = i;
                while (i < text_.size() && (std::isalnum(static_cast<unsigned char>(text_[i])) ||
                                            text_[i] == '_' || text_[i] == '.'))
                    ++i;
                tokens_.push_back({TokenKind::Word, std::string(text_.substr(start, i - start))});
            } else if (std::isdigit(static_cast<unsigned char>(c))) {
                std::size_t start = i;
                while (i < text_.size() && std::isdigit(static_cast<unsigned char>(text_[i])))
                    ++i;
                tokens_.push_back({TokenKind::Word, std::string(text_.substr(start, i - start))});
            } else if (c == '\'' || c == '"') {
                std::string value;
                ++i;
                while (i < text_.size() && text_[i] != c) {
                    if (text_[i] == '\\' && i + 1 < text_.size())
                        ++i;
                    value += text_[i++];
                }
                if (i >= text_.size()) {
                    error_ = "a quote is not closed";
                    return false;
                }
                ++i;
                tokens_.push_back({TokenKind::String, std::move(value)});
            } else if (c == '[') {
                std::size_t close = text_.find(']', i);
                if (close == std::string_view::npos) {
                    error_ = "a [ is not closed";
                    return false;
                }
                tokens_.push_back({TokenKind::Symbol, std::string(text_.substr(i, close - i + 1))});
                i = close + 1;
            } else {
                static constexpr std::string_view kTwo[] = {"==", "!=", "<>", "<=", ">=", "&&", "||"};
                std::string_view rest = text_.substr(i);
                std::string symbol(1, c);
                for (auto two : kTwo)
                    if (rest.starts_with(two))
                        symbol = std::string(two);
                if (std::string_view("()={},!<>").find(c) == std::string_view::npos && symbol.size() == 1) {
                    error_ = std::string("the character '") + c + "' is not understood";
                    return false;
                }
                tokens_.push_back({TokenKind::Symbol, symbol});
                i += symbol.size();
            }
        }
        tokens_.push_back({TokenKind::End, {}});
        return true;
    }

    const Token& peek() const { return tokens_[position_]; }
    Token next() { return tokens_[position_ < tokens_.size() - 1 ? position_++ : position_]; }
    bool isWord(const Token& t, std::string_view word) const {
        return t.kind == TokenKind::Word && lowercased(t.text) == lowercased(word);
    }
    bool isSymbol(const Token& t, std::string_view symbol) const {
        return t.kind == TokenKind::Symbol && t.text == symbol;
    }
    static std::string describe(const Token& t) {
        return t.kind == TokenKind::End ? std::string("end of the predicate") : "\"" + t.text + "\"";
    }
    std::shared_ptr<const Node> fail(std::string reason) {
        if (error_.empty())
            error_ = std::move(reason);
        return nullptr;
    }
    static std::shared_ptr<const Node> joined(Node::Kind kind, std::shared_ptr<const Node> left,
                                              std::shared_ptr<const Node> right) {
        auto n = std::make_shared<Node>();
        n->kind = kind;
        n->left = std::move(left);
        n->right = std::move(right);
        return n;
    }

    std::shared_ptr<const Node> orExpression(int depth) {
        if (depth > AppListPredicate::kMaxDepth)
            return fail("the predicate nests deeper than " + std::to_string(AppListPredicate::kMaxDepth));
        auto left = andExpression(depth);
        while (left && (isWord(peek(), "OR") || isSymbol(peek(), "||"))) {
            next();
            auto right = andExpression(depth);
            if (!right)
                return nullptr;
            left = joined(Node::Kind::Or, left, right);
        }
        return left;
    }

    std::shared_ptr<const Node> andExpression(int depth) {
        auto left = unary(depth);
        while (left && (isWord(peek(), "AND") || isSymbol(peek(), "&&"))) {
            next();
            auto right = unary(depth);
            if (!right)
                return nullptr;
            left = joined(Node::Kind::And, left, right);
        }
        return left;
    }

    std::shared_ptr<const Node> unary(int depth) {
        if (depth > AppListPredicate::kMaxDepth)
            return fail("the predicate nests deeper than " + std::to_string(AppListPredicate::kMaxDepth));
        if (isWord(peek(), "NOT") || isSymbol(peek(), "!")) {
            next();
            auto inner = unary(depth + 1);
            return inner ? joined(Node::Kind::Not, inner, nullptr) : nullptr;
        }
        if (isSymbol(peek(), "(")) {
            next();
            auto inner = orExpression(depth + 1);
            if (!inner)
                return nullptr;
            if (!isSymbol(next(), ")"))
                return fail("a ( is not closed");
            return inner;
        }
        if (isWord(peek(), "TRUEPREDICATE") || isWord(peek(), "FALSEPREDICATE")) {
            auto n = std::make_shared<Node>();
            n->kind = isWord(next(), "TRUEPREDICATE") ? Node::Kind::True : Node::Kind::False;
            return n;
        }
        return comparison();
    }

    std::optional<Key> keyOf(const Token& t) const {
        if (t.kind != TokenKind::Word)
            return std::nullopt;
        for (const auto& k : kKeys)
            if (t.text == k.name)
                return k.key;
        return std::nullopt;
    }

    std::optional<bool> booleanOf(const Token& t) const {
        for (auto yes : {"TRUE", "YES", "1"})
            if (isWord(t, yes))
                return true;
        for (auto no : {"FALSE", "NO", "0"})
            if (isWord(t, no))
                return false;
        return std::nullopt;
    }

    // `'hidden' IN tags`: the string form of a membership test.
    std::shared_ptr<const Node> membership(std::string value) {
        next(); // IN
        Token keyToken = next();
        auto key = keyOf(keyToken);
        if (!key || isBooleanKey(*key))
            return fail("IN needs tags or an identifier after it, not " + describe(keyToken));
        auto n = std::make_shared<Node>();
        n->kind = Node::Kind::Compare;
        n->key = *key;
        n->op = Op::Equal;
        n->strings = {std::move(value)};
        return n;
    }

    std::shared_ptr<const Node> comparison() {
        Token first = next();
        if (first.kind == TokenKind::String && isWord(peek(), "IN"))
            return membership(first.text);
        auto key = keyOf(first);
        if (!key)
            return fail(first.kind == TokenKind::Word ? "the key \"" + first.text + "\" is not known"
                                                      : "expected a key, found " + describe(first));
        Token opToken = next();
        auto n = std::make_shared<Node>();
        n->kind = Node::Kind::Compare;
        n->key = *key;
        if (isSymbol(opToken, "=") || isSymbol(opToken, "=="))
            n->op = Op::Equal;
        else if (isSymbol(opToken, "!=") || isSymbol(opToken, "<>"))
            n->op = Op::NotEqual;
        else if (isWord(opToken, "CONTAINS"))
            n->op = Op::Contains;
        else if (isWord(opToken, "BEGINSWITH"))
            n->op = Op::BeginsWith;
        else if (isWord(opToken, "ENDSWITH"))
            n->op = Op::EndsWith;
        else if (isWord(opToken, "LIKE"))
            n->op = Op::Like;
        else if (isWord(opToken, "IN"))
            n->op = Op::In;
        else
            return fail("the comparison " + describe(opToken) + " is not understood");
        if (peek().kind == TokenKind::Symbol && peek().text.starts_with("[")) {
            std::string modifier = lowercased(next().text);
            n->ignoreCase = modifier.find('c') != std::string::npos;
        }
        if (isBooleanKey(*key)) {
            auto value = booleanOf(peek());
            if ((n->op != Op::Equal && n->op != Op::NotEqual) || !value)
                return fail(first.text + " is compared with = or != to TRUE or FALSE");
            next();
            n->boolean = *value;
            return n;
        }
        if (n->op == Op::In) {
            if (!isSymbol(next(), "{"))
                return fail("IN takes a list in braces: {'a', 'b'}");
            while (peek().kind == TokenKind::String) {
                n->strings.push_back(next().text);
                if (!isSymbol(peek(), ","))
                    break;
                next();
            }
            if (!isSymbol(next(), "}"))
                return fail("the list after IN holds quoted strings and ends with }");
            return n;
        }
        Token value = next();
        if (value.kind != TokenKind::String)
            return fail(first.text + " is compared with a quoted string, not " + describe(value));
        // For tags, CONTAINS asks whether the list holds the tag; = asks the same of any tag.
        if (*key == Key::Tags && n->op == Op::Contains)
            n->op = Op::Equal;
        n->strings = {value.text};
        return n;
    }

    std::string_view text_;
    std::vector<Token> tokens_;
    std::size_t position_ = 0;
    std::string error_;
};

} // namespace

Result<AppListPredicate> AppListPredicate::parse(std::string_view text) {
    auto root = Parser(text).parse();
    if (!root)
        return root.failure();
    return AppListPredicate(std::move(root).value());
}

AppListPredicate AppListPredicate::all() {
    return AppListPredicate(std::make_shared<const Node>());
}

bool AppListPredicate::evaluate(const ALApplicationList::ApplicationInfo& app) const {
    return evaluateNode(*root_, app);
}
