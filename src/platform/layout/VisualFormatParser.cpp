#include "platform/layout/VisualFormatParser.h"

#include <cctype>
#include <cstdlib>

namespace {

constexpr double kStandardSpacing = 8;
constexpr double kSuperviewSpacing = 20;

struct Predicate {
    NSLayoutRelation relation = NSLayoutRelationEqual;
    bool isView = false;
    std::string view;
    double constant = 0;
    UILayoutPriority priority = UILayoutPriorityRequired;
};

// A connection between two neighbours: explicit predicates, the standard spacing, or flush.
struct Connection {
    enum class Kind { Flush, Standard, Explicit } kind = Kind::Flush;
    std::vector<Predicate> predicates;
};

class Parser {
public:
    Parser(const std::string& format, const NSLayoutMetrics& metrics, const std::set<std::string>& views)
        : s_(format), metrics_(metrics), views_(views) {}

    VisualFormatParse run(std::uint64_t options);

private:
    bool fail(const std::string& why) {
        if (error_.empty())
            error_ = why + " at position " + std::to_string(pos_) + " of \"" + s_ + "\"";
        return false;
    }
    bool atEnd() const { return pos_ >= s_.size(); }
    char peek() const { return atEnd() ? '\0' : s_[pos_]; }
    bool eat(char c) {
        if (peek() != c)
            return false;
        ++pos_;
        return true;
    }
    bool name(std::string& out);
    bool number(double& out);
    bool constantOrMetric(double& out, bool allowView, Predicate* predicate);
    bool predicate(Predicate& p, bool allowView);
    bool predicateList(std::vector<Predicate>& out, bool allowView);
    bool connection(Connection& c);
    bool view(std::string& out, std::vector<Predicate>& sizes);

    const std::string& s_;
    const NSLayoutMetrics& metrics_;
    const std::set<std::string>& views_;
    std::size_t pos_ = 0;
    std::string error_;
};

bool Parser::name(std::string& out) {
    std::size_t start = pos_;
    if (atEnd() || !(std::isalpha(static_cast<unsigned char>(peek())) || peek() == '_'))
        return false;
    while (!atEnd() && (std::isalnum(static_cast<unsigned char>(peek())) || peek() == '_'))
        ++pos_;
    out = s_.substr(start, pos_ - start);
    return true;
}

bool Parser::number(double& out) {
    const char* begin = s_.c_str() + pos_;
    if (!(std::isdigit(static_cast<unsigned char>(*begin)) || *begin == '-' || *begin == '+' ||
          *begin == '.'))
        return false;
    char* end = nullptr;
    out = std::strtod(begin, &end);
    if (end == begin)
        return false;
    pos_ += static_cast<std::size_t>(end - begin);
    return true;
}

bool Parser::constantOrMetric(double& out, bool allowView, Predicate* predicate) {
    if (number(out))
        return true;
    std::string n;
    if (!name(n))
        return fail("Expected a number or a metric name");
    if (auto it = metrics_.find(n); it != metrics_.end()) {
        out = it->second;
        return true;
    }
    if (allowView && predicate && views_.count(n)) {
        predicate->isView = true;
        predicate->view = n;
        return true;
    }
    return fail("Unknown metric or view name '" + n + "'");
}

bool Parser::predicate(Predicate& p, bool allowView) {
    if (s_.compare(pos_, 2, "==") == 0) {
        pos_ += 2;
    } else if (s_.compare(pos_, 2, ">=") == 0) {
        pos_ += 2;
        p.relation = NSLayoutRelationGreaterThanOrEqual;
    } else if (s_.compare(pos_, 2, "<=") == 0) {
        pos_ += 2;
        p.relation = NSLayoutRelationLessThanOrEqual;
    }
    if (!constantOrMetric(p.constant, allowView, &p))
        return false;
    if (eat('@')) {
        double priority = 0;
        if (!constantOrMetric(priority, false, nullptr))
            return false;
        if (priority <= 0 || priority > 1000)
            return fail("Priority must be greater than 0 and at most 1000");
        p.priority = static_cast<UILayoutPriority>(priority);
    }
    return true;
}

bool Parser::predicateList(std::vector<Predicate>& out, bool allowView) {
    if (!eat('(')) {
        Predicate p; // a bare number or metric: an exact, required value
        if (!constantOrMetric(p.constant, false, nullptr))
            return false;
        out.push_back(p);
        return true;
    }
    do {
        Predicate p;
        if (!predicate(p, allowView))
            return false;
        out.push_back(p);
    } while (eat(','));
    if (!eat(')'))
        return fail("Expected ')' or ','");
    return true;
}

bool Parser::connection(Connection& c) {
    if (!eat('-')) {
        c.kind = Connection::Kind::Flush;
        return true;
    }
    if (peek() == '[' || peek() == '|') {
        c.kind = Connection::Kind::Standard;
        return true;
    }
    c.kind = Connection::Kind::Explicit;
    if (!predicateList(c.predicates, false))
        return false;
    if (!eat('-'))
        return fail("Expected '-' after the spacing");
    return true;
}

bool Parser::view(std::string& out, std::vector<Predicate>& sizes) {
    if (!eat('['))
        return fail("Expected a view");
    if (!name(out))
        return fail("Expected a view name");
    if (!views_.count(out))
        return fail("Unknown view name '" + out + "'");
    if (peek() == '(' && !predicateList(sizes, true))
        return false;
    if (!eat(']'))
        return fail("Expected ']'");
    return true;
}

VisualFormatParse Parser::run(std::uint64_t options) {
    VisualFormatParse result;
    bool vertical = false;
    if (s_.compare(0, 2, "V:") == 0) {
        vertical = true;
        pos_ = 2;
    } else if (s_.compare(0, 2, "H:") == 0) {
        pos_ = 2;
    }
    NSLayoutAttribute leading = vertical ? NSLayoutAttributeTop : NSLayoutAttributeLeading;
    NSLayoutAttribute trailing = vertical ? NSLayoutAttributeBottom : NSLayoutAttributeTrailing;
    NSLayoutAttribute size = vertical ? NSLayoutAttributeHeight : NSLayoutAttributeWidth;

    auto addSpacing = [&](const Connection& c, const std::string& first, NSLayoutAttribute firstAttr,
                          const std::string& second, NSLayoutAttribute secondAttr, bool toSuperview) {
        std::vector<Predicate> predicates = c.predicates;
        if (c.kind == Connection::Kind::Flush)
            predicates = {Predicate{}};
        if (c.kind == Connection::Kind::Standard) {
            Predicate p;
            p.constant = toSuperview ? kSuperviewSpacing : kStandardSpacing;
            predicates = {p};
        }
        for (const Predicate& p : predicates)
            result.constraints.push_back(
                {first, firstAttr, p.relation, second, secondAttr, p.constant, p.priority});
    };

    std::vector<std::string> order;
    bool leadingSuperview = eat('|');
    Connection pending;
    if (leadingSuperview && !connection(pending))
        return {{}, error_, false};
    for (;;) {
        std::string v;
        std::vector<Predicate> sizes;
        if (!view(v, sizes))
            return {{}, error_, false};
        if (order.empty()) {
            if (leadingSuperview)
                addSpacing(pending, v, leading, "|", leading, true);
        } else {
            addSpacing(pending, v, leading, order.back(), trailing, false);
        }
        for (const Predicate& p : sizes) {
            if (p.isView)
                result.constraints.push_back({v, size, p.relation, p.view, size, 0, p.priority});
            else
                result.constraints.push_back(
                    {v, size, p.relation, "", NSLayoutAttributeNotAnAttribute, p.constant, p.priority});
        }
        order.push_back(v);
        if (atEnd())
            break;
        Connection next;
        if (!connection(next))
            return {{}, error_, false};
        if (eat('|')) {
            addSpacing(next, "|", trailing, v, trailing, true);
            if (!atEnd()) {
                fail("Expected the end of the format after the closing '|'");
                return {{}, error_, false};
            }
            result.usesSuperview = true;
            break;
        }
        if (atEnd()) {
            fail("Expected a view or '|'");
            return {{}, error_, false};
        }
        pending = next;
    }
    result.usesSuperview = result.usesSuperview || leadingSuperview;

    // Alignment options line the views up across the format's own axis.
    for (int a = NSLayoutAttributeLeft; a <= NSLayoutAttributeCenterY; ++a) {
        if (!(options & (std::uint64_t{1} << a)))
            continue;
        auto attribute = static_cast<NSLayoutAttribute>(a);
        bool alongAxis =
            vertical ? (attribute == NSLayoutAttributeTop || attribute == NSLayoutAttributeBottom ||
                        attribute == NSLayoutAttributeCenterY)
                     : (attribute == NSLayoutAttributeLeft || attribute == NSLayoutAttributeRight ||
                        attribute == NSLayoutAttributeLeading || attribute == NSLayoutAttributeTrailing ||
                        attribute == NSLayoutAttributeCenterX);
        if (alongAxis) {
            pos_ = 0;
            fail("Options ask to align the views on an edge along the format's own axis");
            return {{}, error_, false};
        }
        for (std::size_t i = 1; i < order.size(); ++i)
            result.constraints.push_back({order[i - 1], attribute, NSLayoutRelationEqual, order[i], attribute,
                                          0, UILayoutPriorityRequired});
    }
    return result;
}

} // namespace

VisualFormatParse parseVisualFormat(const std::string& format, std::uint64_t options,
                                    const NSLayoutMetrics& metrics, const std::set<std::string>& viewNames) {
    return Parser(format, metrics, viewNames).run(options);
}
